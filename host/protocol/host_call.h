// Every host service the reference host can be told to fail, by name.
#ifndef TARSIVEL_HOST_PROTOCOL_HOST_CALL_H
#define TARSIVEL_HOST_PROTOCOL_HOST_CALL_H

namespace tarsivel::host {

enum class HostCall {
    AcquireSuite,
    AddParam,
    CheckoutParam,
    CheckinParam,
    AddSupportedPixelFormat,
    ClearSupportedPixelFormats,
    // Smart pre-render and smart render callbacks.
    CheckoutLayer,
    CheckoutLayerPixels,
    CheckoutOutput,
    CheckinLayerPixels,
    // Path query and path data suites.
    NumPaths,
    PathInfo,
    CheckoutPath,
    CheckinPath,
    PathIsOpen,
    PathNumSegments,
    PathVertexInfo,
    // World suites.
    GetPixelFormat,
    WorldCopy,
    // GPU device and handle suites.
    GetDeviceInfo,
    GetGPUWorldData,
    NewHandle,
    DisposeHandle,
    // The utility callbacks (also behind "PF ANSI Suite").
    AnsiSprintf,
    AnsiStrcpy,
    // Registration; stays last (kHostCallKinds).
    PluginDataCallback,
};

inline constexpr int kHostCallKinds = int(HostCall::PluginDataCallback) + 1;

const char* HostCallName(HostCall call);

}  // namespace tarsivel::host

#endif
