// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_DECODE_PIPELINE_H
#define TELO_ENGINE_DECODE_PIPELINE_H

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/aztec_redrawer.h"
#include "engine/barcode_format.h"
#include "engine/blurred_code128_reader.h"
#include "engine/blurred_code39_reader.h"
#include "engine/blurred_code93_reader.h"
#include "engine/blurred_ean_reader.h"
#include "engine/blurred_itf_reader.h"
#include "engine/code_region_finder.h"
#include "engine/datamatrix_redrawer.h"
#include "engine/deadline.h"
#include "engine/even_module_rows.h"
#include "engine/grey_view.h"
#include "engine/motion_deblur.h"
#include "engine/pdf417_outline.h"
#include "engine/qr_redrawer.h"
#include "engine/read_arbiter.h"
#include "engine/region_sampler.h"
#include "engine/result_list.h"
#include "engine/symbol_rectifier.h"
#include "engine/template_settings.h"
#include "engine/two_of_five_reader.h"
#include "engine/whole_symbol_check.h"
#include "engine/zxing_reader.h"

namespace telo::engine {

/// One decode: passes over an image, cheapest first, until enough reads are settled or the
/// template's time-out is spent. Loops check the time-out as they go, and a ZXing call, which
/// cannot be interrupted, starts only when its cost, reckoned from the image's size, still
/// fits.
///
/// 1. ZXing over the whole frame: matrix codes at any turn, then a quick look for level bars.
/// 2. Each region that looks like a code (RegionSampler::examine), strongest first, any
///    longer and taller than the frame's short side last: bar regions
///    as averaged rows along the code (ZXing and the Industrial 2 of 5 reader), plain, sharpened
///    and deblurred, the first two also resampled to an even module (EvenModuleRows), then
///    Code 39, Code 128, Code 93, EAN/UPC-A and Interleaved 2 of 5 smeared past what they read
///    (BlurredCode39Reader, BlurredCode128Reader, BlurredCode93Reader, BlurredEanReader,
///    BlurredItfReader; not where rows look stacked), and PDF417
///    upright and square-on; matrix regions upright and square-on
///    (SymbolRectifier), the square-on view also sharpened and freed of a smear (MotionDeblur),
///    light-on-dark ones inverted, Aztec, Data Matrix and QR Code also redrawn (AztecRedrawer,
///    DataMatrixRedrawer, QrRedrawer).
/// 3. Light-on-dark matrix codes over the whole frame, and Industrial 2 of 5 along lines at
///    several angles when a region looked like bars.
///
/// Reads of symbologies without a check character count only where the frame shows their
/// whole symbol (WholeSymbolCheck); reads that disagree about one place cancel out
/// (ReadArbiter).
class DecodePipeline {
public:
    void run(const GreyView& image, const TemplateSettings& settings, ResultList& results);

private:
    /// One decode's settings and progress.
    struct Pass {
        const GreyView& image;
        const TemplateSettings& settings;
        const Deadline& deadline;
        int wanted;
    };

    bool done(const Pass& pass) const;
    /// How much longer than its processor time this decode has taken so far: 1 on an idle
    /// machine, more on one busy with other work.
    double busyStretch() const;
    /// readWithZXing into reads_ when its cost still fits before the deadline.
    void readZXing(const Pass& pass, const GreyView& view, std::uint32_t formats, ZXingPass kind,
                   const CropMap& map);
    /// Moves reads_ into the arbiter, less those whose whole symbol the frame does not show.
    void file(const Pass& pass);
    /// For a read without a check character: the lines across the whole height of its bars
    /// that agree on its text, when there are quiet zones along its bars and enough lines
    /// agree; 0 otherwise.
    int wholeSymbolLines(const Pass& pass, const Read& read);
    void readBarRegion(const Pass& pass, const CodeRegion& region);
    /// Bar rows of a curved or steeply tilted label, resampled to an even module, into reads_.
    void readEvenModuleRows(const Pass& pass, const GreyView& rows, const CropMap& rowsMap);
    /// A bar region with PDF417's guard bar: square-on where its guard patterns outline it,
    /// upright, and square-on again.
    void readPdf417(const Pass& pass, const CodeRegion& region, const RegionLook& look);
    /// A PDF417 symbol outlined in an upright crop that `map` places in the frame, square-on,
    /// scaled to the print within `envelopeModules` of each pixel.
    void readPdf417Outline(const Pass& pass, Pdf417Outline outline, const CropMap& map,
                           float envelopeModules);
    /// A region whose crop shows a side of a PDF417 symbol, square-on where a crop reaching
    /// beyond its ends outlines the symbol.
    void readPdf417Reaching(const Pass& pass, const CodeRegion& region, const RegionLook& look);
    void readMatrixRegion(const Pass& pass, const CodeRegion& region);
    /// Reads the symbol in an upright `crop` (dark on light) once more, square-on
    /// (SymbolRectifier) within `outline`; `inverted` when the frame shows it light on dark.
    /// True when the view shows an Aztec symbol that nothing read.
    bool readRectified(const Pass& pass, const GreyView& crop, const CropMap& map, float module,
                       bool inverted, std::uint32_t formats, SymbolRectifier::Outline outline);
    /// Reads what `redrawer` (DataMatrixRedrawer, QrRedrawer) redraws as `format` from the first
    /// of `sources` (square-on views with modules of about `module` pixels) whose drawings read.
    template <typename Redrawer>
    void readRedrawn(const Pass& pass, Redrawer& redrawer, std::uint32_t format,
                     std::initializer_list<GreyView> sources, float module);
    void readInvertedFrame(const Pass& pass);

    ReadArbiter arbiter_;
    std::vector<Read> reads_;
    std::vector<Read> checkReads_;
    WholeSymbolCheck wholeSymbol_;
    TwoOfFiveReader industrial25_{kFormatIndustrial25};
    TwoOfFiveReader itf_{kFormatItf};
    BlurredCode39Reader blurredCode39_;
    BlurredCode128Reader blurredCode128_;
    BlurredCode93Reader blurredCode93_;
    BlurredEanReader blurredEan_;
    BlurredItfReader blurredItf_;
    CodeRegionFinder regionFinder_;
    RegionSampler sampler_;
    SymbolRectifier rectifier_;
    AztecRedrawer aztecRedrawer_;
    DataMatrixRedrawer dataMatrixRedrawer_;
    QrRedrawer qrRedrawer_;
    MotionDeblur motionDeblur_;
    EvenModuleRows evenModuleRows_;
    Pdf417OutlineFinder pdf417Outline_;
    std::vector<CodeRegion> regions_;
    std::vector<std::uint8_t> inverted_;
    /// A bar region of this decode looked like a code.
    bool barsSeen_ = false;
    /// When this decode started, by the clock and in the calling thread's processor time.
    std::chrono::steady_clock::time_point startedAt_;
    double startedCpuMs_ = 0;
};

}  // namespace telo::engine

#endif
