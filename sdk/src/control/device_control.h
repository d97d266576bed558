// SPDX-License-Identifier: MIT
#ifndef TELO_CONTROL_DEVICE_CONTROL_H
#define TELO_CONTROL_DEVICE_CONTROL_H

#include <array>
#include <cstdint>
#include <mutex>

namespace telo {

/// The 40-byte request record of the vendor property-set route, little-endian.
struct DeviceRegisterRecord {
    std::uint8_t headerSet[16];
    std::uint32_t headerId;
    std::uint32_t direction;
    std::uint32_t propertyNumber;
    std::uint32_t value;
    std::uint32_t argumentA;
    std::uint32_t argumentB;
};
static_assert(sizeof(DeviceRegisterRecord) == 40, "the firmware expects a 40-byte record");

constexpr std::uint32_t kDirectionSet = 2;
constexpr std::uint32_t kDirectionGet = 1;

/// 4-byte payload of an extension-unit transfer.
using ExtensionUnitPayload = std::array<std::uint8_t, 4>;

/// The two routes to the scanner firmware's vendor properties, as one platform back end offers
/// them for an open device. Statuses are 0 or a negative errno.
class DeviceControl {
public:
    virtual ~DeviceControl() = default;

    /// Held for each whole property read or write: a read is a select and a read-back that no
    /// other request may come between.
    std::mutex& exchangeMutex() { return exchangeMutex_; }

    /// Whether the device offers the vendor property sets at all.
    virtual bool offersPropertySet() const = 0;
    /// One Set or Get on vendor property set 1 or 2 with the record as instance and property data.
    virtual int propertySetRequest(int setNumber, bool get, std::uint32_t propertyId,
                                   DeviceRegisterRecord& record) = 0;

    /// Whether the device offers extension-unit access at all.
    virtual bool offersExtensionUnit() const = 0;
    /// SET_CUR on selector 1 of the vendor extension unit `node` (1: first, 2: second).
    virtual int extensionUnitSet(int node, const ExtensionUnitPayload& payload) = 0;
    /// GET_CUR on selector 1 of the vendor extension unit `node`.
    virtual int extensionUnitGet(int node, ExtensionUnitPayload& payload) = 0;

private:
    std::mutex exchangeMutex_;
};

}  // namespace telo

#endif
