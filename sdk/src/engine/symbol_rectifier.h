// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_SYMBOL_RECTIFIER_H
#define TELO_ENGINE_SYMBOL_RECTIFIER_H

#include <cstdint>
#include <vector>

#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// Finds the outline of a two-dimensional symbol (matrix or stacked) in an upright crop and
/// resamples the frame inside it into a square-on view: turn and perspective taken out, the
/// modules enlarged, a margin of quiet zone around, each pixel scaled to the print around it so
/// that a fixed threshold splits dark from light. ZXing's detectors then see the symbol the
/// way they see a printed page: its Aztec detector in particular reads only symbols within a
/// few degrees of level. The buffers are kept between calls.
class SymbolRectifier {
public:
    /// How the outline of a blob is taken: from its outermost cells along the diagonals, or
    /// where lines along its sides through its outermost cells in either half meet, which
    /// needs a dark module on each side rather than dark corners.
    enum class Outline { kDiagonals, kSides };

    /// The symbol nearest the middle of `crop` (dark on light), whose modules are about
    /// `module` crop pixels, taken from `frame` through `map` with modules of `outputModule`
    /// pixels; an empty view (no data) when no symbol-like blob is found or `deadline` passes
    /// first, or for kSides when its corners lie within half a module of the diagonals' ones.
    /// kSides outlines the blob that the latest kDiagonals call found, in the same `crop`,
    /// without looking for it again. Valid until the next call.
    GreyView rectify(const GreyView& frame, const GreyView& crop, const CropMap& map, float module,
                     float outputModule, Outline outline, const Deadline& deadline);

    /// As rectify(), for a symbol whose `corners` in the frame are known, in order round it
    /// from the view's top left, and whose modules are about `module` frame pixels; the view's
    /// height is `heightShare` of what square modules would give it. Each pixel is scaled to
    /// the print within `envelopeModules` of it, which must reach past half the symbol's widest
    /// bar. An empty view when it would have more than `maxPixels` pixels.
    GreyView rectifyOutline(const GreyView& frame, const Quad& corners, float module,
                            float outputModule, float heightShare, float envelopeModules,
                            float maxPixels, const Deadline& deadline);

    /// The latest rectified view with dark and light swapped.
    GreyView inverted();

    /// The latest rectified view (after inverted() when `inverted`) with its edges steepened
    /// over about a module of `module` pixels, against blur.
    GreyView sharpened(bool inverted, float module);

    /// Where the latest rectified symbol lies in the frame.
    const Quad& outline() const { return outline_; }

private:
    /// Cuts the crop into cells of half a module and marks the dark ones in dark_.
    void markDarkCells(const GreyView& crop, int cell);
    /// Grows the blob of dark cells (after closing gaps of a cell) nearest the middle into
    /// blob_; false when there is none of a plausible size.
    bool findBlob();
    /// Where the lines along the blob's sides meet, in cells; false when the sides are too
    /// short or parallel.
    bool sideCorners(Quad& corners) const;
    /// Resamples the frame inside `corners`, `across` by `down` in units of which a module is
    /// `module`, into the view; `scale` frame pixels to view pixels, times `heightShare` down.
    GreyView resample(const GreyView& frame, const Quad& corners, float across, float down,
                      float scale, float heightShare, float outputModule, float envelopeModules,
                      const Deadline& deadline);
    /// Frame pixels to view pixels for a symbol `across` by `down` with modules of `module`.
    static float viewScale(float across, float down, float module, float outputModule);
    /// Scales `values` to their local dark and light levels, within `envelopeModules` modules
    /// of `module` pixels, into pixels_; false when `deadline` passes first.
    bool normaliseLocally(const std::vector<float>& values, int width, int height, float module,
                          float envelopeModules, const Deadline& deadline);

    int columns_ = 0;
    int rows_ = 0;
    std::vector<float> cells_;
    std::vector<float> integral_;
    std::vector<float> means_;
    std::vector<std::uint8_t> dark_;
    /// 1 where a cell is dark or next to a dark one, 2 once it joins the blob.
    std::vector<std::uint8_t> closed_;
    /// The latest blob's cells, their side in crop pixels, and whether it was found.
    std::vector<int> blob_;
    int cell_ = 0;
    bool blobFound_ = false;
    std::vector<int> queue_;
    std::vector<float> blockLow_;
    std::vector<float> blockHigh_;
    std::vector<float> line_;
    std::vector<float> column_;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> inverted_;
    std::vector<std::uint8_t> sharpened_;
    GreyView rectified_;
    Quad outline_;
};

}  // namespace telo::engine

#endif
