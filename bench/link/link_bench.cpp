// SPDX-License-Identifier: MIT
// bench-link: how old the frames handed out for decoding are, by the frames' own capture times,
// and how many of 1,000 LED clicks are refused while the scanner streams and a worker decodes
// as the application does. The library runs against the simulated scanner (30 frames a second).
//
//   cd build/bin && ./bench-link [--fetches N] [--clicks N]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "decode/frame_decoder.h"
#include "scanner.h"
#include "sim_image.h"
#include "sim_sensor.h"
#include "sim_tree.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr double kFramePeriodMs = 1000.0 / 30;
// The application's pass: a 100 ms pause plus decoding and typing, 100 to 700 ms in all.
constexpr int kShortestPassMs = 100;
constexpr int kLongestPassMs = 700;
constexpr int kShortestClickGapMs = 10;  // clicks at a quick hand's pace
constexpr int kLongestClickGapMs = 100;

int option(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return fallback;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Decodes the fetched frame as telo_scanner_decode does, for the time it takes.
void decode(Scanner& scanner, const std::uint8_t* frame) {
    const telo::CCameraDS& camera = scanner.camera;
    telo_symbol_destroy(telo::decodeFrame(*scanner.engine, scanner.engineMutex, frame,
                                          camera.bufferSize(), camera.width(), camera.height()));
}

void measureFrameAge(Scanner& scanner, int fetches, FILE* figures) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> pass(kShortestPassMs, kLongestPassMs);
    std::vector<double> ages;
    while (static_cast<int>(ages.size()) < fetches) {
        telo_scanner_is_connect(&scanner);
        const std::uint8_t* frame = telo::FetchFrame(scanner);
        if (frame != nullptr) {
            const auto now = Clock::now().time_since_epoch();
            ages.push_back(
                Milliseconds(now - std::chrono::nanoseconds(telosim::CaptureTimeOf(frame)))
                    .count());
            decode(scanner, frame);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pass(random)));
    }
    std::fprintf(figures,
                 "frame age at the fetch, %d fetches, passes of %d to %d ms: median %.1f ms, "
                 "max %.1f ms (a frame period is %.1f ms)\n",
                 fetches, kShortestPassMs, kLongestPassMs, percentile(ages, 0.5),
                 percentile(ages, 1.0), kFramePeriodMs);
}

void measureLedClicks(Scanner& scanner, telosim::SimTree& tree, int clicks, FILE* figures) {
    std::atomic<bool> clicking{true};
    // The worker's passes: a poll, a fetch and a decode, a 100 ms pause.
    std::thread worker([&] {
        while (clicking) {
            telo_scanner_is_connect(&scanner);
            if (const std::uint8_t* frame = telo::FetchFrame(scanner)) {
                decode(scanner, frame);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kShortestPassMs));
        }
    });
    std::mt19937 random(2);
    std::uniform_int_distribution<int> gap(kShortestClickGapMs, kLongestClickGapMs);
    int refused = 0;
    double longest = 0;
    for (int i = 0; i < clicks; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        const auto start = Clock::now();
        refused += telo_scanner_led(&scanner, i % 2 == 0) ? 0 : 1;
        longest = std::max(longest, Milliseconds(Clock::now() - start).count());
    }
    clicking = false;
    worker.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<std::string> writes = tree.indicatorWrites("scanner");
    const std::string last = clicks % 2 == 1 ? "0x21" : "0x20";
    std::fprintf(figures,
                 "LED clicks while streaming and decoding: %d of %d refused, the longest took "
                 "%.2f ms; the device shows the last one: %s\n",
                 refused, clicks, longest, !writes.empty() && writes.back() == last ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv) {
    // The simulation must be in place before the first system call that it takes over.
    if (std::getenv("TELO_SIM_ROOT") == nullptr) {
        char root[] = "/tmp/bench-link-XXXXXX";
        if (::mkdtemp(root) == nullptr || ::setenv("TELO_SIM_ROOT", root, 1) != 0) {
            std::perror("bench-link");
            return 1;
        }
        ::execv("/proc/self/exe", argv);
        std::perror("bench-link");
        return 1;
    }
    telosim::SimTree tree(std::getenv("TELO_SIM_ROOT"));
    tree.clear();
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    std::string error;
    if (!telosim::ShowImage(tree, "scanner", TELO_TEST_DATA_DIR "/qr_hello.png", error)) {
        std::fprintf(stderr, "bench-link: %s\n", error.c_str());
        return 1;
    }
    // The library's lines go to a file of the root, the figures to standard output.
    std::fflush(stdout);
    const int figures = ::dup(STDOUT_FILENO);
    if (std::freopen((tree.root() + "/library.log").c_str(), "w", stdout) == nullptr) {
        return 1;
    }
    FILE* out = ::fdopen(figures, "w");
    Scanner* scanner = telo_scanner_create();
    while (scanner != nullptr && !telo_scanner_is_connect(scanner)) {
    }
    if (scanner == nullptr) {
        std::fprintf(stderr, "bench-link: no scanner (run it in the folder that holds etc/)\n");
        return 1;
    }
    measureFrameAge(*scanner, option(argc, argv, "--fetches", 100), out);
    measureLedClicks(*scanner, tree, option(argc, argv, "--clicks", 1000), out);
    telo_scanner_destroy(scanner);
    tree.clear();
    return 0;
}
