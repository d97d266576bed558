#pragma once

#include <vector>

#include "engine/code_region_finder.h"
#include "engine/deskewer.h"
#include "engine/grey_view.h"
#include "engine/industrial25_reader.h"
#include "engine/result_list.h"
#include "engine/template_settings.h"

namespace telo::engine {

/// One decode: the passes over an image, in order, until enough results are found or the
/// template's time-out is spent. No pass starts after the time-out, and each pass is short, so a
/// decode ends soon after it.
///
/// 1. ZXing over the whole frame (every orientation of the 2D codes, near-level linear codes).
/// 2. Industrial 2 of 5 along scan lines at several angles.
/// 3. ZXing again over each code region found, deskewed and enlarged where its modules are
///    small: linear and stacked codes tilted too far for pass 1 to cross them along a row, and
///    matrix codes whose detectors need them near level (Aztec).
class DecodePipeline {
public:
    void Run(const GreyView& image, const TemplateSettings& settings, ResultList& results);

private:
    Industrial25Reader industrial25_;
    CodeRegionFinder regionFinder_;
    Deskewer deskewer_;
    std::vector<CodeRegion> regions_;
};

}  // namespace telo::engine
