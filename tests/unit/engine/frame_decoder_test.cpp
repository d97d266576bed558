#include "decode/frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "decode/symbology_table.h"
#include "engine/barcode_engine.h"
#include "engine/barcode_format.h"
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

class FrameDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = engine::BarcodeEngine::Create();
        ASSERT_TRUE(engine_);
        std::string errorText;
        ASSERT_EQ(engine_->LoadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), engine::kOk)
            << errorText;
    }

    static std::vector<std::uint8_t> Frame(const char* type, const std::string& data,
                                           Placement placement = {}) {
        std::vector<std::uint8_t> grey = test::BlankImage();
        test::DrawSymbol(test::ZintModules(type, data), placement, grey);
        return test::ToYuyv(grey);
    }

    SymbolPtr Decode(const std::vector<std::uint8_t>& frame, std::int32_t width = 640,
                     std::int32_t height = 480) {
        return SymbolPtr(DecodeFrame(*engine_, mutex_, frame.data(),
                                     static_cast<std::int32_t>(frame.size()), width, height));
    }

    engine::TemplateSettings Template() {
        engine::TemplateSettings settings;
        EXPECT_EQ(engine_->GetTemplateSettings(engine::kDefaultTemplateName, settings),
                  engine::kOk);
        return settings;
    }

    std::unique_ptr<engine::BarcodeEngine> engine_;
    std::mutex mutex_;
};

TEST_F(FrameDecoder, ResultsCarryTheirIndexAndRawBytes) {
    const struct {
        const char* type;
        std::string data;
        std::int32_t index;
        std::string expected;
    } cases[] = {
        {"QRCODE", "https://example.com/telo", 1, "https://example.com/telo"},
        {"AZTEC", "Aztec 17", 17, "Aztec 17"},
        {"EANX", "590123412345", 3, "5901234123457"},
        {"CODE128", "Code-128", 7, "Code-128"},
        {"C25IND", "246810", 16, "246810"},
        {"CODABAR", "A40156B", kNoSymbologyIndex, "40156"},
    };
    for (const auto& c : cases) {
        Placement placement;
        placement.module = 4;
        SymbolPtr symbol = Decode(Frame(c.type, c.data, placement));
        ASSERT_TRUE(symbol) << c.type;
        EXPECT_EQ(symbol->type, c.index) << c.type;
        EXPECT_EQ(std::string(symbol->text, symbol->length), c.expected);
        EXPECT_EQ(symbol->text[symbol->length], '\0');
    }
}

TEST_F(FrameDecoder, ZeroBytesKeepTheirLength) {
    Placement placement;
    placement.module = 5;
    SymbolPtr symbol = Decode(Frame("QRCODE", "A\\0B\\0", placement));
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->length, 4);
    EXPECT_EQ(std::memcmp(symbol->text, "A\0B\0", 5), 0);
}

TEST_F(FrameDecoder, FramesThatDoNotFitAreRefused) {
    Placement placement;
    placement.module = 4;
    std::vector<std::uint8_t> frame = Frame("QRCODE", "size", placement);
    ASSERT_TRUE(Decode(frame));

    // A trailing odd byte and extra bytes are ignored; too few bytes or too many pixels are not.
    frame.push_back(0);
    EXPECT_TRUE(Decode(frame));
    EXPECT_FALSE(DecodeFrame(*engine_, mutex_, frame.data(), 640 * 480 * 2 - 1, 640, 480));
    EXPECT_FALSE(Decode(frame, 641, 480));
    EXPECT_FALSE(Decode(frame, 640, 481));
    EXPECT_FALSE(Decode(frame, 0, 480));
    EXPECT_FALSE(Decode(frame, -640, -480));
    EXPECT_FALSE(DecodeFrame(*engine_, mutex_, frame.data(), -1, 640, 480));
    EXPECT_FALSE(DecodeFrame(*engine_, mutex_, nullptr, 640 * 480 * 2, 640, 480));

    // A smaller frame is decoded at its own size.
    std::vector<std::uint8_t> grey = test::BlankImage(320, 240);
    placement.centreX = 160;
    placement.centreY = 120;
    test::DrawSymbol(test::ZintModules("QRCODE", "small"), placement, grey, 320, 240);
    SymbolPtr small = Decode(test::ToYuyv(grey), 320, 240);
    ASSERT_TRUE(small);
    EXPECT_EQ(std::string(small->text, small->length), "small");
}

TEST_F(FrameDecoder, TwoBarcodesGiveOneSymbol) {
    std::vector<std::uint8_t> grey = test::BlankImage();
    Placement left;
    left.module = 4;
    left.centreX = 160;
    Placement right = left;
    right.centreX = 480;
    test::DrawSymbol(test::ZintModules("QRCODE", "left"), left, grey);
    test::DrawSymbol(test::ZintModules("QRCODE", "right"), right, grey);
    SymbolPtr symbol = Decode(test::ToYuyv(grey));
    ASSERT_TRUE(symbol);
    const std::string text(symbol->text, symbol->length);
    EXPECT_TRUE(text == "left" || text == "right") << text;
}

TEST_F(FrameDecoder, AddTypeChangesTheMaskAndImposesTheLimits) {
    Placement placement;
    placement.module = 4;
    const std::vector<std::uint8_t> qr = Frame("QRCODE", "toggle", placement);

    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 1, false));
    EXPECT_FALSE(Decode(qr));
    engine::TemplateSettings settings = Template();
    EXPECT_EQ(settings.formatMask, engine::kAllFormats & ~engine::kFormatQrCode);
    EXPECT_EQ(settings.timeoutMs, 500);
    EXPECT_EQ(settings.maxBarcodes, 1);
    EXPECT_EQ(settings.expectedBarcodes, 1);

    for (std::int32_t none : {4, 8, 9, 13}) {
        EXPECT_TRUE(AddSymbologyType(*engine_, mutex_, none, true)) << none;
        EXPECT_TRUE(AddSymbologyType(*engine_, mutex_, none, false)) << none;
    }
    EXPECT_EQ(Template().formatMask, engine::kAllFormats & ~engine::kFormatQrCode);

    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 1, true));
    EXPECT_TRUE(Decode(qr));
    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 0, false));
    EXPECT_EQ(Template().formatMask, 0u);
    EXPECT_FALSE(Decode(qr));
    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 16, true));
    EXPECT_EQ(Template().formatMask, engine::kFormatIndustrial25);
    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 0, true));
    EXPECT_EQ(Template().formatMask, engine::kAllFormats);

    EXPECT_FALSE(AddSymbologyType(*engine_, mutex_, 18, true));
    EXPECT_FALSE(AddSymbologyType(*engine_, mutex_, -1, false));
    EXPECT_EQ(Template().formatMask, engine::kAllFormats);
}

TEST_F(FrameDecoder, AddTypeFailsWithoutTheTemplate) {
    std::unique_ptr<engine::BarcodeEngine> empty = engine::BarcodeEngine::Create();
    EXPECT_FALSE(AddSymbologyType(*empty, mutex_, 1, true));
    Placement placement;
    placement.module = 4;
    const std::vector<std::uint8_t> frame = Frame("QRCODE", "no template", placement);
    EXPECT_FALSE(DecodeFrame(*empty, mutex_, frame.data(), static_cast<std::int32_t>(frame.size()),
                             640, 480));
}

TEST_F(FrameDecoder, TimeOutStopsFurtherPasses) {
    // A Code 39 symbol turned 30 degrees is found only by the deskewed passes, which a 1 ms
    // budget leaves no time for.
    Placement placement;
    placement.module = 2;
    placement.angleDegrees = 30;
    placement.barHeight = 20;
    const std::vector<std::uint8_t> frame = Frame("CODE39", "TILTED39", placement);
    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 0, false));
    ASSERT_TRUE(AddSymbologyType(*engine_, mutex_, 5, true));
    SymbolPtr found = Decode(frame);
    ASSERT_TRUE(found);
    EXPECT_EQ(std::string(found->text, found->length), "TILTED39");

    engine::TemplateSettings settings = Template();
    settings.timeoutMs = 1;
    std::string errorText;
    ASSERT_EQ(engine_->SetTemplateSettings(engine::kDefaultTemplateName, settings, errorText),
              engine::kOk);
    EXPECT_FALSE(Decode(frame));
}

TEST(BarcodeEngine, RefusesBadBuffersWithACode) {
    std::unique_ptr<engine::BarcodeEngine> engine = engine::BarcodeEngine::Create();
    std::string errorText;
    ASSERT_EQ(engine->LoadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), engine::kOk);
    const std::vector<std::uint8_t> image = test::BlankImage();
    const char* name = engine::kDefaultTemplateName;
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 640, 480, 640, 2, name), engine::kOk);
    EXPECT_EQ(engine->Results().Count(), 0);
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 640, 480, 640, 1, name),
              engine::kErrorPixelFormatNotMatched);
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 640, 480, 639, 2, name),
              engine::kErrorInvalidArgument);
    EXPECT_EQ(engine->DecodeBuffer(nullptr, 640, 480, 640, 2, name), engine::kErrorInvalidArgument);
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 0, 480, 640, 2, name),
              engine::kErrorInvalidArgument);
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 9000, 1, 9000, 2, name),
              engine::kErrorImageTooLarge);
    EXPECT_EQ(engine->DecodeBuffer(image.data(), 640, 480, 640, 2, "MISSING"),
              engine::kErrorTemplateNotFound);
}

TEST(BarcodeEngine, MaximumAndExpectedCountsBoundTheResults) {
    std::unique_ptr<engine::BarcodeEngine> engine = engine::BarcodeEngine::Create();
    std::string errorText;
    ASSERT_EQ(engine->LoadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), engine::kOk);
    std::vector<std::uint8_t> image = test::BlankImage();
    Placement placement;
    placement.module = 4;
    const std::pair<const char*, double> codes[] = {{"one", 110}, {"two", 320}, {"three", 530}};
    for (const auto& [text, x] : codes) {
        placement.centreX = x;
        test::DrawSymbol(test::ZintModules("QRCODE", text), placement, image);
    }
    engine::TemplateSettings settings;
    ASSERT_EQ(engine->GetTemplateSettings(engine::kDefaultTemplateName, settings), engine::kOk);
    for (int maximum : {1, 2, 3}) {
        settings.maxBarcodes = maximum;
        settings.expectedBarcodes = maximum;
        ASSERT_EQ(engine->SetTemplateSettings(engine::kDefaultTemplateName, settings, errorText),
                  engine::kOk);
        ASSERT_EQ(
            engine->DecodeBuffer(image.data(), 640, 480, 640, 2, engine::kDefaultTemplateName),
            engine::kOk);
        EXPECT_EQ(engine->Results().Count(), maximum);
    }
}

TEST_F(FrameDecoder, DecodeAndSymbologyChangesFromTwoThreads) {
    Placement placement;
    placement.module = 4;
    const std::vector<std::uint8_t> qr = Frame("QRCODE", "threads", placement);
    std::thread window([&] {
        for (int i = 0; i < 20; ++i) {
            EXPECT_TRUE(AddSymbologyType(*engine_, mutex_, 2 + i % 3, i % 2 == 0));
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
