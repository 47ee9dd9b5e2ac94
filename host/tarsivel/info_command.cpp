#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/gpu/cuda_device.h"
#include "host/gpu/opencl_device.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/pipl.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/plugin_session.h"

namespace tarsivel::cli {
namespace {

const char* KindName(PF_ParamType kind) {
    switch (kind) {
        case PF_Param_LAYER:
            return "layer";
        case PF_Param_SLIDER:
            return "slider";
        case PF_Param_FLOAT_SLIDER:
            return "float slider";
        case PF_Param_ANGLE:
            return "angle";
        case PF_Param_CHECKBOX:
            return "checkbox";
        case PF_Param_COLOR:
            return "colour";
        case PF_Param_POINT:
            return "point";
        case PF_Param_PATH:
            return "path";
        case PF_Param_GROUP_START:
            return "group start";
        case PF_Param_GROUP_END:
            return "group end";
        default:
            return "unknown";
    }
}

std::string Range(double lo, double hi) {
    std::ostringstream text;
    text << lo << " … " << hi;
    return text.str();
}

std::string Describe(const PF_ParamDef& def) {
    std::ostringstream text;
    const PF_ParamDefUnion& u = def.u;
    switch (def.param_type) {
        case PF_Param_POINT:
            text << "default (" << u.td.x_dephault / 65536.0 << " %, " << u.td.y_dephault / 65536.0
                 << " %)";
            break;
        case PF_Param_CHECKBOX:
            text << "default " << (u.bd.dephault ? "on" : "off");
            break;
        case PF_Param_SLIDER:
            text << "default " << u.sd.dephault << ", valid "
                 << Range(u.sd.valid_min, u.sd.valid_max) << ", slider "
                 << Range(u.sd.slider_min, u.sd.slider_max);
            break;
        case PF_Param_FLOAT_SLIDER:
            text << "default " << u.fs_d.dephault << ", valid "
                 << Range(u.fs_d.valid_min, u.fs_d.valid_max) << ", slider "
                 << Range(u.fs_d.slider_min, u.fs_d.slider_max) << ", precision "
                 << u.fs_d.precision;
            break;
        case PF_Param_COLOR:
            text << "default #" << std::hex;
            for (int c : {u.cd.dephault.red, u.cd.dephault.green, u.cd.dephault.blue,
                          u.cd.dephault.alpha}) {
                text << (c < 16 ? "0" : "") << c;
            }
            break;
        case PF_Param_ANGLE:
            text << "default " << u.ad.dephault / 65536.0 << " degrees";
            break;
        case PF_Param_PATH:
            text << "default " << u.path_d.dephault << " (no mask)";
            break;
        default:
            break;
    }
    return text.str();
}

// A CUDA device as a host describes it without a driver of its own: the
// ordinal alone. Enough to ask the plug-in's answer at set-up; it holds no
// memory.
class DescribedCudaDevice final : public host::GpuDevice {
  public:
    PF_GPU_Framework Framework() const override { return PF_GPU_Framework_CUDA; }
    std::string Name() const override { return "CUDA device 0"; }
    PF_GPUDeviceInfo Info() const override {
        PF_GPUDeviceInfo info{};
        info.device_framework = PF_GPU_Framework_CUDA;
        return info;
    }
    std::unique_ptr<host::GpuWorld> NewWorld(int32_t, int32_t, int32_t) override {
        throw ExitError(kExitUsage, "a described CUDA device has no memory");
    }
    void Finish() override {}
};

// The plug-in's answer to set-up on `device`, which is set down again.
std::string SetUpAnswer(host::EffectInstance& instance, host::GpuDevice& device) {
    host::ScopedGpuDeviceOffer offer(0, device);
    PF_GPUDeviceSetupInput input{device.Framework(), 0};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    const host::CommandResult result = instance.Run(PF_Cmd_GPU_DEVICE_SETUP, {}, &extra);
    std::string answer = "declined";
    if (!result.Balanced()) {
        answer = "broke the host contract: " + result.BalanceReport();
    } else if (result.err != PF_Err_NONE) {
        answer = "error " + std::to_string(result.err);
    } else if ((result.out.out_flags2 & PF_OutFlag2_SUPPORTS_GPU_RENDER_F32) != 0) {
        answer = "accepted";
    }
    if (result.out.return_msg[0] != '\0') {
        answer += ": " + std::string(result.out.return_msg);
    }
    if (output.gpu_data != nullptr) {
        PF_GPUDeviceSetdownInput down{output.gpu_data, device.Framework(), 0};
        PF_GPUDeviceSetdownExtra downExtra{&down};
        instance.Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &downExtra);
    }
    return answer;
}

void PrintGpuSetUp(host::EffectInstance& instance) {
    std::cout << "GPU device set-up:\n";
    if (auto opencl = host::OpenCLDevice::Open()) {
        std::cout << "  OpenCL, " << opencl->Name() << ": " << SetUpAnswer(instance, *opencl)
                  << "\n";
    } else {
        std::cout << "  OpenCL: no OpenCL device on this machine\n";
    }
    std::string why;
    if (auto cuda = host::CudaDevice::Open(0, why)) {
        std::cout << "  CUDA, " << cuda->Name() << ": " << SetUpAnswer(instance, *cuda) << "\n";
    } else {
        // Asked all the same, so that the plug-in's own answer shows.
        DescribedCudaDevice described;
        std::cout << "  CUDA, device 0 (the host has none: " << why
                  << "): " << SetUpAnswer(instance, described) << "\n";
    }
}

// The version global set-up declares, unpacked as hosts pack it: version,
// subversion and bug-fix numbers, the stage, the build number.
std::string VersionText(uint32_t packed) {
    static const char* const kStages[] = {"develop", "alpha", "beta", "release"};
    std::ostringstream text;
    text << (packed >> 19 & 0x7F) << "." << (packed >> 15 & 0xF) << "." << (packed >> 11 & 0xF)
         << " (" << kStages[packed >> 9 & 0x3] << ", build " << (packed & 0x1FF) << ")";
    return text.str();
}

}  // namespace

int RunVersion(const std::string& plugin) {
    std::cout << "tarsivel " << TARSIVEL_VERSION << std::endl;
    const std::string path = plugin.empty() ? DefaultPluginPath() : plugin;
    try {
        // Loaded and set up as `info` does, so that both tell the same.
        PluginSession session(path, 1920, 1080);
        const host::Registration& r = session.Library().Registered();
        std::cout << "plug-in " << r.name << " " << VersionText(session.GlobalSetup().my_version)
                  << ", API version " << r.apiVersionMajor << "." << r.apiVersionMinor << ", "
                  << session.Library().Path() << "\n";
    } catch (const ExitError& e) {
        throw ExitError(e.Code(), "the version of the plug-in beside this program is unknown: " +
                                      std::string(e.what()));
    }
    return kExitSuccess;
}

int RunInfo(const std::string& plugin, bool gpu) {
    PluginSession session(plugin.empty() ? DefaultPluginPath() : plugin, 1920, 1080);
    const host::Registration& r = session.Library().Registered();
    std::cout << "Plug-in: " << session.Library().Path() << "\n"
              << "Registration:\n  name \"" << r.name << "\"\n  match name \"" << r.matchName
              << "\"\n  category \"" << r.category << "\"\n  entry point \"" << r.entryPointName
              << "\"\n  kind '" << host::FourCCText(uint32_t(r.kind)) << "'\n  API version "
              << r.apiVersionMajor << "." << r.apiVersionMinor << "\n";
    std::string error;
    const std::vector<uint8_t> bytes = session.Library().PiplBytes(error);
    auto pipl = bytes.empty() ? std::nullopt : host::DecodePipl(bytes, error);
    std::cout << (pipl ? host::DescribePipl(*pipl) : "PiPL: " + error + "\n");
    const PF_OutData& global = session.GlobalSetup();
    std::cout << "Global set-up: version " << host::Hex(global.my_version) << " = "
              << VersionText(global.my_version) << ", out flags "
              << host::Hex(uint32_t(global.out_flags)) << ", out flags 2 "
              << host::Hex(uint32_t(global.out_flags2)) << "\n";
    const auto& declarations = session.Instance().Params().Declarations();
    std::cout << "Parameters (" << declarations.size() + 1 << "):\n"
              << "   0  (input layer)  layer\n";
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        const PF_ParamDef& def = declarations[i].def;
        char index[24];
        std::snprintf(index, sizeof index, "%4zu", i + 1);
        std::cout << index << "  " << (def.name[0] ? "\"" + std::string(def.name) + "\"" : "(end)")
                  << "  " << KindName(def.param_type);
        const std::string details = Describe(def);
        std::cout << (details.empty() ? "" : "  " + details) << "\n";
    }
    if (gpu) {
        PrintGpuSetUp(session.Instance());
    }
    return kExitSuccess;
}

}  // namespace tarsivel::cli
