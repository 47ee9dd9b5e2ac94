// GPU device set-up and set-down on a real OpenCL device, and the frameworks
// that need no device.
#include <gtest/gtest.h>

#include <CL/cl.h>
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "hostapi/pf_suites.h"
#include "render/kernel/rope_kernel_source.h"
#include "tests/render/gpu/gpu_test_support.h"

namespace tarsivel::testing {
namespace {

constexpr char kCudaDriverName[] = "libcuda.so.1";

using host::HostCall;

constexpr PF_OutFlags2 kEarlierFlags = 0x1;

// Set-up with earlier bits already in out_flags2, so assignment and combination
// can be told apart.
host::CommandResult SetUpOver(host::EffectInstance& instance, PF_GPU_Framework framework,
                              void** gpuData, host::CommandSettings settings = {}) {
    PF_GPUDeviceSetupInput input{framework, kTestDeviceIndex};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    auto result = RunCaught(
        instance,
        [&](PF_InData* in, PF_OutData* out) {
            out->out_flags2 = kEarlierFlags;
            return GPUDeviceSetup(in, out, &extra);
        },
        settings);
    *gpuData = output.gpu_data;
    return result;
}

std::string KernelText(cl_kernel kernel, cl_kernel_info what) {
    std::size_t size = 0;
    clGetKernelInfo(kernel, what, 0, nullptr, &size);
    std::string text(size, '\0');
    clGetKernelInfo(kernel, what, size, text.data(), nullptr);
    return text.substr(0, text.find('\0'));
}

cl_uint KernelReferences(cl_kernel kernel) {
    cl_uint count = 0;
    clGetKernelInfo(kernel, CL_KERNEL_REFERENCE_COUNT, sizeof count, &count, nullptr);
    return count;
}

class GpuDeviceSetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        device_ = host::OpenCLDevice::Open();
        if (device_ != nullptr) {
            host::OfferGpuDevice(kTestDeviceIndex, device_.get());
        }
        handlesBefore_ = host::CountHandles().Live();
    }
    void TearDown() override {
        host::OfferGpuDevice(kTestDeviceIndex, nullptr);
        EXPECT_EQ(host::CountHandles().Live(), handlesBefore_) << "handles left over";
    }
    void RequireDevice() {
        if (device_ == nullptr) {
            GTEST_SKIP() << "no OpenCL device";
        }
    }

    host::EffectInstance instance_{nullptr};
    std::unique_ptr<host::OpenCLDevice> device_;
    long handlesBefore_ = 0;
};

TEST_F(GpuDeviceSetupTest, OpenCLBuildsTheKernelIntoAHandleAndSetDownReleasesItOnce) {
    RequireDevice();
    void* gpuData = nullptr;
    const auto setup = SetUpOver(instance_, PF_GPU_Framework_OPENCL, &gpuData);
    ASSERT_EQ(setup.err, PF_Err_NONE);
    EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0x2000000));
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    ASSERT_NE(gpuData, nullptr);
    EXPECT_EQ(host::HandleSize(static_cast<PF_Handle>(gpuData)),
              static_cast<long long>(sizeof(OpenCLGPUData)));

    const OpenCLGPUData* record = OpenCLRecordOf(gpuData);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->kernel, nullptr);
    EXPECT_NE(record->lock, nullptr);
    EXPECT_EQ(KernelText(record->kernel, CL_KERNEL_FUNCTION_NAME), "RenderRopeKernel");
    cl_uint arguments = 0;
    clGetKernelInfo(record->kernel, CL_KERNEL_NUM_ARGS, sizeof arguments, &arguments, nullptr);
    EXPECT_EQ(arguments, 19u);

    // The program behind the kernel: the define line, then the kernel text,
    // built with the two options.
    cl_program program = nullptr;
    clGetKernelInfo(record->kernel, CL_KERNEL_PROGRAM, sizeof program, &program, nullptr);
    std::size_t size = 0;
    clGetProgramInfo(program, CL_PROGRAM_SOURCE, 0, nullptr, &size);
    std::string source(size, '\0');
    clGetProgramInfo(program, CL_PROGRAM_SOURCE, size, source.data(), nullptr);
    EXPECT_EQ(
        source.substr(0, source.find('\0')),
        std::string(kKernelDefineLine) + std::string(kRopeKernelSource, kRopeKernelSourceLength));
    cl_device_id deviceId = device_->Device();
    clGetProgramBuildInfo(program, deviceId, CL_PROGRAM_BUILD_OPTIONS, 0, nullptr, &size);
    std::string options(size, '\0');
    clGetProgramBuildInfo(program, deviceId, CL_PROGRAM_BUILD_OPTIONS, size, options.data(),
                          nullptr);
    EXPECT_EQ(options.substr(0, options.find('\0')),
              "-cl-single-precision-constant -cl-fast-relaxed-math");

    // Hold one reference of our own: after set-down exactly it remains.
    cl_kernel kernel = record->kernel;
    clRetainKernel(kernel);
    const auto setdown = SetDownDevice(instance_, PF_GPU_Framework_OPENCL, gpuData);
    EXPECT_EQ(setdown.err, PF_Err_NONE);
    EXPECT_TRUE(setdown.Balanced()) << setdown.BalanceReport();
    EXPECT_EQ(KernelReferences(kernel), 1u);
    clReleaseKernel(kernel);
}

TEST_F(GpuDeviceSetupTest, CudaIsDeclinedWithoutADriverAndSetDownWithoutGpuDataDoesNothing) {
    if (dlopen(kCudaDriverName, RTLD_NOW | RTLD_NOLOAD) != nullptr ||
        dlopen(kCudaDriverName, RTLD_NOW) != nullptr) {
        GTEST_SKIP() << "a CUDA driver is installed";
    }
    void* gpuData = nullptr;
    const long handlesBefore = host::CountHandles().Live();
    const auto setup = SetUpOver(instance_, PF_GPU_Framework_CUDA, &gpuData);
    EXPECT_EQ(setup.err, PF_Err_NONE);
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    EXPECT_EQ(gpuData, nullptr);
    EXPECT_EQ(setup.out.out_flags2, kEarlierFlags);
    EXPECT_EQ(std::string(setup.out.return_msg),
              "no CUDA driver on this machine (libcuda.so.1 cannot be loaded)");
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore);
    EXPECT_EQ(SetDownDevice(instance_, PF_GPU_Framework_CUDA, nullptr).err, PF_Err_NONE);
}

TEST_F(GpuDeviceSetupTest, OtherFrameworksAreDeclined) {
    for (PF_GPU_Framework framework :
         {PF_GPU_Framework(PF_GPU_Framework_NONE), PF_GPU_Framework(2)}) {
        void* gpuData = nullptr;
        const auto setup = SetUpOver(instance_, framework, &gpuData);
        EXPECT_EQ(setup.err, PF_Err_NONE);
        EXPECT_EQ(setup.out.out_flags2, kEarlierFlags);
        EXPECT_EQ(gpuData, nullptr);
        EXPECT_EQ(SetDownDevice(instance_, framework, nullptr).err, PF_Err_NONE);
    }
}

TEST_F(GpuDeviceSetupTest, FailedDeviceQueryGives512WithTheHandleAndFlagStillReturned) {
    RequireDevice();
    host::CommandSettings settings;
    settings.failures.FailAlways(HostCall::GetDeviceInfo, 600);
    void* gpuData = nullptr;
    const auto setup = SetUpOver(instance_, PF_GPU_Framework_OPENCL, &gpuData, settings);
    EXPECT_EQ(setup.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0x2000000));
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    ASSERT_NE(gpuData, nullptr);
    EXPECT_EQ(OpenCLRecordOf(gpuData)->kernel, nullptr);
    // Set-down skips the missing kernel and still gives the handle back.
    EXPECT_EQ(SetDownDevice(instance_, PF_GPU_Framework_OPENCL, gpuData).err, PF_Err_NONE);
}

TEST_F(GpuDeviceSetupTest, DeviceWithoutContextIsNeverHandedToOpenCL) {
    // A host that answers but leaves the record empty.
    host::OfferGpuDevice(kTestDeviceIndex, nullptr);
    struct EmptyDevice final : host::GpuDevice {
        PF_GPU_Framework Framework() const override { return PF_GPU_Framework_OPENCL; }
        std::string Name() const override { return "empty"; }
        PF_GPUDeviceInfo Info() const override { return PF_GPUDeviceInfo{}; }
        std::unique_ptr<GpuWorld> NewWorld(int32_t, int32_t, int32_t) override { return nullptr; }
        void Finish() override {}
    } empty;
    host::ScopedGpuDeviceOffer offer(kTestDeviceIndex, empty);
    void* gpuData = nullptr;
    EXPECT_EQ(SetUpOver(instance_, PF_GPU_Framework_OPENCL, &gpuData).err,
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    ASSERT_NE(gpuData, nullptr);
    EXPECT_EQ(SetDownDevice(instance_, PF_GPU_Framework_OPENCL, gpuData).err, PF_Err_NONE);
}

TEST_F(GpuDeviceSetupTest, NoHandleFromTheHostGives512AndNoGpuData) {
    RequireDevice();
    host::CommandSettings settings;
    settings.failures.FailAlways(HostCall::NewHandle, 1);
    void* gpuData = nullptr;
    const auto setup = SetUpOver(instance_, PF_GPU_Framework_OPENCL, &gpuData, settings);
    EXPECT_EQ(setup.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(gpuData, nullptr);
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    // The host may still set the device down: with no GPU data there is nothing to do.
    const auto setdown = SetDownDevice(instance_, PF_GPU_Framework_OPENCL, nullptr);
    EXPECT_EQ(setdown.err, PF_Err_NONE);
    EXPECT_TRUE(setdown.Balanced()) << setdown.BalanceReport();
}

TEST_F(GpuDeviceSetupTest, MissingSuitesAreReportedAndGiveBackWhatWasTaken) {
    for (const char* missing : {kPFHandleSuite, kPFGPUDeviceSuite}) {
        host::EffectInstance instance(nullptr);
        instance.Suites().Withdraw(missing, std::string(missing) == kPFHandleSuite
                                                ? kPFHandleSuiteVersion1
                                                : kPFGPUDeviceSuiteVersion1);
        void* gpuData = nullptr;
        const auto setup = SetUpOver(instance, PF_GPU_Framework_OPENCL, &gpuData);
        EXPECT_EQ(setup.err, A_Err_MISSING_SUITE) << missing;
        EXPECT_STREQ(setup.out.return_msg, "Not able to acquire AEFX Suite.");
        EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
        EXPECT_EQ(gpuData, nullptr);
    }
}

TEST_F(GpuDeviceSetupTest, SetDownWithoutTheHandleSuiteHasReleasedTheKernelAlready) {
    RequireDevice();
    void* gpuData = nullptr;
    ASSERT_EQ(SetUpOver(instance_, PF_GPU_Framework_OPENCL, &gpuData).err, PF_Err_NONE);
    cl_kernel kernel = OpenCLRecordOf(gpuData)->kernel;
    clRetainKernel(kernel);

    host::EffectInstance withoutHandles(nullptr);
    withoutHandles.Suites().Withdraw(kPFHandleSuite, kPFHandleSuiteVersion1);
    const auto failed = SetDownDevice(withoutHandles, PF_GPU_Framework_OPENCL, gpuData);
    EXPECT_EQ(failed.err, A_Err_MISSING_SUITE);
    EXPECT_EQ(KernelReferences(kernel), 1u);
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore_ + 1) << "the handle is not disposed";

    // A later set-down with the suite back gives the handle back without
    // releasing the kernel a second time.
    EXPECT_EQ(SetDownDevice(instance_, PF_GPU_Framework_OPENCL, gpuData).err, PF_Err_NONE);
    EXPECT_EQ(KernelReferences(kernel), 1u);
    clReleaseKernel(kernel);
}

}  // namespace
}  // namespace tarsivel::testing
