#pragma once

#include <cstdint>
#include <vector>

#include "engine/grey_view.h"

namespace telo::engine {

/// A patch of the image full of parallel edges: where a linear or stacked barcode may be.
struct BarRegion {
    float centreX = 0;
    float centreY = 0;
    /// Direction across the bars, radians in (-pi/2, pi/2].
    float angle = 0;
    /// Extent across the bars and along them, pixels.
    float length = 0;
    float height = 0;
    /// Summed edge energy, to try the most prominent region first.
    float strength = 0;
};

/// Finds bar regions from the local structure of the image gradient: small cells whose
/// gradients are strong and point (up to sign) one way are joined with neighbours of the same
/// orientation. The buffers are kept between images.
class BarRegionFinder {
public:
    /// Fills `regions` with up to `maxRegions` regions, strongest first.
    void Find(const GreyView& image, int maxRegions, std::vector<BarRegion>& regions);

private:
    struct Cell {
        float energy;
        float coherence;
        float angle;
        float tensorXx;
        float tensorYy;
        float tensorXy;
    };

    void MeasureCells(const GreyView& image);
    BarRegion Grow(int seed, std::vector<int>& members);

    int columns_ = 0;
    int rows_ = 0;
    std::vector<Cell> cells_;
    std::vector<std::uint8_t> state_;
    std::vector<int> queue_;
    std::vector<int> members_;
};

}  // namespace telo::engine
