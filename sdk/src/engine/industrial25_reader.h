#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/grey_view.h"
#include "engine/result_list.h"
#include "engine/run_lengths.h"
#include "engine/scan_line.h"
#include "engine/template_settings.h"

namespace telo::engine {

/// Reads Industrial 2 of 5 (engine format kFormatIndustrial25): digits encoded in the bars alone,
/// two wide bars of five per digit, every space narrow, between a start and a stop pattern.
/// The image is scanned along parallel lines at several angles up to +-30 degrees, each line in
/// both directions; a text counts once enough parallel lines agree on it.
class Industrial25Reader {
public:
    using Clock = std::chrono::steady_clock;

    /// Decoded digits of one scan line.
    struct Digits {
        std::array<char, kMaxIndustrial25Length> text{};
        int length = 0;

        std::string_view View() const { return {text.data(), static_cast<std::size_t>(length)}; }
    };

    /// How an image is scanned.
    enum class Scan {
        /// Lines at every angle from -30 to 30 degrees: a whole frame.
        kAllAngles,
        /// Level lines only, closer together: a deskewed region whose bars run top to bottom.
        kLevel,
    };

    /// Scans `image` and adds each agreed text to `results`, stopping after `wanted` texts, when
    /// `results` is full or at `deadline`.
    void Read(const GreyView& image, Scan scan, const ReaderOptions& options, int wanted,
              Clock::time_point deadline, ResultList& results);

    /// Decodes the first symbol found in run widths (light, dark, ..., light) read in their
    /// order; true and `digits` filled when one is found.
    static bool DecodeRuns(const std::vector<float>& runs, const ReaderOptions& options,
                           Digits& digits);

private:
    struct Vote {
        Digits digits;
        int lines = 0;
    };

    /// Reads along lines_, adding agreed texts to `results`; the number added.
    int ReadLines(const GreyView& image, const ReaderOptions& options, int wanted,
                  Clock::time_point deadline, ResultList& results);
    /// Counts one line's text; true when it has just reached the agreement needed.
    bool Count(const Digits& digits, int needed);

    std::vector<ScanLine> lines_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    RunLengthFinder runFinder_;
    std::array<Vote, 16> votes_;
    int voteCount_ = 0;
};

}  // namespace telo::engine
