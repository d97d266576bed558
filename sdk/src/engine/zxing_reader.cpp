// SPDX-License-Identifier: MIT
#include "engine/zxing_reader.h"

#include <ZXing/ReadBarcode.h>

#include <array>
#include <exception>
#include <new>
#include <utility>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

constexpr std::array<std::pair<std::uint32_t, ZXing::BarcodeFormat>, 13> kZXingFormats{{
    {kFormatCode39, ZXing::BarcodeFormat::Code39},
    {kFormatCode128, ZXing::BarcodeFormat::Code128},
    {kFormatCode93, ZXing::BarcodeFormat::Code93},
    {kFormatCodabar, ZXing::BarcodeFormat::Codabar},
    {kFormatItf, ZXing::BarcodeFormat::ITF},
    {kFormatEan13, ZXing::BarcodeFormat::EAN13},
    {kFormatEan8, ZXing::BarcodeFormat::EAN8},
    {kFormatUpcA, ZXing::BarcodeFormat::UPCA},
    {kFormatUpcE, ZXing::BarcodeFormat::UPCE},
    {kFormatPdf417, ZXing::BarcodeFormat::PDF417},
    {kFormatQrCode, ZXing::BarcodeFormat::QRCode},
    {kFormatDataMatrix, ZXing::BarcodeFormat::DataMatrix},
    {kFormatAztec, ZXing::BarcodeFormat::Aztec},
}};

/// Reads kept from one call over rows or a frame: more than one symbol, and conflicting reads of
/// one symbol. A crop holds one symbol; asking for more keeps ZXing's PDF417 detector searching
/// at length.
constexpr int kMaxSymbolsPerCall = 8;

std::uint32_t engineFormat(ZXing::BarcodeFormat format) {
    for (const auto& [bit, zxing] : kZXingFormats) {
        if (zxing == format) {
            return bit;
        }
    }
    return 0;
}

ZXing::DecodeHints hintsFor(ZXingPass pass) {
    ZXing::DecodeHints hints;
    hints.setMaxNumberOfSymbols(kMaxSymbolsPerCall);
    switch (pass) {
        case ZXingPass::kFrameMatrix:
            break;
        case ZXingPass::kFrameMatrixFaint:
            hints.setBinarizer(ZXing::Binarizer::GlobalHistogram);
            break;
        case ZXingPass::kFrameBars:
            // One row seen is a read; the arbiter counts rows across passes.
            hints.setTryHarder(false).setTryDownscale(false).setMinLineCount(1);
            break;
        case ZXingPass::kBarRows:
            hints.setTryRotate(false).setTryDownscale(false).setMinLineCount(1);
            break;
        case ZXingPass::kUpright:
            hints.setTryRotate(false).setTryDownscale(false).setMaxNumberOfSymbols(1);
            break;
        case ZXingPass::kRectified:
            hints.setTryRotate(false).setTryDownscale(false).setMaxNumberOfSymbols(1).setBinarizer(
                ZXing::Binarizer::FixedThreshold);
            break;
    }
    return hints;
}

}  // namespace

std::uint32_t zxingFormats(std::uint32_t formatMask) {
    std::uint32_t supported = 0;
    for (const auto& [bit, zxing] : kZXingFormats) {
        supported |= bit;
    }
    return formatMask & supported;
}

void readWithZXing(const GreyView& image, std::uint32_t formatMask, ZXingPass pass,
                   const CropMap& map, std::vector<Read>& reads) {
    ZXing::BarcodeFormats formats;
    for (const auto& [bit, zxing] : kZXingFormats) {
        if ((formatMask & bit) != 0) {
            formats |= zxing;
        }
    }
    // An empty format set means every format to ZXing.
    if (formats.empty()) {
        return;
    }
    ZXing::DecodeHints hints = hintsFor(pass);
    hints.setFormats(formats);
    const ZXing::ImageView view(image.data, image.width, image.height, ZXing::ImageFormat::Lum,
                                image.stride);
    ZXing::Results results;
    try {
        results = ZXing::ReadBarcodes(view, hints);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // Some of ZXing's detectors throw on images too small for their patterns (Aztec on a
        // few rows): that call found nothing, and the other passes go on.
        return;
    }
    for (const ZXing::Result& result : results) {
        const std::uint32_t format = engineFormat(result.format());
        if (!result.isValid() || format == 0) {
            continue;
        }
        Read read;
        read.format = format;
        read.bytes.assign(result.bytes().begin(), result.bytes().end());
        read.lines = std::max(result.lineCount(), 1);
        const auto& position = result.position();
        const ZXing::PointI corners[4] = {position.topLeft(), position.topRight(),
                                          position.bottomRight(), position.bottomLeft()};
        for (int i = 0; i < 4; ++i) {
            read.where[i] =
                map.toFrame(static_cast<float>(corners[i].x), static_cast<float>(corners[i].y));
        }
        reads.push_back(std::move(read));
    }
}

}  // namespace telo::engine
