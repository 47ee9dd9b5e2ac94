#include "host/gpu/opencl_device.h"

#include <stdexcept>
#include <vector>

namespace tarsivel::host {
namespace {

void Check(cl_int status, const char* what) {
    if (status != CL_SUCCESS) {
        ThrowFrameworkFailure("OpenCL", what, std::to_string(status));
    }
}

std::string DeviceName(cl_device_id device) {
    std::size_t size = 0;
    if (clGetDeviceInfo(device, CL_DEVICE_NAME, 0, nullptr, &size) != CL_SUCCESS || size == 0) {
        return {};
    }
    std::string name(size, '\0');
    clGetDeviceInfo(device, CL_DEVICE_NAME, size, name.data(), nullptr);
    name.resize(name.find('\0') == std::string::npos ? size : name.find('\0'));
    return name;
}

std::vector<cl_platform_id> Platforms() {
    cl_uint count = 0;
    if (clGetPlatformIDs(0, nullptr, &count) != CL_SUCCESS || count == 0) {
        return {};
    }
    std::vector<cl_platform_id> platforms(count);
    if (clGetPlatformIDs(count, platforms.data(), nullptr) != CL_SUCCESS) {
        return {};
    }
    return platforms;
}

std::vector<cl_device_id> Devices(cl_platform_id platform) {
    cl_uint count = 0;
    if (clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 0, nullptr, &count) != CL_SUCCESS ||
        count == 0) {
        return {};
    }
    std::vector<cl_device_id> devices(count);
    if (clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, count, devices.data(), nullptr) !=
        CL_SUCCESS) {
        return {};
    }
    return devices;
}

class OpenCLWorld final : public GpuWorld {
  public:
    OpenCLWorld(cl_context context, cl_command_queue queue, int32_t width, int32_t height,
                int32_t rowPaddingBytes)
        : GpuWorld(width, height, rowPaddingBytes), queue_(queue) {
        cl_int status = CL_SUCCESS;
        buffer_ = clCreateBuffer(context, CL_MEM_READ_WRITE, ByteSize(), nullptr, &status);
        Check(status, "clCreateBuffer (world)");
        Attach(buffer_);
        // A constructor that throws runs no destructor: give the buffer back here.
        try {
            Fill(BgraPixel{});
        } catch (...) {
            Detach();
            clReleaseMemObject(buffer_);
            throw;
        }
    }
    ~OpenCLWorld() override {
        // Work still queued on the buffer must finish before the host lets it go.
        clFinish(queue_);
        Detach();
        clReleaseMemObject(buffer_);
    }
    OpenCLWorld(const OpenCLWorld&) = delete;
    OpenCLWorld& operator=(const OpenCLWorld&) = delete;

  protected:
    void WriteBytes(const std::vector<uint8_t>& bytes) override {
        Check(clEnqueueWriteBuffer(queue_, buffer_, CL_TRUE, 0, bytes.size(), bytes.data(), 0,
                                   nullptr, nullptr),
              "clEnqueueWriteBuffer");
    }
    std::vector<uint8_t> ReadBytes() const override {
        std::vector<uint8_t> bytes(ByteSize());
        // In-order queue: a blocking read also waits for the kernels before it.
        Check(clEnqueueReadBuffer(queue_, buffer_, CL_TRUE, 0, bytes.size(), bytes.data(), 0,
                                  nullptr, nullptr),
              "clEnqueueReadBuffer");
        return bytes;
    }

  private:
    cl_command_queue queue_;
    cl_mem buffer_ = nullptr;
};

}  // namespace

std::unique_ptr<OpenCLDevice> OpenCLDevice::Open(std::string_view nameContains) {
    for (cl_platform_id platform : Platforms()) {
        for (cl_device_id device : Devices(platform)) {
            std::string name = DeviceName(device);
            if (nameContains.empty() || name.find(nameContains) != std::string::npos) {
                return std::unique_ptr<OpenCLDevice>(
                    new OpenCLDevice(platform, device, std::move(name)));
            }
        }
        if (nameContains.empty()) {
            // Only the first platform is considered without a name.
            break;
        }
    }
    return nullptr;
}

OpenCLDevice::OpenCLDevice(cl_platform_id platform, cl_device_id device, std::string name)
    : FrameworkDevice(PF_GPU_Framework_OPENCL, std::move(name)),
      platform_(platform),
      device_(device) {
    cl_int status = CL_SUCCESS;
    const cl_context_properties properties[] = {
        CL_CONTEXT_PLATFORM, reinterpret_cast<cl_context_properties>(platform_), 0};
    context_ = clCreateContext(properties, 1, &device_, nullptr, nullptr, &status);
    Check(status, "clCreateContext");
    queue_ = clCreateCommandQueue(context_, device_, 0, &status);
    if (status != CL_SUCCESS) {
        clReleaseContext(context_);
        Check(status, "clCreateCommandQueue");
    }
}

OpenCLDevice::~OpenCLDevice() {
    clFinish(queue_);
    clReleaseCommandQueue(queue_);
    clReleaseContext(context_);
}

PF_GPUDeviceInfo OpenCLDevice::Info() const {
    PF_GPUDeviceInfo info = FrameworkInfo();
    info.platformPV = platform_;
    info.devicePV = device_;
    info.contextPV = context_;
    info.command_queuePV = queue_;
    return info;
}

std::unique_ptr<GpuWorld> OpenCLDevice::NewWorld(int32_t width, int32_t height,
                                                 int32_t rowPaddingBytes) {
    return std::make_unique<OpenCLWorld>(context_, queue_, width, height, rowPaddingBytes);
}

void OpenCLDevice::Finish() {
    Check(clFinish(queue_), "clFinish");
}

}  // namespace tarsivel::host
