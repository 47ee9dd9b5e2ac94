#ifndef TARSIVEL_ENTRY_GLOBAL_SETUP_H
#define TARSIVEL_ENTRY_GLOBAL_SETUP_H

#include "hostapi/pf_in_out_data.h"

namespace tarsivel {

// Declares the version and capabilities; on the 'PrMr' host also the one
// pixel format the effect accepts there. Creates no global data.
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace tarsivel

#endif
