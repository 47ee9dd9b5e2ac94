// Parameter set-up: declares the effect's parameters to the host.
#ifndef TARSIVEL_PARAMS_PARAMS_SETUP_H
#define TARSIVEL_PARAMS_PARAMS_SETUP_H

#include "pf_api.h"

namespace tarsivel {

// The position argument of add_param that asks the host to append the parameter.
inline constexpr PF_ParamIndex kAppendParam = -1;

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace tarsivel

#endif
