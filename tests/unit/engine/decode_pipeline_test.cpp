// SPDX-License-Identifier: MIT
#include "engine/decode_pipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "engine/barcode_engine.h"
#include "engine/barcode_format.h"
#include "engine/read_arbiter.h"
#include "shipped_engine.h"
#include "test_symbols.h"

namespace telo::engine {
namespace {

using test::Placement;

/// The engine with the shipped settings, reading one grey image.
class Pipeline : public test::ShippedEngineTest {
protected:
    /// The texts read from `image`, in order.
    std::vector<std::string> read(const std::vector<std::uint8_t>& image, int width = 640,
                                  int height = 480) {
        EXPECT_EQ(engine_->decodeBuffer(image.data(), width, height, width, kPixelFormatGrey,
                                        kDefaultTemplateName),
                  kOk);
        std::vector<std::string> texts;
        for (int i = 0; i < engine_->results().count(); ++i) {
            const auto& bytes = engine_->results()[i].bytes;
            texts.emplace_back(bytes.begin(), bytes.end());
        }
        return texts;
    }
};

/// A symbol without a check character, drawn level at the frame's middle, and the left edge of
/// its first bar.
struct Unchecked {
    const char* type;
    const char* data;
    test::Modules modules;
    Placement placement;

    Unchecked(const char* t, const char* d) : type(t), data(d), modules(test::ZintModules(t, d)) {
        placement.module = 3;
        placement.barHeight = 30;
    }
    double Left() const { return placement.centreX - modules[0].size() * placement.module / 2; }
    std::vector<std::uint8_t> Draw() const {
        std::vector<std::uint8_t> image = test::BlankImage();
        test::DrawSymbol(modules, placement, image);
        return image;
    }
};

constexpr const char* kUncheckedSymbols[][2] = {
    {"C25IND", "31415926"}, {"C25INTER", "1234567890"}, {"CODE39", "TELO39CODE"}};

TEST_F(Pipeline, PiecesOfUncheckedSymbolsAreNeverRead) {
    // A clipped highlight, sharp or fading into the bars beside it, or a smudge across the
    // whole height of the bars leaves pieces whose gap passes for a quiet zone: nothing is
    // read. Across part of the height, lines read the
    // whole symbol above it and pieces through it; the whole symbol or nothing is read.
    for (const auto& [type, data] : kUncheckedSymbols) {
        const Unchecked symbol(type, data);
        ASSERT_FALSE(symbol.modules.empty()) << "zint is needed";
        const int height = static_cast<int>(symbol.placement.barHeight * symbol.placement.module);
        const int top = 240 - height / 2;
        for (const double share : {0.3, 0.5, 0.7}) {
            const int x = static_cast<int>(symbol.Left() + share * symbol.modules[0].size() *
                                                               symbol.placement.module);
            for (const std::uint8_t band : {std::uint8_t{255}, symbol.placement.light}) {
                std::vector<std::uint8_t> image = symbol.Draw();
                test::FillRect(image, x - 10, 0, x + 10, 480, band);
                EXPECT_TRUE(read(image).empty()) << type << " cut at " << share;
                image = symbol.Draw();
                test::AddGlare(image, x, 240, 15, height, 600);
                EXPECT_TRUE(read(image).empty()) << type << " glare at " << share;
                image = symbol.Draw();
                test::FillRect(image, x - 10, top + height / 3, x + 10, 480, band);
                for (const std::string& text : read(image)) {
                    EXPECT_EQ(text, data) << type << " cut at " << share;
                }
            }
        }
    }
}

TEST_F(Pipeline, UncheckedSymbolsNeedQuietZonesOnBothSides) {
    // Print two modules from the first bar spoils the quiet zone; print eight away does not.
    for (const auto& [type, data] : kUncheckedSymbols) {
        const Unchecked symbol(type, data);
        for (const auto& [gap, readable] : {std::pair{2.0, false}, std::pair{8.0, true}}) {
            std::vector<std::uint8_t> image = symbol.Draw();
            const int x = static_cast<int>(symbol.Left() - gap * symbol.placement.module);
            test::FillRect(image, x - 6, 0, x, 480, symbol.placement.dark);
            EXPECT_EQ(read(image).empty(), !readable) << type << " print " << gap << " away";
        }
    }
}

TEST(ReadArbiter, ReadsOfOnePlaceThatDisagreeCancelOut) {
    auto read = [](std::uint32_t format, const std::string& text, float x) {
        Read r;
        r.format = format;
        r.bytes.assign(text.begin(), text.end());
        r.where = {PointF{x, 100}, PointF{x + 200, 100}, PointF{x + 200, 160}, PointF{x, 160}};
        r.lines = 3;
        return r;
    };
    ReadArbiter arbiter;
    arbiter.add(read(kFormatUpcA, "012345678905", 100));
    arbiter.add(read(kFormatEan13, "4012345678901", 120));
    EXPECT_EQ(arbiter.settled(2), 0);
    arbiter.add(read(kFormatCode128, "apart", 400));
    arbiter.add(read(kFormatCode128, "apart", 410));
    ResultList results;
    results.reset(kMaxBarcodesLimit);
    arbiter.publish(2, results);
    ASSERT_EQ(results.count(), 1);
    EXPECT_EQ(results[0].format, kFormatCode128);
}

TEST_F(Pipeline, DecodesEndSoonAfterTheTimeOutOnEndlessPrint) {
    // A large frame of bar-like and matrix-like print everywhere keeps every pass busy; only
    // the time-out ends the decode. The bound is generous: a decode that checked the time-out
    // only between passes would take seconds here.
    constexpr int kSide = 4000;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(kSide) * kSide);
    std::mt19937 random(7);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int stripe = (x + (y / 97) * 13) / (2 + (x / 53 + y / 71) % 4);
            image[static_cast<std::size_t>(y) * kSide + x] =
                static_cast<std::uint8_t>((stripe % 2 == 0 ? 40 : 210) + random() % 30);
        }
    }
    SetTimeout(50);
    const auto start = std::chrono::steady_clock::now();
    read(image, kSide, kSide);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

}  // namespace
}  // namespace telo::engine
