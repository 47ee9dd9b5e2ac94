// The plug-in as the command drives it: loaded, registered, globally set up
// and with its parameters declared on an instance for the scene's layer; and
// the GPU device it was set up on, set down again at the end.
#ifndef TARSIVEL_HOST_TARSIVEL_PLUGIN_SESSION_H
#define TARSIVEL_HOST_TARSIVEL_PLUGIN_SESSION_H

#include <filesystem>
#include <memory>
#include <string>

#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_device.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/plugin_library.h"
#include "host/scenes/scene.h"

namespace tarsivel::cli {

// The folder this program runs from.
std::filesystem::path ProgramFolder();

// The plug-in library built beside this program.
std::string DefaultPluginPath();

// Turns a command's result into the command-line's verdict: throws ExitError
// (3 for a broken contract, 1 for an error code) unless it succeeded.
void RequireSuccess(const host::CommandResult& result, const std::string& command);

class PluginSession {
  public:
    // Loads, registers, runs global set-up and parameter set-up; throws ExitError.
    PluginSession(const std::string& pluginPath, int32_t layerWidth, int32_t layerHeight);
    ~PluginSession();

    host::EffectInstance& Instance() { return *instance_; }
    host::PluginLibrary& Library() { return *library_; }
    const PF_OutData& GlobalSetup() const { return global_; }
    bool DeclaresThreadedRendering() const;
    bool DeclaresGpuRendering() const;

    // Keeps `device`, offers it as device 0 and sets it up; throws ExitError
    // (2) when the plug-in declines it. Set down when the session ends, before
    // the device goes.
    const void* SetUpGpu(std::unique_ptr<host::GpuDevice> device);
    host::GpuDevice* Gpu() const { return gpu_.get(); }

  private:
    std::unique_ptr<host::PluginLibrary> library_;
    std::unique_ptr<host::EffectInstance> instance_;
    PF_OutData global_{};
    std::unique_ptr<host::GpuDevice> gpu_;
    std::unique_ptr<host::ScopedGpuDeviceOffer> offer_;
    bool gpuSetUp_ = false;
    void* gpuData_ = nullptr;
};

// How `render` and `dump` begin once their scene is read and checked: the
// scene's warnings told, the plug-in loaded and set up for the scene's layer
// (`pluginPath`, or the one beside this program when empty), the scene given
// to the instance and what that warned of told. Throws ExitError.
std::unique_ptr<PluginSession> StartScene(const host::Scene& scene, const std::string& pluginPath);

}  // namespace tarsivel::cli

#endif
