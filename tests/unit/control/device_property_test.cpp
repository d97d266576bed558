// The two routes to the firmware and every fall-back between them, over a device back end that
// offers whichever routes a case needs.
#include "control/device_property.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telo {
namespace {

using ::testing::ElementsAre;

class ScriptedDevice : public DeviceControl {
public:
    bool propertySets = false;
    bool acceptSet1 = true;
    bool acceptSet2 = true;
    bool acceptGet = true;
    std::vector<int> units;  // nodes that answer; empty: no extension unit at all
    bool unitOffered = false;
    std::uint32_t propertyValue = 0xA1B2C3D4;
    std::uint8_t unitValue = 0x5A;
    std::vector<std::string> requests;

    bool offersPropertySet() const override { return propertySets; }
    int propertySetRequest(int setNumber, bool get, std::uint32_t id,
                           DeviceRegisterRecord& record) override {
        requests.push_back("set" + std::to_string(setNumber) + (get ? " get " : " set ") +
                           std::to_string(id) + " dir " + std::to_string(record.direction));
        const bool accepted = setNumber == 1 ? acceptSet1 : acceptSet2;
        if (!accepted || (get && !acceptGet)) {
            return 5;
        }
        if (get) {
            record.value = propertyValue;
        }
        return 0;
    }
    bool offersExtensionUnit() const override { return unitOffered; }
    int extensionUnitSet(int node, const ExtensionUnitPayload& payload) override {
        requests.push_back("node" + std::to_string(node) + " SET " + Hex(payload));
        return Answers(node) ? 0 : 32;
    }
    int extensionUnitGet(int node, ExtensionUnitPayload& payload) override {
        requests.push_back("node" + std::to_string(node) + " GET");
        if (!Answers(node)) {
            return 32;
        }
        payload = {0, 0, unitValue, 0};
        return 0;
    }

private:
    bool Answers(int node) const {
        return std::find(units.begin(), units.end(), node) != units.end();
    }
    static std::string Hex(const ExtensionUnitPayload& p) {
        char text[16];
        std::snprintf(text, sizeof text, "%02x %02x %02x %02x", p[0], p[1], p[2], p[3]);
        return text;
    }
};

TEST(DevicePropertyTest, NoDeviceFailsBothWaysAndLeavesTheVariable) {
    std::uint32_t value = 7;
    EXPECT_FALSE(ReadDeviceProperty(kPropertyReady, &value, nullptr));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(WriteDeviceProperty(kPropertyReady, &value, nullptr));
}

TEST(DevicePropertyTest, PropertySetRouteCarriesAllThirtyTwoBits) {
    ScriptedDevice device;
    device.propertySets = true;
    std::uint32_t value = 0x11;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, &device));
    EXPECT_EQ(value, 0xA1B2C3D4u);
    EXPECT_THAT(device.requests, ElementsAre("set1 set 0 dir 2", "set1 get 0 dir 1"));
    EXPECT_TRUE(WriteDeviceProperty(kPropertyCapture, &value, &device));
}

TEST(DevicePropertyTest, SecondPropertySetIsTriedAfterTheFirstRefuses) {
    ScriptedDevice device;
    device.propertySets = true;
    device.acceptSet1 = false;
    std::uint32_t value = 0;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyCapture, &value, &device));
    EXPECT_THAT(device.requests, ElementsAre("set1 set 0 dir 2", "set2 set 0 dir 2",
                                             "set1 get 0 dir 1", "set2 get 0 dir 1"));
}

TEST(DevicePropertyTest, SelectAcceptedButGetRefusedGivesFalseAndZero) {
    ScriptedDevice device;
    device.propertySets = true;
    device.acceptGet = false;
    std::uint32_t value = 0x1234;
    EXPECT_FALSE(ReadDeviceProperty(kPropertyCapture, &value, &device));
    EXPECT_EQ(value, 0u);
}

TEST(DevicePropertyTest, ExtensionUnitReadChangesOnlyTheLowByte) {
    ScriptedDevice device;
    device.unitOffered = true;
    device.units = {1};
    std::uint32_t value = 0xABCDEF00;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, &device));
    EXPECT_EQ(value, 0xABCDEF5Au);
    EXPECT_THAT(device.requests, ElementsAre("node1 SET 01 10 00 ff", "node1 GET"));
}

TEST(DevicePropertyTest, SecondNodeTakesBothStepsOfARead) {
    ScriptedDevice device;
    device.unitOffered = true;
    device.units = {2};
    std::uint32_t value = 0;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, &device));
    EXPECT_EQ(value, 0x5Au);
    EXPECT_THAT(device.requests,
                ElementsAre("node1 SET 01 10 00 ff", "node2 SET 01 10 00 ff", "node2 GET"));

    device.requests.clear();
    const std::uint32_t handshake = 0x16;
    EXPECT_TRUE(WriteDeviceProperty(kPropertyReady, &handshake, &device));
    EXPECT_THAT(device.requests, ElementsAre("node1 SET 01 10 16 00", "node2 SET 01 10 16 00"));
}

TEST(DevicePropertyTest, BothRoutesRefusedReadTrueUnchangedWriteFalse) {
    ScriptedDevice none;
    std::uint32_t value = 0x42;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, &none));
    EXPECT_EQ(value, 0x42u);
    EXPECT_FALSE(WriteDeviceProperty(kPropertyReady, &value, &none));

    ScriptedDevice deaf;
    deaf.unitOffered = true;
    EXPECT_TRUE(ReadDeviceProperty(kPropertyReady, &value, &deaf));
    EXPECT_EQ(value, 0x42u);
    EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &value, &deaf));
    EXPECT_THAT(deaf.requests, ElementsAre("node1 SET 01 10 00 ff", "node2 SET 01 10 00 ff",
                                           "node1 SET 06 10 42 00", "node2 SET 06 10 42 00"));
}

TEST(DevicePropertyTest, ExtensionUnitFallsBackToThePropertySetWhenBothNodesRefuse) {
    ScriptedDevice device;
    device.unitOffered = true;
    device.propertySets = true;
    device.acceptSet1 = false;
    device.acceptSet2 = false;
    std::uint32_t value = 0x21;
    // The top-level property-set attempt fails, the unit's nodes refuse, and the unit layer's
    // own fall-back fails the same way: the write reports false.
    EXPECT_FALSE(WriteDeviceProperty(kPropertyIndicator, &value, &device));
    EXPECT_EQ(device.requests.back(), "set2 set 1 dir 2");
}

}  // namespace
}  // namespace telo
