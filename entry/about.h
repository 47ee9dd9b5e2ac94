#ifndef TARSIVEL_ENTRY_ABOUT_H
#define TARSIVEL_ENTRY_ABOUT_H

#include "hostapi/pf_in_out_data.h"

namespace tarsivel {

// Writes the About text into out_data->return_msg with the ANSI suite.
PF_Err About(PF_InData* in_data, PF_OutData* out_data);

}  // namespace tarsivel

#endif
