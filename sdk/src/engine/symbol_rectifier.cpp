// SPDX-License-Identifier: MIT
#include "engine/symbol_rectifier.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/run_lengths.h"
#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// Cells are half a module: the closing of one cell then bridges the light modules between
/// dark ones, and the symbol becomes one blob.
constexpr float kCellModules = 0.5f;
/// Cells are at least this many pixels a side: the blob's outline needs no finer grid.
constexpr int kMinCellPixels = 2;
/// A cell is dark when it is this many grey levels below the mean of the cells within
/// kWindowCells around it (about four modules): the crop's contrast is stretched, so the
/// quiet zone's noise stays within it.
constexpr int kWindowCells = 8;
constexpr float kDarkMargin = 20;
/// A blob of fewer cells is no symbol (three by three modules).
constexpr int kMinBlobCells = 36;
/// The rectified view: a quiet zone of kMarginModules all round, at most kMaxSide pixels a
/// side.
constexpr float kMarginModules = 3;
constexpr float kMaxSide = 512;
/// Each pixel of the rectified view is scaled between the darkest and lightest values within
/// kEnvelopeModules, against glare and uneven light; where they differ by less than the
/// bounds (grey levels, share of the whole range) it is quiet zone and turns white.
constexpr float kEnvelopeModules = 3;
/// The window is measured in blocks of this share of a module.
constexpr float kEnvelopeBlockModules = 0.5f;
/// Sharpening of a square-on view: each pixel moves this many times its difference from the
/// mean within this many modules of it.
constexpr float kSharpenGain = 1.5f;
constexpr float kSharpenRadiusModules = 1;
constexpr float kMinEdgeContrast = 16;
constexpr float kRelativeContrast = 0.25f;

/// The projective map of the unit square onto a quadrilateral (corners in order: the images
/// of (0, 0), (1, 0), (1, 1), (0, 1)).
struct SquareToQuad {
    float a, b, c, d, e, f, g, h;

    explicit SquareToQuad(const Quad& q) {
        const float dx1 = q[1].x - q[2].x;
        const float dx2 = q[3].x - q[2].x;
        const float dx3 = q[0].x - q[1].x + q[2].x - q[3].x;
        const float dy1 = q[1].y - q[2].y;
        const float dy2 = q[3].y - q[2].y;
        const float dy3 = q[0].y - q[1].y + q[2].y - q[3].y;
        const float denominator = dx1 * dy2 - dx2 * dy1;
        g = std::fabs(denominator) > 1e-6f ? (dx3 * dy2 - dx2 * dy3) / denominator : 0;
        h = std::fabs(denominator) > 1e-6f ? (dx1 * dy3 - dx3 * dy1) / denominator : 0;
        a = q[1].x - q[0].x + g * q[1].x;
        b = q[3].x - q[0].x + h * q[3].x;
        c = q[0].x;
        d = q[1].y - q[0].y + g * q[1].y;
        e = q[3].y - q[0].y + h * q[3].y;
        f = q[0].y;
    }

    PointF operator()(float u, float v) const {
        const float w = g * u + h * v + 1;
        return {(a * u + b * v + c) / w, (d * u + e * v + f) / w};
    }
};

float distance(PointF p, PointF q) {
    return std::hypot(p.x - q.x, p.y - q.y);
}

/// The mean of each of the `width` x `height` values over the square of `radius` around it,
/// clipped at the edges, into `means`; `integral` is working storage.
template <typename Value>
void boxMeans(const Value* values, int width, int height, int radius, std::vector<float>& integral,
              std::vector<float>& means) {
    // Integral image, one row and column of zeros in front.
    const int stride = width + 1;
    integral.assign(static_cast<std::size_t>(stride) * (height + 1), 0);
    for (int y = 0; y < height; ++y) {
        float row = 0;
        for (int x = 0; x < width; ++x) {
            row += values[static_cast<std::size_t>(y) * width + x];
            integral[(y + 1) * stride + x + 1] = integral[y * stride + x + 1] + row;
        }
    }
    means.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const int y0 = std::max(y - radius, 0);
        const int y1 = std::min(y + radius + 1, height);
        for (int x = 0; x < width; ++x) {
            const int x0 = std::max(x - radius, 0);
            const int x1 = std::min(x + radius + 1, width);
            const float sum = integral[y1 * stride + x1] - integral[y0 * stride + x1] -
                              integral[y1 * stride + x0] + integral[y0 * stride + x0];
            means[static_cast<std::size_t>(y) * width + x] =
                sum / static_cast<float>((x1 - x0) * (y1 - y0));
        }
    }
}

}  // namespace

void SymbolRectifier::markDarkCells(const GreyView& crop, int cell) {
    columns_ = crop.width / cell;
    rows_ = crop.height / cell;
    cells_.assign(static_cast<std::size_t>(columns_) * rows_, 0);
    for (int y = 0; y < rows_ * cell; ++y) {
        const std::uint8_t* line = crop.data + static_cast<std::ptrdiff_t>(y) * crop.stride;
        float* out = cells_.data() + static_cast<std::size_t>(y / cell) * columns_;
        for (int x = 0; x < columns_ * cell; ++x) {
            out[x / cell] += line[x];
        }
    }
    for (float& value : cells_) {
        value /= static_cast<float>(cell * cell);
    }
    boxMeans(cells_.data(), columns_, rows_, kWindowCells, integral_, means_);
    dark_.resize(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        dark_[i] = cells_[i] < means_[i] - kDarkMargin ? 1 : 0;
    }
}

bool SymbolRectifier::findBlob() {
    // Close gaps of one cell: a cell joins when it or a neighbour is dark.
    closed_.assign(cells_.size(), 0);
    for (int y = 0; y < rows_; ++y) {
        for (int x = 0; x < columns_; ++x) {
            if (dark_[y * columns_ + x] == 0) {
                continue;
            }
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, rows_ - 1); ++ny) {
                for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, columns_ - 1); ++nx) {
                    closed_[ny * columns_ + nx] = 1;
                }
            }
        }
    }
    // The dark cell nearest the middle seeds the blob.
    int seed = -1;
    int nearest = columns_ * columns_ + rows_ * rows_;
    for (int y = 0; y < rows_; ++y) {
        for (int x = 0; x < columns_; ++x) {
            const int dx = 2 * x - columns_;
            const int dy = 2 * y - rows_;
            if (dark_[y * columns_ + x] != 0 && dx * dx + dy * dy < nearest) {
                nearest = dx * dx + dy * dy;
                seed = y * columns_ + x;
            }
        }
    }
    if (seed < 0) {
        return false;
    }
    blob_.assign(1, seed);
    closed_[seed] = 2;
    for (std::size_t next = 0; next < blob_.size(); ++next) {
        const int x = blob_[next] % columns_;
        const int y = blob_[next] / columns_;
        for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, rows_ - 1); ++ny) {
            for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, columns_ - 1); ++nx) {
                if (closed_[ny * columns_ + nx] == 1) {
                    closed_[ny * columns_ + nx] = 2;
                    blob_.push_back(ny * columns_ + nx);
                }
            }
        }
    }
    return static_cast<int>(blob_.size()) >= kMinBlobCells;
}

GreyView SymbolRectifier::rectify(const GreyView& frame, const GreyView& crop, const CropMap& map,
                                  float module, float outputModule, Outline outline,
                                  const Deadline& deadline) {
    rectified_ = {};
    // The sides outline the blob the diagonals' call found in the same crop.
    if (outline == Outline::kDiagonals) {
        cell_ = std::max(kMinCellPixels, static_cast<int>(std::lround(kCellModules * module)));
        markDarkCells(crop, cell_);
        blobFound_ = !deadline.passed() && findBlob();
    }
    if (!blobFound_ || deadline.passed()) {
        return rectified_;
    }
    const int cell = cell_;
    // The blob's corners: its outermost cells along the diagonals of the upright crop.
    std::array<float, 4> best{-1e9f, -1e9f, -1e9f, -1e9f};
    Quad corners;
    static constexpr std::array<std::array<int, 2>, 4> kDiagonals{
        {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}};
    for (const int index : blob_) {
        const int x = index % columns_;
        const int y = index / columns_;
        for (int k = 0; k < 4; ++k) {
            const float score = static_cast<float>(kDiagonals[k][0] * x + kDiagonals[k][1] * y);
            if (score > best[k]) {
                best[k] = score;
                // The cell's outer corner on that diagonal, in crop pixels.
                corners[k] = {(x + (kDiagonals[k][0] > 0 ? 1.0f : 0.0f)) * cell,
                              (y + (kDiagonals[k][1] > 0 ? 1.0f : 0.0f)) * cell};
            }
        }
    }
    if (outline == Outline::kSides) {
        Quad sides;
        if (!sideCorners(sides)) {
            return rectified_;
        }
        float moved = 0;
        for (int k = 0; k < 4; ++k) {
            sides[k] = {sides[k].x * cell, sides[k].y * cell};
            moved = std::max(moved, distance(sides[k], corners[k]));
        }
        if (moved <= module / 2) {
            return rectified_;
        }
        corners = sides;
    }
    const float across =
        std::max(distance(corners[0], corners[1]), distance(corners[3], corners[2]));
    const float down = std::max(distance(corners[0], corners[3]), distance(corners[1], corners[2]));
    for (PointF& corner : corners) {
        corner = map.toFrame(corner.x, corner.y);
    }
    return resample(frame, corners, across, down, viewScale(across, down, module, outputModule), 1,
                    outputModule, kEnvelopeModules, deadline);
}

bool SymbolRectifier::sideCorners(Quad& corners) const {
    // The blob's outermost cell on each row and column, from each side.
    const float unset = 1e9f;
    std::vector<float> firstX(static_cast<std::size_t>(rows_), unset);
    std::vector<float> lastX(static_cast<std::size_t>(rows_), -unset);
    std::vector<float> firstY(static_cast<std::size_t>(columns_), unset);
    std::vector<float> lastY(static_cast<std::size_t>(columns_), -unset);
    for (const int index : blob_) {
        const int x = index % columns_;
        const int y = index / columns_;
        firstX[y] = std::min(firstX[y], static_cast<float>(x));
        lastX[y] = std::max(lastX[y], static_cast<float>(x + 1));
        firstY[x] = std::min(firstY[x], static_cast<float>(y));
        lastY[x] = std::max(lastY[x], static_cast<float>(y + 1));
    }
    // Each side is the line through its outermost cells in either half of the blob: a side
    // needs only one dark module in each half on it, where the extreme cells along the
    // diagonals need the corner modules dark.
    struct Line {
        PointF from;
        PointF to;
    };
    auto side = [&](const std::vector<float>& edge, bool outerIsLow, bool alongRows, Line& line) {
        int first = 0;
        int last = static_cast<int>(edge.size()) - 1;
        while (first <= last && std::fabs(edge[first]) >= unset) {
            ++first;
        }
        while (last >= first && std::fabs(edge[last]) >= unset) {
            --last;
        }
        if (last - first < 2) {
            return false;
        }
        const int middle = (first + last) / 2;
        PointF ends[2];
        for (int half = 0; half < 2; ++half) {
            const int from = half == 0 ? first : middle + 1;
            const int to = half == 0 ? middle : last;
            int best = from;
            for (int i = from; i <= to; ++i) {
                if (outerIsLow ? edge[i] < edge[best] : edge[i] > edge[best]) {
                    best = i;
                }
            }
            const float along = best + 0.5f;
            ends[half] = alongRows ? PointF{edge[best], along} : PointF{along, edge[best]};
        }
        line = {ends[0], ends[1]};
        return true;
    };
    Line left;
    Line right;
    Line top;
    Line bottom;
    if (!side(firstX, true, true, left) || !side(lastX, false, true, right) ||
        !side(firstY, true, false, top) || !side(lastY, false, false, bottom)) {
        return false;
    }
    auto meet = [](const Line& a, const Line& b, PointF& at) {
        const float ax = a.to.x - a.from.x;
        const float ay = a.to.y - a.from.y;
        const float bx = b.to.x - b.from.x;
        const float by = b.to.y - b.from.y;
        const float cross = ax * by - ay * bx;
        if (std::fabs(cross) < 1e-3f) {
            return false;
        }
        const float t = ((b.from.x - a.from.x) * by - (b.from.y - a.from.y) * bx) / cross;
        at = {a.from.x + t * ax, a.from.y + t * ay};
        return true;
    };
    return meet(top, left, corners[0]) && meet(top, right, corners[1]) &&
           meet(bottom, right, corners[2]) && meet(bottom, left, corners[3]);
}

GreyView SymbolRectifier::rectifyOutline(const GreyView& frame, const Quad& corners, float module,
                                         float outputModule, float heightShare,
                                         float envelopeModules, float maxPixels,
                                         const Deadline& deadline) {
    rectified_ = {};
    const float across =
        std::max(distance(corners[0], corners[1]), distance(corners[3], corners[2]));
    const float down = std::max(distance(corners[0], corners[3]), distance(corners[1], corners[2]));
    const float scale = viewScale(across, down, module, outputModule);
    const float margin = kMarginModules * outputModule;
    if ((across * scale + 2 * margin) * (down * scale * heightShare + 2 * margin) > maxPixels) {
        return rectified_;
    }
    return resample(frame, corners, across, down, scale, heightShare, outputModule, envelopeModules,
                    deadline);
}

float SymbolRectifier::viewScale(float across, float down, float module, float outputModule) {
    const float margin = kMarginModules * outputModule;
    return std::min(
        {outputModule / module, (kMaxSide - 2 * margin) / across, (kMaxSide - 2 * margin) / down});
}

GreyView SymbolRectifier::resample(const GreyView& frame, const Quad& corners, float across,
                                   float down, float scale, float heightShare, float outputModule,
                                   float envelopeModules, const Deadline& deadline) {
    outline_ = corners;
    const float margin = kMarginModules * outputModule;
    const float symbolWidth = across * scale;
    const float symbolHeight = down * scale * heightShare;
    const int width = static_cast<int>(symbolWidth + 2 * margin);
    const int height = static_cast<int>(symbolHeight + 2 * margin);
    if (width < 8 || height < 8) {
        return rectified_;
    }
    const SquareToQuad project(corners);
    std::vector<float> values(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        if (deadline.passed()) {
            return rectified_;
        }
        const float v = (y + 0.5f - margin) / symbolHeight;
        for (int x = 0; x < width; ++x) {
            const PointF p = project((x + 0.5f - margin) / symbolWidth, v);
            values[static_cast<std::size_t>(y) * width + x] = sampleAt(frame, p.x, p.y);
        }
    }
    if (normaliseLocally(values, width, height, outputModule, envelopeModules, deadline)) {
        rectified_ = {pixels_.data(), width, height, width};
    }
    return rectified_;
}

bool SymbolRectifier::normaliseLocally(const std::vector<float>& values, int width, int height,
                                       float module, float envelopeModules,
                                       const Deadline& deadline) {
    // The darkest and lightest values within a square window, taken over blocks of half a
    // module: the extremes of each block, then sliding extremes of those along the block rows
    // and columns. A window that snaps to whole blocks is as good a measure of the print around
    // a pixel and far cheaper than one per pixel.
    const int block = std::max(1, static_cast<int>(module * kEnvelopeBlockModules));
    const int columns = (width + block - 1) / block;
    const int rows = (height + block - 1) / block;
    const int radius = std::max(1, static_cast<int>(envelopeModules * module) / block);
    blockLow_.assign(static_cast<std::size_t>(columns) * rows, 255);
    blockHigh_.assign(blockLow_.size(), 0);
    for (int y = 0; y < height; ++y) {
        const float* line = values.data() + static_cast<std::size_t>(y) * width;
        float* low = blockLow_.data() + static_cast<std::size_t>(y / block) * columns;
        float* high = blockHigh_.data() + static_cast<std::size_t>(y / block) * columns;
        for (int x = 0; x < width; ++x) {
            low[x / block] = std::min(low[x / block], line[x]);
            high[x / block] = std::max(high[x / block], line[x]);
        }
    }
    auto extremes = [&](bool lower, std::vector<float>& blocks) {
        for (int y = 0; y < rows; ++y) {
            float* row = blocks.data() + static_cast<std::size_t>(y) * columns;
            slidingExtreme(row, columns, radius, lower, queue_, line_);
            std::copy(line_.begin(), line_.end(), row);
        }
        column_.resize(rows);
        for (int x = 0; x < columns; ++x) {
            for (int y = 0; y < rows; ++y) {
                column_[y] = blocks[static_cast<std::size_t>(y) * columns + x];
            }
            slidingExtreme(column_.data(), rows, radius, lower, queue_, line_);
            for (int y = 0; y < rows; ++y) {
                blocks[static_cast<std::size_t>(y) * columns + x] = line_[y];
            }
        }
    };
    extremes(true, blockLow_);
    extremes(false, blockHigh_);
    if (deadline.passed()) {
        return false;
    }
    const auto [darkest, lightest] = std::minmax_element(values.begin(), values.end());
    const float minRange = std::max(kMinEdgeContrast, kRelativeContrast * (*lightest - *darkest));
    pixels_.resize(values.size());
    for (int y = 0; y < height; ++y) {
        const std::size_t blockRow = static_cast<std::size_t>(y / block) * columns;
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const float low = blockLow_[blockRow + x / block];
            const float range = blockHigh_[blockRow + x / block] - low;
            pixels_[i] = range < minRange
                             ? 255
                             : static_cast<std::uint8_t>(255 * (values[i] - low) / range + 0.5f);
        }
    }
    return !deadline.passed();
}

GreyView SymbolRectifier::sharpened(bool inverted, float module) {
    const int width = rectified_.width;
    const int height = rectified_.height;
    const std::vector<std::uint8_t>& source = inverted ? inverted_ : pixels_;
    const int radius = std::max(1, static_cast<int>(module * kSharpenRadiusModules + 0.5f));
    boxMeans(source.data(), width, height, radius, integral_, means_);
    sharpened_.resize(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        const float value = source[i];
        sharpened_[i] = static_cast<std::uint8_t>(
            std::clamp(value + kSharpenGain * (value - means_[i]), 0.0f, 255.0f));
    }
    return {sharpened_.data(), width, height, width};
}

GreyView SymbolRectifier::inverted() {
    inverted_.resize(pixels_.size());
    std::transform(pixels_.begin(), pixels_.end(), inverted_.begin(),
                   [](std::uint8_t v) { return static_cast<std::uint8_t>(255 - v); });
    return {inverted_.data(), rectified_.width, rectified_.height, rectified_.stride};
}

}  // namespace telo::engine
