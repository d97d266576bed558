// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BAR_ROWS_H
#define TELO_ENGINE_BAR_ROWS_H

#include <cstdint>
#include <vector>

#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// One row of a bar image: the line it samples, from `from` to `to`, and the band around it
/// whose samples it averages, reaching -`bandFrom` to +`bandFrom` at `from` and likewise at
/// `to` (bars that fan out under perspective slant differently at the two ends).
struct BarLine {
    PointF from;
    PointF to;
    PointF bandFrom;
    PointF bandTo;
};

/// Builds images whose rows run along a linear code, for row readers: each row averages a band
/// of the frame along the bars (against noise and JPEG blocks), may be sharpened across them
/// (against blur), and is scaled between its own local dark and light levels (against uneven
/// light and glare), flat stretches turned white. The buffers are kept between calls.
class BarRowBuilder {
public:
    /// What is done to each row before its levels are scaled.
    enum class Filter {
        kPlain,
        /// An unsharp mask the size of a narrow element: against defocus.
        kSharpened,
        /// Deconvolution of a line blur as long as the edges are wide: against motion.
        kDeblurred,
    };

    /// Samples one row of `width` samples per line, averaging `perBand` lines across its band
    /// (at most a few: more add little against noise). False when `deadline` passes first.
    bool sample(const GreyView& image, const std::vector<BarLine>& lines, int width, int perBand,
                const Deadline& deadline);

    /// The rows of the last sample() as an image, each filtered and scaled to its local levels.
    /// `element` is the narrow element's width in samples: it sizes the sharpening and the
    /// window of the local levels. An empty view (no data) when `deadline` passes first; valid
    /// until the next call.
    GreyView filtered(Filter filter, float element, const Deadline& deadline);

    /// Samples and rows of the last sample().
    int width() const { return width_; }
    int rows() const { return rows_; }

private:
    void sharpen(float* row, int width, float element);
    /// The length of a line blur that gives the rows' edges their width, samples.
    float blurLength(int width, int rows);
    /// Richardson-Lucy deconvolution of a row by a line blur of `length` samples.
    void deblur(float* row, int width, float length);
    void normalise(const float* row, int width, float element, std::uint8_t* out);

    std::vector<float> values_;
    std::vector<float> row_;
    std::vector<float> samples_;
    std::vector<float> kernel_;
    std::vector<float> estimate_;
    std::vector<float> blurred_;
    std::vector<float> widths_;
    std::vector<float> low_;
    std::vector<float> high_;
    std::vector<int> queue_;
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int rows_ = 0;
};

}  // namespace telo::engine

#endif
