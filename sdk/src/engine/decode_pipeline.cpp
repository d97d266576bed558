// SPDX-License-Identifier: MIT
#include "engine/decode_pipeline.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// Regions tried per decode, most prominent first.
constexpr int kMaxRegions = 8;
/// Cost of a ZXing call, milliseconds: a fixed part and a part per pixel, with room for a busy
/// machine (a 640 x 480 frame comes to about 10 ms).
constexpr double kZXingCallMs = 1;
constexpr double kZXingMsPerPixel = 3e-5;
/// Time a decode has run before its share of the processor is judged, milliseconds.
constexpr double kMinStretchBasisMs = 5;
/// ZXing's PDF417 decoder costs several times as much per pixel: a 440 x 600 view takes 35 ms.
constexpr double kZXingPdf417MsPerPixel = 1.5e-4;
/// Elements of upright crops are enlarged to at least these sizes, pixels: ZXing's PDF417 rows
/// and its matrix detectors lose smaller ones.
constexpr float kMinPdf417Narrow = 2.5f;
constexpr float kMinMatrixModule = 6;
/// Bounds on the pixels of upright crops: a PDF417 symbol has many more modules along its rows
/// than a matrix symbol of the same area, and ZXing's PDF417 rows need them whole.
constexpr float kMaxPdf417Pixels = 512 * 512;
constexpr float kMaxMatrixPixels = 400 * 400;
/// Modules of square-on views, pixels: ZXing's Aztec detector loses modules under about eight
/// pixels; its other detectors read four-pixel modules, and sooner.
constexpr float kRectifiedAztecModule = 8;
constexpr float kRectifiedModule = 4;
/// Square-on PDF417 views are half as tall as square modules would make them: its rows are at
/// least three modules tall, and ZXing's PDF417 reader, whose cost grows with the view's rows,
/// reads them as well at half the height in half the time.
constexpr float kPdf417HeightShare = 0.5f;
/// Cost of making a square-on view, milliseconds per pixel.
constexpr double kRectifyMsPerPixel = 5e-5;
/// Square-on PDF417 views are scaled to the print within this many modules of each pixel:
/// first the whole symbol, which ZXing's own local threshold splits best, then a few modules,
/// against glare (the guard patterns' wide bars may turn hollow).
constexpr float kPdf417WholeEnvelope = 1000;
constexpr float kPdf417GlareEnvelope = 3;
/// Modules a PDF417 crop reaches beyond the ends of a matrix region, whose blob of cells may
/// stop inside a guard pattern or short of it: a pattern and a row indicator, and room for
/// perspective and a short estimate.
constexpr float kPdf417ReachModules = 40;
/// Length of the smear a moving hand leaves that square-on views are deblurred for, modules.
constexpr float kSmearModules = 2;
/// Lines across the bars of an unchecked read: at least kMinAgreeingLines must give its text
/// and none another. Blur and noise leave some lines unread, but a piece of a symbol is read
/// where a highlight or smudge crosses the bars and the whole symbol elsewhere.
constexpr int kAgreementLines = 7;
constexpr int kMinAgreeingLines = 2;

constexpr std::uint32_t kMatrixFormats = kFormatQrCode | kFormatDataMatrix | kFormatAztec;
/// Symbologies whose reads carry no check character and whose length varies.
constexpr std::uint32_t kUncheckedFormats =
    kFormatItf | kFormatCode39 | kFormatCodabar | kFormatIndustrial25;
/// Those of them whose start and stop characters occur nowhere else in a symbol.
constexpr std::uint32_t kFramedFormats = kFormatCode39 | kFormatCodabar;
/// Bar codes whose rows may be resampled to an even module: a check character, or start and
/// stop characters that no piece of a symbol ends in, keep a resampled row from reading wrong.
constexpr std::uint32_t kCheckedBarFormats =
    kFormatEan13 | kFormatEan8 | kFormatUpcA | kFormatUpcE | kFormatCode128 | kFormatCode39;

/// Crop pixels per module, from the module in frame pixels and the crop's map.
float cropModule(float frameModule, const CropMap& map) {
    return frameModule / std::hypot(map.column.x, map.column.y);
}

/// Processor time the calling thread has used, milliseconds. The thread's own clock, not the
/// process's: other threads of the caller (capture, the application) must not count as this
/// decode's share of the processor.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e3 * static_cast<double>(now.tv_sec) + 1e-6 * static_cast<double>(now.tv_nsec);
}

}  // namespace

double DecodePipeline::busyStretch() const {
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - startedAt_)
            .count();
    const double cpuMs = threadCpuMs() - startedCpuMs_;
    if (elapsedMs < kMinStretchBasisMs || cpuMs <= 0) {
        return 1;
    }
    return std::max(1.0, elapsedMs / cpuMs);
}

bool DecodePipeline::done(const Pass& pass) const {
    return arbiter_.settled(pass.settings.reader.minLineCount) >= pass.wanted ||
           pass.deadline.passed();
}

void DecodePipeline::readZXing(const Pass& pass, const GreyView& view, std::uint32_t formats,
                               ZXingPass kind, const CropMap& map) {
    // A PDF417 call runs long enough that a machine busy with other work carries it well past
    // the deadline: its cost is stretched as far as this decode's share of the processor.
    const bool pdf417 = formats == kFormatPdf417;
    const double perPixel = pdf417 ? kZXingPdf417MsPerPixel : kZXingMsPerPixel;
    const double cost =
        (kZXingCallMs + perPixel * view.width * view.height) * (pdf417 ? busyStretch() : 1.0);
    if (view.data != nullptr && pass.deadline.allows(cost)) {
        readWithZXing(view, formats, kind, map, reads_);
    }
}

int DecodePipeline::wholeSymbolLines(const Pass& pass, const Read& read) {
    const PointF start{(read.where[0].x + read.where[3].x) / 2,
                       (read.where[0].y + read.where[3].y) / 2};
    const PointF end{(read.where[1].x + read.where[2].x) / 2,
                     (read.where[1].y + read.where[2].y) / 2};
    SymbolSpan span;
    const bool framed = (read.format & kFramedFormats) != 0;
    const bool narrowSpaces = read.format == kFormatIndustrial25;
    if (!wholeSymbol_.holds(pass.image, start, end, framed, narrowSpaces, pass.deadline, span)) {
        return 0;
    }
    // The lines are read plain, then sharpened and deblurred as the rows of a region were,
    // until enough agree; any line reading another text ends the check.
    if (!wholeSymbol_.sampleLinesAcross(pass.image, span, kAgreementLines, pass.deadline)) {
        return 0;
    }
    // A framed read ends in start and stop characters that no piece ends in, so the rows of
    // its region that gave it count too.
    int agreeing = framed ? read.lines : 0;
    using Filter = BarRowBuilder::Filter;
    for (const Filter filter : {Filter::kPlain, Filter::kSharpened, Filter::kDeblurred}) {
        const GreyView lines = wholeSymbol_.linesAcross(filter, pass.deadline);
        if (lines.data == nullptr) {
            return 0;
        }
        checkReads_.clear();
        if (read.format == kFormatIndustrial25) {
            industrial25_.read(lines, TwoOfFiveReader::Scan::kRows, pass.settings.reader,
                               pass.deadline, CropMap{}, checkReads_);
        } else {
            readWithZXing(lines, read.format, ZXingPass::kBarRows, CropMap{}, checkReads_);
        }
        // ZXing asks of Interleaved 2 of 5 a wider margin than labels often leave.
        if (read.format == kFormatItf) {
            itf_.read(lines, TwoOfFiveReader::Scan::kRows, pass.settings.reader, pass.deadline,
                      CropMap{}, checkReads_);
        }
        for (const engine::Read& other : checkReads_) {
            if (other.format != read.format || other.bytes != read.bytes) {
                return 0;
            }
            agreeing += other.lines;
        }
        if (agreeing >= kMinAgreeingLines) {
            return agreeing;
        }
    }
    // Bars smeared past what the lines' edges split: their rows are read as the region's were.
    if (read.format == kFormatItf) {
        int length = 0;
        int count = 0;
        const CropMap rows = WholeSymbolCheck::rowsAcross(span, length, count);
        const int digits = static_cast<int>(read.bytes.size());
        checkReads_.clear();
        blurredItf_.expectDigits(digits);
        blurredItf_.read(pass.image, rows, length, count, span.narrow, kFormatItf, pass.deadline,
                         checkReads_);
        blurredItf_.expectDigits(0);
        for (const engine::Read& other : checkReads_) {
            if (other.bytes != read.bytes) {
                return 0;
            }
            agreeing += other.lines;
        }
    }
    return agreeing >= kMinAgreeingLines ? agreeing : 0;
}

void DecodePipeline::file(const Pass& pass) {
    for (engine::Read& read : reads_) {
        if ((read.format & kUncheckedFormats) != 0) {
            // The lines across the whole symbol that gave its text count as lines of the read.
            const int lines = wholeSymbolLines(pass, read);
            if (lines == 0) {
                continue;
            }
            read.lines = std::max(read.lines, lines);
        }
        arbiter_.add(std::move(read));
    }
    reads_.clear();
}

void DecodePipeline::readBarRegion(const Pass& pass, const CodeRegion& region) {
    const RegionLook look = sampler_.examine(pass.image, region);
    if (look.element <= 0) {
        return;
    }
    barsSeen_ = true;
    const std::uint32_t mask = pass.settings.formatMask;
    const std::uint32_t linear = zxingFormats(mask & kLinearFormats);
    // A line that meets both of PDF417's guard patterns crosses a PDF417 symbol.
    const bool pdf417 = (mask & kFormatPdf417) != 0 && look.stacked;
    const bool pdf417First = pdf417 && look.guardsNearStart && look.guardsNearEnd;
    if (pdf417First) {
        readPdf417(pass, region, look);
    }
    CropMap rowsMap;
    if (!sampler_.sampleBarRows(pass.image, region, look, pass.deadline, rowsMap)) {
        return;
    }
    using Filter = BarRowBuilder::Filter;
    for (const Filter filter : {Filter::kPlain, Filter::kSharpened, Filter::kDeblurred}) {
        if (done(pass)) {
            return;
        }
        const GreyView rows = sampler_.barRows(filter, pass.deadline);
        if (rows.data == nullptr) {
            return;
        }
        readZXing(pass, rows, linear, ZXingPass::kBarRows, rowsMap);
        if (filter != Filter::kDeblurred) {
            readEvenModuleRows(pass, rows, rowsMap);
        }
        if ((mask & kFormatIndustrial25) != 0) {
            industrial25_.read(rows, TwoOfFiveReader::Scan::kRows, pass.settings.reader,
                               pass.deadline, rowsMap, reads_);
        }
        // Like the blurred readers below, our ITF reader leaves regions with PDF417's guard bar.
        if ((mask & kFormatItf) != 0 && !look.stacked) {
            itf_.read(rows, TwoOfFiveReader::Scan::kRows, pass.settings.reader, pass.deadline,
                      rowsMap, reads_);
        }
        file(pass);
    }
    const std::pair<std::uint32_t, BlurredBarReader*> blurredReaders[] = {
        {kFormatCode39, &blurredCode39_},
        {kFormatCode128, &blurredCode128_},
        {kFormatCode93, &blurredCode93_},
        {kFormatEan13 | kFormatUpcA | kFormatEan8, &blurredEan_},
        {kFormatItf, &blurredItf_}};
    for (const auto& [formats, reader] : blurredReaders) {
        if ((mask & formats) != 0 && !look.stacked && !done(pass)) {
            const BarRowBuilder& rows = sampler_.sampledBarRows();
            reader->read(pass.image, rowsMap, rows.width(), rows.rows(), sampler_.barRowElement(),
                         mask, pass.deadline, reads_);
            file(pass);
        }
    }
    if (pdf417 && !pdf417First) {
        readPdf417(pass, region, look);
    }
}

void DecodePipeline::readEvenModuleRows(const Pass& pass, const GreyView& rows,
                                        const CropMap& rowsMap) {
    const std::uint32_t formats = pass.settings.formatMask & kCheckedBarFormats;
    if (formats == 0 || done(pass)) {
        return;
    }
    const GreyView even = evenModuleRows_.straighten(rows, pass.deadline);
    const std::size_t first = reads_.size();
    readZXing(pass, even, formats, ZXingPass::kBarRows, CropMap{});
    for (std::size_t i = first; i < reads_.size(); ++i) {
        for (PointF& corner : reads_[i].where) {
            const int y = static_cast<int>(std::lround(corner.y));
            corner = rowsMap.toFrame(evenModuleRows_.sourceX(corner.x, y), corner.y);
        }
    }
}

void DecodePipeline::readPdf417(const Pass& pass, const CodeRegion& region,
                                const RegionLook& look) {
    if (done(pass)) {
        return;
    }
    CropMap map;
    const GreyView upright = sampler_.upright(pass.image, region, look.element, kMinPdf417Narrow,
                                              kMaxPdf417Pixels, pass.deadline, map);
    // The guard patterns outline the symbol where the blob of its dark cells stops at glare,
    // and a square-on view of it reads sooner than the turned crop.
    Pdf417Outline outline;
    const bool outlined =
        upright.data != nullptr &&
        pdf417Outline_.find(upright, cropModule(look.element, map), pass.deadline, outline);
    if (outlined) {
        readPdf417Outline(pass, outline, map, kPdf417WholeEnvelope);
    }
    if (done(pass)) {
        return;
    }
    readZXing(pass, upright, kFormatPdf417, ZXingPass::kUpright, map);
    file(pass);
    if (outlined) {
        readPdf417Outline(pass, outline, map, kPdf417GlareEnvelope);
    } else {
        readRectified(pass, upright, map, cropModule(look.element, map), false, kFormatPdf417,
                      SymbolRectifier::Outline::kDiagonals);
    }
}

void DecodePipeline::readPdf417Outline(const Pass& pass, Pdf417Outline outline, const CropMap& map,
                                       float envelopeModules) {
    if (done(pass)) {
        return;
    }
    for (PointF& corner : outline.corners) {
        corner = map.toFrame(corner.x, corner.y);
    }
    const float module = outline.module * std::hypot(map.column.x, map.column.y);
    // A view that ZXing could not read before the deadline is not made.
    const double stretch = busyStretch();
    const double maxPixels = (pass.deadline.remainingMs() - kZXingCallMs * stretch) /
                             (kZXingPdf417MsPerPixel * stretch + kRectifyMsPerPixel);
    const GreyView view = rectifier_.rectifyOutline(
        pass.image, outline.corners, module, kRectifiedModule, kPdf417HeightShare, envelopeModules,
        static_cast<float>(maxPixels), pass.deadline);
    const std::size_t first = reads_.size();
    readZXing(pass, view, kFormatPdf417, ZXingPass::kUpright, CropMap{});
    for (std::size_t i = first; i < reads_.size(); ++i) {
        reads_[i].where = outline.corners;
    }
    file(pass);
}

template <typename Redrawer>
void DecodePipeline::readRedrawn(const Pass& pass, Redrawer& redrawer, std::uint32_t format,
                                 std::initializer_list<GreyView> sources, float module) {
    const std::size_t first = reads_.size();
    for (const GreyView& source : sources) {
        if (reads_.size() > first || done(pass) || source.data == nullptr ||
            !redrawer.locate(source, module, pass.deadline)) {
            continue;
        }
        for (const auto& grid : redrawer.grids()) {
            readZXing(pass, redrawer.draw(grid), format, ZXingPass::kRectified, CropMap{});
            if (reads_.size() > first) {
                break;
            }
        }
    }
}

void DecodePipeline::readPdf417Reaching(const Pass& pass, const CodeRegion& region,
                                        const RegionLook& look) {
    if (done(pass)) {
        return;
    }
    CodeRegion reach = region;
    reach.length += 2 * kPdf417ReachModules * look.element;
    CropMap map;
    const GreyView upright = sampler_.upright(pass.image, reach, look.element, kMinPdf417Narrow,
                                              kMaxPdf417Pixels, pass.deadline, map);
    Pdf417Outline outline;
    if (upright.data == nullptr ||
        !pdf417Outline_.find(upright, cropModule(look.element, map), pass.deadline, outline)) {
        return;
    }
    readPdf417Outline(pass, outline, map, kPdf417WholeEnvelope);
    readPdf417Outline(pass, outline, map, kPdf417GlareEnvelope);
}

bool DecodePipeline::readRectified(const Pass& pass, const GreyView& crop, const CropMap& map,
                                   float module, bool inverted, std::uint32_t formats,
                                   SymbolRectifier::Outline outline) {
    if (crop.data == nullptr || done(pass)) {
        return false;
    }
    // Aztec's detector wants large modules; the other detectors read small ones faster.
    const float outputModule =
        (formats & kFormatAztec) != 0 ? kRectifiedAztecModule : kRectifiedModule;
    const GreyView rectified =
        rectifier_.rectify(pass.image, crop, map, module, outputModule, outline, pass.deadline);
    if (rectified.data == nullptr) {
        return false;
    }
    const std::size_t first = reads_.size();
    const GreyView view = inverted ? rectifier_.inverted() : rectified;
    readZXing(pass, view, formats, ZXingPass::kRectified, CropMap{});
    // Inverted, the blob may be a light label on a dark ground, whose symbol reads dark on light.
    if (inverted && reads_.size() == first) {
        readZXing(pass, rectified, formats, ZXingPass::kRectified, CropMap{});
    }
    // Where glare or blur leave the print uneven even after scaling, ZXing's own local
    // threshold may still split it.
    if (reads_.size() == first) {
        readZXing(pass, view, formats, ZXingPass::kUpright, CropMap{});
    }
    // Blur, of the lens or of a moving hand, merges neighbouring modules.
    GreyView sharpened;
    if (reads_.size() == first && !done(pass)) {
        sharpened = rectifier_.sharpened(inverted, outputModule);
        readZXing(pass, sharpened, formats, ZXingPass::kRectified, CropMap{});
    }
    // A hand that moves smears the modules one way, further than sharpening restores. Matrix
    // codes only: the rows of a stacked code run one way whether smeared or not.
    GreyView deblurred;
    if (reads_.size() == first && (formats & kMatrixFormats) != 0 && !done(pass)) {
        deblurred = motionDeblur_.deblur(view, outputModule, kSmearModules, pass.deadline);
        readZXing(pass, deblurred, formats & kMatrixFormats, ZXingPass::kUpright, CropMap{});
    }
    // ZXing's Aztec detector loses symbols its decoder reads once redrawn from any of them.
    bool aztecLocated = false;
    if ((formats & kFormatAztec) != 0) {
        for (const GreyView& source : {view, sharpened, deblurred}) {
            // The bullseye places the grid; failing that, the print's extent.
            for (const bool byExtent : {false, true}) {
                if (reads_.size() > first || done(pass) || source.data == nullptr ||
                    !(byExtent ? aztecRedrawer_.locateByExtent(source, outputModule)
                               : aztecRedrawer_.locate(source, pass.deadline))) {
                    continue;
                }
                aztecLocated = true;
                for (const AztecRedrawer::Layout& layout : aztecRedrawer_.layouts()) {
                    readZXing(pass, aztecRedrawer_.draw(layout), kFormatAztec,
                              ZXingPass::kRectified, CropMap{});
                    if (reads_.size() > first) {
                        break;
                    }
                }
            }
        }
    }
    // ZXing's Data Matrix and QR detectors lose symbols whose finder patterns glare or blur
    // break.
    if ((formats & kFormatDataMatrix) != 0 && reads_.size() == first) {
        readRedrawn(pass, dataMatrixRedrawer_, kFormatDataMatrix, {view, sharpened, deblurred},
                    outputModule);
    }
    if ((formats & kFormatQrCode) != 0 && reads_.size() == first) {
        readRedrawn(pass, qrRedrawer_, kFormatQrCode, {view, sharpened, deblurred}, outputModule);
    }
    // Positions within the square-on view are not the frame's; the outline is.
    const bool read = reads_.size() > first;
    for (std::size_t i = first; i < reads_.size(); ++i) {
        reads_[i].where = rectifier_.outline();
    }
    file(pass);
    return aztecLocated && !read;
}

void DecodePipeline::readMatrixRegion(const Pass& pass, const CodeRegion& region) {
    const std::uint32_t formats = pass.settings.formatMask & (kMatrixFormats | kFormatPdf417);
    if (formats == 0) {
        return;
    }
    const RegionLook look = sampler_.examine(pass.image, region);
    if (look.element <= 0) {
        return;
    }
    CropMap map;
    GreyView upright = sampler_.upright(pass.image, region, look.element, kMinMatrixModule,
                                        kMaxMatrixPixels, pass.deadline, map);
    // Guard patterns down a side make it a PDF417 region, read first; its crop is made anew.
    if (upright.data != nullptr && (formats & kFormatPdf417) != 0 &&
        pdf417Outline_.showsGuards(upright, cropModule(look.element, map), pass.deadline)) {
        readPdf417Reaching(pass, region, look);
        upright = done(pass) ? GreyView{}
                             : sampler_.upright(pass.image, region, look.element, kMinMatrixModule,
                                                kMaxMatrixPixels, pass.deadline, map);
    }
    if (upright.data == nullptr) {
        return;
    }
    // Light-on-dark codes are read inverted, dark on light like any other: first as the
    // surroundings suggest, then the other way, since a dark label may fill the region. The
    // square-on view, which costs more, is made only the way the surroundings suggest.
    for (const bool inverted : {look.darkSurround, !look.darkSurround}) {
        if (done(pass)) {
            return;
        }
        const GreyView crop = inverted ? sampler_.invertedUpright() : upright;
        const std::uint32_t readable = inverted ? formats & kMatrixFormats : formats;
        readZXing(pass, crop, readable, ZXingPass::kUpright, map);
        file(pass);
        if (inverted == look.darkSurround) {
            // Aztec has no border: where its corner modules are light, the diagonals miss its
            // corners and leave the view sheared, while its sides still outline it.
            const float module = cropModule(look.element, map);
            if (readRectified(pass, crop, map, module, inverted, readable,
                              SymbolRectifier::Outline::kDiagonals)) {
                readRectified(pass, crop, map, module, inverted, kFormatAztec,
                              SymbolRectifier::Outline::kSides);
            }
        }
    }
}

void DecodePipeline::readInvertedFrame(const Pass& pass) {
    const GreyView& image = pass.image;
    inverted_.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        if (pass.deadline.passed()) {
            return;
        }
        const std::uint8_t* in = image.data + static_cast<std::ptrdiff_t>(y) * image.stride;
        std::uint8_t* out = inverted_.data() + static_cast<std::ptrdiff_t>(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            out[x] = static_cast<std::uint8_t>(255 - in[x]);
        }
    }
    readZXing(pass, {inverted_.data(), image.width, image.height, image.width},
              pass.settings.formatMask & kMatrixFormats, ZXingPass::kFrameMatrix, CropMap{});
    file(pass);
}

void DecodePipeline::run(const GreyView& image, const TemplateSettings& settings,
                         ResultList& results) {
    const Deadline deadline = Deadline::after(settings.timeoutMs);
    const Pass pass{image, settings, deadline,
                    std::clamp(settings.expectedBarcodes, 1, settings.maxBarcodes)};
    arbiter_.reset();
    results.reset(settings.maxBarcodes);
    barsSeen_ = false;
    startedAt_ = std::chrono::steady_clock::now();
    startedCpuMs_ = threadCpuMs();
    const std::uint32_t mask = settings.formatMask;
    const std::uint32_t linear = zxingFormats(mask & kLinearFormats);

    if ((mask & kMatrixFormats) != 0) {
        readZXing(pass, image, mask & kMatrixFormats, ZXingPass::kFrameMatrix, CropMap{});
        file(pass);
    }
    if (linear != 0 && !done(pass)) {
        readZXing(pass, image, linear, ZXingPass::kFrameBars, CropMap{});
        file(pass);
    }
    if (settings.reader.deskew && !done(pass)) {
        regionFinder_.find(image, kMaxRegions, deadline, regions_);
        // A region longer and taller than the frame's short side lies beyond the frame:
        // texture or light across it rather than a symbol in view, tried last.
        const auto shortSide = static_cast<float>(std::min(image.width, image.height));
        std::stable_partition(regions_.begin(), regions_.end(), [&](const CodeRegion& region) {
            return std::min(region.length, region.height) <= shortSide;
        });
        for (const CodeRegion& region : regions_) {
            if (done(pass)) {
                break;
            }
            if (region.kind == CodeRegion::Kind::kBars) {
                readBarRegion(pass, region);
            } else {
                readMatrixRegion(pass, region);
            }
        }
    }
    if ((mask & kMatrixFormats) != 0 && !done(pass)) {
        readZXing(pass, image, mask & kMatrixFormats, ZXingPass::kFrameMatrixFaint, CropMap{});
        file(pass);
    }
    if ((mask & kMatrixFormats) != 0 && !done(pass)) {
        readInvertedFrame(pass);
    }
    if ((mask & kFormatIndustrial25) != 0 && barsSeen_ && !done(pass)) {
        industrial25_.read(image, TwoOfFiveReader::Scan::kAllAngles, settings.reader, deadline,
                           CropMap{}, reads_);
        file(pass);
    }
    arbiter_.publish(settings.reader.minLineCount, results);
}

}  // namespace telo::engine
