// SPDX-License-Identifier: MIT
// telo-devices: lists the video-capture devices as the scanner library sees them, marks the
// scanner, and with --grab saves one grey frame of a device.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "camera/camera_ds.h"
#include "camera/video_input_devices.h"
#include "command_line.h"
#include "scanner_identity.h"
#include "standard_output.h"

namespace {

constexpr int kGrabAttempts = 20;

bool matchesScanner(const telo::VideoInputDevice& device) {
    return device.devicePath.find(telo::kScannerVendorId) != std::string::npos &&
           device.devicePath.find(telo::kScannerProductId) != std::string::npos;
}

constexpr char kProgram[] = "telo-devices";
constexpr char kUsage[] =
    "Usage: telo-devices [--grab FILE.pgm [--index N]]\n"
    "Lists the video-capture devices as the scanner library sees them, one tab-separated line\n"
    "each: INDEX NODE NAME DEVICE-PATH, with [scanner] after the scanner (USB 0525:a4c1).\n"
    "The library's own lines go to standard error.\n"
    "\n"
    "  --grab FILE.pgm  also save one grey frame of the scanner as a PGM image\n"
    "  --index N        grab from device N of the list instead\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 listed (and grabbed), 1 no frame could be grabbed, 2 a wrong command line.\n";

// A node that exists but can't be opened is what keeps the scanner away most often, so say so.
void reportUnopenable(const telo::UnopenableNode& node) {
    std::cerr << "/dev/" << node.node << " exists but cannot be opened: " << std::strerror(node.error);
    if (node.error == EACCES || node.error == EPERM) {
        std::cerr << " (your user needs read and write access to it, usually as a member of the "
                     "video group)";
    }
    std::cerr << "\n";
}

int grab(const telo::VideoInputDevice& device, const std::string& path) {
    telo::CCameraDS camera;
    if (!camera.OpenCamera(device.node, false, telo::kFrameWidth, telo::kFrameHeight)) {
        std::cerr << "telo-devices: cannot open " << device.node
                  << " (is it in use, or are you missing access to /dev/video*?)\n";
        return 1;
    }
    camera.StartCapture();
    const std::uint8_t* frame = nullptr;
    for (int attempt = 0; attempt < kGrabAttempts && frame == nullptr; ++attempt) {
        frame = camera.QueryFrame();
    }
    if (frame == nullptr) {
        std::cerr << "telo-devices: " << device.node << " delivered no frame\n";
        return 1;
    }
    const int pixels = std::min(camera.bufferSize() / 2, camera.width() * camera.height());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P5\n" << camera.width() << " " << camera.height() << "\n255\n";
    for (int i = 0; i < camera.width() * camera.height(); ++i) {
        out.put(static_cast<char>(i < pixels ? frame[2 * i] : 0));
    }
    if (!out) {
        std::cerr << "telo-devices: cannot write " << path << "\n";
        return 1;
    }
    std::cerr << "saved " << camera.width() << "x" << camera.height() << " frame to " << path
              << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (telo::tools::answerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return 0;
    }
    std::string grabPath;
    int index = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--grab" || argument == "--index") && i + 1 >= argc) {
            return telo::tools::usageError(kProgram, argument + " needs a value");
        }
        if (argument == "--grab") {
            grabPath = argv[++i];
        } else if (argument == "--index") {
            const std::string value = argv[++i];
            const auto number = telo::tools::parseNumber(value, 0, INT_MAX);
            if (!number) {
                return telo::tools::usageError(
                    kProgram, "--index takes a device number from the list, not '" + value + "'");
            }
            index = static_cast<int>(*number);
        } else {
            return telo::tools::usageError(kProgram, "unknown argument '" + argument + "'");
        }
    }

    const std::vector<telo::VideoInputDevice> devices = telo::listVideoInputDevices();
    const std::vector<telo::UnopenableNode> unopenable = telo::unopenableVideoNodes();
    int scanner = -1;
    if (devices.empty() && unopenable.empty()) {
        std::cout << "no video-capture devices found\n";
    }
    std::for_each(unopenable.begin(), unopenable.end(), reportUnopenable);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const bool isScanner = matchesScanner(devices[i]) && scanner < 0;
        if (isScanner) {
            scanner = static_cast<int>(i);
        }
        std::cout << i << "\t" << devices[i].node << "\t" << devices[i].name << "\t"
                  << devices[i].devicePath << (isScanner ? "\t[scanner]" : "") << "\n";
    }
    if (scanner < 0 && !devices.empty()) {
        std::cout << "no scanner (USB 0525:a4c1) among them\n";
    }
    if (grabPath.empty()) {
        return 0;
    }
    telo::tools::separateLibraryLines(telo::tools::LibraryLines::kToStandardError);
    if (index < 0) {
        index = scanner;
    }
    if (index < 0 || index >= static_cast<int>(devices.size())) {
        std::cerr << "telo-devices: no device to grab from\n";
        return 1;
    }
    return grab(devices[static_cast<std::size_t>(index)], grabPath);
}
