// SPDX-License-Identifier: MIT
#include "engine/template_settings.h"

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

bool inRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

std::string rangeText(const char* field, std::int32_t low, std::int32_t high) {
    return std::string(field) + " must be from " + std::to_string(low) + " to " +
           std::to_string(high);
}

}  // namespace

std::string validateTemplate(const TemplateSettings& settings) {
    if ((settings.formatMask & ~kAllFormats) != 0) {
        return "format mask has bits of no known format";
    }
    if (!inRange(settings.timeoutMs, kMinTimeoutMs, kMaxTimeoutMs)) {
        return rangeText("timeoutMs", kMinTimeoutMs, kMaxTimeoutMs);
    }
    if (!inRange(settings.maxBarcodes, 1, kMaxBarcodesLimit)) {
        return rangeText("maxBarcodes", 1, kMaxBarcodesLimit);
    }
    if (!inRange(settings.expectedBarcodes, 0, kMaxBarcodesLimit)) {
        return rangeText("expectedBarcodes", 0, kMaxBarcodesLimit);
    }
    if (!inRange(settings.reader.minLineCount, 1, kMinLineCountLimit)) {
        return rangeText("minLineCount", 1, kMinLineCountLimit);
    }
    if (!inRange(settings.reader.industrial25MinLength, 1, kMaxTwoOfFiveLength)) {
        return rangeText("industrial25MinLength", 1, kMaxTwoOfFiveLength);
    }
    return {};
}

}  // namespace telo::engine
