// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_CORPUS_H
#define TELO_BENCH_DECODE_CORPUS_H

#include <cstdint>
#include <string>
#include <vector>

namespace telo::bench {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;

/// What the camera is up against in a frame with a code. Every frame also has some of each
/// (a little tilt, blur and noise, uneven light) and any turn within its plane.
enum class Condition {
    kBaseline,
    /// The label's plane tilted 30 to 50 degrees away from the camera.
    kTilt,
    kDefocus,
    /// Blur along one direction: the hand moves.
    kMotion,
    /// A specular highlight over the code, clipped white at its core.
    kGlare,
    kLowContrast,
    /// Strong sensor noise and a JPEG round trip at quality 40 to 70.
    kNoiseJpeg,
    /// Vignette and a light gradient across the frame, its bright side clipped.
    kUnevenLight,
    /// Textured or printed surroundings and print reaching into the quiet zone.
    kClutter,
    /// The label wrapped round a bottle or can.
    kCurved,
    /// Bars of 1.3 to 1.6 pixels, matrix modules of 1.8 to 2.4.
    kSmallModules,
    /// Light modules on a dark ground (two-dimensional codes only).
    kInverted,
    /// Moderate amounts of everything at once.
    kCombined,
};

inline constexpr int kConditionCount = 13;

const char* conditionName(int condition);

/// One frame of the corpus.
struct Frame {
    std::string name;
    /// Position in benchSymbologies(), or -1 for a frame without a code.
    int symbology = -1;
    /// The Condition of a frame with a code; the kind of scene (noCodeKindName) of one without.
    int condition = 0;
    std::string expected;
    std::vector<std::uint8_t> grey;
};

/// Kinds of frames without a code: the backgrounds, and pure sensor noise.
inline constexpr int kNoCodeKindCount = 10;
const char* noCodeKindName(int kind);

/// Renders the corpus: `perCell` frames of each symbology under each condition that applies to
/// it, and twice that of each kind without a code, of those whose name holds `only`. The same
/// arguments give the same frames.
/// False with `errorText` when zint or a typeface fails.
bool makeCorpus(int perCell, const std::string& only, std::vector<Frame>& frames,
                std::string& errorText);

}  // namespace telo::bench

#endif
