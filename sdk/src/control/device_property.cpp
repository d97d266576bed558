// SPDX-License-Identifier: MIT
#include "control/device_property.h"

#include <cstring>

namespace telo {
namespace {

constexpr int kRefused = -EPIPE;  // what a USB device answers to a request it refuses
constexpr std::uint32_t kWriteProperty = 1;
constexpr std::uint32_t kReadProperty = 0;
constexpr std::uint8_t kWriteMarker = 0x00;
constexpr std::uint8_t kReadSelectMarker = 0xFF;

DeviceRegisterRecord emptyRecord(std::uint32_t direction) {
    DeviceRegisterRecord record;
    std::memset(&record, 0, sizeof record);
    record.direction = direction;
    return record;
}

// A Get on the first vendor property set, then on the second when the first refuses.
int propertySetGet(std::uint32_t propertyId, DeviceRegisterRecord& record, DeviceControl& device) {
    int status = device.propertySetRequest(1, true, propertyId, record);
    if (status != 0) {
        record = emptyRecord(kDirectionGet);
        status = device.propertySetRequest(2, true, propertyId, record);
    }
    return status;
}

ExtensionUnitPayload makePayload(int number, std::uint8_t value, std::uint8_t marker) {
    return {static_cast<std::uint8_t>(number & 0xFF),
            static_cast<std::uint8_t>((number >> 8) & 0xFF), value, marker};
}

}  // namespace

int PropertySetWrite(std::uint32_t propertyId, const std::uint32_t* value, int number,
                     std::uint32_t argumentA, std::uint32_t argumentB, DeviceControl* device) {
    if (!device->offersPropertySet()) {
        return kNotOffered;
    }
    DeviceRegisterRecord record = emptyRecord(kDirectionSet);
    record.propertyNumber = static_cast<std::uint32_t>(number & 0xFFFF);
    record.value = *value;
    record.argumentA = argumentA;
    record.argumentB = argumentB;
    const DeviceRegisterRecord request = record;
    int status = device->propertySetRequest(1, false, propertyId, record);
    if (status != 0) {
        record = request;
        status = device->propertySetRequest(2, false, propertyId, record);
    }
    return status;
}

int PropertySetRead(std::uint32_t propertyId, std::uint32_t* value, DeviceControl* device) {
    if (!device->offersPropertySet()) {
        return kNotOffered;
    }
    DeviceRegisterRecord record = emptyRecord(kDirectionGet);
    const int status = propertySetGet(propertyId, record, *device);
    // A failed Get leaves the record's value at zero, and so the variable.
    *value = status == 0 ? record.value : 0;
    return status;
}

int ExtensionUnitWrite(int number, std::uint8_t value, DeviceControl* device) {
    if (!device->offersExtensionUnit()) {
        return kRefused;
    }
    const ExtensionUnitPayload payload = makePayload(number, value, kWriteMarker);
    if (device->extensionUnitSet(1, payload) == 0 || device->extensionUnitSet(2, payload) == 0) {
        return 0;
    }
    const std::uint32_t wide = value;
    return PropertySetWrite(kWriteProperty, &wide, number, 0, 0, device);
}

int ExtensionUnitRead(int number, std::uint8_t* value, DeviceControl* device) {
    if (!device->offersExtensionUnit()) {
        return kRefused;
    }
    const ExtensionUnitPayload select = makePayload(number, 0x00, kReadSelectMarker);
    int node = 0;
    if (device->extensionUnitSet(1, select) == 0) {
        node = 1;
    } else if (device->extensionUnitSet(2, select) == 0) {
        node = 2;
    }
    if (node != 0) {
        // The read-back must go to the node that took the select.
        ExtensionUnitPayload readBack{};
        const int status = device->extensionUnitGet(node, readBack);
        if (status == 0) {
            *value = readBack[2];
        }
        return status;
    }

    const std::uint32_t zero = 0;
    if (PropertySetWrite(kReadProperty, &zero, number, 0, 0, device) != 0) {
        return kRefused;
    }
    DeviceRegisterRecord record = emptyRecord(kDirectionGet);
    if (propertySetGet(kReadProperty, record, *device) != 0) {
        return kRefused;
    }
    *value = static_cast<std::uint8_t>(record.value & 0xFF);
    return 0;
}

bool ReadDeviceProperty(int number, std::uint32_t* value, DeviceControl* device) {
    if (device == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> exchange(device->exchangeMutex());
    if (PropertySetWrite(kReadProperty, value, number, 0, 0, device) == 0) {
        return PropertySetRead(kReadProperty, value, device) == 0;
    }
    // The extension unit carries one byte: only the low byte of the variable changes.
    std::uint8_t low = static_cast<std::uint8_t>(*value & 0xFF);
    if (ExtensionUnitRead(number, &low, device) == 0) {
        *value = (*value & ~0xFFu) | low;
    }
    return true;
}

bool WriteDeviceProperty(int number, const std::uint32_t* value, DeviceControl* device) {
    if (device == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> exchange(device->exchangeMutex());
    if (PropertySetWrite(kWriteProperty, value, number, 0, 0, device) == 0) {
        return true;
    }
    return ExtensionUnitWrite(number, static_cast<std::uint8_t>(*value & 0xFF), device) == 0;
}

}  // namespace telo
