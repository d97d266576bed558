// SPDX-License-Identifier: MIT
// The camera against the simulated uvcvideo: the device list, opening, frames and loss, and the
// vendor-property channel through the real UVCIOC_CTRL_QUERY path of an open camera.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/camera_ds.h"
#include "camera/video_input_devices.h"
#include "control/device_property.h"
#include "sim_fixture.h"

namespace telo {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

// The lines that the camera printed about frame sizes; a first frame that is slow to come on a
// busy machine adds time-outs.
std::string SizeLines(const std::string& printed) {
    std::string lines;
    for (std::size_t at = printed.find("size = "); at != std::string::npos;
         at = printed.find("size = ", at + 1)) {
        lines += printed.substr(at, printed.find('\n', at) + 1 - at);
    }
    return lines;
}

class CameraTest : public telosim::SimTest {
protected:
    // A streaming camera on a scanner plugged with `settings` and a short first-frame delay.
    void start(telosim::Settings settings = {}) {
        settings.emplace("first_frame_ms", "20");
        tree.plug("scanner", telosim::DeviceKind::Scanner, settings);
        ASSERT_TRUE(camera.OpenCamera("video0", false, 640, 480));
        ASSERT_EQ(camera.StartCapture(), 0);
    }
    // The device channel of an open camera on a device of `kind` plugged with `settings`.
    std::shared_ptr<DeviceControl> control(telosim::DeviceKind kind,
                                           const telosim::Settings& settings) {
        tree.plug("scanner", kind, settings);
        EXPECT_TRUE(camera.OpenCamera("video0", false, 640, 480));
        return camera.GetControl();
    }
    // Takes frames until one arrives.
    const std::uint8_t* nextFrame() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (const std::uint8_t* frame = camera.QueryFrame()) {
                return frame;
            }
        }
        return nullptr;
    }
    CCameraDS camera;
};

TEST_F(CameraTest, ListsCaptureNodesInNodeNumberOrder) {
    EXPECT_EQ(CCameraDS::GetCameraCount(), 0);
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    tree.plug("board", telosim::DeviceKind::Platform);
    for (int i = 3; i < 6; ++i) {
        tree.plug("cam" + std::to_string(i), telosim::DeviceKind::Webcam);
    }
    EXPECT_EQ(CCameraDS::GetCameraCount(), 6) << "metadata nodes are not counted";
    const std::vector<VideoInputDevice> devices = listVideoInputDevices();
    std::vector<std::string> nodes;
    for (const VideoInputDevice& device : devices) {
        nodes.push_back(device.node);
    }
    EXPECT_THAT(nodes, ElementsAre("video0", "video2", "video4", "video6", "video8", "video10"));
    EXPECT_EQ(devices[0].name, "UVC Camera (046d:0825)");
    EXPECT_EQ(devices[1].devicePath,
              "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video2 "
              "usb:v0525pa4c1");
    // No USB ancestor: the sysfs path alone.
    EXPECT_EQ(devices[2].devicePath, "/sys/devices/platform/vivid.4/video4linux/video4");
}

TEST_F(CameraTest, CountingOpensOnlyNodesItHasNotSeenAndListsThoseItCannotOpen) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(CCameraDS::GetCameraCount(), 1);
    }
    const std::string log = tree.stateDir("scanner") + "/open.log";
    EXPECT_EQ(telosim::ReadLines(log).size(), 2u) << "capture and metadata node probed once each";

    tree.unplug("scanner");
    tree.replug("scanner");
    tree.set("scanner", "open", "always:EACCES");
    EXPECT_EQ(CCameraDS::GetCameraCount(), 0);
    const std::vector<UnopenableNode> unopenable = unopenableVideoNodes();
    ASSERT_EQ(unopenable.size(), 2u);
    EXPECT_EQ(unopenable[0].error, EACCES);
    tree.set("scanner", "open", "ok");
    EXPECT_EQ(CCameraDS::GetCameraCount(), 1);
    EXPECT_EQ(telosim::ReadLines(log).size(), 4u) << "a replugged node is probed again";
}

TEST_F(CameraTest, AFailedOpenSaysWhyAndLeavesTheCameraClosedAndReopenable) {
    EXPECT_FALSE(camera.OpenCamera("video0", false, 640, 480));
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    const std::pair<const char*, const char*> failures[] = {
        {"g_fmt", "GetFormat Failed ! \n"}, {"s_fmt", "CCameraDS::OpenCamera:196\n"}};
    for (const auto& [request, line] : failures) {
        tree.set("scanner", request, "once:EINVAL");
        testing::internal::CaptureStdout();
        EXPECT_FALSE(camera.OpenCamera("video0", false, 640, 480));
        EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr(line));
        EXPECT_FALSE(camera.graphConnected());
    }
    EXPECT_TRUE(camera.OpenCamera("video0", false, 300, 200));
    EXPECT_EQ(camera.width(), 320) << "the driver settles the frame size";
    EXPECT_EQ(camera.height(), 240);
}

TEST_F(CameraTest, NoFramesTimesOutWithTheAbortStatus) {
    start({{"frames", "off"}});
    testing::internal::CaptureStdout();
    EXPECT_EQ(camera.QueryFrame(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hr = 0x80004004\n");
}

TEST_F(CameraTest, TruncatedAndChangingFrameSizesNeverOverRead) {
    start({{"bytesused", "1001"}});
    testing::internal::CaptureStdout();
    ASSERT_NE(nextFrame(), nullptr);
    EXPECT_EQ(camera.bufferSize(), 1001);

    tree.set("scanner", "bytesused", "0");
    for (int i = 0; i < 20 && camera.bufferSize() != 614400; ++i) {
        nextFrame();
    }
    EXPECT_EQ(camera.bufferSize(), 614400);
    EXPECT_EQ(SizeLines(testing::internal::GetCapturedStdout()), "size = 1001\nsize = 614400\n");
}

TEST_F(CameraTest, UnitFoundOnlyAsTheSecondOneServesBothDirections) {
    auto channel = control(telosim::DeviceKind::Scanner, {{"xu", "second"}});
    std::uint32_t value = 0xFFFFFF00;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, channel.get()));
    EXPECT_EQ(value, 0xFFFFFF02u) << "only the low byte changes";
    const std::uint32_t led = 0x21;
    EXPECT_TRUE(WriteDeviceProperty(kPropertyIndicator, &led, channel.get()));
    EXPECT_THAT(tree.xuRequests("scanner"),
                ElementsAre("SET_CUR unit 3 07 10 00 ff refused", "SET_CUR unit 4 07 10 00 ff",
                            "GET_CUR unit 4 00 00 02 00", "SET_CUR unit 3 06 10 21 00 refused",
                            "SET_CUR unit 4 06 10 21 00"));
    ASSERT_EQ(tree.ledLog("scanner").size(), 1u);
    EXPECT_THAT(tree.ledLog("scanner")[0], EndsWith(" 0x21"));
}

TEST_F(CameraTest, ADeviceWithoutAnAnsweringUnitReadsTrueUnchangedAndWritesFalse) {
    const std::pair<telosim::DeviceKind, const char*> devices[] = {
        {telosim::DeviceKind::Scanner, "refused"},
        {telosim::DeviceKind::Scanner, "missing"},
        {telosim::DeviceKind::Webcam, "normal"}};
    for (const auto& [kind, layout] : devices) {
        SCOPED_TRACE(layout);
        tree.clear();
        auto channel = control(kind, {{"xu", layout}});
        ASSERT_NE(channel, nullptr);
        EXPECT_FALSE(channel->offersPropertySet());
        std::uint32_t value = 0x77;
        EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, channel.get()));
        EXPECT_EQ(value, 0x77u);
        EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &value, channel.get()));
        camera.CloseCamera();
    }
}

}  // namespace
}  // namespace telo
