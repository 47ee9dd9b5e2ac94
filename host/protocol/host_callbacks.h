// The C callbacks this host hands to the plug-in.
#ifndef TARSIVEL_HOST_PROTOCOL_HOST_CALLBACKS_H
#define TARSIVEL_HOST_PROTOCOL_HOST_CALLBACKS_H

#include "hostapi/pf_in_out_data.h"
#include "hostapi/sp_basic_suite.h"

namespace tarsivel::host {

SPBasicSuite* BasicSuite();
PF_InteractCallbacks InteractCallbacks();
PF_UtilCallbacks UtilCallbacks();

}  // namespace tarsivel::host

#endif
