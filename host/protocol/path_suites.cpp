// "PF Path Query Suite" and "PF Path Data Suite" over the instance's masks.
// Vertices are delivered scaled by the command's downsample factors, as a host
// does at reduced resolution.
#include <cmath>
#include <memory>
#include <string>

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/standard_suites.h"
#include "host/protocol/suite_registry.h"
#include "host/protocol/unexpected_calls.h"
#include "hostapi/pf_suites.h"

// The host's side of the opaque outline the plug-in holds between checkout and
// check-in.
struct PF_PathOutline {
    tarsivel::host::MaskOutline outline;
};

namespace tarsivel::host {
namespace {

double Ratio(PF_RationalScale r) {
    return r.den == 0 ? 1.0 : double(r.num) / double(r.den);
}

// Counts the call and applies the command's failure plan.
CommandContext* Enter(PF_ProgPtr effect_ref, HostCall call, const std::string& target,
                      PF_Err& err) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr) {
        err = PF_Err_BAD_CALLBACK_PARAM;
        return nullptr;
    }
    command->Accounts().Called(call);
    if (auto failure = command->Failures().Consult(call, target)) {
        err = *failure;
        return nullptr;
    }
    err = PF_Err_NONE;
    return command;
}

PF_Err NumPaths(PF_ProgPtr effect_ref, A_long* num_paths) {
    PF_Err err;
    CommandContext* command = Enter(effect_ref, HostCall::NumPaths, {}, err);
    if (command == nullptr || num_paths == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    *num_paths = command->Instance().Masks().Count();
    return PF_Err_NONE;
}

PF_Err PathInfo(PF_ProgPtr effect_ref, A_long index, PF_PathID* path_id) {
    PF_Err err;
    CommandContext* command = Enter(effect_ref, HostCall::PathInfo, std::to_string(index), err);
    if (command == nullptr || path_id == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    auto id = command->Instance().Masks().IdAt(index);
    if (!id) {
        return PF_Err_INVALID_INDEX;
    }
    *path_id = *id;
    return PF_Err_NONE;
}

PF_Err CheckoutPath(PF_ProgPtr effect_ref, PF_PathID path_id, A_long what_time,
                    A_long /*time_step*/, A_u_long time_scale, PF_PathOutlinePtr* path) {
    PF_Err err;
    CommandContext* command =
        Enter(effect_ref, HostCall::CheckoutPath, std::to_string(path_id), err);
    if (command == nullptr || path == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    auto outline = command->Instance().Masks().OutlineAt(path_id, what_time, time_scale);
    if (!outline) {
        return PF_Err_INVALID_INDEX;
    }
    const double sx = Ratio(command->Settings().downsampleX);
    const double sy = Ratio(command->Settings().downsampleY);
    for (MaskVertex& v : outline->vertices) {
        v = {v.x * sx, v.y * sy, v.inX * sx, v.inY * sy, v.outX * sx, v.outY * sy};
    }
    // Counted before it is handed out: nothing leaves this call unaccounted for.
    auto checkedOut = std::make_unique<PF_PathOutline>(PF_PathOutline{std::move(*outline)});
    command->Accounts().PathCheckedOut(checkedOut.get());
    *path = checkedOut.release();
    return PF_Err_NONE;
}

PF_Err CheckinPath(PF_ProgPtr effect_ref, PF_PathID path_id, PF_Boolean /*changed*/,
                   PF_PathOutlinePtr path) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || path == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    command->Accounts().Called(HostCall::CheckinPath);
    if (path->outline.id != path_id) {
        command->Accounts().Misuse("mask checked in under another id");
    }
    if (!command->Accounts().PathCheckedIn(path)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    delete path;
    if (auto failure = command->Failures().Consult(HostCall::CheckinPath)) {
        return *failure;
    }
    return PF_Err_NONE;
}

PF_Err PathIsOpen(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_Boolean* open) {
    PF_Err err;
    const std::string target = path ? std::to_string(path->outline.id) : std::string();
    CommandContext* command = Enter(effect_ref, HostCall::PathIsOpen, target, err);
    if (command == nullptr || path == nullptr || open == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    *open = path->outline.open ? 1 : 0;
    return PF_Err_NONE;
}

// Every mask reports its vertex count; closed outlines build that many spans,
// open ones one fewer.
PF_Err PathNumSegments(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long* num_segments) {
    PF_Err err;
    const std::string target = path ? std::to_string(path->outline.id) : std::string();
    CommandContext* command = Enter(effect_ref, HostCall::PathNumSegments, target, err);
    if (command == nullptr || path == nullptr || num_segments == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    *num_segments = A_long(path->outline.vertices.size());
    return PF_Err_NONE;
}

// Failure targets are "<path id>:<vertex index>".
PF_Err PathVertexInfo(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which,
                      PF_PathVertex* vertex) {
    PF_Err err;
    const std::string target =
        path ? std::to_string(path->outline.id) + ":" + std::to_string(which) : std::string();
    CommandContext* command = Enter(effect_ref, HostCall::PathVertexInfo, target, err);
    if (command == nullptr || path == nullptr || vertex == nullptr) {
        return command ? PF_Err_BAD_CALLBACK_PARAM : err;
    }
    if (which < 0 || std::size_t(which) >= path->outline.vertices.size()) {
        return PF_Err_INVALID_INDEX;
    }
    const MaskVertex& v = path->outline.vertices[std::size_t(which)];
    *vertex = PF_PathVertex{v.x, v.y, v.inX, v.inY, v.outX, v.outY};
    return PF_Err_NONE;
}

PF_PathQuerySuite1 MakePathQuerySuite() {
    auto suite = UnexpectedTable<PF_PathQuerySuite1>();
    suite.PF_NumPaths = Guarded<NumPaths>;
    suite.PF_PathInfo = Guarded<PathInfo>;
    suite.PF_CheckoutPath = Guarded<CheckoutPath>;
    suite.PF_CheckinPath = Guarded<CheckinPath>;
    return suite;
}

PF_PathDataSuite1 MakePathDataSuite() {
    auto suite = UnexpectedTable<PF_PathDataSuite1>();
    suite.PF_PathIsOpen = Guarded<PathIsOpen>;
    suite.PF_PathNumSegments = Guarded<PathNumSegments>;
    suite.PF_PathVertexInfo = Guarded<PathVertexInfo>;
    return suite;
}

const PF_PathQuerySuite1 pathQuerySuite = MakePathQuerySuite();
const PF_PathDataSuite1 pathDataSuite = MakePathDataSuite();

}  // namespace

void RegisterPathSuites(SuiteRegistry& registry) {
    registry.Register(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &pathQuerySuite);
    registry.Register(kPFPathDataSuite, kPFPathDataSuiteVersion1, &pathDataSuite);
}

}  // namespace tarsivel::host
