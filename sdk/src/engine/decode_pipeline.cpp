#include "engine/decode_pipeline.h"

#include <algorithm>
#include <chrono>

#include "engine/barcode_format.h"
#include "engine/zxing_reader.h"

namespace telo::engine {

namespace {

/// Bar regions tried per decode, most prominent first.
constexpr int kMaxRegions = 4;

/// The formats worth a deskewed retry: ZXing reads the 2D matrix codes at any angle already.
constexpr std::uint32_t kDeskewFormats = (kLinearFormats & ~kFormatIndustrial25) | kFormatPdf417;

}  // namespace

void DecodePipeline::Run(const GreyView& image, const TemplateSettings& settings,
                         ResultList& results) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(settings.timeoutMs);
    results.Reset(settings.maxBarcodes);
    const int wanted = std::clamp(settings.expectedBarcodes, 1, settings.maxBarcodes);
    auto done = [&] { return results.Count() >= wanted || Clock::now() >= deadline; };

    const std::uint32_t mask = settings.formatMask;
    ReadWithZXing(image, mask, settings.reader, ZXingPass::kFrame, settings.maxBarcodes, results);
    if (done()) {
        return;
    }
    if ((mask & kFormatIndustrial25) != 0) {
        industrial25_.Read(image, settings.reader, wanted - results.Count(), deadline, results);
        if (done()) {
            return;
        }
    }
    if (!settings.reader.deskew || ZXingFormats(mask & kDeskewFormats) == 0) {
        return;
    }
    regionFinder_.Find(image, kMaxRegions, regions_);
    for (const BarRegion& region : regions_) {
        if (done()) {
            return;
        }
        const GreyView upright = deskewer_.Extract(image, region);
        ReadWithZXing(upright, mask & kDeskewFormats, settings.reader, ZXingPass::kDeskewed,
                      settings.maxBarcodes - results.Count(), results);
    }
}

}  // namespace telo::engine
