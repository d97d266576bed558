#pragma once

#include <array>
#include <cstdint>

namespace telo {

/// Number of SymbologyIndex values, 0 to 17.
inline constexpr std::int32_t kSymbologyCount = 18;

/// SymbologyFormatTable: the engine format bits of each SymbologyIndex. Index 0 is every format,
/// 4, 8, 9 and 13 are none; the application and the library share this numbering.
inline constexpr std::array<std::uint32_t, kSymbologyCount> kSymbologyFormatTable = {
    0x1E0003FF,  // 0: every format
    0x4000000,   // 1: QR Code
    0x40,        // 2: EAN-8
    0x20,        // 3: EAN-13
    0,           // 4: none
    0x1,         // 5: Code 39
    0x4,         // 6: Code 93
    0x2,         // 7: Code 128
    0,           // 8: none
    0,           // 9: none
    0x2000000,   // 10: PDF417
    0x8000000,   // 11: Data Matrix
    0x10,        // 12: ITF (Interleaved 2 of 5)
    0,           // 13: none
    0x100,       // 14: UPC-E
    0x80,        // 15: UPC-A
    0x200,       // 16: Industrial 2 of 5
    0x10000000,  // 17: Aztec
};

/// The result type of a format that no table entry matches (Codabar, for instance).
inline constexpr std::int32_t kNoSymbologyIndex = -1;

/// True for the indices 0 to 17.
constexpr bool IsSymbologyIndex(std::int32_t index) {
    return index >= 0 && index < kSymbologyCount;
}

/// The lowest index whose table entry equals `format` exactly, or kNoSymbologyIndex; the empty
/// entries never match.
constexpr std::int32_t SymbologyIndexForFormat(std::uint32_t format) {
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
