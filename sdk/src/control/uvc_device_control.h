// SPDX-License-Identifier: MIT
#ifndef TELO_CONTROL_UVC_DEVICE_CONTROL_H
#define TELO_CONTROL_UVC_DEVICE_CONTROL_H

#include <memory>
#include <vector>

#include "control/device_control.h"
#include "unique_fd.h"

namespace telo {

/// Vendor properties over UVCIOC_CTRL_QUERY on the open video node. Linux has no vendor
/// property sets, so that route is always refused and every request takes the extension unit.
class UvcDeviceControl final : public DeviceControl {
public:
    UvcDeviceControl(std::shared_ptr<const UniqueFd> fd, std::vector<std::uint8_t> units);

    bool offersPropertySet() const override { return false; }
    int propertySetRequest(int setNumber, bool get, std::uint32_t propertyId,
                           DeviceRegisterRecord& record) override;
    bool offersExtensionUnit() const override { return !units_.empty(); }
    int extensionUnitSet(int node, const ExtensionUnitPayload& payload) override;
    int extensionUnitGet(int node, ExtensionUnitPayload& payload) override;

private:
    int query(int node, std::uint8_t request, std::uint8_t* data);

    std::shared_ptr<const UniqueFd> fd_;
    std::vector<std::uint8_t> units_;
};

/// The vendor extension units of the USB device behind video node `nodeName` (e.g. "video0"),
/// looked up in its sysfs descriptors; empty when there are none or the dump can't be read.
std::vector<std::uint8_t> vendorExtensionUnitsOf(const char* nodeName);

}  // namespace telo

#endif
