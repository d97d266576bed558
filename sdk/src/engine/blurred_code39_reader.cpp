// SPDX-License-Identifier: MIT
#include "engine/blurred_code39_reader.h"

#include <algorithm>
#include <cstdint>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// The characters and their nine elements, bar first, one bit each from the most significant
/// (1: wide); the last is the start and stop character.
constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
constexpr std::array<std::uint16_t, 44> kPatterns = {
    0x034, 0x121, 0x061, 0x160, 0x031, 0x130, 0x070, 0x025, 0x124, 0x064,  // 0-9
    0x109, 0x049, 0x148, 0x019, 0x118, 0x058, 0x00D, 0x10C, 0x04C, 0x01C,  // A-J
    0x103, 0x043, 0x142, 0x013, 0x112, 0x052, 0x007, 0x106, 0x046, 0x016,  // K-T
    0x181, 0x0C1, 0x1C0, 0x091, 0x190, 0x0D0, 0x085, 0x184, 0x0C4, 0x0A8,  // U-$
    0x0A2, 0x08A, 0x02A, 0x094,                                            // / + % *
};
constexpr int kCharacters = static_cast<int>(kPatterns.size());
constexpr int kStar = kCharacters - 1;
constexpr int kElements = 9;

/// The character whose elements are those of the stop character read backwards.
int mirroredStar() {
    std::uint16_t mirrored = 0;
    for (int j = 0; j < kElements; ++j) {
        mirrored = static_cast<std::uint16_t>(
            mirrored | (((kPatterns[kStar] >> j) & 1) << (kElements - 1 - j)));
    }
    return static_cast<int>(std::find(kPatterns.begin(), kPatterns.end(), mirrored) -
                            kPatterns.begin());
}

float characterModules(int /*c*/, float wide) {
    return 6 + 3 * wide;
}

/// The bars of character `c` as begin and end in modules from its start, with the narrow bar
/// that ends the character before it (unless `quietBefore`) and begins the one after it.
int characterBars(int c, float wide, bool quietBefore, BlurredSymbology::Edges& edges) {
    int count = 0;
    auto add = [&](float begin, float end) {
        edges[2 * count] = begin;
        edges[2 * count + 1] = end;
        ++count;
    };
    if (!quietBefore) {
        add(-2, -1);
    }
    float at = 0;
    for (int j = 0; j < kElements; ++j) {
        const float width = ((kPatterns[c] >> (kElements - 1 - j)) & 1) != 0 ? wide : 1;
        if (j % 2 == 0) {
            add(at, at + width);
        }
        at += width;
    }
    add(at + 1, at + 2);
    return count;
}

float advance(int /*c*/, float wide) {
    return characterModules(0, wide) + 1;
}

float span(int characters, float wide) {
    return static_cast<float>(characters) * advance(0, wide) - 1;
}

bool checked(int /*start*/, const std::string& /*text*/) {
    return true;
}

std::uint32_t toBytes(int /*start*/, const std::string& text, std::uint32_t formats,
                      std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    for (const char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(kAlphabet[static_cast<int>(c)]));
    }
    return formats & kFormatCode39;
}

const BlurredSymbology& code39() {
    static const BlurredSymbology symbology = [] {
        BlurredSymbology s;
        s.characters = kCharacters;
        s.stop = kStar;
        s.firstOutside = kCharacters;
        s.mirroredStop = mirroredStar();
        s.starts = {kStar};
        s.minCharacters = 3;
        s.wideRatios = {2, 2.5f, 3};
        s.minWide = 1.8f;
        s.maxWide = 3.4f;
        s.wideStep = 0.05f;
        s.modules = characterModules;
        s.advance = advance;
        s.span = span;
        s.bars = characterBars;
        s.checked = checked;
        s.toBytes = toBytes;
        return s;
    }();
    return symbology;
}

}  // namespace

BlurredCode39Reader::BlurredCode39Reader() : BlurredBarReader(code39()) {}

}  // namespace telo::engine
