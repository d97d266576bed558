#include "decode/symbology_table.h"

#include <gtest/gtest.h>

#include "engine/barcode_format.h"

namespace telo {
namespace {

TEST(SymbologyTable, EveryReadableFormatMapsBackToItsIndex) {
    const struct {
        std::uint32_t format;
        std::int32_t index;
    } cases[] = {
        {engine::kFormatQrCode, 1},  {engine::kFormatEan8, 2},
        {engine::kFormatEan13, 3},   {engine::kFormatCode39, 5},
        {engine::kFormatCode93, 6},  {engine::kFormatCode128, 7},
        {engine::kFormatPdf417, 10}, {engine::kFormatDataMatrix, 11},
        {engine::kFormatItf, 12},    {engine::kFormatUpcE, 14},
        {engine::kFormatUpcA, 15},   {engine::kFormatIndustrial25, 16},
        {engine::kFormatAztec, 17},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SymbologyIndexForFormat(c.format), c.index) << std::hex << c.format;
        EXPECT_EQ(kSymbologyFormatTable[c.index], c.format) << c.index;
    }
}

TEST(SymbologyTable, NoResultGetsTheCombinedOrEmptyIndices) {
    EXPECT_EQ(SymbologyIndexForFormat(engine::kFormatCodabar), kNoSymbologyIndex);
    EXPECT_EQ(SymbologyIndexForFormat(0), kNoSymbologyIndex);
    EXPECT_EQ(SymbologyIndexForFormat(engine::kAllFormats), 0);
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        const std::int32_t index = SymbologyIndexForFormat(bit);
        EXPECT_TRUE(index != 0 && index != 4 && index != 8 && index != 9 && index != 13) << bit;
    }
}

TEST(SymbologyTable, IndexZeroCoversEveryFormatAndOnlyThose) {
    std::uint32_t all = 0;
    for (std::int32_t index = 1; index < kSymbologyCount; ++index) {
        all |= kSymbologyFormatTable[index];
    }
    EXPECT_EQ(all | engine::kFormatCodabar, kSymbologyFormatTable[0]);
    EXPECT_EQ(kSymbologyFormatTable[0], engine::kAllFormats);
    for (std::int32_t index : {4, 8, 9, 13}) {
        EXPECT_EQ(kSymbologyFormatTable[index], 0u) << index;
    }
    EXPECT_FALSE(IsSymbologyIndex(-1));
    EXPECT_FALSE(IsSymbologyIndex(18));
    EXPECT_TRUE(IsSymbologyIndex(17));
}

TEST(BarcodeFormat, NamesRoundTrip) {
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        const std::string_view name = engine::FormatName(bit);
        EXPECT_EQ(name.empty(), (bit & engine::kAllFormats) == 0) << bit;
        if (!name.empty()) {
            EXPECT_EQ(engine::FormatFromName(name), bit);
        }
    }
    EXPECT_FALSE(engine::FormatFromName("qr_code"));
}

}  // namespace
}  // namespace telo
