#include "host/gpu/cuda_device.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tarsivel::host {
namespace {

void Check(const CudaDriver& driver, CUresult result, const char* what) {
    if (result != CUDA_SUCCESS) {
        ThrowFrameworkFailure("CUDA", what, CudaErrorText(driver, result));
    }
}

class CudaWorld final : public GpuWorld {
  public:
    CudaWorld(const CudaDevice& device, int32_t width, int32_t height, int32_t rowPaddingBytes)
        : GpuWorld(width, height, rowPaddingBytes), device_(device) {
        ScopedCudaContext current(Driver(), device_.Context());
        Check(Driver(), Driver().cuMemAlloc(&memory_, ByteSize()), "cuMemAlloc (world)");
        Attach(reinterpret_cast<void*>(static_cast<std::uintptr_t>(memory_)));
        // A constructor that throws runs no destructor: give the memory back here.
        try {
            Fill(BgraPixel{});
        } catch (...) {
            Detach();
            Driver().cuMemFree(memory_);
            throw;
        }
    }
    ~CudaWorld() override {
        ScopedCudaContext current(Driver(), device_.Context());
        Driver().cuCtxSynchronize();
        Detach();
        Driver().cuMemFree(memory_);
    }
    CudaWorld(const CudaWorld&) = delete;
    CudaWorld& operator=(const CudaWorld&) = delete;

  protected:
    void WriteBytes(const std::vector<uint8_t>& bytes) override {
        ScopedCudaContext current(Driver(), device_.Context());
        Check(Driver(), Driver().cuMemcpyHtoD(memory_, bytes.data(), bytes.size()),
              "cuMemcpyHtoD (upload)");
    }
    std::vector<uint8_t> ReadBytes() const override {
        std::vector<uint8_t> bytes(ByteSize());
        ScopedCudaContext current(Driver(), device_.Context());
        Check(Driver(), Driver().cuMemcpyDtoH(bytes.data(), memory_, bytes.size()),
              "cuMemcpyDtoH (download)");
        return bytes;
    }

  private:
    const CudaDriver& Driver() const { return device_.Driver(); }

    const CudaDevice& device_;
    CUdeviceptr memory_ = 0;
};

}  // namespace

std::unique_ptr<CudaDevice> CudaDevice::Open(int ordinal, std::string& why) {
    const CudaDriver* driver = LoadCudaDriver(&why);
    if (driver == nullptr) {
        return nullptr;
    }
    int count = 0;
    if (const CUresult result = driver->cuDeviceGetCount(&count); result != CUDA_SUCCESS) {
        why = "the CUDA driver cannot count its devices: " + CudaErrorText(*driver, result);
        return nullptr;
    }
    if (ordinal < 0 || ordinal >= count) {
        why = count == 0 ? "the CUDA driver finds no GPU on this machine"
                         : "no CUDA device " + std::to_string(ordinal) + " (there are " +
                               std::to_string(count) + ")";
        return nullptr;
    }
    CUdevice device = 0;
    char name[256] = {};
    int major = 0;
    int minor = 0;
    if (driver->cuDeviceGet(&device, ordinal) != CUDA_SUCCESS ||
        driver->cuDeviceGetName(name, int(sizeof name) - 1, device) != CUDA_SUCCESS ||
        driver->cuDeviceGetAttribute(&major, CU_DEVICE_ATTRIBUTE_COMPUTE_CAPABILITY_MAJOR,
                                     device) != CUDA_SUCCESS ||
        driver->cuDeviceGetAttribute(&minor, CU_DEVICE_ATTRIBUTE_COMPUTE_CAPABILITY_MINOR,
                                     device) != CUDA_SUCCESS) {
        why = "the CUDA driver cannot describe device " + std::to_string(ordinal);
        return nullptr;
    }
    CUcontext context = nullptr;
    if (const CUresult result = driver->cuDevicePrimaryCtxRetain(&context, device);
        result != CUDA_SUCCESS) {
        why = std::string("the CUDA context of ") + name +
              " cannot be had: " + CudaErrorText(*driver, result);
        return nullptr;
    }
    return std::unique_ptr<CudaDevice>(
        new CudaDevice(*driver, ordinal, device, context, name, major * 10 + minor));
}

CudaDevice::CudaDevice(const CudaDriver& driver, int ordinal, CUdevice device, CUcontext context,
                       std::string name, int computeCapability)
    : FrameworkDevice(PF_GPU_Framework_CUDA, std::move(name)),
      driver_(driver),
      ordinal_(ordinal),
      device_(device),
      context_(context),
      computeCapability_(computeCapability) {}

CudaDevice::~CudaDevice() {
    driver_.cuDevicePrimaryCtxRelease(device_);
}

PF_GPUDeviceInfo CudaDevice::Info() const {
    PF_GPUDeviceInfo info = FrameworkInfo();
    info.devicePV = reinterpret_cast<void*>(static_cast<std::intptr_t>(ordinal_));
    info.contextPV = context_;
    return info;
}

std::unique_ptr<GpuWorld> CudaDevice::NewWorld(int32_t width, int32_t height,
                                               int32_t rowPaddingBytes) {
    return std::make_unique<CudaWorld>(*this, width, height, rowPaddingBytes);
}

void CudaDevice::Finish() {
    ScopedCudaContext current(driver_, context_);
    Check(driver_, driver_.cuCtxSynchronize(), "cuCtxSynchronize");
}

std::string CudaDriverVersion() {
    std::string why;
    const CudaDriver* driver = LoadCudaDriver(&why);
    if (driver == nullptr) {
        return why;
    }
    int version = 0;
    driver->cuDriverGetVersion(&version);
    return "driver " + std::to_string(version / 1000) + "." + std::to_string(version % 1000 / 10);
}

}  // namespace tarsivel::host
