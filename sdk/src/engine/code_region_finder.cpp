// SPDX-License-Identifier: MIT
#include "engine/code_region_finder.h"

#include <algorithm>
#include <cmath>

namespace telo::engine {

namespace {

/// Side of the square cells the gradient is summed over, pixels.
constexpr int kCellSize = 8;
/// The gradient is taken at every second pixel of every second row: plenty for a cell's
/// orientation, a quarter of the work.
constexpr int kSampleStep = 2;
/// Mean squared gradient (Scharr's kernels, 16 times the grey step) a cell needs to count as
/// printed.
constexpr float kMinCellEnergy = 120 * 16 * 16;
/// How strongly a cell's gradient directions must gather (0 not at all, 1 all one way): along
/// one axis for bars, along two perpendicular axes for a matrix.
constexpr float kMinBarCoherence = 0.55f;
constexpr float kMinMatrixCoherence = 0.35f;
/// Neighbouring cells join when their orientations differ by less than this, radians.
constexpr float kMaxAngleDifference = 0.21f;
/// Cells join their neighbours, and, in a second set of regions, cells one further away: the
/// close regions keep a code apart from like texture beyond its label's edge, the wide ones
/// hold a code together across the row boundaries of a stacked code or a smudge.
constexpr int kCloseReach = 1;
constexpr int kWideReach = 2;
/// A code's axis leans at most this far from the direction across its bars, radians: the
/// shear of a label tilted 50 degrees.
constexpr float kMaxShear = 0.6f;
/// A region needs this many cells.
constexpr int kMinRegionCells = 4;

constexpr float kPi = 3.14159265358979f;

/// Bars repeat their direction every half turn, a matrix every quarter turn: angles are
/// multiplied by this before averaging so that opposite edges agree.
float fold(CodeRegion::Kind kind) {
    return kind == CodeRegion::Kind::kBars ? 2.0f : 4.0f;
}

float angleDifference(float a, float b, float period) {
    const float difference = std::fmod(std::fabs(a - b), period);
    return std::min(difference, period - difference);
}

}  // namespace

bool CodeRegionFinder::measureCells(const GreyView& image, const Deadline& deadline) {
    columns_ = image.width / kCellSize;
    rows_ = image.height / kCellSize;
    cells_.resize(static_cast<std::size_t>(columns_) * rows_);
    taken_.assign(cells_.size(), 0);
    for (int row = 0; row < rows_; ++row) {
        if (deadline.passed()) {
            return false;
        }
        for (int column = 0; column < columns_; ++column) {
            // Sums of the squared gradient as a doubled angle (xx - yy, 2xy), and of its square
            // as a quadrupled angle, each weighted by its magnitude. Each cell row is summed in
            // float, which holds its 8 pixels exactly enough, then added up in double.
            double energy = 0;
            double doubledX = 0;
            double doubledY = 0;
            double quadrupledX = 0;
            double quadrupledY = 0;
            double squaredEnergy = 0;
            const int x0 = std::max(column * kCellSize, 1);
            const int x1 = std::min((column + 1) * kCellSize, image.width - 1);
            const int y0 = std::max(row * kCellSize, 1);
            const int y1 = std::min((row + 1) * kCellSize, image.height - 1);
            for (int y = y0; y < y1; y += kSampleStep) {
                const std::uint8_t* line =
                    image.data + static_cast<std::ptrdiff_t>(y) * image.stride;
                const std::uint8_t* above = line - image.stride;
                const std::uint8_t* below = line + image.stride;
                float e = 0;
                float dx = 0;
                float dy = 0;
                float qx = 0;
                float qy = 0;
                float ee = 0;
                for (int x = x0; x < x1; x += kSampleStep) {
                    // Scharr's kernels: their direction stays true for fine bars at any angle.
                    const int gxi = 3 * (above[x + 1] - above[x - 1]) +
                                    10 * (line[x + 1] - line[x - 1]) +
                                    3 * (below[x + 1] - below[x - 1]);
                    const int gyi = 3 * (below[x - 1] - above[x - 1]) + 10 * (below[x] - above[x]) +
                                    3 * (below[x + 1] - above[x + 1]);
                    const auto gx = static_cast<float>(gxi);
                    const auto gy = static_cast<float>(gyi);
                    const float xx = gx * gx;
                    const float yy = gy * gy;
                    const float c2 = xx - yy;
                    const float s2 = 2 * gx * gy;
                    e += xx + yy;
                    dx += c2;
                    dy += s2;
                    qx += c2 * c2 - s2 * s2;
                    qy += 2 * c2 * s2;
                    ee += (xx + yy) * (xx + yy);
                }
                energy += e;
                doubledX += dx;
                doubledY += dy;
                quadrupledX += qx;
                quadrupledY += qy;
                squaredEnergy += ee;
            }
            const double pixels = std::max(((x1 - x0 + kSampleStep - 1) / kSampleStep) *
                                               ((y1 - y0 + kSampleStep - 1) / kSampleStep),
                                           1);
            Cell& cell = cells_[row * columns_ + column];
            cell.energy = static_cast<float>(energy / pixels);
            cell.candidate = cell.energy >= kMinCellEnergy;
            if (!cell.candidate) {
                cell.kind = CodeRegion::Kind::kBars;
                cell.coherence = 0;
                cell.directionX = cell.directionY = cell.angle = 0;
                continue;
            }
            const double barCoherence = energy > 0 ? std::hypot(doubledX, doubledY) / energy : 0;
            const double matrixCoherence =
                squaredEnergy > 0 ? std::hypot(quadrupledX, quadrupledY) / squaredEnergy : 0;
            if (barCoherence >= kMinBarCoherence) {
                cell.kind = CodeRegion::Kind::kBars;
                cell.coherence = static_cast<float>(barCoherence);
                cell.directionX = static_cast<float>(doubledX / pixels);
                cell.directionY = static_cast<float>(doubledY / pixels);
            } else {
                cell.kind = CodeRegion::Kind::kMatrix;
                cell.coherence = static_cast<float>(matrixCoherence);
                cell.candidate = matrixCoherence >= kMinMatrixCoherence;
                // Scaled down to the size of an energy so regions weigh cells alike.
                const double scale = energy / std::max(squaredEnergy, 1.0);
                cell.directionX = static_cast<float>(quadrupledX * scale / pixels);
                cell.directionY = static_cast<float>(quadrupledY * scale / pixels);
            }
            cell.angle = std::atan2(cell.directionY, cell.directionX) / fold(cell.kind);
        }
    }
    return true;
}

float CodeRegionFinder::codeAxis(float across) const {
    // The principal directions of the cells' spread: the code runs along the one nearer the
    // direction across its bars.
    double sumX = 0;
    double sumY = 0;
    for (int index : queue_) {
        sumX += index % columns_;
        sumY += index / columns_;
    }
    const double n = static_cast<double>(queue_.size());
    double xx = 0;
    double xy = 0;
    double yy = 0;
    for (int index : queue_) {
        const double dx = index % columns_ - sumX / n;
        const double dy = index / columns_ - sumY / n;
        xx += dx * dx;
        xy += dx * dy;
        yy += dy * dy;
    }
    const float major = static_cast<float>(0.5 * std::atan2(2 * xy, xx - yy));
    for (const float axis : {major, major + kPi / 2}) {
        if (angleDifference(axis, across, kPi) <= kMaxShear) {
            return across + std::remainder(axis - across, kPi);
        }
    }
    return across;
}

CodeRegion CodeRegionFinder::grow(int seed, int reach) {
    const CodeRegion::Kind kind = cells_[seed].kind;
    const float period = 2 * kPi / fold(kind);
    queue_.clear();
    queue_.push_back(seed);
    taken_[seed] = 1;
    float directionX = 0;
    float directionY = 0;
    float strength = 0;
    for (std::size_t next = 0; next < queue_.size(); ++next) {
        const int index = queue_[next];
        const Cell& cell = cells_[index];
        directionX += cell.directionX;
        directionY += cell.directionY;
        strength += cell.energy * cell.coherence;
        const int row = index / columns_;
        const int column = index % columns_;
        for (int r = std::max(row - reach, 0); r <= std::min(row + reach, rows_ - 1); ++r) {
            for (int c = std::max(column - reach, 0); c <= std::min(column + reach, columns_ - 1);
                 ++c) {
                const int neighbour = r * columns_ + c;
                const Cell& other = cells_[neighbour];
                if (!taken_[neighbour] && other.candidate && other.kind == kind &&
                    angleDifference(other.angle, cell.angle, period) < kMaxAngleDifference) {
                    taken_[neighbour] = 1;
                    queue_.push_back(neighbour);
                }
            }
        }
    }

    CodeRegion region;
    region.kind = kind;
    region.angle = std::atan2(directionY, directionX) / fold(kind);
    region.axis = region.angle;
    region.strength = strength;
    region.cells = static_cast<int>(queue_.size());
    if (kind == CodeRegion::Kind::kBars) {
        region.axis = codeAxis(region.angle);
    }
    // Extents in the frame of the code's axis and its bars, which perspective shears apart:
    // p = s * (cos axis, sin axis) + t * (-sin angle, cos angle).
    const float ax = std::cos(region.axis);
    const float ay = std::sin(region.axis);
    const float bx = -std::sin(region.angle);
    const float by = std::cos(region.angle);
    const float determinant = ax * by - bx * ay;
    float minS = 1e9f;
    float maxS = -1e9f;
    float minT = 1e9f;
    float maxT = -1e9f;
    for (int index : queue_) {
        const float x = (index % columns_ + 0.5f) * kCellSize;
        const float y = (index / columns_ + 0.5f) * kCellSize;
        const float s = (by * x - bx * y) / determinant;
        const float t = (-ay * x + ax * y) / determinant;
        minS = std::min(minS, s);
        maxS = std::max(maxS, s);
        minT = std::min(minT, t);
        maxT = std::max(maxT, t);
    }
    const float centreS = (minS + maxS) / 2;
    const float centreT = (minT + maxT) / 2;
    region.centreX = centreS * ax + centreT * bx;
    region.centreY = centreS * ay + centreT * by;
    region.length = maxS - minS + kCellSize;
    region.height = maxT - minT + kCellSize;
    return region;
}

void CodeRegionFinder::find(const GreyView& image, int maxRegions, const Deadline& deadline,
                            std::vector<CodeRegion>& regions) {
    regions.clear();
    if (!measureCells(image, deadline)) {
        return;
    }
    for (const int reach : {kCloseReach, kWideReach}) {
        const std::size_t close = regions.size();
        std::fill(taken_.begin(), taken_.end(), 0);
        for (int index = 0; index < static_cast<int>(cells_.size()); ++index) {
            if (taken_[index] || !cells_[index].candidate) {
                continue;
            }
            if (deadline.passed()) {
                return;
            }
            const CodeRegion region = grow(index, reach);
            const bool known =
                std::any_of(regions.begin(), regions.begin() + close, [&](const CodeRegion& other) {
                    return other.cells == region.cells && other.kind == region.kind &&
                           other.centreX == region.centreX && other.centreY == region.centreY;
                });
            if (region.cells >= kMinRegionCells && !known) {
                regions.push_back(region);
            }
        }
    }
    std::sort(regions.begin(), regions.end(),
              [](const CodeRegion& a, const CodeRegion& b) { return a.strength > b.strength; });
    if (static_cast<int>(regions.size()) > maxRegions) {
        regions.resize(maxRegions);
    }
}

}  // namespace telo::engine
