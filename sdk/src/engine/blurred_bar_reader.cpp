// SPDX-License-Identifier: MIT
#include "engine/blurred_bar_reader.h"

#include <algorithm>
#include <cmath>

#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// Rows reach this share of the region's length beyond each end: blur makes the region look
/// shorter than its symbol.
constexpr float kExtensionShare = 0.2f;
/// How much longer than the start character's module tells the longest symbol may run: blur
/// leaves that module rough.
constexpr float kReachSlack = 1.3f;
/// Lines averaged into a row, offsets across it in rows.
constexpr std::array<float, 3> kBandOffsets = {-0.3f, 0, 0.3f};
/// Encoding gamma of camera frames: blur mixes light, not grey levels.
constexpr float kGamma = 2.2f;
/// Light matched before the start character, modules.
constexpr float kQuietModules = 3;
/// The first dark sample lies this share of the way from the row's light to its dark level.
constexpr float kEdgeShare = 0.35f;
/// Geometries tried for the start character: smear lengths in modules, and module widths as shares
/// of the row's narrow-element estimate (blur makes that estimate rough), in steps of kModuleStep.
constexpr std::array<float, 2> kBlurModules = {0.5f, 1.75f};
constexpr float kMinModuleShare = 0.7f;
constexpr float kMaxModuleShare = 2.3f;
constexpr float kModuleStep = 1.1f;
/// The start character's outer edge is looked for this many modules before and after the
/// first dark sample.
constexpr float kStartBefore = 1.5f;
constexpr float kStartAfter = 2;
/// Rounds of halving steps that refine the start character's geometry.
constexpr int kRefineRounds = 5;
/// Sub-sample phases of the character templates.
constexpr int kPhases = 4;
/// How far a character may lie from where the one before puts it, modules: perspective.
constexpr float kMaxDrift = 0.4f;
/// Characters whose best whole-sample places are refined to sub-sample ones.
constexpr int kRefinedCharacters = 3;
/// A character matches when its fit leaves at most kMaxMisfit of the samples' variance and
/// the best other character clearly more (BlurredSymbology::minMargin).
constexpr float kMaxMisfit = 0.25f;
/// The start and stop characters match when their fits leave at most this share of the
/// samples' variance.
constexpr float kMaxAnchorMisfit = 0.1f;
/// Modules moved from one end of the span to the other, in steps of this share of the mean.
constexpr int kModuleShifts = 4;
constexpr float kModuleShiftStep = 0.015f;
/// Rows read, how many must agree, and how many are enough.
constexpr int kMaxRows = 7;
constexpr int kMinRows = 3;
constexpr int kEnoughRows = 5;
constexpr int kMaxCharacters = 48;
/// Wide-to-narrow ratios refined around the best coarse one, in halving steps from this.
constexpr float kWideRefineStep = 0.25f;

/// The light share of samples first .. first + count - 1 when bars (modules from `origin`,
/// `module` samples each) are blurred by a box of `blur` samples and the pixel's own width.
void render(const BlurredSymbology::Edges& edges, int bars, float origin, float module, float blur,
            int first, int count, float* out) {
    const float half = (blur + 1) / 2;
    for (int i = 0; i < count; ++i) {
        const float low = static_cast<float>(first + i) - half;
        const float high = static_cast<float>(first + i) + half;
        float dark = 0;
        for (int b = 0; b < bars; ++b) {
            dark += std::max(0.0f, std::min(high, origin + edges[2 * b + 1] * module) -
                                       std::max(low, origin + edges[2 * b] * module));
        }
        out[i] = 1 - dark / (2 * half);
    }
}

}  // namespace

int wholeModuleBars(const char* elements, float gap, float next, BlurredSymbology::Edges& edges) {
    int count = 0;
    auto add = [&](float begin, float end) {
        edges[2 * count] = begin;
        edges[2 * count + 1] = end;
        ++count;
    };
    float at = 0;
    for (int j = 0; elements[j] != 0; ++j) {
        const float width = static_cast<float>(elements[j] - '0');
        if (j % 2 == 0) {
            add(at, at + width);
        }
        at += width;
    }
    if (next > 0) {
        add(at + gap, at + gap + next);
    }
    return count;
}

void BlurredBarReader::loadRow(int y, bool reversed) {
    const int width = width_;
    profile_.resize(width);
    sums_.assign(width + 1, 0);
    squares_.assign(width + 1, 0);
    for (int x = 0; x < width; ++x) {
        const float along = static_cast<float>((reversed ? width - 1 - x : x) - before_);
        float grey = 0;
        for (const float across : kBandOffsets) {
            const PointF at = map_.toFrame(along, static_cast<float>(y) + across);
            grey += sampleAt(image_, at.x, at.y);
        }
        grey = std::clamp(grey / (255 * kBandOffsets.size()), 0.0f, 1.0f);
        profile_[x] = std::pow(grey, kGamma);
        sums_[x + 1] = sums_[x] + profile_[x];
        squares_[x + 1] = squares_[x] + profile_[x] * profile_[x];
    }
}

float BlurredBarReader::misfit(const float* shape, int first, int count) const {
    const int width = static_cast<int>(profile_.size());
    if (first < 0) {
        shape -= first;
        count += first;
        first = 0;
    }
    count = std::min(count, width - first);
    if (count < 4) {
        return 1;
    }
    double st = 0;
    double stt = 0;
    double sty = 0;
    for (int i = 0; i < count; ++i) {
        st += shape[i];
        stt += shape[i] * shape[i];
        sty += shape[i] * profile_[first + i];
    }
    const double sy = sums_[first + count] - sums_[first];
    const double syy = squares_[first + count] - squares_[first];
    const double n = count;
    const double vt = stt - st * st / n;
    const double vy = syy - sy * sy / n;
    const double cov = sty - st * sy / n;
    if (cov <= 0 || vt <= 1e-9 || vy <= 1e-9) {
        return 1;
    }
    return static_cast<float>(1 - cov * cov / (vt * vy));
}

float BlurredBarReader::startMisfit(int character, const Geometry& geometry, float start) {
    BlurredSymbology::Edges edges{};
    const int bars = symbology_.bars(character, geometry.wide, true, edges);
    const int first = static_cast<int>(std::floor(start - kQuietModules * geometry.module));
    const int last = static_cast<int>(
        std::ceil(start + (symbology_.modules(character, geometry.wide) + 0.5f) * geometry.module));
    shape_.resize(last - first + 1);
    render(edges, bars, start, geometry.module, geometry.blur, first, last - first + 1,
           shape_.data());
    return misfit(shape_.data(), first, last - first + 1);
}

float BlurredBarReader::anchor(int character, bool keepGeometry, Geometry& geometry, float& start) {
    sorted_ = profile_;
    const std::size_t count = sorted_.size();
    std::nth_element(sorted_.begin(), sorted_.begin() + count / 20, sorted_.end());
    const float dark = sorted_[count / 20];
    std::nth_element(sorted_.begin(), sorted_.begin() + count - 1 - count / 20, sorted_.end());
    const float light = sorted_[count - 1 - count / 20];
    const float threshold = light - kEdgeShare * (light - dark);
    // From the row's middle, within the symbol, outwards to the first light as long as a
    // quiet zone: blur may make the region look shorter than its symbol, and the surface
    // beyond the label's edge may be as dark as print.
    const int gap = static_cast<int>(symbology_.quietGap * geometry.module);
    int first = -1;
    int lightRun = 0;
    for (int x = static_cast<int>(profile_.size()) / 2; x >= 0 && lightRun < gap; --x) {
        if (profile_[x] < threshold) {
            first = x;
            lightRun = 0;
        } else {
            ++lightRun;
        }
    }
    if (first < 0 || lightRun < gap) {
        return 1;
    }
    const float firstDark = static_cast<float>(first);
    float best = 1;
    auto tryStart = [&](const Geometry& g, float step) {
        for (float at = firstDark - kStartBefore * g.module;
             at <= firstDark + kStartAfter * g.module; at += step) {
            const float m = startMisfit(character, g, at);
            if (m < best) {
                best = m;
                geometry = g;
                start = at;
            }
        }
    };
    if (keepGeometry) {
        tryStart(geometry, 1.0f / kPhases);
        return best;
    }
    // Whole-sample starts first: one template serves every start.
    const float element = geometry.module;
    BlurredSymbology::Edges edges{};
    for (const float wide : symbology_.wideRatios) {
        const int bars = symbology_.bars(character, wide, true, edges);
        for (float module = kMinModuleShare * element; module <= kMaxModuleShare * element;
             module *= kModuleStep) {
            const int lead = static_cast<int>(std::ceil(kQuietModules * module));
            const int length =
                lead +
                static_cast<int>(std::ceil((symbology_.modules(character, wide) + 0.5f) * module)) +
                1;
            shape_.resize(length);
            const int from = static_cast<int>(std::ceil(firstDark - kStartBefore * module));
            const int to = static_cast<int>(std::floor(firstDark + kStartAfter * module));
            for (const float blur : kBlurModules) {
                render(edges, bars, static_cast<float>(lead), module, blur * module, 0, length,
                       shape_.data());
                for (int at = from; at <= to; ++at) {
                    const float m = misfit(shape_.data(), at - lead, length);
                    if (m < best) {
                        best = m;
                        geometry = {module, wide, blur * module};
                        start = static_cast<float>(at);
                    }
                }
            }
        }
    }
    // Halving steps around the best coarse match.
    float moduleStep = (kModuleStep - 1) / 2;
    const bool refineWide = symbology_.wideRatios.size() > 1;
    float wideStep = refineWide ? kWideRefineStep : 0;
    float blurStep = 0.5f;
    float startStep = 0.5f;
    for (int round = 0; round < kRefineRounds; ++round) {
        const Geometry centre = geometry;
        const float at = start;
        for (const float ds : {-startStep, 0.0f, startStep}) {
            for (const float dm : {-moduleStep, 0.0f, moduleStep}) {
                for (int w = refineWide ? -1 : 0; w <= (refineWide ? 1 : 0); ++w) {
                    const float dw = static_cast<float>(w) * wideStep;
                    for (const float db : {-blurStep, 0.0f, blurStep}) {
                        const float module = centre.module * (1 + dm);
                        const Geometry g{module, centre.wide + dw,
                                         std::max(0.0f, centre.blur + db * module)};
                        const float m = startMisfit(character, g, at + ds);
                        if (m < best) {
                            best = m;
                            geometry = g;
                            start = at + ds;
                        }
                    }
                }
            }
        }
        moduleStep /= 2;
        wideStep /= 2;
        blurStep /= 2;
        startStep /= 2;
    }
    return best;
}

void BlurredBarReader::prepareTemplates(const Geometry& geometry) {
    const float module = geometry.module;
    geometry_ = geometry;
    float modules = symbology_.modules(symbology_.stop, geometry.wide) + symbology_.stopQuiet;
    for (int c = 0; c < symbology_.characters; ++c) {
        modules = std::max(modules, symbology_.modules(c, geometry.wide));
    }
    lead_ = static_cast<int>(std::ceil((0.5f + kMaxDrift) * module)) + 1;
    length_ = lead_ + static_cast<int>(std::ceil((modules + 0.5f) * module)) + 2;
    // The match covers half a module either side of the character.
    skip_ = lead_ - static_cast<int>(std::floor(0.5f * module));
    templates_.resize(static_cast<std::size_t>(kPhases) * symbology_.characters * length_);
    BlurredSymbology::Edges edges{};
    for (int phase = 0; phase < kPhases; ++phase) {
        for (int c = 0; c < symbology_.characters; ++c) {
            const int bars = symbology_.bars(c, geometry.wide, false, edges);
            render(edges, bars, static_cast<float>(lead_) + static_cast<float>(phase) / kPhases,
                   module, geometry.blur, 0, length_, characterTemplate(c, phase));
        }
    }
}

float* BlurredBarReader::characterTemplate(int character, int phase) {
    return templates_.data() +
           (static_cast<std::size_t>(phase) * symbology_.characters + character) * length_;
}

float BlurredBarReader::characterMisfit(int character, float at) {
    const int whole = static_cast<int>(std::floor(at));
    int phase = static_cast<int>(std::lround((at - static_cast<float>(whole)) * kPhases));
    const int first = whole - lead_ + phase / kPhases;
    phase %= kPhases;
    // The match covers half a module either side of the character.
    const float quiet = character == symbology_.stop ? symbology_.stopQuiet : 0;
    const int end =
        lead_ +
        static_cast<int>(std::ceil((symbology_.modules(character, geometry_.wide) + quiet + 0.5f) *
                                   geometry_.module));
    if (first < 0 || first + end > static_cast<int>(profile_.size())) {
        return 1;
    }
    return misfit(characterTemplate(character, phase) + skip_, first + skip_, end - skip_);
}

bool BlurredBarReader::decode(const Geometry& geometry, float start, RowText& row) {
    const float module = geometry.module;
    const float stopModules = symbology_.modules(symbology_.stop, geometry.wide);
    row.text.clear();
    row.begin = start;
    float expected = start + symbology_.advance(startCharacter_, geometry.wide) * module;
    misfits_.resize(symbology_.characters);
    places_.resize(symbology_.characters);
    order_.resize(symbology_.characters);
    std::vector<float>& misfits = misfits_;
    std::vector<float>& places = places_;
    std::vector<int>& order = order_;
    for (int slot = 0; slot < kMaxCharacters; ++slot) {
        if (expected + (stopModules + 1) * module >= static_cast<float>(profile_.size())) {
            return false;
        }
        // Whole-sample places first, then sub-sample ones for the best few characters.
        const int low = static_cast<int>(std::ceil(expected - kMaxDrift * module));
        const int high = std::max(low, static_cast<int>(std::floor(expected + kMaxDrift * module)));
        for (int c = 0; c < symbology_.characters; ++c) {
            misfits[c] = 2;
            for (int at = low; at <= high; ++at) {
                const float m = characterMisfit(c, static_cast<float>(at));
                if (m < misfits[c]) {
                    misfits[c] = m;
                    places[c] = static_cast<float>(at);
                }
            }
            order[c] = c;
        }
        std::partial_sort(order.begin(), order.begin() + kRefinedCharacters, order.end(),
                          [&](int a, int b) { return misfits[a] < misfits[b]; });
        for (int k = 0; k < kRefinedCharacters; ++k) {
            const int c = order[k];
            const float centre = places[c];
            for (int step = -kPhases + 1; step < kPhases; ++step) {
                const float at = centre + static_cast<float>(step) / kPhases;
                const float m = characterMisfit(c, at);
                if (m < misfits[c]) {
                    misfits[c] = m;
                    places[c] = at;
                }
            }
        }
        const int bestCharacter =
            static_cast<int>(std::min_element(misfits.begin(), misfits.end()) - misfits.begin());
        const float best = misfits[bestCharacter];
        float second = 1;
        for (int c = 0; c < symbology_.characters; ++c) {
            if (c != bestCharacter) {
                second = std::min(second, misfits[c]);
            }
        }
        if (best > kMaxMisfit || second < symbology_.minMargin * best) {
            return false;
        }
        if (bestCharacter == symbology_.stop) {
            row.end = places[bestCharacter] + stopModules * module;
            return !row.text.empty();
        }
        if (bestCharacter >= symbology_.firstOutside) {
            return false;
        }
        row.text.push_back(static_cast<char>(bestCharacter));
        expected =
            places[bestCharacter] + symbology_.advance(bestCharacter, geometry.wide) * module;
    }
    return false;
}

bool BlurredBarReader::fitSpan(int y, bool reversed, float start, float end, const Geometry& left,
                               const Geometry& right) {
    const float modules = 2 * (end - start) / (left.module + right.module);
    spans_.clear();
    for (float wide = symbology_.minWide; wide <= symbology_.maxWide; wide += symbology_.wideStep) {
        // The character count whose symbol is nearest the span in length, and the counts a
        // symbol may have next to it.
        counts_.clear();
        std::size_t nearest = 0;
        for (int count = symbology_.minCharacters; count <= kMaxCharacters; ++count) {
            const float total = symbology_.span(count, wide);
            if (total <= 0) {
                continue;
            }
            if (!counts_.empty() &&
                std::fabs(total - modules) <
                    std::fabs(symbology_.span(counts_[nearest], wide) - modules)) {
                nearest = counts_.size();
            }
            counts_.push_back(count);
        }
        for (std::size_t k = nearest > 0 ? nearest - 1 : 0; k < counts_.size() && k <= nearest + 1;
             ++k) {
            const int count = counts_[k];
            if (expectedCharacters_ != 0 && count != expectedCharacters_) {
                continue;
            }
            const float total = symbology_.span(count, wide);
            const float scale = modules / total;
            if (std::fabs(scale - 1) > symbology_.moduleMismatch) {
                continue;
            }
            // The ends' own modules are rough: the share of the span each takes is tried too.
            const float mean = (left.module + right.module) * scale / 2;
            for (int k = -kModuleShifts; k <= kModuleShifts; ++k) {
                const float shift = static_cast<float>(k) * kModuleShiftStep * mean;
                for (const float blur : symbology_.spanBlurs) {
                    spans_.push_back({start, left.module * scale + shift,
                                      right.module * scale - shift, total, wide, blur, count, 0});
                }
            }
        }
    }
    loadRow(y, reversed);
    for (Span& candidate : spans_) {
        candidate.misfit = startMisfit(
            startCharacter_, {candidate.first, candidate.wide, left.blur * candidate.blur}, start);
    }
    loadRow(y, !reversed);
    const float stopAt = static_cast<float>(width_ - 1) - end;
    float best = 2 * kMaxAnchorMisfit;
    span_.characters = 0;
    for (Span& candidate : spans_) {
        candidate.misfit +=
            startMisfit(symbology_.mirroredStop,
                        {candidate.last, candidate.wide, right.blur * candidate.blur}, stopAt);
        if (candidate.misfit < best) {
            best = candidate.misfit;
            span_ = candidate;
        }
    }
    span_.blur *= (left.blur + right.blur) / 2;
    return span_.characters > 0;
}

float BlurredBarReader::spanX(float t) const {
    const float growth = (span_.last - span_.first) / span_.modules;
    return span_.start + span_.first * t + growth * t * t / 2;
}

void BlurredBarReader::straighten() {
    raw_ = profile_;
    const float module = (span_.first + span_.last) / 2;
    const int count = static_cast<int>((span_.modules + 2 * kQuietModules + 2) * module);
    const int last = static_cast<int>(raw_.size()) - 1;
    profile_.resize(count);
    sums_.assign(count + 1, 0);
    squares_.assign(count + 1, 0);
    for (int j = 0; j < count; ++j) {
        const float x = std::clamp(spanX(static_cast<float>(j) / module - kQuietModules - 1), 0.0f,
                                   static_cast<float>(last));
        const int left = std::min(static_cast<int>(x), std::max(last - 1, 0));
        const int right = std::min(left + 1, last);
        const float v = raw_[left] + (x - static_cast<float>(left)) * (raw_[right] - raw_[left]);
        profile_[j] = v;
        sums_[j + 1] = sums_[j] + v;
        squares_[j + 1] = squares_[j] + v * v;
    }
}

void BlurredBarReader::read(const GreyView& image, const CropMap& map, int length, int count,
                            float element, std::uint32_t formats, const Deadline& deadline,
                            std::vector<engine::Read>& reads) {
    if (count == 0 || length < 2 || element <= 0) {
        return;
    }
    image_ = image;
    map_ = map;
    before_ = static_cast<int>(kExtensionShare * static_cast<float>(length));
    after_ = before_;
    // Blur may split a symbol into regions, each short of the other end: the rows are read
    // once more reaching as far as the longest symbol runs from the start character found.
    const float missing = readRows(length, count, element, formats, deadline, reads);
    if (missing != 0 && !deadline.passed()) {
        (missing > 0 ? after_ : before_) += static_cast<int>(std::ceil(std::fabs(missing)));
        readRows(length, count, element, formats, deadline, reads);
    }
}

float BlurredBarReader::readRows(int length, int count, float element, std::uint32_t formats,
                                 const Deadline& deadline, std::vector<engine::Read>& reads) {
    width_ = length + before_ + after_;
    const int width = width_;
    // The middle row tells which way the symbol runs and its geometry: the start character
    // before its first bar and the stop character after its last.
    const int middle = count / 2;
    Geometry left;
    float start = 0;
    bool reversed = false;
    float best = kMaxAnchorMisfit;
    for (const bool backwards : {false, true}) {
        if (deadline.passed()) {
            return 0;
        }
        loadRow(middle, backwards);
        for (const int character : symbology_.starts) {
            Geometry g{element, 0, 0};
            float at = 0;
            const float m = anchor(character, false, g, at);
            if (m < best) {
                best = m;
                left = g;
                start = at;
                reversed = backwards;
                startCharacter_ = character;
            }
        }
    }
    if (best >= kMaxAnchorMisfit || deadline.passed()) {
        return 0;
    }
    loadRow(middle, !reversed);
    Geometry right{element, 0, 0};
    float stopAt = 0;
    if (anchor(symbology_.mirroredStop, false, right, stopAt) >= kMaxAnchorMisfit ||
        deadline.passed()) {
        // Samples the row lacks for the longest symbol after the start character, signed
        // towards the region's end.
        const float missing = (symbology_.maxSpan + kQuietModules) * left.module * kReachSlack -
                              (static_cast<float>(width - 1) - start);
        return symbology_.maxSpan > 0 && missing > 0 ? (reversed ? -missing : missing) : 0;
    }
    if (!fitSpan(middle, reversed, start, static_cast<float>(width - 1) - stopAt, left, right) ||
        deadline.passed()) {
        return 0;
    }
    const int characters = span_.characters;
    // Rows are read straightened so that every module is as wide.
    const float module = (span_.first + span_.last) / 2;
    const Geometry geometry{module, span_.wide, span_.blur};
    prepareTemplates(geometry);
    const int used = std::min(count, kMaxRows);
    RowText agreed;
    int agreeing = 0;
    float firstRow = 0;
    float lastRow = 0;
    RowText row;
    for (int k = 0; k < used && agreeing < kEnoughRows; ++k) {
        if (deadline.passed()) {
            return 0;
        }
        // The middle row first, then outwards alternately.
        const int offset = (k % 2 == 0 ? 1 : -1) * ((k + 1) / 2);
        const int y = middle + offset * count / (used + 1);
        if (y < 0 || y >= count) {
            continue;
        }
        loadRow(y, reversed);
        Geometry g{span_.first, span_.wide, span_.blur};
        float at = start;
        if (anchor(startCharacter_, true, g, at) >= kMaxAnchorMisfit) {
            continue;
        }
        span_.start = at;
        straighten();
        const float straightStart = (kQuietModules + 1) * module;
        if (!decode(geometry, straightStart, row) ||
            static_cast<int>(row.text.size()) != characters - 2 ||
            !symbology_.checked(startCharacter_, row.text)) {
            continue;
        }
        // The smear carries the print half its length past the outer bars' edges.
        row.begin = spanX(row.begin / module - kQuietModules - 1) - span_.blur / 2;
        row.end = spanX(row.end / module - kQuietModules - 1) + span_.blur / 2;
        if (agreeing == 0) {
            agreed = row;
            firstRow = static_cast<float>(y);
        } else if (row.text != agreed.text) {
            return 0;
        }
        lastRow = static_cast<float>(y);
        ++agreeing;
    }
    if (agreeing < kMinRows) {
        return 0;
    }
    auto frameX = [&](float x) {
        return (reversed ? static_cast<float>(width - 1) - x : x) - static_cast<float>(before_);
    };
    const float begin = frameX(agreed.begin);
    const float end = frameX(agreed.end);
    engine::Read read;
    read.format = symbology_.toBytes(startCharacter_, agreed.text, formats, read.bytes);
    if (read.format == 0) {
        return 0;
    }
    read.where = {map_.toFrame(begin, firstRow), map_.toFrame(end, firstRow),
                  map_.toFrame(end, lastRow), map_.toFrame(begin, lastRow)};
    read.lines = agreeing;
    reads.push_back(std::move(read));
    return 0;
}

}  // namespace telo::engine
