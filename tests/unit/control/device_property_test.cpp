// The property-set route to the firmware, which no simulated device offers, and its fall-backs
// to and from the extension unit, over a scripted back end: a read of 0x1001, then a write of
// 0x16 to it. The extension unit's own routes are tested on the simulated scanner.
#include "control/device_property.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telo {
namespace {

using Requests = std::vector<std::string>;

/// What a device offers: the property sets (and which of them answer) and the extension unit's
/// nodes that answer.
struct Offer {
    bool propertySets = false;
    bool set1 = true;
    bool set2 = true;
    bool get = true;
    bool unit = false;
    std::vector<int> nodes;
};

class ScriptedDevice : public DeviceControl {
public:
    explicit ScriptedDevice(Offer offer) : offer_(std::move(offer)) {}
    Requests requests;

    bool offersPropertySet() const override { return offer_.propertySets; }
    int propertySetRequest(int setNumber, bool get, std::uint32_t id,
                           DeviceRegisterRecord& record) override {
        requests.push_back("set" + std::to_string(setNumber) + (get ? " get " : " set ") +
                           std::to_string(id) + " dir " + std::to_string(record.direction));
        if (!(setNumber == 1 ? offer_.set1 : offer_.set2) || (get && !offer_.get)) {
            return -EPIPE;
        }
        record.value = get ? 0xA1B2C3D4 : record.value;
        return 0;
    }
    bool offersExtensionUnit() const override { return offer_.unit; }
    int extensionUnitSet(int node, const ExtensionUnitPayload& p) override {
        char text[32];
        std::snprintf(text, sizeof text, "node%d SET %02x %02x %02x %02x", node, p[0], p[1], p[2],
                      p[3]);
        requests.push_back(text);
        return answers(node) ? 0 : -EPIPE;
    }
    int extensionUnitGet(int node, ExtensionUnitPayload& payload) override {
        requests.push_back("node" + std::to_string(node) + " GET");
        payload = {0, 0, 0x5A, 0};
        return answers(node) ? 0 : -EPIPE;
    }

private:
    bool answers(int node) const {
        return std::find(offer_.nodes.begin(), offer_.nodes.end(), node) != offer_.nodes.end();
    }
    Offer offer_;
};

struct Route {
    const char* name;
    Offer offer;
    bool read;            // what the read reports
    std::uint32_t value;  // the variable after the read, which holds 0xABCDEF00 before
    const char* readRequests;
    bool write;
    const char* writeRequests;
};

std::string Joined(const Requests& requests) {
    std::string text;
    for (const std::string& request : requests) {
        text += (text.empty() ? "" : ", ") + request;
    }
    return text;
}

// clang-format off
const Route kRoutes[] = {
    {"property sets carry all 32 bits", {true, true, true, true, false, {}},
     true, 0xA1B2C3D4, "set1 set 0 dir 2, set1 get 0 dir 1",
     true, "set1 set 1 dir 2"},
    {"the second set after the first refuses", {true, false, true, true, false, {}},
     true, 0xA1B2C3D4, "set1 set 0 dir 2, set2 set 0 dir 2, set1 get 0 dir 1, set2 get 0 dir 1",
     true, "set1 set 1 dir 2, set2 set 1 dir 2"},
    {"select taken, Get refused: false and zero", {true, true, true, false, false, {}},
     false, 0, "set1 set 0 dir 2, set1 get 0 dir 1, set2 get 0 dir 1",
     true, "set1 set 1 dir 2"},
    {"both refuse: the unit falls back to the property sets", {true, false, false, true, true, {}},
     true, 0xABCDEF00, "set1 set 0 dir 2, set2 set 0 dir 2, node1 SET 01 10 00 ff, "
                       "node2 SET 01 10 00 ff, set1 set 0 dir 2, set2 set 0 dir 2",
     false, "set1 set 1 dir 2, set2 set 1 dir 2, node1 SET 01 10 16 00, node2 SET 01 10 16 00, "
            "set1 set 1 dir 2, set2 set 1 dir 2"},
};
// clang-format on

TEST(DevicePropertyTest, EachRouteAndFallBack) {
    for (const Route& route : kRoutes) {
        SCOPED_TRACE(route.name);
        ScriptedDevice device(route.offer);
        std::uint32_t value = 0xABCDEF00;
        EXPECT_EQ(ReadDeviceProperty(kPropertyReady, &value, &device), route.read);
        EXPECT_EQ(value, route.value);
        EXPECT_EQ(Joined(device.requests), route.readRequests);
        device.requests.clear();
        const std::uint32_t handshake = 0x16;
        EXPECT_EQ(WriteDeviceProperty(kPropertyReady, &handshake, &device), route.write);
        EXPECT_EQ(Joined(device.requests), route.writeRequests);
    }
}

TEST(DevicePropertyTest, NoDeviceFailsBothWaysAndLeavesTheVariable) {
    std::uint32_t value = 7;
    EXPECT_FALSE(ReadDeviceProperty(kPropertyReady, &value, nullptr));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(WriteDeviceProperty(kPropertyReady, &value, nullptr));
}

}  // namespace
}  // namespace telo
