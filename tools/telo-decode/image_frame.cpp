// SPDX-License-Identifier: MIT
#include "image_frame.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <string>

namespace telo::tools {

namespace {

constexpr std::uint8_t kWhite = 255;
constexpr std::uint8_t kNeutralChroma = 128;

/// BT.601 luma of a premultiplied pixel laid over white.
std::uint8_t lumaOverWhite(QRgb pixel) {
    const int luma = (77 * qRed(pixel) + 150 * qGreen(pixel) + 29 * qBlue(pixel) + 128) >> 8;
    return static_cast<std::uint8_t>(std::min(255, luma + (255 - qAlpha(pixel))));
}

}  // namespace

bool loadImageAsFrame(const std::string& path, int width, int height,
                      std::vector<std::uint8_t>& frame, std::string& errorText) {
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.size();
    if (!size.isValid() && reader.canRead()) {
        errorText = "the image's header gives no size";
        return false;
    }
    if (size.isValid() && static_cast<long long>(size.width()) * size.height() > kMaxImagePixels) {
        errorText = std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                    " pixels, more than the " + std::to_string(kMaxImagePixels / 1'000'000) +
                    " megapixels accepted";
        return false;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        errorText = reader.errorString().toStdString();
        return false;
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.width() != width || image.height() != height) {
        image = image.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    const int left = (width - image.width()) / 2;
    const int top = (height - image.height()) / 2;

    frame.assign(static_cast<std::size_t>(width) * height * 2, kNeutralChroma);
    for (std::size_t i = 0; i < frame.size(); i += 2) {
        frame[i] = kWhite;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = frame.data() + (static_cast<std::size_t>(top + y) * width + left) * 2;
        for (int x = 0; x < image.width(); ++x) {
            out[2 * x] = lumaOverWhite(row[x]);
        }
    }
    return true;
}

}  // namespace telo::tools
