// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_TWO_OF_FIVE_READER_H
#define TELO_ENGINE_TWO_OF_FIVE_READER_H

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/mod10_check.h"
#include "engine/read_arbiter.h"
#include "engine/run_lengths.h"
#include "engine/scan_line.h"
#include "engine/template_settings.h"

namespace telo::engine {

/// Widths of the five elements of the ten 2 of 5 digits, in order: N narrow, W wide.
inline constexpr std::array<const char*, 10> kTwoOfFiveDigits = {
    "NNWWN", "WNNNW", "NWNNW", "WWNNN", "NNWNW", "WNWNN", "NWWNN", "NNNWW", "WNNWN", "NWNWN",
};

/// Reads the 2 of 5 symbologies, where each digit is five elements of which two are wide:
/// Industrial 2 of 5 (engine format kFormatIndustrial25), digits in the bars alone and every
/// space narrow, and Interleaved 2 of 5 (kFormatItf), digits in pairs, the first in the bars
/// and the second in the spaces between them. The image is scanned along parallel lines, each
/// line in both directions; lines that give the same text at one angle add up to one read.
/// Neither format has a check character the reader may rely on, so its reads go through
/// WholeSymbolCheck before they count.
class TwoOfFiveReader {
public:
    /// Reads symbols of `format`: kFormatIndustrial25 or kFormatItf.
    explicit TwoOfFiveReader(std::uint32_t format) : format_(format) {}

    /// Decoded digits of one scan line, and where along the line the symbol's outer bars lie.
    struct Digits {
        std::array<char, kMaxTwoOfFiveLength> text{};
        int length = 0;
        float begin = 0;
        float end = 0;

        std::string_view view() const { return {text.data(), static_cast<std::size_t>(length)}; }
    };

    /// How an image is scanned.
    enum class Scan {
        /// Lines at every angle from -30 to 30 degrees: a whole frame.
        kAllAngles,
        /// Every row: the rows of a bar region (RegionSampler::barRows).
        kRows,
    };

    /// Scans `image` and appends one read per text, placed in the frame through `map`, with
    /// the number of lines that gave it; stops early at `deadline`.
    void read(const GreyView& image, Scan scan, const ReaderOptions& options,
              const Deadline& deadline, const CropMap& map, std::vector<engine::Read>& reads);

    /// Decodes the first symbol of `format` found in run widths (light, dark, ..., light) read
    /// in their order; true and `digits` filled when one is found.
    static bool decodeRuns(std::uint32_t format, const std::vector<float>& runs,
                           const ReaderOptions& options, Digits& digits);

private:
    struct Vote {
        Digits digits;
        /// Ends of the symbol on the first and the last line that read it, image pixels.
        PointF start;
        PointF end;
        PointF lastStart;
        PointF lastEnd;
        int lines = 0;
    };

    /// Reads along lines_, counting each line's text in votes_.
    void readLines(const GreyView& image, const ReaderOptions& options, const Deadline& deadline);
    void count(const Digits& digits, PointF start, PointF end);
    /// Appends the votes as reads.
    void emit(const CropMap& map, std::vector<engine::Read>& reads);

    std::uint32_t format_;
    std::vector<ScanLine> lines_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    RunLengthFinder runFinder_;
    std::array<Vote, 16> votes_;
    int voteCount_ = 0;
};

}  // namespace telo::engine

#endif
