// SPDX-License-Identifier: MIT
// bench-latency: scan-to-keystroke latency of the running application, from the moment the
// simulated scanner shows a new code to the first character at a focused X client; two QR
// codes alternate in single mode, so each switch is typed. Prints median and p95.
//
// From the source folder, with the tray host that the application docks into:
//
//   bench="tests/with_tray_host.sh build/bin/bench-latency"
//   xvfb-run -a -s "-screen 0 1280x1024x24" $bench [--codes N]
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app_session.h"
#include "text_receiver.h"

namespace {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int kDefaultCodes = 60;
constexpr double kTargetMedianMs = 120.0;
// The worker polls every 100 ms; a pause that varies over one cycle before each code keeps
// the codes from arriving at one fixed point of the cycle.
constexpr int kCycleMs = 100;

struct Code {
    const char* image;
    std::string text;
};

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "");
    QCoreApplication application(argc, argv);
    int codes = kDefaultCodes;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--codes") == 0) {
            codes = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    const std::vector<Code> alternating = {{"qr_hello.png", "HELLO-TELO-42"},
                                           {"qr_second.png", "SECOND-CODE"}};

    AppSession app;
    app.writeSettings("[General]\nworkmode=1\nqrcode=1\n");
    if (!app.start()) {
        std::fprintf(stderr, "bench-latency: the application did not start\n");
        return 1;
    }
    TextReceiver receiver(TextReceiver::Toolkit::Xterm);
    if (!receiver.ready()) {
        std::fprintf(stderr, "bench-latency: no focused receiver window on DISPLAY\n");
        return 1;
    }
    // The first code after start also waits for the connection; it is not counted.
    app.show(alternating.back().image);
    receiver.waitForCharacters(alternating.back().text.size(), 20s);
    receiver.settle(500ms);

    std::vector<double> latencies;
    int lost = 0;
    for (int i = 0; i < codes; ++i) {
        const Code& code = alternating[static_cast<size_t>(i) % alternating.size()];
        receiver.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds((i * 37) % kCycleMs));
        app.show(code.image);
        const auto shown = std::chrono::steady_clock::now();
        if (receiver.waitForCharacters(1, 5s).empty()) {
            ++lost;
            continue;
        }
        latencies.push_back(Milliseconds(std::chrono::steady_clock::now() - shown).count());
        const std::string typed = receiver.settle(300ms);
        if (typed != code.text) {
            std::fprintf(stderr, "bench-latency: typed \"%s\" for \"%s\"\n", typed.c_str(),
                         code.text.c_str());
        }
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "bench-latency: no code was typed\n");
        return 1;
    }

    const double median = percentile(latencies, 0.5);
    std::printf("%-28s %10s\n", "scan-to-keystroke", "ms");
    std::printf("%-28s %10zu\n", "codes typed", latencies.size());
    std::printf("%-28s %10d\n", "codes lost", lost);
    std::printf("%-28s %10.1f\n", "minimum", percentile(latencies, 0.0));
    std::printf("%-28s %10.1f   (target < %.0f)\n", "median", median, kTargetMedianMs);
    std::printf("%-28s %10.1f\n", "p95", percentile(latencies, 0.95));
    std::printf("%-28s %10.1f\n", "maximum", percentile(latencies, 1.0));
    return 0;
}
