// Parameter set-up: declares the effect's parameters to the host.
#ifndef TARSIVEL_PARAMS_PARAMS_SETUP_H
#define TARSIVEL_PARAMS_PARAMS_SETUP_H

#include "hostapi/pf_in_out_data.h"

namespace tarsivel {

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace tarsivel

#endif
