#include "engine/bar_region_finder.h"

#include <algorithm>
#include <cmath>

namespace telo::engine {

namespace {

/// Side of the square cells the gradient is summed over, pixels.
constexpr int kCellSize = 8;
/// Mean squared gradient a cell needs to count as printed, and how much of its gradient must
/// point one way (0 none, 1 all) to count as bars.
constexpr float kMinCellEnergy = 120;
constexpr float kMinCoherence = 0.55f;
/// Neighbouring cells join when their orientations differ by less than this, radians.
constexpr float kMaxAngleDifference = 0.21f;
/// A region needs this many cells.
constexpr int kMinRegionCells = 4;

constexpr float kPi = 3.14159265358979f;

enum CellState : std::uint8_t { kIgnored, kCandidate, kTaken };

float AngleDifference(float a, float b) {
    float difference = std::fabs(a - b);
    return std::min(difference, kPi - difference);
}

}  // namespace

void BarRegionFinder::MeasureCells(const GreyView& image) {
    columns_ = image.width / kCellSize;
    rows_ = image.height / kCellSize;
    cells_.resize(static_cast<std::size_t>(columns_) * rows_);
    state_.assign(cells_.size(), kIgnored);
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            std::int64_t xx = 0;
            std::int64_t yy = 0;
            std::int64_t xy = 0;
            const int x0 = std::max(column * kCellSize, 1);
            const int x1 = std::min((column + 1) * kCellSize, image.width - 1);
            const int y0 = std::max(row * kCellSize, 1);
            const int y1 = std::min((row + 1) * kCellSize, image.height - 1);
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* line =
                    image.data + static_cast<std::ptrdiff_t>(y) * image.stride;
                for (int x = x0; x < x1; ++x) {
                    const int gx = line[x + 1] - line[x - 1];
                    const int gy = line[x + image.stride] - line[x - image.stride];
                    xx += gx * gx;
                    yy += gy * gy;
                    xy += gx * gy;
                }
            }
            const float pixels = static_cast<float>(std::max((x1 - x0) * (y1 - y0), 1));
            Cell& cell = cells_[row * columns_ + column];
            cell.tensorXx = xx / pixels;
            cell.tensorYy = yy / pixels;
            cell.tensorXy = xy / pixels;
            cell.energy = cell.tensorXx + cell.tensorYy;
            const float spread = cell.tensorXx - cell.tensorYy;
            cell.coherence =
                cell.energy > 0
                    ? std::sqrt(spread * spread + 4 * cell.tensorXy * cell.tensorXy) / cell.energy
                    : 0;
            cell.angle = 0.5f * std::atan2(2 * cell.tensorXy, spread);
            if (cell.energy >= kMinCellEnergy && cell.coherence >= kMinCoherence) {
                state_[row * columns_ + column] = kCandidate;
            }
        }
    }
}

BarRegion BarRegionFinder::Grow(int seed, std::vector<int>& members) {
    members.clear();
    queue_.clear();
    queue_.push_back(seed);
    state_[seed] = kTaken;
    float spread = 0;
    float twiceXy = 0;
    float strength = 0;
    for (std::size_t next = 0; next < queue_.size(); ++next) {
        const int index = queue_[next];
        const Cell& cell = cells_[index];
        members.push_back(index);
        spread += cell.tensorXx - cell.tensorYy;
        twiceXy += 2 * cell.tensorXy;
        strength += cell.energy * cell.coherence;
        const int row = index / columns_;
        const int column = index % columns_;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int r = row + dy;
                const int c = column + dx;
                if (r < 0 || r >= rows_ || c < 0 || c >= columns_) {
                    continue;
                }
                const int neighbour = r * columns_ + c;
                if (state_[neighbour] == kCandidate &&
                    AngleDifference(cells_[neighbour].angle, cell.angle) < kMaxAngleDifference) {
                    state_[neighbour] = kTaken;
                    queue_.push_back(neighbour);
                }
            }
        }
    }

    BarRegion region;
    region.angle = 0.5f * std::atan2(twiceXy, spread);
    region.strength = strength;
    const float ux = std::cos(region.angle);
    const float uy = std::sin(region.angle);
    float minU = 1e9f;
    float maxU = -1e9f;
    float minV = 1e9f;
    float maxV = -1e9f;
    for (int index : members) {
        const float x = (index % columns_ + 0.5f) * kCellSize;
        const float y = (index / columns_ + 0.5f) * kCellSize;
        const float u = x * ux + y * uy;
        const float v = -x * uy + y * ux;
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
        minV = std::min(minV, v);
        maxV = std::max(maxV, v);
    }
    const float centreU = (minU + maxU) / 2;
    const float centreV = (minV + maxV) / 2;
    region.centreX = centreU * ux - centreV * uy;
    region.centreY = centreU * uy + centreV * ux;
    region.length = maxU - minU + kCellSize;
    region.height = maxV - minV + kCellSize;
    return region;
}

void BarRegionFinder::Find(const GreyView& image, int maxRegions, std::vector<BarRegion>& regions) {
    regions.clear();
    MeasureCells(image);
    for (int index = 0; index < static_cast<int>(cells_.size()); ++index) {
        if (state_[index] != kCandidate) {
            continue;
        }
        BarRegion region = Grow(index, members_);
        if (static_cast<int>(members_.size()) >= kMinRegionCells) {
            regions.push_back(region);
        }
    }
    std::sort(regions.begin(), regions.end(),
              [](const BarRegion& a, const BarRegion& b) { return a.strength > b.strength; });
    if (static_cast<int>(regions.size()) > maxRegions) {
        regions.resize(maxRegions);
    }
}

}  // namespace telo::engine
