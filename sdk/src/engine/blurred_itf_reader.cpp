// SPDX-License-Identifier: MIT
#include "engine/blurred_itf_reader.h"

#include <cstdint>

#include "engine/barcode_format.h"
#include "engine/mod10_check.h"
#include "engine/two_of_five_reader.h"

namespace telo::engine {

namespace {

/// Characters 0-99 are digit pairs; then the start pattern, the stop pattern and the stop
/// pattern read backwards.
constexpr int kPairs = 100;
constexpr int kStart = kPairs;
constexpr int kStop = kPairs + 1;
constexpr int kMirroredStop = kPairs + 2;
/// Characters matched along a row: every pair, the start pattern and the stop pattern.
constexpr int kCharacters = kPairs + 2;
/// Start pattern: narrow bar, space, bar, space. Stop pattern: wide bar, narrow space, narrow bar.
constexpr float kStartModules = 4;
/// Light after the stop pattern matched with it, modules: it has only two bars.
constexpr float kStopQuietModules = 2;
/// Fewest digits of a symbol, and the length whose last digit is ITF-14's check digit.
constexpr int kMinDigits = 6;
constexpr std::size_t kItf14Digits = 14;

float pairModules(float wide) {
    return 6 + 4 * wide;
}

float characterModules(int c, float wide) {
    if (c == kStart) {
        return kStartModules;
    }
    return c == kStop || c == kMirroredStop ? 2 + wide : pairModules(wide);
}

/// The bars of character `c` as begin and end in modules from its start. A pair and the start
/// pattern end in a space and are followed by a bar, taken as narrow; the stop pattern ends the
/// symbol; the stop pattern read backwards follows the quiet zone and its wide bar meets the
/// last pair's last space, whose width varies, so no bar after it is drawn.
int characterBars(int c, float wide, bool /*quietBefore*/, BlurredSymbology::Edges& edges) {
    int count = 0;
    auto add = [&](float begin, float end) {
        edges[2 * count] = begin;
        edges[2 * count + 1] = end;
        ++count;
    };
    if (c == kStop) {
        add(0, wide);
        add(wide + 1, wide + 2);
        return count;
    }
    if (c == kMirroredStop) {
        add(0, 1);
        add(2, 2 + wide);
        return count;
    }
    float at = 0;
    if (c == kStart) {
        add(0, 1);
        add(2, 3);
        at = kStartModules;
    } else {
        const char* barWidths = kTwoOfFiveDigits[c / 10];
        const char* spaceWidths = kTwoOfFiveDigits[c % 10];
        for (int j = 0; j < 5; ++j) {
            const float bar = barWidths[j] == 'W' ? wide : 1;
            add(at, at + bar);
            at += bar + (spaceWidths[j] == 'W' ? wide : 1);
        }
    }
    add(at, at + 1);
    return count;
}

float advance(int c, float wide) {
    return characterModules(c, wide);
}

float span(int characters, float wide) {
    return kStartModules + static_cast<float>(characters - 2) * pairModules(wide) + 2 + wide;
}

std::string digitsOf(const std::string& pairs) {
    std::string digits;
    for (const char pair : pairs) {
        digits.push_back(static_cast<char>('0' + pair / 10));
        digits.push_back(static_cast<char>('0' + pair % 10));
    }
    return digits;
}

bool checked(int /*start*/, const std::string& pairs) {
    const std::string digits = digitsOf(pairs);
    return digits.size() >= kMinDigits && digits.size() <= kMaxTwoOfFiveLength &&
           (digits.size() != kItf14Digits || mod10CheckHolds(digits));
}

std::uint32_t toBytes(int /*start*/, const std::string& pairs, std::uint32_t formats,
                      std::vector<std::uint8_t>& bytes) {
    const std::string digits = digitsOf(pairs);
    bytes.assign(digits.begin(), digits.end());
    return formats & kFormatItf;
}

const BlurredSymbology& itf() {
    static const BlurredSymbology symbology = [] {
        BlurredSymbology s;
        s.characters = kCharacters;
        s.stop = kStop;
        s.stopQuiet = kStopQuietModules;
        s.firstOutside = kStart;
        s.mirroredStop = kMirroredStop;
        s.starts = {kStart};
        s.moduleMismatch = 0.3f;
        s.spanBlurs = {0.8f, 1, 1.25f, 1.5f};
        s.minCharacters = 2 + kMinDigits / 2;
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

BlurredItfReader::BlurredItfReader() : BlurredBarReader(itf()) {}

}  // namespace telo::engine
