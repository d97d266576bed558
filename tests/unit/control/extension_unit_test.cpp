// The vendor-property channel against the simulated scanner's firmware, through the real
// UVCIOC_CTRL_QUERY path of an open camera.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/camera_ds.h"
#include "control/device_property.h"
#include "sim_fixture.h"

namespace telo {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

class ExtensionUnitTest : public telosim::SimTest {
protected:
    std::shared_ptr<DeviceControl> open(const telosim::Settings& settings = {}) {
        tree.plug("scanner", telosim::DeviceKind::Scanner, settings);
        EXPECT_TRUE(camera.OpenCamera(0, false, 640, 480));
        return camera.GetControl();
    }
    // The requests in the device's log, without their time stamps.
    std::vector<std::string> requests() {
        std::vector<std::string> lines;
        for (const std::string& line : tree.xuLog("scanner")) {
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines;
    }
    CCameraDS camera;
};

TEST_F(ExtensionUnitTest, ReadsAndWritesThroughTheVendorUnit) {
    auto control = open();
    ASSERT_NE(control, nullptr);
    std::uint32_t value = 0xFFFFFF00;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, control.get()));
    EXPECT_EQ(value, 0xFFFFFF02u);

    const std::uint32_t handshake = 0x16;
    EXPECT_TRUE(WriteDeviceProperty(kPropertyReady, &handshake, control.get()));
    EXPECT_THAT(requests(), ElementsAre("SET_CUR unit 3 07 10 00 ff", "GET_CUR unit 3 00 00 02 00",
                                        "SET_CUR unit 3 01 10 16 00"));
}

TEST_F(ExtensionUnitTest, UnitFoundOnlyAsTheSecondOneServesBothDirections) {
    auto control = open({{"xu", "second"}});
    std::uint32_t value = 0;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, control.get()));
    EXPECT_EQ(value, 0x02u);
    const std::uint32_t led = 0x21;
    EXPECT_TRUE(WriteDeviceProperty(kPropertyIndicator, &led, control.get()));
    EXPECT_THAT(requests(),
                ElementsAre("SET_CUR unit 3 07 10 00 ff refused", "SET_CUR unit 4 07 10 00 ff",
                            "GET_CUR unit 4 00 00 02 00", "SET_CUR unit 3 06 10 21 00 refused",
                            "SET_CUR unit 4 06 10 21 00"));
    ASSERT_EQ(tree.ledLog("scanner").size(), 1u);
    EXPECT_THAT(tree.ledLog("scanner")[0], EndsWith(" 0x21"));
}

TEST_F(ExtensionUnitTest, RefusedOrMissingUnitReadsTrueUnchangedAndWritesFalse) {
    for (const char* layout : {"refused", "missing"}) {
        SCOPED_TRACE(layout);
        tree.clear();
        auto control = open({{"xu", layout}});
        std::uint32_t value = 0x77;
        EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, control.get()));
        EXPECT_EQ(value, 0x77u);
        EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &value, control.get()));
        camera.CloseCamera();
    }
}

TEST_F(ExtensionUnitTest, AWebcamHasNoVendorUnit) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    ASSERT_TRUE(camera.OpenCamera(0, false, 640, 480));
    auto control = camera.GetControl();
    ASSERT_NE(control, nullptr);
    EXPECT_FALSE(control->offersExtensionUnit());
    EXPECT_FALSE(control->offersPropertySet());
}

TEST_F(ExtensionUnitTest, ALostDeviceRefusesRequests) {
    auto control = open();
    tree.unplug("scanner");
    const std::uint32_t led = 0x21;
    EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &led, control.get()));
    std::uint32_t value = 0x33;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, control.get()));
    EXPECT_EQ(value, 0x33u);
}

}  // namespace
}  // namespace telo
