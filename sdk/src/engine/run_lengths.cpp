// SPDX-License-Identifier: MIT
#include "engine/run_lengths.h"

#include <algorithm>
#include <limits>

namespace telo::engine {

namespace {

/// Half the width of the neighbourhood whose extremes set the local threshold: wide enough to
/// span a wide bar and its neighbours at the largest module size read.
constexpr int kWindowRadius = 14;
/// Smallest light-to-dark difference that counts as an edge, in grey levels.
constexpr float kMinContrast = 18;
/// The local difference must also reach this share of the line's whole range.
constexpr float kRelativeContrast = 0.25f;

}  // namespace

// A monotonic queue of indices whose front is the extreme of the window.
void slidingExtreme(const float* samples, int count, int radius, bool lower,
                    std::vector<int>& queue, std::vector<float>& out) {
    const int n = count;
    out.resize(n);
    queue.resize(n);
    int head = 0;
    int tail = 0;
    auto better = [&](float a, float b) { return lower ? a <= b : a >= b; };
    for (int i = 0, next = 0; i < n; ++i) {
        for (; next < n && next <= i + radius; ++next) {
            while (tail > head && better(samples[next], samples[queue[tail - 1]])) {
                --tail;
            }
            queue[tail++] = next;
        }
        while (queue[head] < i - radius) {
            ++head;
        }
        out[i] = samples[queue[head]];
    }
}

void RunLengthFinder::find(const std::vector<float>& samples, std::vector<float>& runs) {
    runs.clear();
    const int n = static_cast<int>(samples.size());
    if (n == 0) {
        runs.push_back(0);
        return;
    }
    slidingExtreme(samples.data(), n, kWindowRadius, true, queue_, low_);
    slidingExtreme(samples.data(), n, kWindowRadius, false, queue_, high_);
    const auto [darkest, lightest] = std::minmax_element(samples.begin(), samples.end());
    const float minRange = std::max(kMinContrast, kRelativeContrast * (*lightest - *darkest));

    // Positive for light, negative for dark; flat stretches count as light.
    level_.resize(n);
    for (int i = 0; i < n; ++i) {
        level_[i] = (high_[i] - low_[i] >= minRange) ? samples[i] - (low_[i] + high_[i]) / 2
                                                     : std::numeric_limits<float>::infinity();
    }

    float runStart = 0;
    bool dark = level_[0] < 0;
    if (dark) {
        runs.push_back(0);
    }
    for (int i = 0; i + 1 < n; ++i) {
        const bool nextDark = level_[i + 1] < 0;
        if (nextDark == dark) {
            continue;
        }
        float edge = i + 0.5f;
        if (level_[i] != std::numeric_limits<float>::infinity() &&
            level_[i + 1] != std::numeric_limits<float>::infinity()) {
            edge = i + level_[i] / (level_[i] - level_[i + 1]);
        }
        runs.push_back(edge - runStart);
        runStart = edge;
        dark = nextDark;
    }
    runs.push_back(static_cast<float>(n - 1) - runStart);
    if (dark) {
        runs.push_back(0);
    }
}

}  // namespace telo::engine
