// SPDX-License-Identifier: MIT
#include "control/usb_descriptors.h"

#include <algorithm>

namespace telo {
namespace {

constexpr std::uint8_t kInterfaceDescriptor = 4;
constexpr std::uint8_t kClassSpecificInterface = 0x24;
constexpr std::uint8_t kVideoClass = 14;
constexpr std::uint8_t kVideoControlSubclass = 1;
constexpr std::uint8_t kExtensionUnitSubtype = 6;
constexpr std::size_t kInterfaceLength = 9;
constexpr std::size_t kGuidOffset = 4;
constexpr std::size_t kExtensionUnitMinLength = kGuidOffset + 16;

}  // namespace

std::vector<std::uint8_t> findExtensionUnits(const std::uint8_t* data, std::size_t size,
                                             const DescriptorGuid& guid) {
    std::vector<std::uint8_t> units;
    bool inVideoControl = false;
    std::size_t offset = 0;
    while (offset + 2 <= size) {
        const std::size_t length = data[offset];
        if (length < 2 || length > size - offset) {
            break;
        }
        const std::uint8_t* descriptor = data + offset;
        const std::uint8_t type = descriptor[1];
        if (type == kInterfaceDescriptor && length >= kInterfaceLength) {
            inVideoControl = descriptor[5] == kVideoClass && descriptor[6] == kVideoControlSubclass;
        } else if (type == kClassSpecificInterface && inVideoControl &&
                   length >= kExtensionUnitMinLength && descriptor[2] == kExtensionUnitSubtype &&
                   std::equal(guid.begin(), guid.end(), descriptor + kGuidOffset)) {
            units.push_back(descriptor[3]);
        }
        offset += length;
    }
    return units;
}

}  // namespace telo
