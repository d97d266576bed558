// SPDX-License-Identifier: MIT
#include "engine/blurred_code93_reader.h"

#include <cstdint>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// Each character's six elements, bar first, in modules: the 43 printable values, the four
/// full-ASCII shifts, then the start character.
constexpr std::array<const char*, 48> kPatterns = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114",
    "131211", "141111", "211113", "211212", "211311", "221112", "221211", "231111",
    "112113", "112212", "112311", "122112", "132111", "111123", "111222", "111321",
    "121122", "131121", "212112", "212211", "211122", "211221", "221121", "222111",
    "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
    "112131", "113121", "211131", "121221", "312111", "311121", "122211", "111141",
};
constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr int kPrintable = 43;
/// Characters 0-46 are values. The stop character is the start character and a termination
/// bar, so the start character, whose template with the bar after it would be the stop's, is
/// not matched along a row.
constexpr int kStop = 47;
constexpr int kStart = 48;
constexpr int kMirroredStop = 49;
constexpr const char* kStopPattern = "1111411";
constexpr const char* kMirroredStopPattern = "1141111";
/// Characters matched along a row: every value and the stop character.
constexpr int kCharacters = 48;
constexpr float kCharacterModules = 9;
constexpr float kStopModules = 10;
/// Weights of the two check characters cycle up to these.
constexpr int kFirstCheckWeights = 20;
constexpr int kSecondCheckWeights = 15;

const char* pattern(int c) {
    if (c == kStop || c == kMirroredStop) {
        return c == kStop ? kStopPattern : kMirroredStopPattern;
    }
    return kPatterns[c == kStart ? kPatterns.size() - 1 : c];
}

float characterModules(int c, float /*wide*/) {
    return c == kStop || c == kMirroredStop ? kStopModules : kCharacterModules;
}

/// The bars of character `c` as begin and end in modules from its start, with the first bar
/// of the character after it, taken as one module; none after the stop character, nor after
/// the stop character read backwards, which meets the last check character's last space,
/// whose width varies. Every character ends in light, so none lies right before it.
int characterBars(int c, float /*wide*/, bool /*quietBefore*/, BlurredSymbology::Edges& edges) {
    return wholeModuleBars(pattern(c), 0, c == kStop || c == kMirroredStop ? 0 : 1, edges);
}

float advance(int /*c*/, float /*wide*/) {
    return kCharacterModules;
}

float span(int characters, float /*wide*/) {
    return static_cast<float>(characters - 1) * kCharacterModules + kStopModules;
}

/// The check character of the first `count` of `values`: their weighted sum modulo 47, the
/// weights 1, 2, ... up to `weights` and again from the last value leftwards.
int checkOf(const std::string& values, int count, int weights) {
    int sum = 0;
    for (int i = count - 1, weight = 1; i >= 0; --i, weight = weight % weights + 1) {
        sum += weight * values[i];
    }
    return sum % 47;
}

bool checked(int /*start*/, const std::string& values) {
    const int count = static_cast<int>(values.size()) - 2;
    return count > 0 && checkOf(values, count, kFirstCheckWeights) == values[count] &&
           checkOf(values, count + 1, kSecondCheckWeights) == values[count + 1];
}

std::uint32_t toBytes(int /*start*/, const std::string& values, std::uint32_t formats,
                      std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i + 2 < values.size(); ++i) {
        if (values[i] >= kPrintable) {
            return 0;
        }
        bytes.push_back(static_cast<std::uint8_t>(kAlphabet[static_cast<int>(values[i])]));
    }
    return formats & kFormatCode93;
}

const BlurredSymbology& code93() {
    static const BlurredSymbology symbology = [] {
        BlurredSymbology s;
        s.characters = kCharacters;
        s.stop = kStop;
        s.firstOutside = kStop;
        s.mirroredStop = kMirroredStop;
        s.starts = {kStart};
        s.minCharacters = 5;
        s.wideRatios = {0};
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

BlurredCode93Reader::BlurredCode93Reader() : BlurredBarReader(code93()) {}

}  // namespace telo::engine
