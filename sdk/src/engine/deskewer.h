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
    /// The upright region; valid until the next call.
    GreyView Extract(const GreyView& image, const CodeRegion& region);

private:
    float EstimateNarrowWidth(const GreyView& image, const CodeRegion& region);

    std::vector<std::uint8_t> pixels_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    RunLengthFinder runFinder_;
};

}  // namespace telo::engine
