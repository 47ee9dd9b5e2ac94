// The host's basic suite: the one table the host hands over directly. Every
// other suite is acquired and released through it, by name and version.
#ifndef TARSIVEL_HOSTAPI_SP_BASIC_SUITE_H
#define TARSIVEL_HOSTAPI_SP_BASIC_SUITE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t int32;
typedef int32 SPErr;
/* The one scalar whose width differs between the platforms: four bytes on
   Windows, one elsewhere. Only IsEqual returns it. */
#if defined(_WIN32)
typedef int32 SPBoolean;
#else
typedef char SPBoolean;
#endif

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

/* AcquireSuite returns 0 and stores the suite's table on success. Undefined
   is a reserved slot that a host leaves null. */
typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char*, int32, const void**);
    SPErr (*ReleaseSuite)(const char*, int32);
    SPBoolean (*IsEqual)(const char*, const char*);
    SPErr (*AllocateBlock)(size_t, void**);
    SPErr (*FreeBlock)(void*);
    SPErr (*ReallocateBlock)(void*, size_t, void**);
    SPErr (*Undefined)();
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
