// SPDX-License-Identifier: MIT
#include "engine/blurred_code128_reader.h"

#include <cstdint>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// Each character's six elements, bar first, in modules; then the start characters A, B and C.
constexpr std::array<const char*, 106> kPatterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232",
};
constexpr int kStartA = 103;
constexpr int kStartC = 105;
/// The stop character, and the stop character read backwards.
constexpr const char* kStopPattern = "2331112";
constexpr const char* kMirroredStopPattern = "2111332";
constexpr int kStop = 106;
constexpr int kMirroredStop = 107;
/// Characters matched along a row: every character and the stop character.
constexpr int kCharacters = 107;
constexpr float kCharacterModules = 11;
constexpr float kStopModules = 13;

const char* pattern(int c) {
    return c == kStop ? kStopPattern : c == kMirroredStop ? kMirroredStopPattern : kPatterns[c];
}

float characterModules(int c, float /*wide*/) {
    return c == kStop || c == kMirroredStop ? kStopModules : kCharacterModules;
}

/// The bars of character `c` as begin and end in modules from its start, with the first bar
/// of the character after it: right after a character, one module of light after the stop
/// character read backwards (the check character ends in light), none after the stop character.
/// Every character ends in light, so none lies right before it.
int characterBars(int c, float /*wide*/, bool /*quietBefore*/, BlurredSymbology::Edges& edges) {
    return wholeModuleBars(pattern(c), c == kMirroredStop ? 1 : 0, c == kStop ? 0 : 1, edges);
}

/// Whether the last of `values` is the check character of the others after start character
/// `start`.
bool checked(int start, const std::string& values) {
    int sum = start;
    const int count = static_cast<int>(values.size()) - 1;
    for (int i = 0; i < count; ++i) {
        sum += (i + 1) * values[i];
    }
    return count > 0 && sum % 103 == values[count];
}

/// The bytes that `values` (without their check character) encode after start character
/// `start`, as ZXing gives them: FNC1 first marks GS1 data and is dropped, later ones are GS.
/// False for what ZXing reads otherwise (FNC1 after one letter or two digits, FNC2, FNC3,
/// FNC4), which is left to ZXing.
bool valuesToBytes(int start, const std::string& values, std::vector<std::uint8_t>& bytes) {
    enum { kSetA, kSetB, kSetC };
    constexpr int kFnc1 = 102;
    constexpr int kShift = 98;
    constexpr int kToC = 99;
    int set = start - kStartA;
    bool shifted = false;
    bytes.clear();
    const std::size_t count = values.size() - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const int v = values[i];
        const int current = shifted ? (set == kSetA ? kSetB : kSetA) : set;
        const bool wasShifted = shifted;
        shifted = false;
        if (v == kFnc1 && !wasShifted) {
            if (i == 0) {
                continue;
            }
            if (bytes.size() <= 2) {
                return false;
            }
            bytes.push_back(0x1D);
        } else if (current == kSetC) {
            if (v < 100) {
                bytes.push_back(static_cast<std::uint8_t>('0' + v / 10));
                bytes.push_back(static_cast<std::uint8_t>('0' + v % 10));
            } else if (v == 100 || v == 101) {
                set = v == 100 ? kSetB : kSetA;
            } else {
                return false;
            }
        } else if (v < 96) {
            const int ascii = current == kSetB || v < 64 ? v + 32 : v - 64;
            bytes.push_back(static_cast<std::uint8_t>(ascii));
        } else if (wasShifted) {
            return false;
        } else if (v == kShift) {
            shifted = true;
        } else if (v == kToC) {
            set = kSetC;
        } else if ((v == 100 && current == kSetA) || (v == 101 && current == kSetB)) {
            set = v == 100 ? kSetB : kSetA;
        } else {
            return false;
        }
    }
    return !bytes.empty() && !shifted;
}

std::uint32_t toBytes(int start, const std::string& values, std::uint32_t formats,
                      std::vector<std::uint8_t>& bytes) {
    return (formats & kFormatCode128) != 0 && valuesToBytes(start, values, bytes)
               ? static_cast<std::uint32_t>(kFormatCode128)
               : 0;
}

float advance(int /*c*/, float /*wide*/) {
    return kCharacterModules;
}

float span(int characters, float /*wide*/) {
    return static_cast<float>(characters - 1) * kCharacterModules + kStopModules;
}

const BlurredSymbology& code128() {
    static const BlurredSymbology symbology = [] {
        BlurredSymbology s;
        s.characters = kCharacters;
        s.stop = kStop;
        s.firstOutside = kStartA;
        s.mirroredStop = kMirroredStop;
        s.starts = {kStartA, kStartA + 1, kStartC};
        s.minCharacters = 4;
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

BlurredCode128Reader::BlurredCode128Reader() : BlurredBarReader(code128()) {}

}  // namespace telo::engine
