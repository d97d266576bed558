#pragma once

#include <chrono>
#include <cstdint>
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
/// 1. ZXing over the whole frame: the matrix codes at any angle, linear and stacked codes near
///    level.
/// 2. Each code region found, deskewed and enlarged where its modules are small: ZXing and the
///    Industrial 2 of 5 reader along its rows for bar regions (codes tilted too far for pass 1
///    to cross along a row), ZXing for matrix regions (Aztec, whose detector needs it near
///    level).
/// 3. Industrial 2 of 5 along lines at several angles over the whole frame, for symbols no
///    region was found for.
class DecodePipeline {
public:
    void Run(const GreyView& image, const TemplateSettings& settings, ResultList& results);

private:
    /// Reads one upright region with Industrial 2 of 5 rows and ZXing.
    void ReadRegion(const GreyView& upright, std::uint32_t formats,
                    const TemplateSettings& settings, int wanted,
                    std::chrono::steady_clock::time_point deadline, ResultList& results);

    Industrial25Reader industrial25_;
    CodeRegionFinder regionFinder_;
    Deskewer deskewer_;
    std::vector<CodeRegion> regions_;
};

}  // namespace telo::engine
