#pragma once

#include <cstdint>
#include <vector>

#include "engine/code_region_finder.h"
#include "engine/grey_view.h"
#include "engine/run_lengths.h"

namespace telo::engine {

/// Resamples a code region into an upright image (bars running top to bottom, matrix sides level),
/// with margins for the quiet zones, enlarged when its modules are so small that whole-pixel
/// readers would lose them. The buffers are kept between calls.
class Deskewer {
public:
    /// The upright region, or an empty view (no data) when too few edges cross its middle to
    /// be a code; valid until the next Extract.
    GreyView Extract(const GreyView& image, const CodeRegion& region);

    /// The last upright bar region with its bars brought out for a second try: averaged along
    /// the bars against noise, then sharpened across them against blur. Valid until the next
    /// Extract.
    GreyView EnhanceBars();

private:
    float EstimateNarrowWidth(const GreyView& image, const CodeRegion& region);

    GreyView upright_;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> enhanced_;
    std::vector<float> columnSums_;
    std::vector<float> row_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    RunLengthFinder runFinder_;
};

}  // namespace telo::engine
