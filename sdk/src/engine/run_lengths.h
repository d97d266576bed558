// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_RUN_LENGTHS_H
#define TELO_ENGINE_RUN_LENGTHS_H

#include <vector>

namespace telo::engine {

/// out[i] = the minimum (when `lower`) or maximum of samples[i - radius .. i + radius], for the
/// `count` samples; `queue` is working storage.
void slidingExtreme(const float* samples, int count, int radius, bool lower,
                    std::vector<int>& queue, std::vector<float>& out);

/// Turns the samples of one scan line into the widths of its light and dark runs. A sample is
/// dark when it lies below the middle of the darkest and lightest samples around it, provided
/// those differ enough to be a printed edge rather than noise; edges fall at sub-pixel positions
/// where the samples cross that middle. The buffers are kept between lines.
class RunLengthFinder {
public:
    /// Fills `runs` with light, dark, light, ... widths in pixels, starting and ending with a
    /// light run (which may be of width 0).
    void find(const std::vector<float>& samples, std::vector<float>& runs);

private:
    std::vector<float> low_;
    std::vector<float> high_;
    std::vector<float> level_;
    std::vector<int> queue_;
};

}  // namespace telo::engine

#endif
