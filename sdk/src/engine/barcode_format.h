// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BARCODE_FORMAT_H
#define TELO_ENGINE_BARCODE_FORMAT_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace telo::engine {

/// The engine's barcode-format bits. A result carries exactly one of them; a template's mask is
/// any combination of them.
enum BarcodeFormatBit : std::uint32_t {
    kFormatCode39 = 0x1,
    kFormatCode128 = 0x2,
    kFormatCode93 = 0x4,
    kFormatCodabar = 0x8,
    kFormatItf = 0x10,
    kFormatEan13 = 0x20,
    kFormatEan8 = 0x40,
    kFormatUpcA = 0x80,
    kFormatUpcE = 0x100,
    kFormatIndustrial25 = 0x200,
    kFormatPdf417 = 0x2000000,
    kFormatQrCode = 0x4000000,
    kFormatDataMatrix = 0x8000000,
    kFormatAztec = 0x10000000,
};

/// The one-dimensional formats, all read along scan lines.
inline constexpr std::uint32_t kLinearFormats =
    kFormatCode39 | kFormatCode128 | kFormatCode93 | kFormatCodabar | kFormatItf | kFormatEan13 |
    kFormatEan8 | kFormatUpcA | kFormatUpcE | kFormatIndustrial25;

/// Every format the engine reads.
inline constexpr std::uint32_t kAllFormats =
    kLinearFormats | kFormatPdf417 | kFormatQrCode | kFormatDataMatrix | kFormatAztec;

/// The settings-file name of one format bit ("CODE_128", "QR_CODE", ...), or empty.
std::string_view formatName(std::uint32_t bit);

/// The format bit for a settings-file name, or nothing for an unknown name.
std::optional<std::uint32_t> formatFromName(std::string_view name);

}  // namespace telo::engine

#endif
