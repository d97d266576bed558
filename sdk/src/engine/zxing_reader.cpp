#include "engine/zxing_reader.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <array>
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

std::uint32_t EngineFormat(ZXing::BarcodeFormat format) {
    for (const auto& [bit, zxing] : kZXingFormats) {
        if (zxing == format) {
            return bit;
        }
    }
    return 0;
}

}  // namespace

std::uint32_t ZXingFormats(std::uint32_t formatMask) {
    std::uint32_t supported = 0;
    for (const auto& [bit, zxing] : kZXingFormats) {
        supported |= bit;
    }
    return formatMask & supported;
}

void ReadWithZXing(const GreyView& image, std::uint32_t formatMask, const ReaderOptions& options,
                   ZXingPass pass, int maxSymbols, ResultList& results) {
    ZXing::BarcodeFormats formats;
    for (const auto& [bit, zxing] : kZXingFormats) {
        if ((formatMask & bit) != 0) {
            formats |= zxing;
        }
    }
    // An empty format set means every format to ZXing.
    if (formats.empty() || maxSymbols <= 0) {
        return;
    }
    ZXing::DecodeHints hints;
    hints.setFormats(formats)
        .setMinLineCount(static_cast<std::uint8_t>(options.minLineCount))
        .setMaxNumberOfSymbols(static_cast<std::uint8_t>(std::min(maxSymbols, 255)));
    if (pass == ZXingPass::kDeskewed) {
        hints.setTryRotate(false).setTryDownscale(false);
    }
    const ZXing::ImageView view(image.data, image.width, image.height, ZXing::ImageFormat::Lum,
                                image.stride);
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
        const std::uint32_t format = EngineFormat(result.format());
        if (result.isValid() && format != 0) {
            const ZXing::ByteArray& bytes = result.bytes();
            results.Add(format, bytes.data(), bytes.size());
        }
    }
}

}  // namespace telo::engine
