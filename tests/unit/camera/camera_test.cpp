#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "camera/camera_ds.h"
#include "camera/video_input_devices.h"
#include "sim_fixture.h"

namespace telo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class CameraTest : public telosim::SimTest {
protected:
    // Takes frames until one arrives (the first can take a frame period).
    const std::uint8_t* nextFrame(CCameraDS& camera) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (const std::uint8_t* frame = camera.QueryFrame()) {
                return frame;
            }
        }
        return nullptr;
    }
};

TEST_F(CameraTest, ListsCaptureNodesInNodeOrderWithoutMetadataNodes) {
    EXPECT_EQ(CCameraDS::GetCameraCount(), 0);
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    tree.plug("board", telosim::DeviceKind::Platform);

    EXPECT_EQ(CCameraDS::GetCameraCount(), 3);
    const std::vector<VideoInputDevice> devices = ListVideoInputDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].node, "video0");
    EXPECT_EQ(devices[0].name, "UVC Camera (046d:0825)");
    EXPECT_EQ(devices[0].devicePath,
              "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/video4linux/video0 "
              "usb:v046dp0825");
    EXPECT_EQ(devices[1].node, "video2");
    EXPECT_EQ(devices[1].devicePath,
              "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video2 "
              "usb:v0525pa4c1");
    // No USB ancestor: the sysfs path alone.
    EXPECT_EQ(devices[2].devicePath, "/sys/devices/platform/vivid.4/video4linux/video4");
}

TEST_F(CameraTest, NodeNumbersSortNumerically) {
    for (int i = 0; i < 6; ++i) {
        tree.plug("cam" + std::to_string(i), telosim::DeviceKind::Webcam);
    }
    std::vector<std::string> nodes;
    for (const VideoInputDevice& device : ListVideoInputDevices()) {
        nodes.push_back(device.node);
    }
    EXPECT_THAT(nodes, ElementsAre("video0", "video2", "video4", "video6", "video8", "video10"));
}

TEST_F(CameraTest, CountingOpensOnlyNodesItHasNotSeen) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(CCameraDS::GetCameraCount(), 1);
    }
    const std::string log = tree.stateDir("scanner") + "/open.log";
    EXPECT_EQ(telosim::ReadLines(log).size(), 2u) << "capture and metadata node probed once each";

    tree.unplug("scanner");
    EXPECT_EQ(CCameraDS::GetCameraCount(), 0);
    tree.replug("scanner");
    EXPECT_EQ(CCameraDS::GetCameraCount(), 1);
    EXPECT_EQ(telosim::ReadLines(log).size(), 4u) << "a replugged node is probed again";
}

TEST_F(CameraTest, OpenRejectsPositionsOutsideTheList) {
    CCameraDS camera;
    EXPECT_FALSE(camera.OpenCamera(0, false, 640, 480));
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    EXPECT_FALSE(camera.OpenCamera(-1, false, 640, 480));
    EXPECT_FALSE(camera.OpenCamera(1, false, 640, 480));
    EXPECT_FALSE(camera.graphConnected());
    EXPECT_TRUE(camera.OpenCamera(0, false, 640, 480));
    EXPECT_EQ(camera.width(), 640);
    EXPECT_EQ(camera.height(), 480);
}

TEST_F(CameraTest, FormatFailuresPrintTheirLineAndLeaveTheCameraReopenable) {
    tree.plug("scanner", telosim::DeviceKind::Scanner, {{"g_fmt", "fail"}});
    CCameraDS camera;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(camera.OpenCamera(0, false, 640, 480));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "GetFormat Failed ! \n");

    tree.set("scanner", "g_fmt", "ok");
    tree.set("scanner", "s_fmt", "fail");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(camera.OpenCamera(0, false, 640, 480));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CCameraDS::OpenCamera:196\n");
    EXPECT_FALSE(camera.graphConnected());

    tree.set("scanner", "s_fmt", "ok");
    EXPECT_TRUE(camera.OpenCamera(0, false, 640, 480));
}

TEST_F(CameraTest, TheDriverSettlesTheFrameSize) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 300, 200));
    EXPECT_EQ(camera.width(), 320);
    EXPECT_EQ(camera.height(), 240);
    camera.StartCapture();
    ASSERT_NE(nextFrame(camera), nullptr);
    EXPECT_EQ(camera.bufferSize(), 320 * 240 * 2);
}

TEST_F(CameraTest, FirstFramePrintsItsSizeAndLaterFramesReuseTheBuffer) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    show("scanner", "black.png");
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    EXPECT_EQ(camera.StartCapture(), 0);

    testing::internal::CaptureStdout();
    const std::uint8_t* first = nextFrame(camera);
    const std::uint8_t* second = nextFrame(camera);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(output, "size = 614400\n");
    EXPECT_EQ(camera.bufferSize(), 614400);
    // The black square sits in the middle of a white frame; chroma bytes are neutral.
    EXPECT_EQ(first[2 * (240 * 640 + 320)], 0);
    EXPECT_EQ(first[0], 255);
    EXPECT_EQ(first[1], 0x80);
}

TEST_F(CameraTest, HandsOutTheNewestFrameAfterAPause) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    show("scanner", "black.png");
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    camera.StartCapture();
    ASSERT_NE(nextFrame(camera), nullptr);

    // Every buffer fills with the old picture while nobody asks; then the picture changes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    show("scanner", "grey.png");
    const std::size_t centre = 2 * (240 * 640 + 320);
    const std::uint8_t* queued = nextFrame(camera);
    ASSERT_NE(queued, nullptr);
    EXPECT_EQ(queued[centre], 0) << "the queue holds frames taken before the change";
    const std::uint8_t* fresh = nextFrame(camera);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh[centre], 0) << "older queued frames were dropped, not handed out one by one";
}

TEST_F(CameraTest, NoFramesTimesOutWithTheAbortStatus) {
    tree.plug("scanner", telosim::DeviceKind::Scanner, {{"frames", "off"}});
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    camera.StartCapture();
    testing::internal::CaptureStdout();
    EXPECT_EQ(camera.QueryFrame(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hr = 0x80004004\n");
}

TEST_F(CameraTest, TruncatedAndChangingFrameSizesNeverOverRead) {
    tree.plug("scanner", telosim::DeviceKind::Scanner, {{"bytesused", "1001"}});
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    testing::internal::CaptureStdout();
    ASSERT_NE(nextFrame(camera), nullptr);
    EXPECT_EQ(camera.bufferSize(), 1001);

    tree.set("scanner", "bytesused", "0");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    nextFrame(camera);
    ASSERT_NE(nextFrame(camera), nullptr);
    EXPECT_EQ(camera.bufferSize(), 614400);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "size = 1001\nsize = 614400\n");
}

TEST_F(CameraTest, UnplugWhileStreamingGivesNullFramesAndClosesCleanly) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    camera.StartCapture();
    ASSERT_NE(nextFrame(camera), nullptr);

    tree.unplug("scanner");
    testing::internal::CaptureStdout();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(camera.QueryFrame(), nullptr);
    }
    EXPECT_THAT(testing::internal::GetCapturedStdout(), ::testing::Not(HasSubstr("size")));
    EXPECT_EQ(CCameraDS::GetCameraCount(), 0);
    camera.CloseCamera();
    camera.CloseCamera();
    EXPECT_FALSE(camera.graphConnected());
    EXPECT_EQ(camera.QueryFrame(), nullptr);
}

TEST_F(CameraTest, ClosingANeverOpenedCameraIsHarmless) {
    CCameraDS camera;
    camera.CloseCamera();
    EXPECT_EQ(camera.GetControl(), nullptr);
    EXPECT_EQ(camera.QueryFrame(), nullptr);
}

}  // namespace
}  // namespace telo
