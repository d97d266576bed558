// SPDX-License-Identifier: MIT
#include "engine/two_of_five_reader.h"

#include <algorithm>
#include <numeric>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// Bars of the start pattern (read forwards) and of the stop pattern; their spaces are narrow.
constexpr std::array<char, 3> kStartBars = {'W', 'W', 'N'};
constexpr std::array<char, 3> kStopBars = {'W', 'N', 'W'};
constexpr int kBarsPerDigit = 5;

/// Light margin required before the start and after the stop, in narrow widths. Interleaved
/// 2 of 5 labels often print a bearer box or text nearer than the standards ask; its margin is
/// checked again all along the bars before a read counts.
constexpr float kQuietZoneNarrows = 7;
constexpr float kItfQuietZoneNarrows = 6;
/// Fewest digits of an Interleaved 2 of 5 read.
constexpr int kMinItfDigits = 6;
/// Elements of the Interleaved 2 of 5 start pattern (narrow bar, space, bar, space) and of its
/// stop pattern (wide bar, narrow space, narrow bar).
constexpr int kItfStartElements = 4;
constexpr int kItfStopElements = 3;
/// Blur thins narrow bars and widens narrow spaces: their widths may differ by this factor.
constexpr float kMaxBarToSpace = 2.5f;
/// Accepted wide-to-narrow ratios of the symbol (the standard allows 2:1 to 3:1; blur thins
/// narrow bars further than wide ones).
constexpr float kMinWideRatio = 1.5f;
constexpr float kMaxWideRatio = 6.0f;
/// How much the narrow width may change from one digit to the next (perspective, noise).
constexpr float kMaxScaleStep = 1.6f;
/// A space thinner than this share of a narrow bar is noise, not print.
constexpr float kMinSpaceShare = 0.3f;

/// Scan angles in degrees for a whole frame, most likely first, and the distance between
/// parallel lines there.
constexpr std::array<float, 7> kFrameAngles = {0, -10, 10, -20, 20, -30, 30};
constexpr float kFrameLineSpacing = 12;

/// Running estimates of the narrow and wide widths along one symbol.
struct Scale {
    float narrow;
    float wide;

    float threshold() const { return (narrow + wide) / 2; }
    bool plausible() const {
        return narrow > 0 && wide >= kMinWideRatio * narrow && wide <= kMaxWideRatio * narrow;
    }
};

bool matches(const std::vector<float>& runs, int bar, const std::array<char, 3>& pattern,
             const Scale& scale) {
    const float threshold = scale.threshold();
    for (int i = 0; i < 3; ++i) {
        const bool wide = runs[bar + 2 * i] >= threshold;
        if (wide != (pattern[i] == 'W')) {
            return false;
        }
    }
    return runs[bar + 1] < threshold && runs[bar + 3] < threshold;
}

/// Decodes five widths of which two are wide, against the running `scale` of those elements,
/// which it then updates; -1 when they are no digit. `own` is the five's own scale.
int decodeFive(const std::array<float, kBarsPerDigit>& widths, Scale& scale, Scale& own) {
    std::array<float, kBarsPerDigit> sorted = widths;
    std::sort(sorted.begin(), sorted.end());
    own = {(sorted[0] + sorted[1] + sorted[2]) / 3, (sorted[3] + sorted[4]) / 2};
    if (sorted[3] < kMinWideRatio * sorted[2] || !own.plausible()) {
        return -1;
    }
    if (own.narrow > kMaxScaleStep * scale.narrow || own.narrow * kMaxScaleStep < scale.narrow) {
        return -1;
    }
    char pattern[kBarsPerDigit + 1] = {};
    for (int i = 0; i < kBarsPerDigit; ++i) {
        pattern[i] = widths[i] >= sorted[3] ? 'W' : 'N';
    }
    // The first digit of a pattern whose start shows no wide element sets the wide width.
    scale =
        scale.wide > 0 ? Scale{(scale.narrow + own.narrow) / 2, (scale.wide + own.wide) / 2} : own;
    for (int digit = 0; digit < static_cast<int>(kTwoOfFiveDigits.size()); ++digit) {
        if (std::string_view(kTwoOfFiveDigits[digit]) == pattern) {
            return digit;
        }
    }
    return -1;
}

/// The five elements from runs[first], every other run.
std::array<float, kBarsPerDigit> fiveFrom(const std::vector<float>& runs, int first) {
    std::array<float, kBarsPerDigit> five{};
    for (int i = 0; i < kBarsPerDigit; ++i) {
        five[i] = runs[first + 2 * i];
    }
    return five;
}

/// Decodes the five bars of an Industrial 2 of 5 digit at runs[bar]; -1 when they are no digit.
int decodeDigit(const std::vector<float>& runs, int bar, Scale& scale) {
    Scale own{};
    const int digit = decodeFive(fiveFrom(runs, bar), scale, own);
    const float threshold = own.threshold();
    for (int i = 0; i < kBarsPerDigit; ++i) {
        const float space = runs[bar + 2 * i + 1];
        if (space >= threshold || space < kMinSpaceShare * own.narrow) {
            return -1;
        }
    }
    return digit;
}

/// Reads one Interleaved 2 of 5 symbol whose start pattern begins at the dark run `bar`.
bool decodeItfFrom(const std::vector<float>& runs, int bar, TwoOfFiveReader::Digits& digits) {
    const int count = static_cast<int>(runs.size());
    if (bar + kItfStartElements >= count) {
        return false;
    }
    Scale bars{(runs[bar] + runs[bar + 2]) / 2, 0};
    Scale spaces{(runs[bar + 1] + runs[bar + 3]) / 2, 0};
    auto alike = [](float a, float b, float factor) { return a <= factor * b && b <= factor * a; };
    if (!alike(runs[bar], runs[bar + 2], kMaxScaleStep) ||
        !alike(runs[bar + 1], runs[bar + 3], kMaxScaleStep) ||
        !alike(bars.narrow, spaces.narrow, kMaxBarToSpace) ||
        runs[bar - 1] < kItfQuietZoneNarrows * (bars.narrow + spaces.narrow) / 2) {
        return false;
    }
    digits.length = 0;
    for (int next = bar + kItfStartElements; next + kItfStopElements < count;) {
        const float quiet = kItfQuietZoneNarrows * (bars.narrow + spaces.narrow) / 2;
        if (bars.wide > 0 && runs[next] >= bars.threshold() &&
            runs[next] <= kMaxWideRatio * bars.narrow && runs[next + 1] < spaces.threshold() &&
            runs[next + 2] < bars.threshold() && runs[next + kItfStopElements] >= quiet) {
            digits.begin = std::accumulate(runs.begin(), runs.begin() + bar, 0.0f);
            digits.end =
                std::accumulate(runs.begin(), runs.begin() + next + kItfStopElements, 0.0f);
            return digits.length >= kMinItfDigits;
        }
        if (next + 2 * kBarsPerDigit >= count || digits.length + 2 > kMaxTwoOfFiveLength) {
            return false;
        }
        Scale ownBars{};
        Scale ownSpaces{};
        const int first = decodeFive(fiveFrom(runs, next), bars, ownBars);
        const int second = decodeFive(fiveFrom(runs, next + 1), spaces, ownSpaces);
        if (first < 0 || second < 0 || !alike(ownBars.narrow, ownSpaces.narrow, kMaxBarToSpace)) {
            return false;
        }
        digits.text[digits.length++] = static_cast<char>('0' + first);
        digits.text[digits.length++] = static_cast<char>('0' + second);
        next += 2 * kBarsPerDigit;
    }
    return false;
}

/// Reads one Industrial 2 of 5 symbol whose start pattern begins at the dark run `bar`.
bool decodeFrom(const std::vector<float>& runs, int bar, TwoOfFiveReader::Digits& digits) {
    const int count = static_cast<int>(runs.size());
    if (bar + 5 >= count) {
        return false;
    }
    // Widths of bars only: blur thins narrow bars and widens the spaces beside them alike,
    // so spaces are measured against the bars' threshold but never mixed into their widths.
    Scale scale{runs[bar + 4], (runs[bar] + runs[bar + 2]) / 2};
    if (!scale.plausible() || !matches(runs, bar, kStartBars, scale) ||
        runs[bar - 1] < kQuietZoneNarrows * scale.narrow || runs[bar + 5] >= scale.threshold()) {
        return false;
    }
    digits.length = 0;
    for (int next = bar + 6; next + 5 < count;) {
        if (matches(runs, next, kStopBars, scale) &&
            runs[next + 5] >= kQuietZoneNarrows * scale.narrow) {
            digits.begin = std::accumulate(runs.begin(), runs.begin() + bar, 0.0f);
            digits.end = std::accumulate(runs.begin(), runs.begin() + next + 5, 0.0f);
            return digits.length > 0;
        }
        if (next + 2 * kBarsPerDigit >= count || digits.length == kMaxTwoOfFiveLength) {
            return false;
        }
        const int digit = decodeDigit(runs, next, scale);
        if (digit < 0) {
            return false;
        }
        digits.text[digits.length++] = static_cast<char>('0' + digit);
        next += 2 * kBarsPerDigit;
    }
    return false;
}

}  // namespace

bool TwoOfFiveReader::decodeRuns(std::uint32_t format, const std::vector<float>& runs,
                                 const ReaderOptions& options, Digits& digits) {
    for (int bar = 1; bar < static_cast<int>(runs.size()); bar += 2) {
        if (format == kFormatItf) {
            if (decodeItfFrom(runs, bar, digits)) {
                return true;
            }
            continue;
        }
        if (decodeFrom(runs, bar, digits) && digits.length >= options.industrial25MinLength &&
            (!options.industrial25CheckDigit || mod10CheckHolds(digits.view()))) {
            return true;
        }
    }
    return false;
}

void TwoOfFiveReader::count(const Digits& digits, PointF start, PointF end) {
    for (int i = 0; i < voteCount_; ++i) {
        if (votes_[i].digits.view() == digits.view()) {
            ++votes_[i].lines;
            votes_[i].lastStart = start;
            votes_[i].lastEnd = end;
            return;
        }
    }
    if (voteCount_ < static_cast<int>(votes_.size())) {
        votes_[voteCount_++] = {digits, start, end, start, end, 1};
    }
}

void TwoOfFiveReader::emit(const CropMap& map, std::vector<engine::Read>& reads) {
    for (int i = 0; i < voteCount_; ++i) {
        const Vote& vote = votes_[i];
        engine::Read read;
        read.format = format_;
        read.bytes.assign(vote.digits.text.begin(), vote.digits.text.begin() + vote.digits.length);
        read.where = {map.toFrame(vote.start.x, vote.start.y), map.toFrame(vote.end.x, vote.end.y),
                      map.toFrame(vote.lastEnd.x, vote.lastEnd.y),
                      map.toFrame(vote.lastStart.x, vote.lastStart.y)};
        read.lines = vote.lines;
        reads.push_back(std::move(read));
    }
    voteCount_ = 0;
}

void TwoOfFiveReader::read(const GreyView& image, Scan scan, const ReaderOptions& options,
                           const Deadline& deadline, const CropMap& map,
                           std::vector<engine::Read>& reads) {
    voteCount_ = 0;
    if (scan == Scan::kRows) {
        lines_.clear();
        for (int y = 0; y < image.height; ++y) {
            lines_.push_back({0, static_cast<float>(y), 1, 0, image.width});
        }
        readLines(image, options, deadline);
        emit(map, reads);
        return;
    }
    for (float angle : kFrameAngles) {
        lines_.clear();
        appendScanLines(image.width, image.height, angle, kFrameLineSpacing, lines_);
        // Votes count within one angle only. A line that crosses a symbol's long edge reads a
        // valid-looking part of it; parallel lines cross that edge at different places and so
        // never agree on a part, while lines at other angles could.
        readLines(image, options, deadline);
        emit(map, reads);
        if (deadline.passed()) {
            return;
        }
    }
}

void TwoOfFiveReader::readLines(const GreyView& image, const ReaderOptions& options,
                                const Deadline& deadline) {
    Digits digits;
    for (const ScanLine& line : lines_) {
        if (deadline.passed()) {
            return;
        }
        sampleLine(image, line, samples_);
        runFinder_.find(samples_, runs_);
        bool reversed = false;
        bool decoded = decodeRuns(format_, runs_, options, digits);
        if (!decoded) {
            std::reverse(runs_.begin(), runs_.end());
            reversed = decoded = decodeRuns(format_, runs_, options, digits);
        }
        if (!decoded) {
            continue;
        }
        // Positions along the line, counted from its first sample.
        const float last = static_cast<float>(line.length - 1);
        const float begin = reversed ? last - digits.begin : digits.begin;
        const float end = reversed ? last - digits.end : digits.end;
        count(digits, {line.x0 + begin * line.dx, line.y0 + begin * line.dy},
              {line.x0 + end * line.dx, line.y0 + end * line.dy});
    }
}

}  // namespace telo::engine
