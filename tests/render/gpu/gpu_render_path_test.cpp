// The GPU render path around the kernel: host calls, errors, the frames the
// kernel cannot take as they stand, and concurrent frames on one device.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "support/world_record.h"
#include "tests/render/gpu/gpu_test_support.h"

namespace tarsivel::testing {
namespace {

using host::HostCall;

RopeRenderData DiagonalRope() {
    RopeRenderData record = OpaqueRecord(0.9f, 0.3f, 0.1f);
    record.showNodes = true;
    AddPiece(record, 2.0f, 2.0f, 20.0f, 14.0f, 5.0f, 3.0f);
    AddNode(record, 2.0f, 2.0f, 2.5f);
    AddNode(record, 20.0f, 14.0f, 1.5f);
    return record;
}

bool AllPixelsAre(const std::vector<BgraPixel>& pixels, BgraPixel expected) {
    for (const BgraPixel& p : pixels) {
        if (p.blue != expected.blue || p.green != expected.green || p.red != expected.red ||
            p.alpha != expected.alpha) {
            return false;
        }
    }
    return true;
}

TEST(GpuLaunchGeometry, RoundsUpToWholeGroupsAndKeepsZero) {
    EXPECT_EQ(RoundUpToGroup(100), 112u);
    EXPECT_EQ(RoundUpToGroup(37), 48u);
    EXPECT_EQ(RoundUpToGroup(16), 16u);
    EXPECT_EQ(RoundUpToGroup(0), 0u);
    EXPECT_EQ(GroupCount(100), 7u);
    EXPECT_EQ(GroupCount(37), 3u);
    EXPECT_EQ(GroupCount(0), 0u);
}

TEST(GpuKernelScalars, ComeFromTheWorldsAndTheRecord) {
    PF_EffectWorld input = WorldRecord(100, 37, 100 * 16 + 48);
    PF_EffectWorld output = WorldRecord(100, 37, 112 * 16);
    RopeRenderData record = DiagonalRope();
    record.compositeOnOriginal = true;
    const KernelScalars s = ComputeKernelScalars(PF_PixelFormat_GPU_BGRA128, input, output, record);
    EXPECT_EQ(s.srcPitch, 103);
    EXPECT_EQ(s.dstPitch, 112);
    EXPECT_EQ(s.in16f, 0);
    EXPECT_EQ(s.width, 100u);
    EXPECT_EQ(s.height, 37u);
    EXPECT_EQ(s.pieceCount, 1);
    EXPECT_EQ(s.markerCount, 2);
    EXPECT_EQ(s.showNodes, 1);
    EXPECT_EQ(s.compositeOnOriginal, 1);
    EXPECT_EQ(ComputeKernelScalars(PF_PixelFormat_ARGB128, input, output, record).in16f, 1);
}

TEST(GpuKernelScalars, NeverReachPastTheOutputOrTheLists) {
    PF_EffectWorld input = WorldRecord(64, 48, 64 * 16);
    PF_EffectWorld output = WorldRecord(32, 50, 32 * 16);
    RopeRenderData record = DiagonalRope();
    record.segThickness.pop_back();  // one width short of a pair
    record.nodeThickness.pop_back();
    const KernelScalars s = ComputeKernelScalars(PF_PixelFormat_GPU_BGRA128, input, output, record);
    EXPECT_EQ(s.width, 32u);
    EXPECT_EQ(s.height, 48u);
    EXPECT_EQ(s.pieceCount, 0);
    EXPECT_EQ(s.markerCount, 1);
}

using GpuRenderPathTest = OpenCLRenderTest;

TEST_F(GpuRenderPathTest, WrongPixelFormatFailsBeforeAnyDeviceCall) {
    auto input = NewWorld(16, 16);
    auto output = NewWorld(16, 16);
    output->Fill(BgraPixel{0.5f, 0.5f, 0.5f, 0.5f});
    host::CommandSettings settings;
    // Were the device asked first, this error would come back instead.
    settings.failures.FailAlways(HostCall::GetDeviceInfo, 999);
    settings.failures.FailAlways(HostCall::GetGPUWorldData, 998);
    const auto result = Render(*input, *output, DiagonalRope(), PF_PixelFormat_ARGB128, settings);
    EXPECT_EQ(result.err, PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_TRUE(AllPixelsAre(output->ReadPixels(), BgraPixel{0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(GpuRenderPathTest, HostFailuresAreReturnedAndNothingIsDrawn) {
    auto input = NewWorld(16, 16);
    auto output = NewWorld(16, 16);
    struct Case {
        HostCall call;
        int nth;
    };
    // Device info, the input's memory, the output's memory.
    for (const Case c : {Case{HostCall::GetDeviceInfo, 1}, Case{HostCall::GetGPUWorldData, 1},
                         Case{HostCall::GetGPUWorldData, 2}}) {
        output->Fill(BgraPixel{0.5f, 0.5f, 0.5f, 0.5f});
        host::CommandSettings settings;
        settings.failures.FailNth(c.call, c.nth, 777);
        const auto result =
            Render(*input, *output, DiagonalRope(), PF_PixelFormat_GPU_BGRA128, settings);
        EXPECT_EQ(result.err, 777);
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
        EXPECT_TRUE(AllPixelsAre(output->ReadPixels(), BgraPixel{0.5f, 0.5f, 0.5f, 0.5f}));
    }
}

TEST_F(GpuRenderPathTest, MissingOrEmptyDeviceRecordGives512) {
    auto input = NewWorld(16, 16);
    auto output = NewWorld(16, 16);
    EXPECT_EQ(Render(*input, *output, DiagonalRope(), PF_PixelFormat_GPU_BGRA128, {},
                     PF_GPU_Framework_OPENCL, nullptr)
                  .err,
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    OpenCLGPUData empty{};
    void* block = &empty;
    EXPECT_EQ(Render(*input, *output, DiagonalRope(), PF_PixelFormat_GPU_BGRA128, {},
                     PF_GPU_Framework_OPENCL, &block)
                  .err,
              PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST_F(GpuRenderPathTest, OtherFrameworkDrawsNothingAndSucceeds) {
    auto input = NewWorld(16, 16);
    auto output = NewWorld(16, 16);
    output->Fill(BgraPixel{0.5f, 0.5f, 0.5f, 0.5f});
    const auto result = Render(*input, *output, DiagonalRope(), PF_PixelFormat_GPU_BGRA128, {},
                               PF_GPU_Framework_NONE);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(AllPixelsAre(output->ReadPixels(), BgraPixel{0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(GpuRenderPathTest, CudaFrameWithoutCudaGpuDataFails) {
    auto input = NewWorld(16, 16);
    auto output = NewWorld(16, 16);
    EXPECT_EQ(Render(*input, *output, DiagonalRope(), PF_PixelFormat_GPU_BGRA128, {},
                     PF_GPU_Framework_CUDA, nullptr)
                  .err,
              PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST_F(GpuRenderPathTest, AllTornRopeStillRendersItsMarkers) {
    RopeRenderData record = OpaqueRecord(1.0f, 1.0f, 1.0f);
    record.showNodes = true;
    AddNode(record, 6.0f, 6.0f, 2.0f);
    AddNode(record, 14.0f, 6.0f, 2.0f);
    ASSERT_TRUE(record.points.empty() && record.segThickness.empty());
    const auto pixels = RenderOnBlack(20, 12, record);
    EXPECT_EQ(At(pixels, 20, 6, 6).red, 1.0f);
    EXPECT_EQ(At(pixels, 20, 14, 6).alpha, 1.0f);
    EXPECT_EQ(At(pixels, 20, 10, 6).alpha, 0.0f);
}

TEST_F(GpuRenderPathTest, EmptyFrameLaunchesNothingAndSucceeds) {
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 8}, std::pair{8, 0}}) {
        auto input = NewWorld(w, h);
        auto output = NewWorld(w, h);
        EXPECT_EQ(Render(*input, *output, DiagonalRope()).err, PF_Err_NONE);
        EXPECT_TRUE(output->PaddingIntact());
    }
}

TEST_F(GpuRenderPathTest, SmallerOutputIsNeverWrittenPast) {
    auto input = NewWorld(40, 30);
    auto output = NewWorld(20, 10);
    RopeRenderData record = OpaqueRecord(1.0f, 0.0f, 0.0f);
    AddPiece(record, 0.0f, 0.0f, 40.0f, 30.0f, 12.0f, 12.0f);
    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    EXPECT_TRUE(output->PaddingIntact());
    EXPECT_EQ(At(output->ReadPixels(), 20, 5, 4).alpha, 1.0f);
}

TEST_F(GpuRenderPathTest, RecordIsOnlyRead) {
    const RopeRenderData record = DiagonalRope();
    const RopeRenderData before = record;
    auto input = NewWorld(24, 16);
    auto output = NewWorld(24, 16);
    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    EXPECT_EQ(record.points, before.points);
    EXPECT_EQ(record.segThickness, before.segThickness);
    EXPECT_EQ(record.nodePoints, before.nodePoints);
    EXPECT_EQ(record.nodeThickness, before.nodeThickness);
}

TEST_F(GpuRenderPathTest, ConcurrentFramesOnOneDeviceMatchSerialFrames) {
    constexpr int kThreads = 4;
    constexpr int kFramesEach = 6;
    constexpr int32_t kWidth = 32;
    constexpr int32_t kHeight = 24;
    auto frameRecord = [](int frame) {
        RopeRenderData record = OpaqueRecord(0.1f * float(frame % 10), 0.5f, 0.2f);
        record.showNodes = frame % 2 == 0;
        AddPiece(record, 1.0f + float(frame), 2.0f, 30.0f, 20.0f - float(frame),
                 2.0f + float(frame), 3.0f);
        AddNode(record, 1.0f + float(frame), 2.0f, 2.0f);
        return record;
    };
    std::vector<std::vector<BgraPixel>> serial;
    for (int frame = 0; frame < kThreads * kFramesEach; ++frame) {
        serial.push_back(RenderOnBlack(kWidth, kHeight, frameRecord(frame)));
    }

    std::vector<std::vector<BgraPixel>> concurrent(serial.size());
    std::vector<PF_Err> errors(serial.size(), PF_Err_NONE);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kFramesEach; ++i) {
                const int frame = t * kFramesEach + i;
                auto input = Device().NewWorld(kWidth, kHeight);
                auto output = Device().NewWorld(kWidth, kHeight);
                errors[frame] = Render(*input, *output, frameRecord(frame)).err;
                concurrent[frame] = output->ReadPixels();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t frame = 0; frame < serial.size(); ++frame) {
        EXPECT_EQ(errors[frame], PF_Err_NONE);
        EXPECT_TRUE(std::memcmp(serial[frame].data(), concurrent[frame].data(),
                                serial[frame].size() * sizeof(BgraPixel)) == 0)
            << "frame " << frame;
    }
}

}  // namespace
}  // namespace tarsivel::testing
