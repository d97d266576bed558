// SPDX-License-Identifier: MIT
#include "engine/even_module_rows.h"

#include <algorithm>
#include <cmath>

#include "engine/linear_system.h"

namespace telo::engine {

namespace {

/// Dark and light part at mid-grey in the rows.
constexpr float kMidGrey = 128;
/// Light this many times the row's median element parts a code from other print: more than
/// any element inside a code, even where perspective widens its modules.
constexpr float kGapElements = 5;
/// Edges of the shortest code resampled (UPC-E has 34).
constexpr int kMinEdges = 26;
/// Anchors of the shortest run resampled: a cubic fits any four, and a run's structure shows
/// only in how well more fit.
constexpr int kMinAnchors = 6;
/// Ratio of wide to narrow taken for Code 39: its characters are as long whatever it is, and
/// only the length of the last one, less its gap, depends on it.
constexpr float kCode39Wide = 2.5f;
/// The anchors' mean distance from the fitted curve, modules, beyond which a row is left as
/// it is: its edges do not make the structure tried.
constexpr double kMaxMisfit = 0.3;
/// Rows are resampled only where the module changes by at least this share along them; less,
/// and row readers take the row as it is.
constexpr double kMinDrift = 0.08;
/// Beyond this ratio of the largest to the smallest module the curve is not a label's.
constexpr double kMaxDrift = 3;
/// Modules of the shortest stretch whose module counts towards the drift.
constexpr float kMinStretch = 7;
/// Edges dropped at either end of a run, in pairs: stray print or specks beside the code.
constexpr std::size_t kMaxTrim = 4;
/// A cubic whose normal equations have a pivot below this does not fit the anchors.
constexpr double kMinPivot = 1e-12;

}  // namespace

float EvenModuleRows::curveX(const RowCurve& curve, float m) const {
    const Knot* knots = knots_.data() + curve.firstKnot;
    const int last = curve.knots - 1;
    // Straight on beyond the code's ends, at the module of its end segments.
    int k = 0;
    while (k < last - 1 && m > knots[k + 1].module) {
        ++k;
    }
    const Knot& a = knots[k];
    const Knot& b = knots[k + 1];
    return a.x + (m - a.module) * (b.x - a.x) / (b.module - a.module);
}

void EvenModuleRows::addAnchors(int count) {
    anchors_.clear();
    auto add = [&](int edge, float module) { anchors_.push_back({edge, module}); };
    // EAN-13 and UPC-A, EAN-8, UPC-E: guards of three modules, digits of seven in four
    // elements, a centre guard of five in five elements (UPC-E: an end guard of six).
    if (count == 60 || count == 44 || count == 34) {
        const int digits = count == 60 ? 6 : count == 44 ? 4 : 6;
        add(0, 0);
        for (int j = 0; j <= digits; ++j) {
            add(3 + 4 * j, static_cast<float>(3 + 7 * j));
        }
        if (count == 34) {
            add(33, 51);
            return;
        }
        const int centre = 3 + 4 * digits + 5;
        const int centreModule = 3 + 7 * digits + 5;
        for (int j = 0; j <= digits; ++j) {
            add(centre + 4 * j, static_cast<float>(centreModule + 7 * j));
        }
        add(count - 1, static_cast<float>(centreModule + 7 * digits + 3));
        return;
    }
    // Code 128: characters of eleven modules in six elements, a stop of thirteen in seven.
    if (count >= 26 && (count - 8) % 6 == 0) {
        const int characters = (count - 8) / 6;
        for (int i = 0; i <= characters; ++i) {
            add(6 * i, static_cast<float>(11 * i));
        }
        add(count - 1, static_cast<float>(11 * characters + 13));
    }
}

void EvenModuleRows::addCode39Anchors(int count) {
    // Code 39: characters of nine elements, three of them wide, and a narrow gap: every
    // character is as long, whatever its ratio of wide to narrow.
    if (count < 30 || count % 10 != 0) {
        return;
    }
    const float pitch = 3 * kCode39Wide + 7;
    const int characters = count / 10;
    for (int i = 0; i < characters; ++i) {
        anchors_.push_back({10 * i, static_cast<float>(i) * pitch});
    }
    anchors_.push_back({count - 1, static_cast<float>(characters) * pitch - 1});
}

double EvenModuleRows::smoothMisfit(std::size_t first) const {
    const double total = anchors_.back().module;
    std::array<std::array<double, 4>, 4> normal{};
    std::array<double, 4> cubic{};
    for (const Anchor& anchor : anchors_) {
        const double t = 2 * anchor.module / total - 1;
        const double powers[4] = {1, t, t * t, t * t * t};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                normal[r][c] += powers[r] * powers[c];
            }
            cubic[r] += powers[r] * edges_[first + anchor.edge];
        }
    }
    if (!solveLinear(normal, cubic, kMinPivot)) {
        return kMaxMisfit;
    }
    const double module = (edges_[first + anchors_.back().edge] - edges_[first]) / total;
    double squares = 0;
    for (const Anchor& anchor : anchors_) {
        const double t = 2 * anchor.module / total - 1;
        const double off =
            cubic[0] + t * (cubic[1] + t * (cubic[2] + t * cubic[3])) - edges_[first + anchor.edge];
        squares += off * off;
    }
    return std::sqrt(squares / static_cast<double>(anchors_.size())) / module;
}

bool EvenModuleRows::fit(const std::uint8_t* row, int width, RowCurve& curve) {
    edges_.clear();
    for (int x = 1; x < width; ++x) {
        const float a = row[x - 1];
        const float b = row[x];
        if ((a < kMidGrey) != (b < kMidGrey)) {
            edges_.push_back(static_cast<float>(x - 1) + (kMidGrey - a) / (b - a));
        }
    }
    if (static_cast<int>(edges_.size()) < kMinEdges) {
        return false;
    }
    widths_.clear();
    for (std::size_t i = 1; i < edges_.size(); ++i) {
        widths_.push_back(edges_[i] - edges_[i - 1]);
    }
    const auto middle = widths_.begin() + static_cast<std::ptrdiff_t>(widths_.size() / 2);
    std::nth_element(widths_.begin(), middle, widths_.end());
    const float gap = kGapElements * *middle;
    // The longest run of edges without a gap is the code; it starts and ends with a bar.
    std::size_t first = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < edges_.size();) {
        std::size_t j = i + 1;
        while (j < edges_.size() && edges_[j] - edges_[j - 1] <= gap) {
            ++j;
        }
        if (j - i > count) {
            first = i;
            count = j - i;
        }
        i = j;
    }
    const auto darkAfter = [&](std::size_t edge) {
        return row[static_cast<int>(edges_[edge]) + 1] < kMidGrey;
    };
    if (count > 0 && !darkAfter(first)) {
        ++first;
        --count;
    }
    if (count > 0 && darkAfter(first + count - 1)) {
        --count;
    }
    // A stray edge of other print or a speck may join either end: a bar less there is tried
    // too. The structure whose anchors a smooth curve fits best places the row's modules.
    double best = kMaxMisfit;
    std::size_t bestFirst = 0;
    for (std::size_t trimFront = 0; trimFront <= kMaxTrim; trimFront += 2) {
        for (std::size_t trimBack = 0; trimBack <= kMaxTrim; trimBack += 2) {
            if (count < trimFront + trimBack + kMinEdges) {
                continue;
            }
            const int edges = static_cast<int>(count - trimFront - trimBack);
            for (const bool code39 : {false, true}) {
                anchors_.clear();
                if (code39) {
                    addCode39Anchors(edges);
                } else {
                    addAnchors(edges);
                }
                const double misfit = static_cast<int>(anchors_.size()) < kMinAnchors
                                          ? kMaxMisfit
                                          : smoothMisfit(first + trimFront);
                if (misfit < best) {
                    best = misfit;
                    bestFirst = first + trimFront;
                    bestAnchors_ = anchors_;
                }
            }
        }
    }
    if (best >= kMaxMisfit) {
        return false;
    }
    // The module of stretches of a character or more: shorter ones are rough.
    curve.firstKnot = static_cast<int>(knots_.size());
    curve.knots = static_cast<int>(bestAnchors_.size());
    double low = 1e30;
    double high = 0;
    Knot from{bestAnchors_.front().module, edges_[bestFirst + bestAnchors_.front().edge]};
    for (const Anchor& anchor : bestAnchors_) {
        const Knot knot{anchor.module, edges_[bestFirst + anchor.edge]};
        knots_.push_back(knot);
        if (knot.module - from.module >= kMinStretch) {
            const double module = (knot.x - from.x) / (knot.module - from.module);
            low = std::min(low, module);
            high = std::max(high, module);
            from = knot;
        }
    }
    if (low <= 0 || high > kMaxDrift * low || high < (1 + kMinDrift) * low) {
        knots_.resize(curve.firstKnot);
        return false;
    }
    const Knot& end = knots_.back();
    const Knot& begin = knots_[curve.firstKnot];
    curve.start = begin.x;
    curve.step = (end.x - begin.x) / (end.module - begin.module);
    return curve.step > 0;
}

GreyView EvenModuleRows::straighten(const GreyView& rows, const Deadline& deadline) {
    const int width = rows.width;
    curves_.assign(rows.height, RowCurve{});
    knots_.clear();
    pixels_.resize(static_cast<std::size_t>(width) * rows.height);
    bool resampled = false;
    for (int y = 0; y < rows.height; ++y) {
        if (deadline.passed()) {
            return {};
        }
        const std::uint8_t* in = rows.data + static_cast<std::ptrdiff_t>(y) * rows.stride;
        std::uint8_t* out = pixels_.data() + static_cast<std::ptrdiff_t>(y) * width;
        RowCurve& curve = curves_[y];
        curve.resampled = fit(in, width, curve);
        if (!curve.resampled) {
            std::copy(in, in + width, out);
            continue;
        }
        resampled = true;
        for (int u = 0; u < width; ++u) {
            const float x = curveX(curve, (static_cast<float>(u) - curve.start) / curve.step);
            if (x < 0 || x > static_cast<float>(width - 1)) {
                out[u] = 255;
                continue;
            }
            const int left = std::min(static_cast<int>(x), width - 2);
            const float f = x - static_cast<float>(left);
            out[u] = static_cast<std::uint8_t>(
                std::lround(static_cast<float>(in[left]) * (1 - f) + in[left + 1] * f));
        }
    }
    if (!resampled) {
        return {};
    }
    return {pixels_.data(), width, rows.height, width};
}

float EvenModuleRows::sourceX(float x, int y) const {
    if (curves_.empty()) {
        return x;
    }
    const RowCurve& curve = curves_[std::clamp(y, 0, static_cast<int>(curves_.size()) - 1)];
    return curve.resampled ? curveX(curve, (x - curve.start) / curve.step) : x;
}

}  // namespace telo::engine
