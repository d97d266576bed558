#include "engine/decode_pipeline.h"

#include <algorithm>
#include <cmath>
#include "engine/run_lengths.h"
#include "engine/scan_line.h"
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <cstdlib>

#include "engine/barcode_format.h"
#include "engine/zxing_reader.h"

namespace telo::engine {

namespace {

/// Regions tried per decode, most prominent first.
constexpr int kMaxRegions = 8;
/// Usual cost of a ZXing call on a whole 640 x 480 frame for matrix codes and on a region,
/// milliseconds, with room for a busy machine: a call starts only when this still fits.
constexpr double kFrameCallMs = 8;
constexpr double kRegionCallMs = 4;
/// Elements of upright crops are enlarged to at least these sizes, pixels: ZXing's PDF417 rows
/// and its matrix detectors lose smaller ones.
constexpr float kMinPdf417Narrow = 2.5f;
constexpr float kMinMatrixModule = 6;

constexpr std::uint32_t kMatrixFormats = kFormatQrCode | kFormatDataMatrix | kFormatAztec;
/// Lines across the bars of an unchecked read: at least kMinAgreeingLines must give its text
/// and none another. Blur and noise leave some lines unread, but a piece of a symbol is read
/// where a highlight or smudge crosses the bars and the whole symbol elsewhere.
constexpr int kAgreementLines = 7;
constexpr int kMinAgreeingLines = 2;
/// Symbologies whose reads carry no check character and whose length varies.
constexpr std::uint32_t kUncheckedFormats =
    kFormatItf | kFormatCode39 | kFormatCodabar | kFormatIndustrial25;

}  // namespace

bool DecodePipeline::Done(const Pass& pass) const {
    return arbiter_.Settled(pass.settings.reader.minLineCount) >= pass.wanted ||
           pass.deadline.Passed();
}

bool DecodePipeline::ShowsWholeSymbol(const Pass& pass, const Read& read) {
    const PointF start{(read.where[0].x + read.where[3].x) / 2,
                       (read.where[0].y + read.where[3].y) / 2};
    const PointF end{(read.where[1].x + read.where[2].x) / 2,
                     (read.where[1].y + read.where[2].y) / 2};
    SymbolSpan span;
    if (!wholeSymbol_.Holds(pass.image, start, end, span)) {
        if (getenv("DBG")) fprintf(stderr, "DBG quiet zones fail\n");
        return false;
    }
    const GreyView lines = wholeSymbol_.LinesAcross(pass.image, span, kAgreementLines);
    checkReads_.clear();
    if (read.format == kFormatIndustrial25) {
        industrial25_.Read(lines, Industrial25Reader::Scan::kRows, pass.settings.reader,
                           pass.deadline, CropMap{}, checkReads_);
    } else {
        ReadWithZXing(lines, read.format, ZXingPass::kBarRows, CropMap{}, checkReads_);
    }
    int agreeing = 0;
    for (const Read& other : checkReads_) {
        if (other.format != read.format || other.bytes != read.bytes) {
            if (getenv("DBG")) fprintf(stderr, "DBG other text %.*s\n", (int)other.bytes.size(), (const char*)other.bytes.data());
            return false;
        }
        agreeing += other.lines;
    }
    if (getenv("DBG")) { fprintf(stderr, "DBG span (%.0f,%.0f)-(%.0f,%.0f) low %.1f high %.1f slants %.2f %.2f narrow %.1f agreeing %d\n", span.start.x, span.start.y, span.end.x, span.end.y, span.low, span.high, span.startSlant, span.endSlant, span.narrow, agreeing);
      FILE* f = fopen("/tmp/lines.pgm", "wb"); fprintf(f, "P5\n%d %d\n255\n", lines.width, lines.height); fwrite(lines.data, 1, lines.width * lines.height, f); fclose(f); }
    return agreeing >= kMinAgreeingLines;
}

void DecodePipeline::File(const Pass& pass) {
    for (Read& read : reads_) {
        const bool ok = (read.format & kUncheckedFormats) == 0 || ShowsWholeSymbol(pass, read);
        if (getenv("DBG")) fprintf(stderr, "DBG %s fmt %x %.*s lines %d quad %.0f,%.0f %.0f,%.0f %.0f,%.0f %.0f,%.0f\n", ok ? "read" : "rejected", read.format, (int)read.bytes.size(), (const char*)read.bytes.data(), read.lines, read.where[0].x, read.where[0].y, read.where[1].x, read.where[1].y, read.where[2].x, read.where[2].y, read.where[3].x, read.where[3].y);
        if (ok) {
            arbiter_.Add(std::move(read));
        }
    }
    reads_.clear();
}

void DecodePipeline::ReadBarRegion(const Pass& pass, const CodeRegion& region) {
    const RegionLook look = sampler_.Examine(pass.image, region);
    const float narrow = look.element;
    if (narrow <= 0) {
        return;
    }
    barsSeen_ = true;
    const std::uint32_t mask = pass.settings.formatMask;
    const std::uint32_t linear = ZXingFormats(mask & kLinearFormats);
    for (const bool sharpen : {false, true}) {
        if (Done(pass) || !pass.deadline.Allows(kRegionCallMs)) {
            return;
        }
        CropMap map;
        const GreyView rows = sampler_.BarRows(pass.image, region, narrow, sharpen, map);
        ReadWithZXing(rows, linear, ZXingPass::kBarRows, map, reads_);
        if ((mask & kFormatIndustrial25) != 0) {
            industrial25_.Read(rows, Industrial25Reader::Scan::kRows, pass.settings.reader,
                               pass.deadline, map, reads_);
        }
        File(pass);
    }
    if ((mask & kFormatPdf417) != 0 && look.stacked && !Done(pass) &&
        pass.deadline.Allows(kRegionCallMs)) {
        CropMap map;
        const GreyView upright =
            sampler_.Upright(pass.image, region, narrow, kMinPdf417Narrow, map);
        ReadWithZXing(upright, kFormatPdf417, ZXingPass::kUpright, map, reads_);
        File(pass);
        ReadRectified(pass, upright, map, narrow / std::hypot(map.column.x, map.column.y), false,
                      kFormatPdf417);
    }
}

void DecodePipeline::ReadRectified(const Pass& pass, const GreyView& crop, const CropMap& map,
                                   float module, bool inverted, std::uint32_t formats) {
    if (Done(pass) || !pass.deadline.Allows(kRegionCallMs)) {
        return;
    }
    const GreyView rectified = rectifier_.Rectify(pass.image, crop, map, module);
    if (rectified.data == nullptr) {
        return;
    }
    if (getenv("DBGI")) { static int n = 0; char name[64]; snprintf(name, sizeof name, "/tmp/rect%d.pgm", n++); FILE* f = fopen(name, "wb"); fprintf(f, "P5\n%d %d\n255\n", rectified.width, rectified.height); fwrite(rectified.data, 1, rectified.width * rectified.height, f); fclose(f);
      snprintf(name, sizeof name, "/tmp/crop%d.pgm", n - 1); f = fopen(name, "wb"); fprintf(f, "P5\n%d %d\n255\n", crop.width, crop.height); fwrite(crop.data, 1, crop.width * crop.height, f); fclose(f); }
    const std::size_t first = reads_.size();
    ReadWithZXing(inverted ? rectifier_.Inverted() : rectified, formats, ZXingPass::kRectified,
                  CropMap{}, reads_);
    if (reads_.size() == first && (formats & kFormatAztec) != 0) {
        const GreyView drawn = aztecRedrawer_.Redraw(inverted ? rectifier_.Inverted() : rectified);
        if (getenv("DBGI")) fprintf(stderr, "DBG aztec drawn %d\n", drawn.data != nullptr);
        if (drawn.data != nullptr && getenv("DBGI")) { FILE* f = fopen("/tmp/drawn.pgm", "wb"); fprintf(f, "P5\n%d %d\n255\n", drawn.width, drawn.height); fwrite(drawn.data, 1, drawn.width * drawn.height, f); fclose(f); }
        if (drawn.data != nullptr) {
            ReadWithZXing(drawn, kFormatAztec, ZXingPass::kRectified, CropMap{}, reads_);
        }
    }
    for (std::size_t i = first; i < reads_.size(); ++i) {
        reads_[i].where = rectifier_.Outline();
    }
    File(pass);
}

void DecodePipeline::ReadMatrixRegion(const Pass& pass, const CodeRegion& region) {
    const std::uint32_t formats = pass.settings.formatMask & (kMatrixFormats | kFormatPdf417);
    if (formats == 0 || !pass.deadline.Allows(kRegionCallMs)) {
        return;
    }
    const RegionLook look = sampler_.Examine(pass.image, region);
    if (look.element <= 0) {
        return;
    }
    CropMap map;
    const GreyView upright =
        sampler_.Upright(pass.image, region, look.element, kMinMatrixModule, map);
    // Light-on-dark codes are read inverted, dark on light like any other.
    lightOnDark_ = lightOnDark_ || look.darkSurround;
    const GreyView crop = look.darkSurround ? sampler_.InvertedUpright() : upright;
    const std::uint32_t readable = look.darkSurround ? formats & kMatrixFormats : formats;
    ReadWithZXing(crop, readable, ZXingPass::kUpright, map, reads_);
    File(pass);
    ReadRectified(pass, crop, map, look.element / std::hypot(map.column.x, map.column.y),
                  look.darkSurround, readable);
}

void DecodePipeline::ReadInvertedFrame(const Pass& pass) {
    const GreyView& image = pass.image;
    inverted_.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* in = image.data + static_cast<std::ptrdiff_t>(y) * image.stride;
        std::uint8_t* out = inverted_.data() + static_cast<std::ptrdiff_t>(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            out[x] = static_cast<std::uint8_t>(255 - in[x]);
        }
    }
    ReadWithZXing({inverted_.data(), image.width, image.height, image.width},
                  pass.settings.formatMask & kMatrixFormats, ZXingPass::kFrameMatrix, CropMap{},
                  reads_);
    File(pass);
}

void DecodePipeline::Run(const GreyView& image, const TemplateSettings& settings,
                         ResultList& results) {
    const Deadline deadline = Deadline::After(settings.timeoutMs);
    const Pass pass{image, settings, deadline,
                    std::clamp(settings.expectedBarcodes, 1, settings.maxBarcodes)};
    arbiter_.Reset();
    results.Reset(settings.maxBarcodes);
    lightOnDark_ = false;
    barsSeen_ = false;
    const std::uint32_t mask = settings.formatMask;
    const CropMap frame;
    auto cpu = [] { timespec t; clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t); return t.tv_sec * 1e3 + t.tv_nsec / 1e6; };
    const double t0 = cpu();
    auto stamp = [&](const char* what) { if (getenv("DBGT")) fprintf(stderr, "T %s %.2f\n", what, cpu() - t0); };

    if ((mask & kMatrixFormats) != 0 && deadline.Allows(kFrameCallMs)) {
        ReadWithZXing(image, mask & kMatrixFormats, ZXingPass::kFrameMatrix, frame, reads_);
        File(pass);
    }
    stamp("frame matrix");
    if (ZXingFormats(mask & kLinearFormats) != 0 && !Done(pass)) {
        ReadWithZXing(image, ZXingFormats(mask & kLinearFormats), ZXingPass::kFrameBars, frame,
                      reads_);
        File(pass);
    }
    stamp("frame bars");
    if (settings.reader.deskew && !Done(pass)) {
        regionFinder_.Find(image, kMaxRegions, regions_);
        stamp("regions found");
        if (getenv("DBGR")) for (const CodeRegion& r : regions_) {
            const float ux = std::cos(r.angle), uy = std::sin(r.angle);
            auto sample = [&](float off, std::vector<float>& out) {
                ScanLine l{r.centreX - ux * r.length / 2 - uy * off, r.centreY - uy * r.length / 2 + ux * off, ux, uy, std::max((int)r.length, 2)};
                SampleLine(image, l, out);
            };
            std::vector<float> s0, s1, s2, runs; RunLengthFinder rf;
            sample(0, s0); sample(0.3f * r.height, s1); sample(-0.3f * r.height, s2);
            rf.Find(s0, runs);
            std::vector<float> inner(runs.size() > 2 ? runs.begin() + 1 : runs.begin(), runs.size() > 2 ? runs.end() - 1 : runs.end());
            std::sort(inner.begin(), inner.end());
            float div = inner.size() > 4 ? inner[inner.size() * 85 / 100] / std::max(inner[inner.size() * 15 / 100], 0.5f) : 0;
            auto corr = [&](const std::vector<float>& a, const std::vector<float>& b) {
                float best = -1;
                for (int sh = -3; sh <= 3; ++sh) {
                    double ma = 0, mb = 0; int n = 0;
                    for (int i = 3; i + 3 < (int)a.size(); ++i) { ma += a[i]; mb += b[i + sh]; ++n; }
                    ma /= n; mb /= n; double ab = 0, aa = 0, bb = 0;
                    for (int i = 3; i + 3 < (int)a.size(); ++i) { ab += (a[i]-ma)*(b[i+sh]-mb); aa += (a[i]-ma)*(a[i]-ma); bb += (b[i+sh]-mb)*(b[i+sh]-mb); }
                    if (aa > 0 && bb > 0) best = std::max(best, (float)(ab / std::sqrt(aa * bb)));
                }
                return best;
            };
            std::vector<float> sorted = s0; std::sort(sorted.begin(), sorted.end());
            float contrast = sorted.size() > 10 ? sorted[sorted.size()*9/10] - sorted[sorted.size()/10] : 0;
            float dark = 0, total = 0; for (std::size_t i = 1; i + 1 < runs.size(); ++i) { total += runs[i]; if (i % 2 == 1) dark += runs[i]; }
            fprintf(stderr, "R %s len %.0f h %.0f str %.0f runs %zu div %.2f c1 %.2f c2 %.2f contrast %.0f darkshare %.2f\n", r.kind == CodeRegion::Kind::kBars ? "bars  " : "matrix", r.length, r.height, r.strength / 1e6, runs.size(), div, corr(s0, s1), corr(s0, s2), contrast, total > 0 ? dark / total : 0);
        }
        for (const CodeRegion& region : regions_) {
            if (Done(pass)) {
                break;
            }
            if (region.kind == CodeRegion::Kind::kBars) {
                ReadBarRegion(pass, region);
                stamp("bar region");
            } else {
                ReadMatrixRegion(pass, region);
                stamp("matrix region");
            }
        }
    }
    if (lightOnDark_ && !Done(pass) && deadline.Allows(kFrameCallMs)) {
        ReadInvertedFrame(pass);
    }
    stamp("inverted");
    if ((mask & kFormatIndustrial25) != 0 && barsSeen_ && !Done(pass)) {
        industrial25_.Read(image, Industrial25Reader::Scan::kAllAngles, settings.reader, deadline,
                           frame, reads_);
        File(pass);
    }
    stamp("i25");
    arbiter_.Publish(settings.reader.minLineCount, results);
}

}  // namespace telo::engine
