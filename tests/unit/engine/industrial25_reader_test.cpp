// SPDX-License-Identifier: MIT
#include "engine/industrial25_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/barcode_format.h"
#include "test_symbols.h"

namespace telo::engine {
namespace {

using test::Placement;

/// Every text the reader finds in `image` over the whole frame, with the lines that gave it.
std::vector<std::pair<std::string, int>> ReadAll(const std::vector<std::uint8_t>& image,
                                                 const ReaderOptions& options = {}) {
    Industrial25Reader reader;
    std::vector<Read> reads;
    reader.read({image.data(), 640, 480, 640}, Industrial25Reader::Scan::kAllAngles, options,
                Deadline::after(10000), CropMap{}, reads);
    std::vector<std::pair<std::string, int>> texts;
    for (const Read& read : reads) {
        EXPECT_EQ(read.format, kFormatIndustrial25);
        texts.emplace_back(std::string(read.bytes.begin(), read.bytes.end()), read.lines);
    }
    return texts;
}

/// The texts at least two parallel lines agree on, once each.
std::vector<std::string> Agreed(const std::vector<std::pair<std::string, int>>& texts) {
    std::vector<std::string> agreed;
    for (const auto& [text, lines] : texts) {
        if (lines >= 2 && std::find(agreed.begin(), agreed.end(), text) == agreed.end()) {
            agreed.push_back(text);
        }
    }
    return agreed;
}

std::vector<std::uint8_t> Render(const test::Modules& modules, const Placement& placement) {
    std::vector<std::uint8_t> image = test::BlankImage();
    test::DrawSymbol(modules, placement, image);
    return image;
}

TEST(Industrial25Reader, ReadsSymbolsOfAnyLengthScaleAndTurn) {
    const struct {
        std::string data;
        double module;
        double angle;
    } cases[] = {
        {"7", 3, 0},
        {"123456", 2, 0},
        {"0987654321", 2.5, 0},
        {"31415926535897", 1.6, 0},
        {"20240611", 2.5, -30},
        {"20240611", 2.5, 13},
        {"20240611", 2.5, 30},
        {"20240611", 2.5, 180},
        {"20240611", 2.5, 208},
    };
    for (const auto& c : cases) {
        const test::Modules modules = test::ZintModules("C25IND", c.data);
        ASSERT_FALSE(modules.empty()) << "zint is needed";
        Placement placement;
        placement.module = c.module;
        placement.angleDegrees = c.angle;
        EXPECT_EQ(Agreed(ReadAll(Render(modules, placement))), std::vector<std::string>{c.data})
            << c.data << " at " << c.angle;
    }
}

TEST(Industrial25Reader, CheckDigitAndMinimumLengthAreEnforcedWhenAsked) {
    ReaderOptions checked;
    checked.industrial25CheckDigit = true;
    ReaderOptions longer;
    longer.industrial25MinLength = 3;
    Placement placement;
    placement.module = 2.5;
    // zint appends the mod-10 check digit with --vers=1; 1234 gets 8.
    const auto withCheck = Render(test::ZintModules("C25IND", "1234", "--vers=1"), placement);
    EXPECT_EQ(Agreed(ReadAll(withCheck, checked)), std::vector<std::string>{"12348"});
    const auto wrongCheck = Render(test::ZintModules("C25IND", "12345"), placement);
    EXPECT_TRUE(ReadAll(wrongCheck, checked).empty());
    EXPECT_EQ(Agreed(ReadAll(wrongCheck)), std::vector<std::string>{"12345"});
    EXPECT_TRUE(ReadAll(Render(test::ZintModules("C25IND", "42"), placement), longer).empty());
}

TEST(Industrial25Reader, OtherSymbologiesAreNotReadAsIndustrial25) {
    const struct {
        const char* type;
        const char* data;
    } others[] = {
        {"C25INTER", "12345678"}, {"CODE39", "ABC123"},  {"CODE128", "1234"},
        {"CODABAR", "A1234B"},    {"C25MATRIX", "1234"}, {"EANX", "590123412345"},
    };
    for (const auto& other : others) {
        Placement placement;
        placement.module = 2.5;
        EXPECT_TRUE(ReadAll(Render(test::ZintModules(other.type, other.data), placement)).empty())
            << other.type;
    }
}

}  // namespace
}  // namespace telo::engine
