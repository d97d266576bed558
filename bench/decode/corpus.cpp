#include "corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "symbologies.h"

namespace telo::bench {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr unsigned kSeed = 20240611;
constexpr char kManifest[] = "manifest.tsv";
/// Frames keep this far from their edges, pixels.
constexpr double kFrameMargin = 12;
/// zint renders symbols this many pixels per module, sharp, and the frame is scaled down from
/// there, so that edges are anti-aliased the way a lens would.
constexpr int kSourceModulePixels = 8;

/// The camera conditions of one frame.
struct Conditions {
    double module;
    double angle;
    double perspective;
    double blur;
    double noise;
    double black;
    double white;
    double lightFloor;
    double lightAngle;
};

bool Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench-decode: failed: %s\n", command.c_str());
        return false;
    }
    return true;
}

/// Width and height of a PNG file, from its header.
bool PngSize(const std::filesystem::path& path, int& width, int& height) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) {
        return false;
    }
    auto be32 = [&](int at) {
        return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
    };
    width = be32(16);
    height = be32(20);
    return width > 0 && height > 0;
}

bool LoadPgm(const std::filesystem::path& path, std::vector<std::uint8_t>& grey) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int maxValue = 0;
    file >> magic >> width >> height >> maxValue;
    file.get();
    if (magic != "P5" || width != kFrameWidth || height != kFrameHeight || maxValue != 255) {
        return false;
    }
    grey.resize(static_cast<std::size_t>(width) * height);
    return static_cast<bool>(file.read(reinterpret_cast<char*>(grey.data()), grey.size()));
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

/// Photometric part of the ImageMagick command: blur, contrast, uneven light and sensor noise.
std::string CameraEffects(const Conditions& c) {
    std::ostringstream out;
    out << " -blur 0x" << c.blur << " +level " << c.black << "%," << c.white << "%"
        << " \\( -size 1200x1200 gradient:white-gray" << static_cast<int>(c.lightFloor * 100)
        << " -rotate " << c.lightAngle << " -gravity center -extent " << kFrameWidth << "x"
        << kFrameHeight << " \\) -compose Multiply -composite"
        << " -attenuate " << c.noise << " +noise Gaussian -depth 8";
    return out.str();
}

Conditions DrawConditions(std::mt19937& random, const Symbology& symbology) {
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    Conditions c;
    c.module = uniform(symbology.minModule, symbology.maxModule);
    c.angle = uniform(-30, 30);
    c.perspective = uniform(0, 0.04);
    c.blur = uniform(0.2, std::min(1.0, 0.45 * c.module));
    c.noise = uniform(0.05, 0.3);
    c.black = uniform(3, 35);
    c.white = uniform(std::max(c.black + 40, 65.0), 97);
    c.lightFloor = uniform(0.55, 1.0);
    c.lightAngle = uniform(0, 360);
    return c;
}

/// The ImageMagick perspective control points that put a `width` x `height` symbol, scaled by
/// the module size, turned by the angle, its corners jittered, somewhere in the frame.
std::string ControlPoints(std::mt19937& random, Conditions& c, int width, int height) {
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const double radians = c.angle * kPi / 180;
    const double cosA = std::cos(radians);
    const double sinA = std::sin(radians);
    // Shrink the module when the turned symbol would not fit.
    const double modulesX = static_cast<double>(width) / kSourceModulePixels;
    const double modulesY = static_cast<double>(height) / kSourceModulePixels;
    const double fitX = (kFrameWidth - 2 * kFrameMargin) /
                        (modulesX * std::fabs(cosA) + modulesY * std::fabs(sinA));
    const double fitY = (kFrameHeight - 2 * kFrameMargin) /
                        (modulesX * std::fabs(sinA) + modulesY * std::fabs(cosA));
    c.module = std::min({c.module, fitX / (1 + 2 * c.perspective), fitY / (1 + 2 * c.perspective)});
    const double w = width * c.module / kSourceModulePixels;
    const double h = height * c.module / kSourceModulePixels;
    const double spanX = w * std::fabs(cosA) + h * std::fabs(sinA);
    const double spanY = w * std::fabs(sinA) + h * std::fabs(cosA);
    const double slackX =
        std::max(0.0, (kFrameWidth - 2 * kFrameMargin - spanX * (1 + 2 * c.perspective)) / 2);
    const double slackY =
        std::max(0.0, (kFrameHeight - 2 * kFrameMargin - spanY * (1 + 2 * c.perspective)) / 2);
    const double centreX = kFrameWidth / 2.0 + uniform(-slackX, slackX);
    const double centreY = kFrameHeight / 2.0 + uniform(-slackY, slackY);
    const double jitter = c.perspective * std::max(w, h);

    std::ostringstream points;
    const double corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& corner : corners) {
        const double x = (corner[0] - 0.5) * w;
        const double y = (corner[1] - 0.5) * h;
        const double outX = centreX + x * cosA - y * sinA + uniform(-jitter, jitter);
        const double outY = centreY + x * sinA + y * cosA + uniform(-jitter, jitter);
        points << corner[0] * width << "," << corner[1] * height << " " << outX << "," << outY
               << " ";
    }
    return points.str();
}

bool RenderSymbolFrame(std::mt19937& random, const Symbology& symbology, const SymbolData& data,
                       const std::filesystem::path& folder, const std::string& name) {
    const std::filesystem::path symbol = folder / (name + ".png");
    if (!Run("zint --scale=" + std::to_string(kSourceModulePixels / 2) +
             " --notext --quietzones -b " + symbology.zintType + " " + symbology.zintOptions +
             " -d " + Quote(data.zintData) + " -o " + Quote(symbol.string()) + " >/dev/null")) {
        return false;
    }
    int width = 0;
    int height = 0;
    if (!PngSize(symbol, width, height)) {
        return false;
    }
    Conditions c = DrawConditions(random, symbology);
    const std::string points = ControlPoints(random, c, width, height);

    const bool rendered =
        Run("convert " + Quote(symbol.string()) +
            " -colorspace Gray -alpha off -virtual-pixel White -background White -mattecolor White"
            " -define distort:viewport=" +
            std::to_string(kFrameWidth) + "x" + std::to_string(kFrameHeight) +
            "+0+0 -distort Perspective " + Quote(points) + " +repage -alpha remove -alpha off" + CameraEffects(c) + " " +
            Quote((folder / (name + ".pgm")).string()));
    std::filesystem::remove(symbol);
    return rendered;
}

/// A frame without a barcode: light, noise and a little clutter.
bool RenderEmptyFrame(std::mt19937& random, const std::filesystem::path& folder,
                      const std::string& name) {
    std::uniform_int_distribution<int> coordinate(0, kFrameWidth);
    std::ostringstream clutter;
    for (int i = 0; i < 6; ++i) {
        clutter << " -draw 'line " << coordinate(random) << "," << coordinate(random) % kFrameHeight
                << " " << coordinate(random) << "," << coordinate(random) % kFrameHeight << "'";
    }
    Conditions c = DrawConditions(random, BenchSymbologies().front());
    c.blur = 0.6;
    return Run("convert -size " + std::to_string(kFrameWidth) + "x" + std::to_string(kFrameHeight) +
               " xc:white -stroke black -strokewidth 3" + clutter.str() + CameraEffects(c) + " " +
               Quote((folder / (name + ".pgm")).string()));
}

bool LoadManifest(const std::filesystem::path& folder, std::size_t count,
                  std::vector<Frame>& frames) {
    std::ifstream manifest(folder / kManifest);
    std::string line;
    frames.clear();
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name;
        Frame frame;
        fields >> name >> frame.symbology;
        fields.get();
        std::getline(fields, frame.expected);
        frame.name = (folder / (name + ".pgm")).string();
        if (!LoadPgm(frame.name, frame.grey)) {
            return false;
        }
        frames.push_back(std::move(frame));
    }
    return !frames.empty() && frames.size() == count;
}

}  // namespace

bool MakeCorpus(const std::filesystem::path& folder, int perSymbology, std::vector<Frame>& frames) {
    const auto& symbologies = BenchSymbologies();
    const std::size_t count = (symbologies.size() + 1) * perSymbology;
    if (LoadManifest(folder, count, frames)) {
        return true;
    }
    std::filesystem::create_directories(folder);
    std::ofstream manifest(folder / kManifest);
    std::mt19937 random(kSeed);
    for (int s = -1; s < static_cast<int>(symbologies.size()); ++s) {
        for (int i = 0; i < perSymbology; ++i) {
            const std::string name = "frame" + std::to_string(s + 1) + "_" + std::to_string(i);
            std::string expected;
            bool rendered = false;
            if (s < 0) {
                rendered = RenderEmptyFrame(random, folder, name);
            } else {
                const SymbolData data = symbologies[s].makeData(random);
                expected = data.expected;
                rendered = RenderSymbolFrame(random, symbologies[s], data, folder, name);
            }
            if (!rendered) {
                return false;
            }
            manifest << name << "\t" << s << "\t" << expected << "\n";
        }
        std::fprintf(stderr, "bench-decode: rendered %s\n",
                     s < 0 ? "frames without a barcode" : symbologies[s].label);
    }
    manifest.close();
    return LoadManifest(folder, count, frames);
}

}  // namespace telo::bench
