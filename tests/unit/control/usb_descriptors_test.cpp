// SPDX-License-Identifier: MIT
#include "control/usb_descriptors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace telo {
namespace {

using ::testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;

Bytes Interface(std::uint8_t cls, std::uint8_t subclass) {
    return {9, 0x04, 0, 0, 1, cls, subclass, 0, 0};
}

Bytes ExtensionUnit(std::uint8_t unit, const DescriptorGuid& guid) {
    Bytes out = {26, 0x24, 0x06, unit};
    out.insert(out.end(), guid.begin(), guid.end());
    out.insert(out.end(), {1, 1, 2, 1, 0x01, 0});
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out = {18, 0x01, 0, 2, 0xEF, 2, 1, 64, 0x25, 0x05, 0xC1, 0xA4, 0, 1, 1, 2, 0, 1};
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

constexpr DescriptorGuid kOther = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

std::vector<std::uint8_t> find(const Bytes& bytes) {
    return findExtensionUnits(bytes.data(), bytes.size(), kVendorExtensionUnit);
}

// The GUID in text order, as opposed to the descriptor's little-endian fields: no match.
constexpr DescriptorGuid kTextOrder = {0x28, 0xF0, 0x33, 0x70, 0x63, 0x11, 0x4A, 0x2E,
                                       0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};

TEST(UsbDescriptorsTest, FindsTheVendorUnitsOfTheVideoControlInterfaceOnlyWithoutOverrun) {
    const Bytes vendor = ExtensionUnit(3, kVendorExtensionUnit);
    Bytes truncated = Join({Interface(14, 1), vendor});
    truncated.resize(truncated.size() - 1);
    const struct {
        const char* name;
        Bytes bytes;
        std::vector<std::uint8_t> units;
    } cases[] = {
        {"in order, others skipped",
         Join({Interface(14, 1), ExtensionUnit(4, kOther), vendor,
               ExtensionUnit(7, kVendorExtensionUnit), Interface(14, 2)}),
         {3, 7}},
        {"GUID bytes compared", Join({Interface(14, 1), ExtensionUnit(3, kTextOrder)}), {}},
        {"in VideoStreaming", Join({Interface(14, 2), vendor}), {}},
        {"in another class", Join({Interface(3, 1), vendor}), {}},
        {"outside any interface", Join({vendor}), {}},
        {"a zero length", Join({Interface(14, 1), Bytes{0, 0x24}, vendor}), {}},
        {"truncated", truncated, {}},
        {"a short unit", Join({Interface(14, 1), Bytes{5, 0x24, 0x06, 3, 0x70}}), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find(c.bytes), c.units) << c.name;
    }
    EXPECT_THAT(findExtensionUnits(nullptr, 0, kVendorExtensionUnit), IsEmpty());
}

}  // namespace
}  // namespace telo
