// Every host service the reference host can be told to fail, by name.
#ifndef TARSIVEL_HOST_HOST_CALL_H
#define TARSIVEL_HOST_HOST_CALL_H

namespace tarsivel::host {

enum class HostCall {
    AcquireSuite,
    AddParam,
    CheckoutParam,
    CheckinParam,
    AddSupportedPixelFormat,
    ClearSupportedPixelFormats,
};

const char* HostCallName(HostCall call);

}  // namespace tarsivel::host

#endif
