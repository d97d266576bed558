// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_REGION_SAMPLER_H
#define TELO_ENGINE_REGION_SAMPLER_H

#include <cstdint>
#include <vector>

#include "engine/bar_rows.h"
#include "engine/code_region_finder.h"
#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/run_lengths.h"

namespace telo::engine {

/// What lines through a code region show.
struct RegionLook {
    /// Width of the narrow elements (bars) or modules, pixels; 0 when the line does not look
    /// like a code: too few edges, too little contrast, elements of one width (stripes, wood
    /// grain, grilles), too little or too much ink (text, noise), bars that do not run on
    /// across the region (text).
    float element = 0;
    /// The narrowest elements, pixels: perspective makes them narrower at the far end.
    float finest = 0;
    /// The region is lighter than its surroundings: a light-on-dark code, if a code at all.
    bool darkSurround = false;
    /// A bar region with the wide guard bar of a stacked code (PDF417).
    bool stacked = false;
    /// Guard bars near both ends of the line: the start and stop patterns of a whole PDF417 row.
    bool guardsNearStart = false;
    bool guardsNearEnd = false;
};

/// Resamples a code region into small upright images for the readers, with margins for the
/// quiet zones, enlarged where its elements are too small for whole-pixel readers and with its
/// contrast stretched. Views stay valid until the next call; the buffers are kept between calls.
class RegionSampler {
public:
    /// What a line through the middle of a bar region shows, or lines along both sides of a
    /// matrix region.
    RegionLook examine(const GreyView& image, const CodeRegion& region);

    /// Samples a bar region as rows along the code (BarRowBuilder), enlarged so that its finest
    /// elements become wide enough for row readers; false when `deadline` passes first.
    bool sampleBarRows(const GreyView& image, const CodeRegion& region, const RegionLook& look,
                       const Deadline& deadline, CropMap& map);

    /// The rows of the last sampleBarRows() as an image, filtered; empty when `deadline`
    /// passes first.
    GreyView barRows(BarRowBuilder::Filter filter, const Deadline& deadline);
    /// The rows of the last sampleBarRows(), and their narrow element's width.
    const BarRowBuilder& sampledBarRows() const { return rowBuilder_; }
    float barRowElement() const { return rowElement_; }

    /// The region turned so that bars run top to bottom or matrix sides lie level, enlarged so
    /// that elements are at least `minElement` pixels within `maxPixels` pixels in all, its
    /// contrast stretched; an empty view (no data) when `deadline` passes first.
    GreyView upright(const GreyView& image, const CodeRegion& region, float element,
                     float minElement, float maxPixels, const Deadline& deadline, CropMap& map);

    /// The latest upright() view with dark and light swapped: light-on-dark codes.
    GreyView invertedUpright();

private:
    RegionLook examineMatrix(const GreyView& image, const CodeRegion& region);
    /// The mean of the best correlations of the two side lines with the middle one.
    float continuity(const GreyView& image, const CodeRegion& region, int length);

    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> inverted_;
    std::vector<float> values_;
    std::vector<float> samples_;
    std::vector<float> sorted_;
    std::vector<float> centre_;
    std::vector<float> beside_;
    std::vector<float> runs_;
    std::vector<BarLine> lines_;
    BarRowBuilder rowBuilder_;
    /// The narrow element's width in the sampled bar rows.
    float rowElement_ = 1;
    GreyView upright_;
    RunLengthFinder runFinder_;
};

}  // namespace telo::engine

#endif
