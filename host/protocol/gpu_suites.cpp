// "PF GPU Device Suite" version 1 and "PF Handle Suite" (kPFHandleSuiteVersion1, 2).
#include "host/protocol/gpu_suites.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/gpu_world.h"
#include "host/protocol/standard_suites.h"
#include "host/protocol/suite_registry.h"
#include "host/protocol/unexpected_calls.h"
#include "hostapi/pf_suites.h"

namespace tarsivel::host {
namespace {

struct GpuState {
    std::mutex mutex;
    std::map<A_u_long, GpuDevice*> devices;
    // Each handle is the address of its block's data pointer; the block is the
    // host's, so the pointer itself never moves here.
    std::map<PF_Handle, std::size_t> handles;
    HandleCounts counts;
};

GpuState& State() {
    static GpuState state;
    return state;
}

PF_Err GetDeviceInfo(PF_ProgPtr effect_ref, A_u_long device_index, PF_GPUDeviceInfo* device_info) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || device_info == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::GetDeviceInfo)) {
        return *err;
    }
    GpuDevice* device = OfferedGpuDevice(device_index);
    if (device == nullptr) {
        command->Accounts().Misuse("GetDeviceInfo for device " + std::to_string(device_index) +
                                   ", which this host does not offer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *device_info = device->Info();
    return PF_Err_NONE;
}

PF_Err GetGPUWorldData(PF_ProgPtr effect_ref, PF_EffectWorld* world, void** pixels) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || pixels == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::GetGPUWorldData)) {
        return *err;
    }
    void* memory = GpuWorldMemory(world);
    if (memory == nullptr) {
        command->Accounts().Misuse("GetGPUWorldData for a world that is not in GPU memory");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *pixels = memory;
    return PF_Err_NONE;
}

PF_Handle NewHandle(A_HandleSize size) {
    if (CommandContext* command = CommandContext::Current()) {
        if (command->Failures().Consult(HostCall::NewHandle)) {
            return nullptr;
        }
    }
    auto* block = static_cast<void**>(std::malloc(sizeof(void*)));
    void* data = std::calloc(1, size > 0 ? static_cast<std::size_t>(size) : 1);
    if (block == nullptr || data == nullptr) {
        std::free(block);
        std::free(data);
        return nullptr;
    }
    *block = data;
    GpuState& state = State();
    std::lock_guard lock(state.mutex);
    try {
        state.handles.emplace(block, static_cast<std::size_t>(size));
    } catch (...) {
        std::free(data);
        std::free(block);
        throw;
    }
    ++state.counts.made;
    return block;
}

void DisposeHandle(PF_Handle handle) {
    CommandContext* command = CommandContext::Current();
    if (command != nullptr) {
        command->Failures().Consult(HostCall::DisposeHandle);
    }
    GpuState& state = State();
    {
        std::lock_guard lock(state.mutex);
        auto it = state.handles.find(handle);
        if (it != state.handles.end()) {
            state.handles.erase(it);
            ++state.counts.disposed;
            std::free(*handle);
            std::free(handle);
            return;
        }
    }
    if (command != nullptr) {
        command->Accounts().Misuse("host_dispose_handle of a handle this host did not make");
    }
}

PF_GPUDeviceSuite1 MakeGpuDeviceSuite() {
    auto suite = UnexpectedTable<PF_GPUDeviceSuite1>();
    suite.GetDeviceInfo = Guarded<GetDeviceInfo>;
    suite.GetGPUWorldData = Guarded<GetGPUWorldData>;
    return suite;
}

PF_HandleSuite1 MakeHandleSuite() {
    auto suite = UnexpectedTable<PF_HandleSuite1>();
    suite.host_new_handle = Guarded<NewHandle>;
    suite.host_dispose_handle = Guarded<DisposeHandle>;
    return suite;
}

const PF_GPUDeviceSuite1 gpuDeviceSuite = MakeGpuDeviceSuite();
const PF_HandleSuite1 handleSuite = MakeHandleSuite();

}  // namespace

void RegisterGpuSuites(SuiteRegistry& registry) {
    registry.Register(kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1, &gpuDeviceSuite);
    registry.Register(kPFHandleSuite, kPFHandleSuiteVersion1, &handleSuite);
}

void OfferGpuDevice(A_u_long deviceIndex, GpuDevice* device) {
    GpuState& state = State();
    std::lock_guard lock(state.mutex);
    if (device == nullptr) {
        state.devices.erase(deviceIndex);
    } else {
        state.devices[deviceIndex] = device;
    }
}

GpuDevice* OfferedGpuDevice(A_u_long deviceIndex) {
    GpuState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.devices.find(deviceIndex);
    return it == state.devices.end() ? nullptr : it->second;
}

ScopedGpuDeviceOffer::ScopedGpuDeviceOffer(A_u_long deviceIndex, GpuDevice& device)
    : deviceIndex_(deviceIndex), previous_(OfferedGpuDevice(deviceIndex)) {
    OfferGpuDevice(deviceIndex, &device);
}

ScopedGpuDeviceOffer::~ScopedGpuDeviceOffer() {
    OfferGpuDevice(deviceIndex_, previous_);
}

HandleCounts CountHandles() {
    GpuState& state = State();
    std::lock_guard lock(state.mutex);
    return state.counts;
}

long long HandleSize(PF_Handle handle) {
    GpuState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.handles.find(handle);
    return it == state.handles.end() ? -1 : static_cast<long long>(it->second);
}

}  // namespace tarsivel::host
