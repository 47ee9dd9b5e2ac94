// Everything of the host's effect API that the effect uses.
#ifndef TARSIVEL_HOSTAPI_PF_API_H
#define TARSIVEL_HOSTAPI_PF_API_H

#include "hostapi/pf_commands.h"
#include "hostapi/pf_entry.h"
#include "hostapi/pf_gpu.h"
#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_out_flags.h"
#include "hostapi/pf_param_def.h"
#include "hostapi/pf_smart_render.h"
#include "hostapi/pf_suites.h"
#include "hostapi/pf_types.h"
#include "hostapi/pf_world.h"
#include "hostapi/sp_basic_suite.h"

#endif
