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
constexpr std::uint32_t kBarFormats = kLinearFormats | kFormatPdf417;
constexpr std::uint32_t kMatrixFormats = kFormatQrCode | kFormatDataMatrix | kFormatAztec;

/// ITF has no fixed length and no check character, so a row that crosses a tilted symbol
/// diagonally reads part of it as a valid whole; it is read only in deskewed regions, whose rows
/// cross the whole symbol.
constexpr std::uint32_t kRegionOnlyFormats = kFormatItf;

std::uint32_t RegionFormats(std::uint32_t mask) {
    return mask & (kBarFormats | kMatrixFormats);
}

}  // namespace

void DecodePipeline::ReadRegion(const GreyView& upright, std::uint32_t formats,
                                const TemplateSettings& settings, int wanted,
                                std::chrono::steady_clock::time_point deadline,
                                ResultList& results) {
    if ((formats & kFormatIndustrial25) != 0) {
        industrial25_.Read(upright, Industrial25Reader::Scan::kLevel, settings.reader,
                           wanted - results.Count(), deadline, results);
    }
    if (results.Count() < wanted) {
        ReadWithZXing(upright, formats, settings.reader, ZXingPass::kDeskewed,
                      settings.maxBarcodes - results.Count(), results);
    }
}

void DecodePipeline::Run(const GreyView& image, const TemplateSettings& settings,
                         ResultList& results) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(settings.timeoutMs);
    results.Reset(settings.maxBarcodes);
    const int wanted = std::clamp(settings.expectedBarcodes, 1, settings.maxBarcodes);
    auto done = [&] { return results.Count() >= wanted || Clock::now() >= deadline; };
    auto room = [&] { return settings.maxBarcodes - results.Count(); };

    const std::uint32_t mask = settings.formatMask;
    const bool industrial25 = (mask & kFormatIndustrial25) != 0;
    ReadWithZXing(image, mask & ~kRegionOnlyFormats, settings.reader, ZXingPass::kFrame, room(),
                  results);
    if (done()) {
        return;
    }
    if (settings.reader.deskew) {
        regionFinder_.Find(image, kMaxRegions, regions_);
        for (const CodeRegion& region : regions_) {
            const std::uint32_t formats = RegionFormats(mask);
            if (done()) {
                return;
            }
            if (formats == 0) {
                continue;
            }
            const GreyView upright = deskewer_.Extract(image, region);
            if (upright.data == nullptr) {
                continue;
            }
            ReadRegion(upright, formats, settings, wanted, deadline, results);
            if (region.kind == CodeRegion::Kind::kBars && !done()) {
                ReadRegion(deskewer_.EnhanceBars(), formats, settings, wanted, deadline, results);
            }
        }
    }
    if (industrial25 && !done()) {
        industrial25_.Read(image, Industrial25Reader::Scan::kAllAngles, settings.reader,
                           wanted - results.Count(), deadline, results);
    }
}

}  // namespace telo::engine
