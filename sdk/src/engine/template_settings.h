// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_TEMPLATE_SETTINGS_H
#define TELO_ENGINE_TEMPLATE_SETTINGS_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace telo::engine {

/// The template every caller of the engine names.
inline constexpr char kDefaultTemplateName[] = "QR_CODE_DEFAULT";

/// Bounds of the template fields, checked on loading and on every write.
inline constexpr std::int32_t kMinTimeoutMs = 1;
inline constexpr std::int32_t kMaxTimeoutMs = 60000;
inline constexpr std::int32_t kMaxBarcodesLimit = 32;
inline constexpr std::int32_t kMinLineCountLimit = 8;
/// Most digits of a 2 of 5 symbol, Industrial or Interleaved, and so of industrial25MinLength.
inline constexpr std::int32_t kMaxTwoOfFiveLength = 64;

/// How the readers work, beyond which formats they look for.
struct ReaderOptions {
    /// Retry linear and stacked codes along the bar orientations found in the image.
    bool deskew = true;
    /// Scan lines that must give the same text before a linear result counts.
    std::int32_t minLineCount = 2;
    /// Fewest digits an Industrial 2 of 5 result may have.
    std::int32_t industrial25MinLength = 1;
    /// Industrial 2 of 5 symbols end with a mod-10 check digit; symbols failing it are refused.
    bool industrial25CheckDigit = false;
};

/// One named template: what a decode looks for and how long it may take.
struct TemplateSettings {
    /// Engine format bits (BarcodeFormatBit) the decode looks for.
    std::uint32_t formatMask = 0;
    /// Wall-clock budget of one decode; no further pass starts once it is spent.
    std::int32_t timeoutMs = 100;
    /// Most results one decode returns.
    std::int32_t maxBarcodes = 1;
    /// The decode stops early once this many results are found; 0 stops at the first.
    std::int32_t expectedBarcodes = 0;
    ReaderOptions reader;
};

using TemplateMap = std::map<std::string, TemplateSettings, std::less<>>;

/// Empty when the settings are within bounds, otherwise a text naming the offending field.
std::string validateTemplate(const TemplateSettings& settings);

}  // namespace telo::engine

#endif
