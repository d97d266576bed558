// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_PDF417_OUTLINE_H
#define TELO_ENGINE_PDF417_OUTLINE_H

#include <vector>

#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/run_lengths.h"

namespace telo::engine {

/// Where a PDF417 symbol lies in an upright crop, and the width of its modules.
struct Pdf417Outline {
    /// Corners in crop pixels, in order round the symbol from the top of its start pattern's
    /// side: a view mapped through them reads left to right, start pattern first.
    Quad corners;
    float module = 0;
};

/// Finds a PDF417 symbol's outline from the outer edges of its start and stop patterns, which
/// every row of the symbol repeats. Straight lines fitted to those edges down the rows are the
/// symbol's sides where glare hides some rows' ends, where perspective narrows one end, and
/// where a blob of dark cells would stop at a highlight. The buffers are kept between calls.
class Pdf417OutlineFinder {
public:
    /// The symbol in `crop`, whose rows run level (either end first) and whose modules are
    /// about `module` pixels; false when too few rows show its patterns or `deadline` passes.
    bool find(const GreyView& crop, float module, const Deadline& deadline, Pdf417Outline& outline);

    /// True when the rows of `crop` show whole guard patterns down one side of a PDF417
    /// symbol, start or stop: a cheap sign that a region holds one, whose other side may lie
    /// beyond the crop.
    bool showsGuards(const GreyView& crop, float module, const Deadline& deadline);

private:
    /// One side's edge points, x along the row at row y: where whole guard patterns show, and
    /// where only their wide bar and length do.
    struct Side {
        std::vector<PointF> points;
        std::vector<PointF> loosePoints;
        /// The fitted side: x = at + slope * y, between top and bottom.
        float at = 0;
        float slope = 0;
        float top = 0;
        float bottom = 0;
        std::vector<float> rows;
        /// The points of the latest fit, sorted down the side.
        std::vector<PointF> fitted;
        /// Fits the side to the points within `tolerance` pixels of it, with the loose points
        /// too when `loose`; false for too few.
        bool fit(float tolerance, int minPoints, bool loose);
        /// Sets top and bottom to the ends of the longest stretch of points of either kind
        /// near the side with no gap over `maxGap` rows; false when there is none.
        bool span(float tolerance, float maxGap);
        PointF point(float y) const { return {at + slope * y, y}; }
    };

    /// Forgets the points of earlier crops.
    void clear();
    /// Adds the sides' edge points that the rows of `crop` show, in crop pixels, taking its
    /// modules as `module` pixels; false when `deadline` passes.
    bool scan(const GreyView& crop, float module, const Deadline& deadline);
    /// The outline the sides' points give a symbol of about `module` pixels; false for none.
    bool outlineFrom(float module, Pdf417Outline& outline);
    /// Adds the outer edges of the patterns that the runs of row `y` show to the sides.
    void matchRow(float y, float module);

    RunLengthFinder runFinder_;
    std::vector<float> samples_;
    std::vector<float> runs_;
    std::vector<float> edges_;
    std::vector<float> modules_;
    /// Outer edges of the start pattern on the left and the stop pattern on the right (upright
    /// symbol), and of the stop pattern on the left and the start on the right (upside down).
    Side startLeft_;
    Side stopRight_;
    Side stopLeft_;
    Side startRight_;
};

}  // namespace telo::engine

#endif
