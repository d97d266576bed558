#include "control/usb_descriptors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace telo {
namespace {

using ::testing::ElementsAre;
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

std::vector<std::uint8_t> Find(const Bytes& bytes) {
    return findExtensionUnits(bytes.data(), bytes.size(), kVendorExtensionUnit);
}

TEST(UsbDescriptorsTest, FindsVendorUnitsOfTheVideoControlInterfaceInOrder) {
    const Bytes bytes =
        Join({Interface(14, 1), ExtensionUnit(4, kOther), ExtensionUnit(3, kVendorExtensionUnit),
              ExtensionUnit(7, kVendorExtensionUnit), Interface(14, 2)});
    EXPECT_THAT(Find(bytes), ElementsAre(3, 7));
}

TEST(UsbDescriptorsTest, GuidBytesAreCompared) {
    // The GUID text order, as opposed to the descriptor's little-endian fields, is no match.
    const DescriptorGuid textOrder = {0x28, 0xF0, 0x33, 0x70, 0x63, 0x11, 0x4A, 0x2E,
                                      0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};
    EXPECT_THAT(Find(Join({Interface(14, 1), ExtensionUnit(3, textOrder)})), IsEmpty());
}

TEST(UsbDescriptorsTest, UnitsOutsideAVideoControlInterfaceDoNotCount) {
    EXPECT_THAT(Find(Join({Interface(14, 2), ExtensionUnit(3, kVendorExtensionUnit)})), IsEmpty());
    EXPECT_THAT(Find(Join({Interface(3, 1), ExtensionUnit(3, kVendorExtensionUnit)})), IsEmpty());
    EXPECT_THAT(Find(Join({ExtensionUnit(3, kVendorExtensionUnit)})), IsEmpty());
}

TEST(UsbDescriptorsTest, MalformedLengthsEndTheWalkWithoutOverrun) {
    Bytes zero = Join({Interface(14, 1), Bytes{0, 0x24}, ExtensionUnit(3, kVendorExtensionUnit)});
    EXPECT_THAT(Find(zero), IsEmpty());

    Bytes truncated = Join({Interface(14, 1), ExtensionUnit(3, kVendorExtensionUnit)});
    truncated.resize(truncated.size() - 1);
    EXPECT_THAT(Find(truncated), IsEmpty());

    Bytes shortUnit = Join({Interface(14, 1), Bytes{5, 0x24, 0x06, 3, 0x70}});
    EXPECT_THAT(Find(shortUnit), IsEmpty());
    EXPECT_THAT(findExtensionUnits(nullptr, 0, kVendorExtensionUnit), IsEmpty());
}

}  // namespace
}  // namespace telo
