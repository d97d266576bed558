// SPDX-License-Identifier: MIT
#ifndef TELO_CONTROL_USB_DESCRIPTORS_H
#define TELO_CONTROL_USB_DESCRIPTORS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telo {

/// A GUID in the byte order of USB descriptors (first three fields little-endian).
using DescriptorGuid = std::array<std::uint8_t, 16>;

/// {28F03370-6311-4A2E-BA2C-6890EB334016}, the scanner firmware's extension unit.
constexpr DescriptorGuid kVendorExtensionUnit = {0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                                 0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};

/// Unit ids of the extension units with `guid` in the VideoControl interfaces of a raw
/// descriptor dump (device descriptor followed by configuration descriptors), in order.
/// A descriptor with a zero or overrunning length ends the walk.
std::vector<std::uint8_t> findExtensionUnits(const std::uint8_t* data, std::size_t size,
                                             const DescriptorGuid& guid);

}  // namespace telo

#endif
