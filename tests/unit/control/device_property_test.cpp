// SPDX-License-Identifier: MIT
// Without a device channel (no camera open) both directions fail and the caller's variable is
// left. The routes through a device's extension unit are tested on the simulated scanner; the
// property-set route is one that no Linux device offers.
#include "control/device_property.h"

#include <gtest/gtest.h>

namespace telo {
namespace {

TEST(DevicePropertyTest, NoDeviceFailsBothWaysAndLeavesTheVariable) {
    std::uint32_t value = 7;
    EXPECT_FALSE(ReadDeviceProperty(kPropertyReady, &value, nullptr));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(WriteDeviceProperty(kPropertyReady, &value, nullptr));
}

}  // namespace
}  // namespace telo
