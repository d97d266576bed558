#include "engine/industrial25_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/barcode_format.h"
#include "test_symbols.h"

namespace telo::engine {
namespace {

using test::Placement;

/// Every text the reader agrees on in `image`.
std::vector<std::string> ReadAll(const std::vector<std::uint8_t>& image,
                                 const ReaderOptions& options = {}) {
    Industrial25Reader reader;
    ResultList results;
    results.Reset(kMaxBarcodesLimit);
    reader.Read({image.data(), 640, 480, 640}, Industrial25Reader::Scan::kAllAngles, options,
                kMaxBarcodesLimit, Industrial25Reader::Clock::now() + std::chrono::seconds(10),
                results);
    std::vector<std::string> texts;
    for (int i = 0; i < results.Count(); ++i) {
        EXPECT_EQ(results[i].format, kFormatIndustrial25);
        texts.emplace_back(results[i].bytes.begin(), results[i].bytes.end());
    }
    return texts;
}

std::vector<std::uint8_t> Render(const test::Modules& modules, const Placement& placement) {
    std::vector<std::uint8_t> image = test::BlankImage();
    test::DrawSymbol(modules, placement, image);
    return image;
}

TEST(Industrial25Reader, ReadsSymbolsOfAnyLengthAndScale) {
    const struct {
        std::string data;
        double module;
    } cases[] = {{"7", 3}, {"123456", 2}, {"0987654321", 2.5}, {"31415926535897", 1.6}};
    for (const auto& c : cases) {
        const test::Modules modules = test::ZintModules("C25IND", c.data);
        ASSERT_FALSE(modules.empty()) << "zint is needed";
        Placement placement;
        placement.module = c.module;
        EXPECT_EQ(ReadAll(Render(modules, placement)), std::vector<std::string>{c.data}) << c.data;
    }
}

TEST(Industrial25Reader, ReadsTurnedSymbolsInBothDirections) {
    const test::Modules modules = test::ZintModules("C25IND", "20240611");
    for (double angle : {-30.0, -22.0, -7.0, 4.0, 13.0, 26.0, 30.0, 180.0, 165.0, 208.0}) {
        Placement placement;
        placement.module = 2.5;
        placement.angleDegrees = angle;
        EXPECT_EQ(ReadAll(Render(modules, placement)), std::vector<std::string>{"20240611"})
            << angle;
    }
}

TEST(Industrial25Reader, LowContrastAndNoiseStillRead) {
    const test::Modules modules = test::ZintModules("C25IND", "55501234");
    Placement placement;
    placement.module = 2;
    placement.dark = 110;
    placement.light = 190;
    std::vector<std::uint8_t> image = test::BlankImage(640, 480, 190);
    test::DrawSymbol(modules, placement, image);
    std::uint32_t state = 12345;
    for (std::uint8_t& pixel : image) {
        state = state * 1664525 + 1013904223;
        pixel = static_cast<std::uint8_t>(pixel + static_cast<int>(state >> 29) - 4);
    }
    EXPECT_EQ(ReadAll(image), std::vector<std::string>{"55501234"});
}

TEST(Industrial25Reader, DamageGivesNothingOrTheTrueText) {
    const test::Modules modules = test::ZintModules("C25IND", "8675309");
    Placement placement;
    placement.module = 3;
    const double left = 320 - modules[0].size() * placement.module / 2;
    // Erase one module-wide strip at a time, fully or over the upper half of the bars.
    for (std::size_t column = 0; column < modules[0].size(); column += 3) {
        for (bool full : {true, false}) {
            std::vector<std::uint8_t> image = Render(modules, placement);
            const int x0 = static_cast<int>(left + column * placement.module);
            const int y1 = full ? 480 : 240;
            for (int y = 0; y < y1; ++y) {
                for (int x = x0; x < x0 + 3; ++x) {
                    image[y * 640 + x] = placement.light;
                }
            }
            const std::vector<std::string> texts = ReadAll(image);
            if (full) {
                EXPECT_TRUE(texts.empty() || texts == std::vector<std::string>{"8675309"})
                    << "column " << column << ": " << (texts.empty() ? "" : texts[0]);
            } else {
                EXPECT_EQ(texts, std::vector<std::string>{"8675309"}) << "column " << column;
            }
        }
    }
}

TEST(Industrial25Reader, CheckDigitIsEnforcedWhenAsked) {
    ReaderOptions checked;
    checked.industrial25CheckDigit = true;
    Placement placement;
    placement.module = 2.5;

    // zint appends the mod-10 check digit with --vers=1; 1234 gets 8.
    const auto withCheck = Render(test::ZintModules("C25IND", "1234", "--vers=1"), placement);
    EXPECT_EQ(ReadAll(withCheck, checked), std::vector<std::string>{"12348"});
    const auto wrongCheck = Render(test::ZintModules("C25IND", "12345"), placement);
    EXPECT_TRUE(ReadAll(wrongCheck, checked).empty());
    EXPECT_EQ(ReadAll(wrongCheck), std::vector<std::string>{"12345"});
}

TEST(Industrial25Reader, MinimumLengthAndAgreementAreHonoured) {
    Placement placement;
    placement.module = 2.5;
    const auto image = Render(test::ZintModules("C25IND", "42"), placement);
    ReaderOptions longer;
    longer.industrial25MinLength = 3;
    EXPECT_TRUE(ReadAll(image, longer).empty());
    ReaderOptions manyLines;
    manyLines.minLineCount = 8;
    EXPECT_EQ(ReadAll(image, manyLines), std::vector<std::string>{"42"});
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
