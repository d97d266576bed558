// SPDX-License-Identifier: MIT
#ifndef TELO_CONTROL_DEVICE_PROPERTY_H
#define TELO_CONTROL_DEVICE_PROPERTY_H

#include <cerrno>
#include <cstdint>

#include "control/device_control.h"

namespace telo {

constexpr int kPropertyReady = 0x1001;
constexpr int kPropertyIndicator = 0x1006;
constexpr int kPropertyCapture = 0x1007;

/// Status of a property-set request on a device without property sets.
constexpr int kNotOffered = -EOPNOTSUPP;

/// Reads vendor property `number` into the low byte (extension unit) or all 32 bits (property
/// set) of `value`. A device that refuses both routes leaves `value` alone and still gives true.
bool ReadDeviceProperty(int number, std::uint32_t* value, DeviceControl* device);
/// Writes vendor property `number`; false when both routes refuse it.
bool WriteDeviceProperty(int number, const std::uint32_t* value, DeviceControl* device);

int PropertySetWrite(std::uint32_t propertyId, const std::uint32_t* value, int number,
                     std::uint32_t argumentA, std::uint32_t argumentB, DeviceControl* device);
int PropertySetRead(std::uint32_t propertyId, std::uint32_t* value, DeviceControl* device);
int ExtensionUnitRead(int number, std::uint8_t* value, DeviceControl* device);
int ExtensionUnitWrite(int number, std::uint8_t value, DeviceControl* device);

}  // namespace telo

#endif
