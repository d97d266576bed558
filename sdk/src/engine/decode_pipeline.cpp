#include "engine/decode_pipeline.h"

#include <algorithm>
#include <chrono>

#include "engine/barcode_format.h"
#include "engine/zxing_reader.h"

namespace telo::engine {

namespace {

/// Bar regions tried per decode, most prominent first.
constexpr int kMaxRegions = 6;

/// The formats a deskewed retry looks for in each kind of region.
constexpr std::uint32_t kBarFormats = (kLinearFormats & ~kFormatIndustrial25) | kFormatPdf417;
constexpr std::uint32_t kMatrixFormats = kFormatQrCode | kFormatDataMatrix | kFormatAztec;

std::uint32_t RegionFormats(const CodeRegion& region, std::uint32_t mask) {
    return mask & (region.kind == CodeRegion::Kind::kBars ? kBarFormats : kMatrixFormats);
}

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
    if (!settings.reader.deskew || ZXingFormats(mask & (kBarFormats | kMatrixFormats)) == 0) {
        return;
    }
    regionFinder_.Find(image, kMaxRegions, regions_);
    for (const CodeRegion& region : regions_) {
        const std::uint32_t formats = RegionFormats(region, mask);
        if (done()) {
            return;
        }
        if (formats == 0) {
            continue;
        }
        const GreyView upright = deskewer_.Extract(image, region);
        ReadWithZXing(upright, formats, settings.reader, ZXingPass::kDeskewed,
                      settings.maxBarcodes - results.Count(), results);
    }
}

}  // namespace telo::engine
