#include "host/protocol/failure_plan.h"

namespace tarsivel::host {

const char* HostCallName(HostCall call) {
    switch (call) {
        case HostCall::AcquireSuite:
            return "AcquireSuite";
        case HostCall::AddParam:
            return "add_param";
        case HostCall::CheckoutParam:
            return "checkout_param";
        case HostCall::CheckinParam:
            return "checkin_param";
        case HostCall::AddSupportedPixelFormat:
            return "AddSupportedPixelFormat";
        case HostCall::ClearSupportedPixelFormats:
            return "ClearSupportedPixelFormats";
        case HostCall::CheckoutLayer:
            return "checkout_layer";
        case HostCall::CheckoutLayerPixels:
            return "checkout_layer_pixels";
        case HostCall::CheckoutOutput:
            return "checkout_output";
        case HostCall::CheckinLayerPixels:
            return "checkin_layer_pixels";
        case HostCall::NumPaths:
            return "PF_NumPaths";
        case HostCall::PathInfo:
            return "PF_PathInfo";
        case HostCall::CheckoutPath:
            return "PF_CheckoutPath";
        case HostCall::CheckinPath:
            return "PF_CheckinPath";
        case HostCall::PathIsOpen:
            return "PF_PathIsOpen";
        case HostCall::PathNumSegments:
            return "PF_PathNumSegments";
        case HostCall::PathVertexInfo:
            return "PF_PathVertexInfo";
        case HostCall::GetPixelFormat:
            return "PF_GetPixelFormat";
        case HostCall::WorldCopy:
            return "copy";
        case HostCall::GetDeviceInfo:
            return "GetDeviceInfo";
        case HostCall::GetGPUWorldData:
            return "GetGPUWorldData";
        case HostCall::NewHandle:
            return "host_new_handle";
        case HostCall::DisposeHandle:
            return "host_dispose_handle";
        case HostCall::AnsiSprintf:
            return "ansi.sprintf";
        case HostCall::AnsiStrcpy:
            return "ansi.strcpy";
        case HostCall::PluginDataCallback:
            return "plug-in data callback";
    }
    return "unknown host call";
}

FailurePlan& FailurePlan::FailNth(HostCall call, int nth, PF_Err error, std::string target) {
    rules_.push_back(Rule{call, std::move(target), nth < 1 ? 1 : nth, error, 0});
    return *this;
}

FailurePlan& FailurePlan::FailAlways(HostCall call, PF_Err error, std::string target) {
    rules_.push_back(Rule{call, std::move(target), 0, error, 0});
    return *this;
}

FailurePlan& FailurePlan::FailNthCall(int nth, PF_Err error) {
    anyNth_ = nth < 1 ? 1 : nth;
    anyError_ = error;
    return *this;
}

std::optional<PF_Err> FailurePlan::Consult(HostCall call, std::string_view target) {
    std::optional<PF_Err> result;
    const int ordinal = ++callsOfKind_[std::size_t(call)];
    if (++calls_ == anyNth_) {
        result = anyError_;
    }
    for (Rule& rule : rules_) {
        if (rule.call != call || (!rule.target.empty() && rule.target != target)) {
            continue;
        }
        ++rule.seen;
        if (!result && (rule.nth == 0 || rule.seen == rule.nth)) {
            result = rule.error;
        }
    }
    if (result) {
        failed_.push_back(FailedCall{call, ordinal});
    }
    return result;
}

}  // namespace tarsivel::host
