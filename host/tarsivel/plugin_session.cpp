#include "host/tarsivel/plugin_session.h"

#include <filesystem>
#include <iostream>

#include "host/scenes/scene_setup.h"
#include "host/tarsivel/exit_error.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarsivel::cli {
namespace {

void PrintWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) {
        std::cerr << "tarsivel: warning: " << w << "\n";
    }
}

}  // namespace

std::filesystem::path ProgramFolder() {
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, n)).parent_path();
#else
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

std::string DefaultPluginPath() {
#if defined(_WIN32)
    return (ProgramFolder() / "Tarsivel.aex").string();
#else
    return (ProgramFolder() / "Tarsivel.so").string();
#endif
}

void RequireSuccess(const host::CommandResult& result, const std::string& command) {
    if (!result.Balanced()) {
        throw ExitError(kExitContractBroken, "the plug-in broke the host contract in " + command +
                                                 ":\n" + result.BalanceReport());
    }
    if (result.err != PF_Err_NONE) {
        std::string message = command + " returned error " + std::to_string(result.err);
        if (result.out.return_msg[0] != '\0') {
            message += ": " + std::string(result.out.return_msg);
        }
        throw ExitError(kExitPluginError, message);
    }
}

PluginSession::PluginSession(const std::string& pluginPath, int32_t layerWidth,
                             int32_t layerHeight) {
    std::string error;
    library_ = host::PluginLibrary::Load(pluginPath, error);
    if (!library_) {
        throw ExitError(kExitUsage, error);
    }
    if (const PF_Err err = library_->Register(); err != PF_Err_NONE) {
        throw ExitError(kExitPluginError, "registration returned error " + std::to_string(err));
    }
    if (library_->EntryPoint() == nullptr) {
        throw ExitError(kExitUsage, pluginPath + " has no entry point named \"" +
                                        library_->Registered().entryPointName + "\"");
    }
    instance_ =
        std::make_unique<host::EffectInstance>(library_->EntryPoint(), layerWidth, layerHeight);
    const host::CommandResult global = instance_->Run(PF_Cmd_GLOBAL_SETUP);
    RequireSuccess(global, "global set-up");
    global_ = global.out;
    RequireSuccess(instance_->Run(PF_Cmd_PARAMS_SETUP), "parameter set-up");
}

PluginSession::~PluginSession() {
    if (gpuSetUp_) {
        PF_GPUDeviceSetdownInput input{gpuData_, gpu_->Framework(), 0};
        PF_GPUDeviceSetdownExtra extra{&input};
        const host::CommandResult result = instance_->Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &extra);
        if (!result.Balanced() || result.err != PF_Err_NONE) {
            std::cerr << "tarsivel: GPU device set-down: error " << result.err << "\n"
                      << result.BalanceReport();
        }
    }
}

bool PluginSession::DeclaresThreadedRendering() const {
    return (global_.out_flags2 & PF_OutFlag2_SUPPORTS_THREADED_RENDERING) != 0;
}

bool PluginSession::DeclaresGpuRendering() const {
    return (global_.out_flags2 & PF_OutFlag2_SUPPORTS_GPU_RENDER_F32) != 0;
}

const void* PluginSession::SetUpGpu(std::unique_ptr<host::GpuDevice> device) {
    if (!DeclaresGpuRendering()) {
        throw ExitError(kExitUsage, "the plug-in does not declare GPU rendering");
    }
    gpu_ = std::move(device);
    offer_ = std::make_unique<host::ScopedGpuDeviceOffer>(0, *gpu_);
    PF_GPUDeviceSetupInput input{gpu_->Framework(), 0};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    const host::CommandResult result = instance_->Run(PF_Cmd_GPU_DEVICE_SETUP, {}, &extra);
    gpuSetUp_ = true;  // set down at the end whatever set-up answered
    gpuData_ = output.gpu_data;
    RequireSuccess(result, "GPU device set-up on " + gpu_->Name());
    if ((result.out.out_flags2 & PF_OutFlag2_SUPPORTS_GPU_RENDER_F32) == 0) {
        // A plug-in may say why in its message field.
        std::string message = "the plug-in declined the GPU device " + gpu_->Name();
        if (result.out.return_msg[0] != '\0') {
            message += ": " + std::string(result.out.return_msg);
        }
        throw ExitError(kExitUsage, message);
    }
    return gpuData_;
}

std::unique_ptr<PluginSession> StartScene(const host::Scene& scene, const std::string& pluginPath) {
    PrintWarnings(scene.warnings);
    auto session = std::make_unique<PluginSession>(
        pluginPath.empty() ? DefaultPluginPath() : pluginPath, scene.width, scene.height);
    std::vector<std::string> warnings;
    host::ApplyScene(scene, session->Instance(), warnings);
    PrintWarnings(warnings);
    return session;
}

}  // namespace tarsivel::cli
