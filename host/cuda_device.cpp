#include "host/cuda_device.h"

#include <cuda_runtime_api.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tarsivel::host {
namespace {

void Check(cudaError_t status, const char* what) {
    if (status != cudaSuccess) {
        throw std::runtime_error(std::string("CUDA ") + what +
                                 " failed: " + cudaGetErrorString(status));
    }
}

std::string Version(int version) {
    return std::to_string(version / 1000) + "." + std::to_string(version % 1000 / 10);
}

class CudaWorld final : public GpuWorld {
  public:
    CudaWorld(int ordinal, int32_t width, int32_t height, int32_t rowPaddingBytes)
        : GpuWorld(width, height, rowPaddingBytes), ordinal_(ordinal) {
        Check(cudaSetDevice(ordinal_), "cudaSetDevice");
        Check(cudaMalloc(&memory_, ByteSize()), "cudaMalloc (world)");
        Attach(memory_);
        Fill(BgraPixel{});
    }
    ~CudaWorld() override {
        cudaDeviceSynchronize();
        Detach();
        cudaFree(memory_);
    }
    CudaWorld(const CudaWorld&) = delete;
    CudaWorld& operator=(const CudaWorld&) = delete;

  protected:
    void WriteBytes(const std::vector<uint8_t>& bytes) override {
        Check(cudaMemcpy(memory_, bytes.data(), bytes.size(), cudaMemcpyHostToDevice),
              "cudaMemcpy (upload)");
    }
    std::vector<uint8_t> ReadBytes() const override {
        std::vector<uint8_t> bytes(ByteSize());
        Check(cudaMemcpy(bytes.data(), memory_, bytes.size(), cudaMemcpyDeviceToHost),
              "cudaMemcpy (download)");
        return bytes;
    }

  private:
    int ordinal_;
    void* memory_ = nullptr;
};

}  // namespace

std::unique_ptr<CudaDevice> CudaDevice::Open(int ordinal) {
    int count = 0;
    if (cudaGetDeviceCount(&count) != cudaSuccess || ordinal >= count) {
        cudaGetLastError();
        return nullptr;
    }
    cudaDeviceProp properties{};
    if (cudaGetDeviceProperties(&properties, ordinal) != cudaSuccess) {
        cudaGetLastError();
        return nullptr;
    }
    return std::unique_ptr<CudaDevice>(
        new CudaDevice(ordinal, properties.name, properties.major * 10 + properties.minor));
}

CudaDevice::CudaDevice(int ordinal, std::string name, int computeCapability)
    : ordinal_(ordinal), name_(std::move(name)), computeCapability_(computeCapability) {}

PF_GPUDeviceInfo CudaDevice::Info() const {
    PF_GPUDeviceInfo info{};
    info.device_framework = PF_GPU_Framework_CUDA;
    info.compatibleB = 1;
    info.devicePV = reinterpret_cast<void*>(static_cast<std::intptr_t>(ordinal_));
    return info;
}

std::unique_ptr<GpuWorld> CudaDevice::NewWorld(int32_t width, int32_t height,
                                               int32_t rowPaddingBytes) {
    return std::make_unique<CudaWorld>(ordinal_, width, height, rowPaddingBytes);
}

void CudaDevice::Finish() {
    Check(cudaDeviceSynchronize(), "cudaDeviceSynchronize");
}

std::string CudaVersions() {
    int driver = 0;
    int runtime = 0;
    cudaDriverGetVersion(&driver);
    cudaRuntimeGetVersion(&runtime);
    return "driver " + (driver == 0 ? std::string("none") : Version(driver)) + ", runtime " +
           Version(runtime);
}

}  // namespace tarsivel::host
