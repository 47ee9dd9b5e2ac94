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
    // Registration.
    PluginDataCallback,
};

const char* HostCallName(HostCall call);

}  // namespace tarsivel::host

#endif
