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
    std::shared_ptr<DeviceControl> open(telosim::DeviceKind kind,
                                        const telosim::Settings& settings) {
        tree.plug("device", kind, settings);
        EXPECT_TRUE(camera.OpenCamera("video0", false, 640, 480));
        return camera.GetControl();
    }
    CCameraDS camera;
};

TEST_F(ExtensionUnitTest, UnitFoundOnlyAsTheSecondOneServesBothDirections) {
    auto control = open(telosim::DeviceKind::Scanner, {{"xu", "second"}});
    std::uint32_t value = 0xFFFFFF00;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, control.get()));
    EXPECT_EQ(value, 0xFFFFFF02u) << "only the low byte changes";
    const std::uint32_t led = 0x21;
    EXPECT_TRUE(WriteDeviceProperty(kPropertyIndicator, &led, control.get()));
    std::vector<std::string> requests;
    for (const std::string& line : tree.xuLog("device")) {
        requests.push_back(line.substr(line.find(' ') + 1));
    }
    EXPECT_THAT(requests,
                ElementsAre("SET_CUR unit 3 07 10 00 ff refused", "SET_CUR unit 4 07 10 00 ff",
                            "GET_CUR unit 4 00 00 02 00", "SET_CUR unit 3 06 10 21 00 refused",
                            "SET_CUR unit 4 06 10 21 00"));
    ASSERT_EQ(tree.ledLog("device").size(), 1u);
    EXPECT_THAT(tree.ledLog("device")[0], EndsWith(" 0x21"));
}

TEST_F(ExtensionUnitTest, ADeviceWithoutAnAnsweringUnitReadsTrueUnchangedAndWritesFalse) {
    const std::pair<telosim::DeviceKind, const char*> devices[] = {
        {telosim::DeviceKind::Scanner, "refused"},
        {telosim::DeviceKind::Scanner, "missing"},
        {telosim::DeviceKind::Webcam, "normal"}};
    for (const auto& [kind, layout] : devices) {
        SCOPED_TRACE(layout);
        tree.clear();
        auto control = open(kind, {{"xu", layout}});
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(control->offersPropertySet());
        std::uint32_t value = 0x77;
        EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, control.get()));
        EXPECT_EQ(value, 0x77u);
        EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &value, control.get()));
        camera.CloseCamera();
    }
}

}  // namespace
}  // namespace telo
