// SPDX-License-Identifier: MIT
#include "decode/frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "decode/symbology_table.h"
#include "engine/barcode_engine.h"
#include "engine/barcode_format.h"
#include "shipped_engine.h"
#include "test_symbols.h"

namespace telo {
namespace {

using test::Placement;

struct SymbolDeleter {
    void operator()(Symbol* symbol) const {
        std::free(symbol->text);
        std::free(symbol);
    }
};
using SymbolPtr = std::unique_ptr<Symbol, SymbolDeleter>;

class FrameDecoder : public test::ShippedEngineTest {
protected:
    static std::vector<std::uint8_t> Frame(const char* type, const std::string& data,
                                           Placement placement = {},
                                           const std::string& options = "") {
        std::vector<std::uint8_t> grey = test::BlankImage(640, 480, placement.light);
        test::DrawSymbol(test::ZintModules(type, data, options), placement, grey);
        return test::ToYuyv(grey);
    }

    SymbolPtr Decode(const std::vector<std::uint8_t>& frame, std::int32_t width = 640,
                     std::int32_t height = 480) {
        return SymbolPtr(decodeFrame(*engine_, mutex_, frame.data(),
                                     static_cast<std::int32_t>(frame.size()), width, height));
    }

    std::mutex mutex_;
};

TEST_F(FrameDecoder, EverySymbologyReadsWithItsIndexAndRawBytes) {
    // Light-on-dark rows draw light modules on a dark ground; turned rows need the engine's
    // own regions (ZXing reads Aztec only near level, bars only along rows and columns).
    const struct {
        const char* type;
        std::string data;
        std::string options;
        double module;
        double angle;
        bool lightOnDark;
        std::int32_t index;
        std::string expected;
    } cases[] = {
        {"QRCODE", "https://example.com/telo", "", 4, 0, false, 1, "https://example.com/telo"},
        {"QRCODE", "A\\0B\\0", "", 5, 0, false, 1, std::string("A\0B\0", 4)},
        {"QRCODE", "light", "", 5, 20, true, 1, "light"},
        {"EANX", "5901234", "", 3, 0, false, 2, "59012344"},
        {"EANX", "590123412345", "", 3, 0, false, 3, "5901234123457"},
        {"CODE39", "TELO-39", "", 2.5, 35, false, 5, "TELO-39"},
        {"CODE93", "TELO93", "", 2.5, 0, false, 6, "TELO93"},
        {"CODE128", "Code-128", "", 3, 0, false, 7, "Code-128"},
        {"GS1_128", "[01]09501101530003[10]AB12[17]250101", "", 2, 0, false, 7,
         "010950110153000310AB12\x1D"
         "17250101"},
        {"PDF417", "PDF417 for the telo engine", "--cols=3", 2, 0, false, 10,
         "PDF417 for the telo engine"},
        {"DATAMATRIX", "[01]09501101530003[10]AB12", "--gs1", 5, 0, false, 11,
         "010950110153000310AB12"},
        {"DATAMATRIX", "dark ground", "", 5, 0, true, 11, "dark ground"},
        {"C25INTER", "12345678", "", 3, 45, false, 12, "12345678"},
        {"UPCE", "123456", "", 3, 0, false, 14, "01234565"},
        {"UPCA", "01234567890", "", 3, 0, false, 15, "012345678905"},
        {"C25IND", "246810", "", 3, 0, false, 16, "246810"},
        {"C25IND", "7", "", 3, 0, false, 16, "7"},
        {"C25IND", "31415926535897", "", 1.6, 0, false, 16, "31415926535897"},
        {"C25IND", "20240611", "", 2.5, -30, false, 16, "20240611"},
        {"C25IND", "20240611", "", 2.5, 208, false, 16, "20240611"},
        {"AZTEC", "Aztec 17", "", 5, 25, false, 17, "Aztec 17"},
        {"AZTEC", "turned light", "", 6, 0, true, 17, "turned light"},
        {"CODABAR", "A40156B", "", 3, 0, false, kNoSymbologyIndex, "40156"},
    };
    for (const auto& c : cases) {
        Placement placement;
        placement.module = c.module;
        placement.angleDegrees = c.angle;
        placement.rowHeight = std::string(c.type) == "PDF417" ? 3 : 1;
        if (c.lightOnDark) {
            std::swap(placement.dark, placement.light);
        }
        SymbolPtr symbol = Decode(Frame(c.type, c.data, placement, c.options));
        ASSERT_TRUE(symbol) << c.type << " " << c.data;
        EXPECT_EQ(symbol->type, c.index) << c.type;
        EXPECT_EQ(std::string(symbol->text, symbol->length), c.expected) << c.type;
        EXPECT_EQ(symbol->text[symbol->length], '\0');
    }
}

TEST_F(FrameDecoder, FramesThatDoNotFitAreRefused) {
    Placement placement;
    placement.module = 4;
    std::vector<std::uint8_t> frame = Frame("QRCODE", "size", placement);
    ASSERT_TRUE(Decode(frame));

    // A trailing odd byte and extra bytes are ignored; too few bytes or too many pixels are not.
    frame.push_back(0);
    EXPECT_TRUE(Decode(frame));
    EXPECT_FALSE(decodeFrame(*engine_, mutex_, frame.data(), 640 * 480 * 2 - 1, 640, 480));
    EXPECT_FALSE(decodeFrame(*engine_, mutex_, frame.data(), -1, 640, 480));
    EXPECT_FALSE(decodeFrame(*engine_, mutex_, nullptr, 640 * 480 * 2, 640, 480));
    for (const auto& [width, height] : {std::pair{641, 480}, {640, 481}, {0, 480}, {-640, -480}}) {
        EXPECT_FALSE(Decode(frame, width, height)) << width << "x" << height;
    }

    // A smaller frame is decoded at its own size.
    std::vector<std::uint8_t> grey = test::BlankImage(320, 240);
    placement.centreX = 160;
    placement.centreY = 120;
    test::DrawSymbol(test::ZintModules("QRCODE", "small"), placement, grey, 320, 240);
    SymbolPtr small = Decode(test::ToYuyv(grey), 320, 240);
    ASSERT_TRUE(small);
    EXPECT_EQ(std::string(small->text, small->length), "small");
}

TEST_F(FrameDecoder, AddTypeChangesWhatIsReadAndImposesTheLimits) {
    Placement placement;
    placement.module = 4;
    const std::vector<std::uint8_t> qr = Frame("QRCODE", "toggle", placement);

    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 1, false));
    EXPECT_FALSE(Decode(qr));
    const engine::TemplateSettings settings = Template();
    EXPECT_EQ(settings.timeoutMs, 500);
    EXPECT_EQ(settings.maxBarcodes, 1);
    EXPECT_EQ(settings.expectedBarcodes, 1);
    // Indices without a format are taken and change nothing.
    for (std::int32_t none : {4, 8, 9, 13}) {
        EXPECT_TRUE(addSymbologyType(*engine_, mutex_, none, true)) << none;
        EXPECT_TRUE(addSymbologyType(*engine_, mutex_, none, false)) << none;
    }
    EXPECT_EQ(Template().formatMask, engine::kAllFormats & ~engine::kFormatQrCode);

    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 1, true));
    EXPECT_TRUE(Decode(qr));
    // Index 0 stands for every format.
    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 0, false));
    EXPECT_FALSE(Decode(qr));
    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 0, true));
    EXPECT_TRUE(Decode(qr));
    EXPECT_FALSE(addSymbologyType(*engine_, mutex_, 18, true));
    EXPECT_FALSE(addSymbologyType(*engine_, mutex_, -1, false));
    EXPECT_EQ(Template().formatMask, engine::kAllFormats);

    // Without the template neither call works.
    std::unique_ptr<engine::BarcodeEngine> empty = engine::BarcodeEngine::create();
    EXPECT_FALSE(addSymbologyType(*empty, mutex_, 1, true));
    EXPECT_FALSE(
        decodeFrame(*empty, mutex_, qr.data(), static_cast<std::int32_t>(qr.size()), 640, 480));
}

TEST_F(FrameDecoder, Industrial25IsReadOnlyFromItsOwnSymbolsWithTheTemplatesChecks) {
    Placement placement;
    placement.module = 2.5;
    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 0, false));
    ASSERT_TRUE(addSymbologyType(*engine_, mutex_, 16, true));
    for (const auto& [type, data] : {std::pair{"C25INTER", "12345678"},
                                     {"CODE39", "ABC123"},
                                     {"CODE128", "1234"},
                                     {"CODABAR", "A1234B"},
                                     {"C25MATRIX", "1234"},
                                     {"EANX", "590123412345"}}) {
        EXPECT_FALSE(Decode(Frame(type, data, placement))) << type;
    }

    engine::TemplateSettings settings = Template();
    settings.reader.industrial25CheckDigit = true;
    settings.reader.industrial25MinLength = 4;
    std::string errorText;
    ASSERT_EQ(engine_->setTemplateSettings(engine::kDefaultTemplateName, settings, errorText),
              engine::kOk);
    // zint appends the mod-10 check digit with --vers=1: 1234 gets 8, 42 gets 6.
    const std::pair<const char*, const char*> refused[] = {{"12345", ""}, {"42", "--vers=1"}};
    for (const auto& [data, options] : refused) {
        EXPECT_FALSE(Decode(Frame("C25IND", data, placement, options))) << data;
    }
    SymbolPtr checked = Decode(Frame("C25IND", "1234", placement, "--vers=1"));
    ASSERT_TRUE(checked);
    EXPECT_EQ(std::string(checked->text, checked->length), "12348");
}

TEST_F(FrameDecoder, OfSeveralCodesInViewOneIsRead) {
    std::vector<std::uint8_t> image = test::BlankImage();
    Placement placement;
    placement.module = 4;
    for (const auto& [text, x] : {std::pair{"one", 110.0}, {"two", 320.0}, {"three", 530.0}}) {
        placement.centreX = x;
        test::DrawSymbol(test::ZintModules("QRCODE", text), placement, image);
    }
    ASSERT_EQ(engine_->decodeBuffer(image.data(), 640, 480, 640, 2, engine::kDefaultTemplateName),
              engine::kOk);
    EXPECT_EQ(engine_->results().count(), 1);
}

TEST_F(FrameDecoder, DecodeAndSymbologyChangesFromTwoThreads) {
    Placement placement;
    placement.module = 4;
    const std::vector<std::uint8_t> qr = Frame("QRCODE", "threads", placement);
    std::thread window([&] {
        for (int i = 0; i < 20; ++i) {
            EXPECT_TRUE(addSymbologyType(*engine_, mutex_, 2 + i % 3, i % 2 == 0));
        }
    });
    for (int i = 0; i < 10; ++i) {
        SymbolPtr symbol = Decode(qr);
        ASSERT_TRUE(symbol);
        EXPECT_EQ(symbol->type, 1);
    }
    window.join();
}

}  // namespace
}  // namespace telo
