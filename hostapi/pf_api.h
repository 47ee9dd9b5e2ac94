// Everything of the host's effect API, in one include: the plug-in's sources
// include only this header, so that they can be built against our declarations
// (the default) or against the published headers (TARSIVEL_HOST_SDK) without a
// change. Both give the same names, types and layouts.
#ifndef TARSIVEL_HOSTAPI_PF_API_H
#define TARSIVEL_HOSTAPI_PF_API_H

#if defined(TARSIVEL_HOST_SDK)

// The published headers name only the Windows and macOS forms of a few types;
// these give the Windows sizes and signedness elsewhere.
#include <stdint.h>
#if !defined(_WIN32)
#ifndef __LINUX__
#define __LINUX__ 1
#endif
typedef int32_t Fixed;
typedef char Boolean;
typedef char** Handle;
#else
#ifndef _WINDOWS
#define _WINDOWS 1
#endif
#endif
typedef long long csSDK_int64;

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectGPUSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_PluginData.h"
#include "PrSDKAESupport.h"
#include "SPBasic.h"

#else

#include "pf_commands.h"
#include "pf_entry.h"
#include "pf_gpu.h"
#include "pf_in_out_data.h"
#include "pf_out_flags.h"
#include "pf_param_def.h"
#include "pf_smart_render.h"
#include "pf_suites.h"
#include "pf_types.h"
#include "pf_world.h"
#include "sp_basic_suite.h"

#endif

#endif
