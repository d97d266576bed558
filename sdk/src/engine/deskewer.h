#pragma once

#include <cstdint>
#include <vector>

#include "engine/bar_region_finder.h"
#include "engine/grey_view.h"
#include "engine/run_lengths.h"

namespace telo::engine {

/// Resamples a bar region into an upright image whose bars run top to bottom, with margins for
/// the quiet zones, enlarged when the bars are so thin that whole-pixel readers would lose them.
/// The buffers are kept between calls.
class Deskewer {
public:
    /// The upright region; valid until the next call.
    GreyView Extract(const GreyView& image, const BarRegion& region);

private:
    float EstimateNarrowWidth(const GreyView& image, const BarRegion& region);

    std::vector<std::uint8_t> pixels_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    RunLengthFinder runFinder_;
};

}  // namespace telo::engine
