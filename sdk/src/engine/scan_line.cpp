// SPDX-License-Identifier: MIT
#include "engine/scan_line.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace telo::engine {

namespace {

constexpr float kPi = 3.14159265358979f;

/// Narrows [low, high] to the parameters s where origin + s * step lies in [0, limit].
void clipAxis(float origin, float step, float limit, float& low, float& high) {
    if (std::fabs(step) < 1e-6f) {
        if (origin < 0 || origin > limit) {
            high = low - 1;
        }
        return;
    }
    float a = (0 - origin) / step;
    float b = (limit - origin) / step;
    low = std::max(low, std::min(a, b));
    high = std::min(high, std::max(a, b));
}

}  // namespace

void appendScanLines(int width, int height, float angleDegrees, float spacing,
                     std::vector<ScanLine>& lines) {
    const float angle = angleDegrees * kPi / 180;
    const float dx = std::cos(angle);
    const float dy = std::sin(angle);
    // The normal (-dy, dx) steps from one line to the next.
    const float centreX = (width - 1) / 2.0f;
    const float centreY = (height - 1) / 2.0f;
    const float reach = (std::fabs(dy) * width + std::fabs(dx) * height) / 2;
    const int steps = static_cast<int>(reach / spacing);
    for (int i = 0; i <= 2 * steps; ++i) {
        const int offset = (i % 2 == 0) ? i / 2 : -(i + 1) / 2;
        const float originX = centreX - dy * offset * spacing;
        const float originY = centreY + dx * offset * spacing;
        float low = -std::numeric_limits<float>::max();
        float high = std::numeric_limits<float>::max();
        clipAxis(originX, dx, static_cast<float>(width - 1), low, high);
        clipAxis(originY, dy, static_cast<float>(height - 1), low, high);
        const int length = static_cast<int>(std::floor(high - low)) + 1;
        if (high < low || length < 2) {
            continue;
        }
        lines.push_back({originX + low * dx, originY + low * dy, dx, dy, length});
    }
}

void sampleLine(const GreyView& image, const ScanLine& line, std::vector<float>& samples) {
    samples.resize(std::max(line.length, 0));
    for (int i = 0; i < line.length; ++i) {
        samples[i] = sampleAt(image, line.x0 + i * line.dx, line.y0 + i * line.dy);
    }
}

}  // namespace telo::engine
