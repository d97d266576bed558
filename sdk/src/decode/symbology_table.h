// SPDX-License-Identifier: MIT
#ifndef TELO_DECODE_SYMBOLOGY_TABLE_H
#define TELO_DECODE_SYMBOLOGY_TABLE_H

#include <array>
#include <cstdint>

#include "engine/barcode_format.h"

namespace telo {

/// Number of SymbologyIndex values, 0 to 17.
inline constexpr std::int32_t kSymbologyCount = 18;

/// SymbologyFormatTable: the engine format bits of each SymbologyIndex. Index 0 is every format,
/// 4, 8, 9 and 13 are none; the application and the library share this numbering, so the
/// empty indices stay.
inline constexpr std::array<std::uint32_t, kSymbologyCount> kSymbologyFormatTable = {
    engine::kAllFormats,          // 0
    engine::kFormatQrCode,        // 1
    engine::kFormatEan8,          // 2
    engine::kFormatEan13,         // 3
    0,                            // 4
    engine::kFormatCode39,        // 5
    engine::kFormatCode93,        // 6
    engine::kFormatCode128,       // 7
    0,                            // 8
    0,                            // 9
    engine::kFormatPdf417,        // 10
    engine::kFormatDataMatrix,    // 11
    engine::kFormatItf,           // 12
    0,                            // 13
    engine::kFormatUpcE,          // 14
    engine::kFormatUpcA,          // 15
    engine::kFormatIndustrial25,  // 16
    engine::kFormatAztec,         // 17
};

namespace detail {

/// True when the entries after index 0 are distinct single bits (or empty) that together with
/// Codabar, which has no index of its own, make up index 0: then every format a result can
/// carry maps back to one index.
constexpr bool tableCoversEachFormatOnce() {
    std::uint32_t seen = 0;
    for (std::int32_t index = 1; index < kSymbologyCount; ++index) {
        const std::uint32_t bits = kSymbologyFormatTable[index];
        if ((bits & (bits - 1)) != 0 || (bits & seen) != 0) {
            return false;
        }
        seen |= bits;
    }
    return (seen | engine::kFormatCodabar) == kSymbologyFormatTable[0] &&
           (seen & engine::kFormatCodabar) == 0;
}

}  // namespace detail

static_assert(detail::tableCoversEachFormatOnce(),
              "SymbologyFormatTable must name each engine format once, Codabar only in index 0");

/// The result type of a format that no table entry matches (Codabar, for instance).
inline constexpr std::int32_t kNoSymbologyIndex = -1;

/// True for the indices 0 to 17.
constexpr bool isSymbologyIndex(std::int32_t index) {
    return index >= 0 && index < kSymbologyCount;
}

/// The lowest index whose table entry equals `format` exactly, or kNoSymbologyIndex; the empty
/// entries never match.
constexpr std::int32_t symbologyIndexForFormat(std::uint32_t format) {
    if (format == 0) {
        return kNoSymbologyIndex;
    }
    for (std::int32_t index = 0; index < kSymbologyCount; ++index) {
        if (kSymbologyFormatTable[index] == format) {
            return index;
        }
    }
    return kNoSymbologyIndex;
}

}  // namespace telo

#endif
