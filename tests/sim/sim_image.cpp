// SPDX-License-Identifier: MIT
#include "sim_image.h"

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <vector>

namespace telosim {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Writes the frame beside its final name and renames it, so a reader never sees half a frame.
void WriteFrame(const SimTree& tree, const std::string& id, const QImage& grey) {
    std::vector<char> yuyv(static_cast<std::size_t>(kWidth * kHeight * 2));
    for (int y = 0; y < kHeight; ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t at = static_cast<std::size_t>((y * kWidth + x) * 2);
            yuyv[at] = static_cast<char>(line[x]);
            yuyv[at + 1] = static_cast<char>(0x80);
        }
    }
    std::filesystem::create_directories(tree.stateDir(id));
    const std::string path = tree.stateDir(id) + "/frame.yuyv";
    {
        std::ofstream out(path + ".tmp", std::ios::binary | std::ios::trunc);
        out.write(yuyv.data(), static_cast<std::streamsize>(yuyv.size()));
    }
    std::filesystem::rename(path + ".tmp", path);
}

QImage WhiteFrame() {
    QImage frame(kWidth, kHeight, QImage::Format_Grayscale8);
    frame.fill(255);
    return frame;
}

}  // namespace

bool ShowImage(const SimTree& tree, const std::string& id, const std::string& imagePath,
               std::string& error) {
    QImage image(QString::fromStdString(imagePath));
    if (image.isNull()) {
        error = "cannot read image " + imagePath;
        return false;
    }
    if (image.width() > kWidth || image.height() > kHeight) {
        image = image.scaled(kWidth, kHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QImage frame = WhiteFrame();
    {
        QImage opaque = image.convertToFormat(QImage::Format_ARGB32);
        QImage rgb(kWidth, kHeight, QImage::Format_RGB32);
        rgb.fill(Qt::white);
        QPainter painter(&rgb);
        painter.drawImage((kWidth - opaque.width()) / 2, (kHeight - opaque.height()) / 2, opaque);
        painter.end();
        frame = rgb.convertToFormat(QImage::Format_Grayscale8);
    }
    WriteFrame(tree, id, frame);
    return true;
}

void ShowBlank(const SimTree& tree, const std::string& id) {
    WriteFrame(tree, id, WhiteFrame());
}

}  // namespace telosim
