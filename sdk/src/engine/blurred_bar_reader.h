// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_BAR_READER_H
#define TELO_ENGINE_BLURRED_BAR_READER_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/crop_map.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/read_arbiter.h"

namespace telo::engine {

/// What BlurredBarReader needs of a symbology. Characters are numbered from 0; a row's text
/// holds their numbers, start and stop characters left out.
struct BlurredSymbology {
    /// Bars of a character and of those next to it, as begin and end in modules.
    static constexpr int kMaxBars = 7;
    using Edges = std::array<float, 2 * kMaxBars>;

    /// Characters matched along a row: the stop character is one of them, and those from
    /// `firstOutside` on do not occur inside a symbol.
    int characters = 0;
    int stop = 0;
    /// Light after the stop character matched with it, modules: where its bars are few.
    float stopQuiet = 0;
    /// Fitting one geometry to both ends: how far the module may differ from what the ends
    /// alone gave; more where the ends' characters are too short to tell module from smear.
    float moduleMismatch = 0.1f;
    /// Shares of the smear the ends gave that are tried with the module fitted to the span.
    std::vector<float> spanBlurs = {1};
    /// Light that parts other print from a symbol's first bar, modules: less than its quiet
    /// zone, more than any space inside it.
    float quietGap = 6;
    int firstOutside = 0;
    /// The character whose bars are the stop character's read backwards, a number bars() takes.
    int mirroredStop = 0;
    std::vector<int> starts;
    /// Modules from the first bar to the last of the longest symbol; 0 where length is free.
    float maxSpan = 0;
    /// Characters of the shortest symbol, start and stop included.
    int minCharacters = 0;
    /// How many times the best character's misfit the next best must leave: lower where a
    /// symbol's structure and check catch what a close match gets wrong.
    float minMargin = 3;
    /// Wide-to-narrow ratios tried for a start character, and those fitted to a whole span,
    /// from `minWide` to `maxWide` in steps of `wideStep`; a single 0 where elements are whole
    /// modules.
    std::vector<float> wideRatios;
    float minWide = 0;
    float maxWide = 0;
    float wideStep = 1;
    /// Modules of character `c`, and from its start to the next character's.
    float (*modules)(int c, float wide) = nullptr;
    float (*advance)(int c, float wide) = nullptr;
    /// Modules from a symbol's first bar to its last when it has `characters` characters,
    /// start and stop included; 0 when no symbol has that many.
    float (*span)(int characters, float wide) = nullptr;
    /// The bars of character `c` (and of those next to it: none before it when
    /// `quietBefore`) as begin and end in modules from its start; their count.
    int (*bars)(int c, float wide, bool quietBefore, Edges& edges) = nullptr;
    /// Whether a row's text after start character `start` holds, its check character if any.
    bool (*checked)(int start, const std::string& text) = nullptr;
    /// The format and bytes of an agreed text among `formats`; 0 when the reader leaves the
    /// symbol to others.
    std::uint32_t (*toBytes)(int start, const std::string& text, std::uint32_t formats,
                             std::vector<std::uint8_t>& bytes) = nullptr;
};

/// The bars of `elements`, whole-module widths as digits from a bar on, as begin and end in
/// modules from their start, then one bar `next` modules wide `gap` modules after them unless
/// `next` is 0; their count.
int wholeModuleBars(const char* elements, float gap, float next, BlurredSymbology::Edges& edges);

/// Reads a symbology of BlurredSymbology from rows whose bars a moving hand or a lens has
/// smeared so far that runs of narrow elements are left as shallow ripples no edge finder
/// splits. Each character's grey profile in linear light, its bars blurred by a box as long as
/// the smear, is matched against the row. A start character with the quiet zone before it,
/// and the stop character with the one after it, give the module at each end (perspective),
/// the wide-to-narrow ratio and the smear's length, fitted so that a whole number of
/// characters fills the span; the row, straightened to an even module, is then read character
/// by character, each the best match near where the one before puts it. A row counts only
/// where every character matches closely and clearly better than any other, the stop character
/// ends the span and the symbology's check holds; the rows that agree add up to one read.
class BlurredBarReader {
public:
    explicit BlurredBarReader(const BlurredSymbology& symbology) : symbology_(symbology) {}

    /// Reads `count` rows of `length` samples along a bar region of `image`, crop pixel (x, y)
    /// at frame point map.toFrame(x, y) (RegionSampler::sampleBarRows), whose narrow elements
    /// are about `element` samples wide; appends a read of one of `formats` when enough rows
    /// agree and none reads another text. Stops early at `deadline`.
    void read(const GreyView& image, const CropMap& map, int length, int count, float element,
              std::uint32_t formats, const Deadline& deadline, std::vector<engine::Read>& reads);

    /// Reads of later calls must have `count` characters, start and stop included; 0 lets the
    /// span tell.
    void expectCharacters(int count) { expectedCharacters_ = count; }

private:
    /// Module width and wide-to-narrow ratio of a symbol, and the length of the box its bars
    /// are blurred by, samples.
    struct Geometry {
        float module = 0;
        float wide = 0;
        float blur = 0;
    };
    /// What one row gave: its text, and where the outer edges of its first and last bars lie.
    struct RowText {
        std::string text;
        float begin = 0;
        float end = 0;
    };

    /// Reads the rows reaching before_ and after_ beyond the region (read()). When a start
    /// character is found but no stop character, the samples the rows lack for the longest
    /// symbol, negative before the region's start; 0 otherwise.
    float readRows(int length, int count, float element, std::uint32_t formats,
                   const Deadline& deadline, std::vector<engine::Read>& reads);
    /// Fills profile_ with row `y` in linear light, reversed when `reversed`.
    void loadRow(int y, bool reversed);
    /// Finds `character` (the start character, or the stop character read backwards) near the
    /// row's first dark sample: its outer edge and, unless `keepGeometry`, the geometry; the
    /// misfit of the best match.
    float anchor(int character, bool keepGeometry, Geometry& geometry, float& start);
    /// The misfit of `character` at `start` with quiet zone before it, under `geometry`.
    float startMisfit(int character, const Geometry& geometry, float start);
    /// Fits span_ to both ends of row `y`, whose start and stop characters lie at `start` and
    /// `end` with the geometries `left` and `right`: the module at each end (perspective), so
    /// that a whole number of characters fills the span, and the ratio. False when none fits.
    bool fitSpan(int y, bool reversed, float start, float end, const Geometry& left,
                 const Geometry& right);
    /// Where the symbol of span_ has run `t` modules, samples along the row.
    float spanX(float t) const;
    /// Resamples the profile along span_ so that every module is as wide, with quiet zones.
    void straighten();
    /// Renders every character's template at each sub-sample phase for `geometry`.
    void prepareTemplates(const Geometry& geometry);
    float* characterTemplate(int character, int phase);
    /// The misfit of `character` starting at `at`.
    float characterMisfit(int character, float at);
    /// Reads the characters from the start character at `start` to the stop character.
    bool decode(const Geometry& geometry, float start, RowText& row);
    /// 1 - r^2 of the best linear fit of the template over samples [first, first + count) of
    /// the profile; 1 when the fit would turn light into dark.
    float misfit(const float* shape, int first, int count) const;

    /// A symbol whose module grows evenly from `first` at its start to `last` at its end
    /// (perspective), samples; its modules, smear (a share of the ends' until fitted) and
    /// characters in all, and the misfit of its ends.
    struct Span {
        float start;
        float first;
        float last;
        float modules;
        float wide;
        float blur;
        int characters;
        float misfit;
    };

    GreyView image_;
    CropMap map_;
    /// Samples of a row, of them before the region's start and after its end.
    int width_ = 0;
    int before_ = 0;
    int after_ = 0;
    std::vector<Span> spans_;
    std::vector<int> counts_;
    Span span_{};
    std::vector<float> raw_;
    std::vector<float> profile_;
    std::vector<double> sums_;
    std::vector<double> squares_;
    std::vector<float> shape_;
    /// Templates of every character at each sub-sample phase, one after another.
    std::vector<float> templates_;
    /// Samples of each template, of them before the character's start, and of them before
    /// the part that is matched.
    int length_ = 0;
    int lead_ = 0;
    int skip_ = 0;
    std::vector<float> sorted_;
    std::vector<float> misfits_;
    std::vector<float> places_;
    std::vector<int> order_;
    const BlurredSymbology& symbology_;
    /// The start character of the symbol being read, and the geometry of the templates.
    int startCharacter_ = 0;
    Geometry geometry_;
    int expectedCharacters_ = 0;
};

}  // namespace telo::engine

#endif
