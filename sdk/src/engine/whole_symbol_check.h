// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_WHOLE_SYMBOL_CHECK_H
#define TELO_ENGINE_WHOLE_SYMBOL_CHECK_H

#include <vector>

#include "engine/bar_rows.h"
#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/run_lengths.h"

namespace telo::engine {

/// Where a linear symbol's bars lie: the read line from the outer edge of the first bar to that
/// of the last, and how far the bars reach across it. A line at `offset` across (between `low`
/// and `high`) runs from start + offset * across, moved outwards along the line by
/// offset * startSlant, to the like point at the end: perspective makes bars slant.
struct SymbolSpan {
    PointF start;
    PointF end;
    PointF across;
    float low = 0;
    float high = 0;
    float startSlant = 0;
    float endSlant = 0;
    /// Narrow element width at the narrower end, and the width of the finest elements (blur
    /// thins narrow bars), pixels.
    float narrow = 1;
    float finest = 1;
};

/// Tells whether a read of a symbology without a check character (Interleaved and Industrial
/// 2 of 5, Code 39, Codabar) covers a whole symbol rather than a piece of one. Such symbologies
/// vary in length, so any run of their characters between a start and a stop pattern decodes:
/// a highlight or a smudge across the bars that passes for a quiet zone turns a piece of a
/// symbol into a valid-looking read. The frame shows which it is: all along the bars, beside
/// both ends of the read, a real quiet zone is light and empty, and no brighter than the
/// symbol's own light elements the way clipped glare is, nor washes out the bars beside it;
/// and lines across the whole height of the bars (linesAcross) read the same text.
class WholeSymbolCheck {
public:
    /// True when the read from `start` (outer edge of its first bar) to `end` (outer edge of its
    /// last bar) has quiet zones on both sides along its bars; `span` then tells where the bars
    /// lie. `framed` when the symbology's start and stop characters occur nowhere inside a
    /// symbol (Code 39, Codabar): a highlight cannot end a piece of one, so clipped light
    /// beside it counts as paper. `narrowSpaces` when every space of the symbology is narrow
    /// (Industrial 2 of 5): a shorter stretch of light is a quiet zone. False when `deadline`
    /// passes first.
    bool holds(const GreyView& image, PointF start, PointF end, bool framed, bool narrowSpaces,
               const Deadline& deadline, SymbolSpan& span);

    /// Samples `count` lines evenly spread across the bars of `span`, each from a quiet zone
    /// to the other; false when `deadline` passes first.
    bool sampleLinesAcross(const GreyView& image, const SymbolSpan& span, int count,
                           const Deadline& deadline);

    /// Where rows a few pixels apart across the inner part of the bars of `span` lie, each from
    /// a quiet zone to the other at a pixel a sample: crop pixel (x, y) of the rows is at frame
    /// point map.toFrame(x, y), for a reader that samples the frame itself; `length` samples a
    /// row, `count` rows.
    static CropMap rowsAcross(const SymbolSpan& span, int& length, int& count);

    /// The lines of the last sampleLinesAcross() as the rows of an image for a reader,
    /// filtered as BarRowBuilder does; empty when `deadline` passes first. Valid until the
    /// next call.
    GreyView linesAcross(BarRowBuilder::Filter filter, const Deadline& deadline);

private:
    /// The print's levels along the read.
    struct Levels {
        float dark;
        float light;
        float narrow;
        bool framed;
        bool narrowSpaces;
    };
    /// What following the bars at one end found.
    struct EndTrack {
        bool quiet;
        float low;
        float high;
        float slant;
    };

    /// Follows the bars at one end of the read across the read line both ways, up to
    /// `maxReach`, checking the quiet zone beside them at every step; `outward` points away
    /// from the symbol. Not quiet when `deadline` passes first.
    EndTrack trackEnd(const GreyView& image, PointF end, PointF outward, float maxReach,
                      const Levels& levels, const Deadline& deadline);
    /// A window of samples across one end: `inside` samples within the symbol, then up to
    /// `slack` samples where its outermost bar may still lie, a `gap` past that bar's blurred
    /// edge, and the `quiet` samples of the quiet zone.
    struct Window {
        std::size_t inside;
        std::size_t slack;
        std::size_t gap;
        std::size_t quiet;
    };

    /// True when samples_ laid out as `window` show a quiet zone next to print whose light
    /// elements, samples_[0, inside), reach `light`.
    bool isQuiet(const Window& window, const Levels& levels);
    /// Samples `count` points from `from` in steps of `step` into `out`.
    static void sample(const GreyView& image, PointF from, PointF step, int count,
                       std::vector<float>& out);

    std::vector<float> samples_;
    std::vector<float> candidate_;
    std::vector<float> sorted_;
    std::vector<float> runs_;
    std::vector<BarLine> lines_;
    BarRowBuilder rowBuilder_;
    /// The narrow element's width in the sampled lines.
    float lineElement_ = 1;
    RunLengthFinder runFinder_;
};

}  // namespace telo::engine

#endif
