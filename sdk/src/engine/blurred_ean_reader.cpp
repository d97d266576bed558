// SPDX-License-Identifier: MIT
#include "engine/blurred_ean_reader.h"

#include <array>
#include <cstdint>

#include "engine/barcode_format.h"
#include "engine/mod10_check.h"

namespace telo::engine {

namespace {

/// Characters: digits of the left half's odd (L) and even (G) parity, of the right half (R),
/// and left-half digits read from the right (L backwards, X); the centre guard with the R or X
/// digit after it, in that order (blur leaves the guard's thin bars too flat to match alone);
/// then the end guard and the start guard. Read from the right, R digits look like G and G
/// digits like R.
constexpr int kLeftOdd = 0;
constexpr int kLeftEven = 10;
constexpr int kRight = 20;
constexpr int kBackwards = 30;
constexpr int kCentreRight = 40;
constexpr int kEndGuard = 60;
constexpr int kStartGuard = 61;
constexpr int kCharacters = 61;
/// Stands for the centre guard in a row's text once the digit after it is split off.
constexpr char kCentre = 100;
constexpr int kCentreModules = 5;
constexpr int kDigitModules = 7;

/// The L digits' modules, most significant first (1: bar).
constexpr std::array<std::uint8_t, 10> kLeftOddPatterns = {0x0D, 0x19, 0x13, 0x3D, 0x23,
                                                           0x31, 0x2F, 0x3B, 0x37, 0x0B};
/// The parities of the left half's six digits (bit set: G), most significant first, for each
/// first digit of an EAN-13.
constexpr std::array<std::uint8_t, 10> kFirstDigitParities = {0x00, 0x0B, 0x0D, 0x0E, 0x13,
                                                              0x19, 0x1C, 0x15, 0x16, 0x1A};

std::uint8_t reversed7(std::uint8_t bits) {
    std::uint8_t out = 0;
    for (int j = 0; j < kDigitModules; ++j) {
        out = static_cast<std::uint8_t>(out | (((bits >> j) & 1) << (kDigitModules - 1 - j)));
    }
    return out;
}

/// The modules (1: bar) of digit `c`, of L, G, R or X.
std::uint8_t digitPattern(int c) {
    const std::uint8_t odd = kLeftOddPatterns[c % 10];
    const std::uint8_t right = static_cast<std::uint8_t>(~odd & 0x7F);
    switch (c / 10) {
        case 0:
            return odd;
        case 1:
            return reversed7(right);
        case 2:
            return right;
        default:
            return reversed7(odd);
    }
}

/// Character `c`'s modules (1: bar) and how many there are.
int patternOf(int c, std::uint16_t& bits) {
    if (c >= kEndGuard) {
        bits = 0x5;
        return 3;
    }
    if (c >= kCentreRight) {
        bits = static_cast<std::uint16_t>(0xA << kDigitModules |
                                          digitPattern(c - kCentreRight + kRight));
        return kCentreModules + kDigitModules;
    }
    bits = digitPattern(c);
    return kDigitModules;
}

float characterModules(int c, float /*wide*/) {
    std::uint16_t bits = 0;
    return static_cast<float>(patternOf(c, bits));
}

/// The bars of character `c` as begin and end in modules from its start, with the bar that
/// ends the digit before it where that is certain (before left-half digits and the centre
/// guard) and the bar that begins the one after it (after right-half digits); the first of
/// the next character is one module at least.
int characterBars(int c, float /*wide*/, bool /*quietBefore*/, BlurredSymbology::Edges& edges) {
    int count = 0;
    auto add = [&](float begin, float end) {
        edges[2 * count] = begin;
        edges[2 * count + 1] = end;
        ++count;
    };
    std::uint16_t bits = 0;
    const int modules = patternOf(c, bits);
    const bool barBefore = c < kRight || (c >= kCentreRight && c < kEndGuard);
    const bool barAfter = c >= kRight && c < kEndGuard;
    if (barBefore) {
        add(-1, 0);
    }
    for (int j = 0; j < modules; ++j) {
        if (((bits >> (modules - 1 - j)) & 1) == 0) {
            continue;
        }
        const auto at = static_cast<float>(j);
        if (count > 0 && edges[2 * count - 1] == at) {
            edges[2 * count - 1] = at + 1;
        } else {
            add(at, at + 1);
        }
    }
    if (barAfter) {
        add(static_cast<float>(modules), static_cast<float>(modules) + 1);
    }
    return count;
}

float span(int characters, float /*wide*/) {
    // Two guards, the digits of EAN-8 or EAN-13, the centre guard with one of them.
    const int digits = characters - 2;
    return digits == 8 || digits == 12 ? static_cast<float>(digits * kDigitModules + 11) : 0;
}

/// The digits a row's characters give, first digit of an EAN-13 included, read from the left;
/// empty when they do not make a symbol whose check digit holds.
std::string digitsOf(const std::string& row) {
    std::string text;
    for (const char c : row) {
        if (c >= kCentreRight) {
            text.push_back(kCentre);
        }
        text.push_back(static_cast<char>(c >= kCentreRight ? c - kCentreRight + kRight : c));
    }
    const int count = static_cast<int>(text.size());
    const int half = count / 2;
    if ((count != 9 && count != 13) || text[half] != kCentre) {
        return {};
    }
    auto within = [&](const std::string& characters, int from, int to, int low, int high) {
        for (int i = from; i < to; ++i) {
            if (characters[i] < low || characters[i] >= high) {
                return false;
            }
        }
        return true;
    };
    std::string forward = text;
    if (within(text, 0, half, kLeftEven, kRight) &&
        within(text, half + 1, count, kRight, kCentreRight)) {
        // Read from the right: the left half all G is never an EAN-13's or EAN-8's.
        for (int i = 0; i < count; ++i) {
            const int c = text[count - 1 - i];
            const int digit = c % 10;
            const int group = c == kCentre ? -1 : c / 10;
            forward[i] = static_cast<char>(group == 1   ? kRight + digit
                                           : group == 3 ? kLeftOdd + digit
                                           : group == 2 ? kLeftEven + digit
                                                        : c);
        }
    }
    if (!within(forward, 0, half, kLeftOdd, kRight) ||
        !within(forward, half + 1, count, kRight, kBackwards)) {
        return {};
    }
    int parities = 0;
    std::string digits;
    for (int i = 0; i < count; ++i) {
        if (i == half) {
            continue;
        }
        if (i < half) {
            parities = parities << 1 | (forward[i] >= kLeftEven ? 1 : 0);
        }
        digits.push_back(static_cast<char>('0' + forward[i] % 10));
    }
    if (count == 13) {
        int first = 0;
        while (first < 10 && kFirstDigitParities[first] != parities) {
            ++first;
        }
        if (first == 10) {
            return {};
        }
        digits.insert(digits.begin(), static_cast<char>('0' + first));
    } else if (parities != 0) {
        return {};
    }
    return mod10CheckHolds(digits) ? digits : std::string();
}

bool checked(int /*start*/, const std::string& text) {
    return !digitsOf(text).empty();
}

std::uint32_t toBytes(int /*start*/, const std::string& text, std::uint32_t formats,
                      std::vector<std::uint8_t>& bytes) {
    std::string digits = digitsOf(text);
    std::uint32_t format = 0;
    if (digits.size() == 8) {
        format = formats & kFormatEan8;
    } else if (digits.size() == 13 && digits[0] == '0' && (formats & kFormatUpcA) != 0) {
        digits.erase(0, 1);
        format = kFormatUpcA;
    } else if (digits.size() == 13) {
        format = formats & kFormatEan13;
    }
    bytes.assign(digits.begin(), digits.end());
    return format;
}

const BlurredSymbology& ean() {
    static const BlurredSymbology symbology = [] {
        BlurredSymbology s;
        s.characters = kCharacters;
        s.stop = kEndGuard;
        s.stopQuiet = 2;
        s.quietGap = 4.5f;
        s.moduleMismatch = 0.3f;
        s.spanBlurs = {0.8f, 1, 1.25f, 1.5f};
        s.firstOutside = kCharacters;
        s.mirroredStop = kStartGuard;
        s.starts = {kStartGuard};
        s.minCharacters = 10;
        s.maxSpan = span(14, 0);
        s.minMargin = 1.5f;
        s.wideRatios = {0};
        s.modules = characterModules;
        s.advance = characterModules;
        s.span = span;
        s.bars = characterBars;
        s.checked = checked;
        s.toBytes = toBytes;
        return s;
    }();
    return symbology;
}

}  // namespace

BlurredEanReader::BlurredEanReader() : BlurredBarReader(ean()) {}

}  // namespace telo::engine
