// The host's basic suite: every other suite is acquired and released through it.
#ifndef TARSIVEL_HOSTAPI_SP_BASIC_SUITE_H
#define TARSIVEL_HOSTAPI_SP_BASIC_SUITE_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SPErr;

typedef struct SPBasicSuite {
    /* Returns 0 and stores the suite on success. */
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
