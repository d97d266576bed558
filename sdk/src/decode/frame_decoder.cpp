// SPDX-License-Identifier: MIT
#include "decode/frame_decoder.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "decode/symbology_table.h"
#include "engine/barcode_engine.h"
#include "scanner.h"

namespace telo {

namespace {

constexpr std::size_t kGreyBytes = static_cast<std::size_t>(kGreyWidth) * kGreyHeight;
constexpr std::int32_t kSymbologyTimeoutMs = 500;

using GreyImage = std::array<std::uint8_t, kGreyBytes>;

/// The calling thread's grey image, made on its first decode: too large for the stack of an
/// arbitrary thread, and private to the thread so the copy needs no lock.
GreyImage* threadGreyImage() {
    thread_local std::unique_ptr<GreyImage> image(new (std::nothrow) GreyImage);
    return image.get();
}

Symbol* makeSymbol(const engine::TextResult& result) {
    auto* symbol = static_cast<Symbol*>(std::malloc(sizeof(Symbol)));
    if (symbol == nullptr) {
        return nullptr;
    }
    const std::size_t length = result.bytes.size();
    symbol->text = static_cast<char*>(std::malloc(length + 1));
    if (symbol->text == nullptr) {
        std::free(symbol);
        return nullptr;
    }
    if (length > 0) {
        std::memcpy(symbol->text, result.bytes.data(), length);
    }
    symbol->text[length] = '\0';
    symbol->length = static_cast<std::int32_t>(length);
    symbol->type = symbologyIndexForFormat(result.format);
    return symbol;
}

}  // namespace

const std::uint8_t* FetchFrame(Scanner& scanner) {
    scanner.camera.waitForFrame(CCameraDS::kFrameWaitMs);
    // controlMutex decides only whether there is a frame: none while the control thread holds
    // it. The copy touches no device and needs no lock of the handle, so that no request waits
    // for it.
    if (!scanner.requests.tryLockForFetch().owns_lock()) {
        return nullptr;
    }
    return scanner.camera.QueryFrame(0);
}

Symbol* decodeFrame(engine::BarcodeEngine& engine, std::mutex& engineMutex,
                    const std::uint8_t* frame, std::int32_t bufferSize, std::int32_t width,
                    std::int32_t height) {
    if (frame == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels > kGreyBytes || bufferSize < 0 ||
        static_cast<std::size_t>(bufferSize) / 2 < pixels) {
        return nullptr;
    }
    GreyImage* grey = threadGreyImage();
    if (grey == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        (*grey)[i] = frame[2 * i];
    }

    std::lock_guard<std::mutex> lock(engineMutex);
    if (engine.decodeBuffer(grey->data(), width, height, width, engine::kPixelFormatGrey,
                            engine::kDefaultTemplateName) != engine::kOk ||
        engine.results().count() <= 0) {
        return nullptr;
    }
    return makeSymbol(engine.results()[0]);
}

bool addSymbologyType(engine::BarcodeEngine& engine, std::mutex& engineMutex, std::int32_t index,
                      bool enable) {
    if (!isSymbologyIndex(index)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(engineMutex);
    engine::TemplateSettings settings;
    if (engine.getTemplateSettings(engine::kDefaultTemplateName, settings) != engine::kOk) {
        return false;
    }
    const std::uint32_t bits = kSymbologyFormatTable[index];
    settings.timeoutMs = kSymbologyTimeoutMs;
    settings.maxBarcodes = 1;
    settings.expectedBarcodes = 1;
    settings.formatMask = enable ? (settings.formatMask | bits) : (settings.formatMask & ~bits);
    std::string errorText;
    return engine.setTemplateSettings(engine::kDefaultTemplateName, settings, errorText) ==
           engine::kOk;
}

}  // namespace telo
