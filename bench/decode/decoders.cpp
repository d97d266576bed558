// SPDX-License-Identifier: MIT
#include "decoders.h"

#include <ZXing/ReadBarcode.h>

#include <chrono>
#include <cstdlib>

#include "corpus.h"
#include "decode/frame_decoder.h"

namespace telo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

bool OurDecoder::load(const std::string& settingsPath, std::string& errorText) {
    engine_ = engine::BarcodeEngine::create();
    return engine_ && engine_->loadSettingsFromFile(settingsPath.c_str(), errorText) == engine::kOk;
}

int OurDecoder::timeoutMs() const {
    engine::TemplateSettings settings;
    engine_->getTemplateSettings(engine::kDefaultTemplateName, settings);
    return settings.timeoutMs;
}

Outcome OurDecoder::decode(const std::vector<std::uint8_t>& grey,
                           const Symbology* expectedSymbology, const std::string& expected) {
    frame_.assign(grey.size() * 2, 128);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        frame_[2 * i] = grey[i];
    }
    Outcome outcome;
    const auto start = Clock::now();
    Symbol* symbol =
        decodeFrame(*engine_, engineMutex_, frame_.data(), static_cast<std::int32_t>(frame_.size()),
                    kFrameWidth, kFrameHeight);
    outcome.milliseconds = since(start);
    if (symbol != nullptr) {
        outcome.decoded = true;
        outcome.text.assign(symbol->text, symbol->length);
        outcome.correct = expectedSymbology != nullptr &&
                          symbol->type == expectedSymbology->index && outcome.text == expected;
        std::free(symbol->text);
        std::free(symbol);
    }
    return outcome;
}

Outcome decodeWithZXing(const std::vector<std::uint8_t>& grey, const Symbology* expectedSymbology,
                        const std::string& expected) {
    Outcome outcome;
    const auto start = Clock::now();
    const ZXing::Result result = ZXing::ReadBarcode(
        ZXing::ImageView(grey.data(), kFrameWidth, kFrameHeight, ZXing::ImageFormat::Lum));
    outcome.milliseconds = since(start);
    if (result.isValid()) {
        outcome.decoded = true;
        const ZXing::ByteArray& bytes = result.bytes();
        outcome.text.assign(bytes.begin(), bytes.end());
        outcome.correct = expectedSymbology != nullptr &&
                          result.format() == expectedSymbology->zxingFormat &&
                          outcome.text == expected;
    }
    return outcome;
}

}  // namespace telo::bench
