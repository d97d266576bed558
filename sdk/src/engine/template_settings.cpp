#include "engine/template_settings.h"

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

std::string RangeText(const char* field, std::int32_t low, std::int32_t high) {
    return std::string(field) + " must be from " + std::to_string(low) + " to " +
           std::to_string(high);
}

}  // namespace

std::string ValidateTemplate(const TemplateSettings& settings) {
    if ((settings.formatMask & ~kAllFormats) != 0) {
        return "format mask has bits of no known format";
    }
    if (!InRange(settings.timeoutMs, kMinTimeoutMs, kMaxTimeoutMs)) {
        return RangeText("timeoutMs", kMinTimeoutMs, kMaxTimeoutMs);
    }
    if (!InRange(settings.maxBarcodes, 1, kMaxBarcodesLimit)) {
        return RangeText("maxBarcodes", 1, kMaxBarcodesLimit);
    }
    if (!InRange(settings.expectedBarcodes, 0, kMaxBarcodesLimit)) {
        return RangeText("expectedBarcodes", 0, kMaxBarcodesLimit);
    }
    if (!InRange(settings.reader.minLineCount, 1, kMinLineCountLimit)) {
        return RangeText("minLineCount", 1, kMinLineCountLimit);
    }
    if (!InRange(settings.reader.industrial25MinLength, 1, kMaxIndustrial25Length)) {
        return RangeText("industrial25MinLength", 1, kMaxIndustrial25Length);
    }
    return {};
}

}  // namespace telo::engine
