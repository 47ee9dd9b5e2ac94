// Declaring parameters by hand, so the host's own tests need no plug-in.
#ifndef TARSIVEL_TESTS_HOST_HOST_TEST_SUPPORT_H
#define TARSIVEL_TESTS_HOST_HOST_TEST_SUPPORT_H

#include <cstring>

#include "host/protocol/effect_instance.h"

namespace tarsivel::host::testing {

inline PF_ParamDef Definition(PF_ParamType kind, const char* name, A_long id) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.param_type = kind;
    std::strncpy(def.name, name, sizeof def.name - 1);
    def.uu.id = id;
    return def;
}

// Declares `def` through add_param in a command of its own.
inline CommandResult Declare(EffectInstance& instance, PF_ParamDef def) {
    return instance.RunHandler([&](PF_InData* in_data, PF_OutData*) {
        return PF_ADD_PARAM(in_data, kAppendPosition, &def);
    });
}

}  // namespace tarsivel::host::testing

#endif
