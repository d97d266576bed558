// SPDX-License-Identifier: MIT
// bench-resources: CPU time (per cent of one core) and peak resident memory of the running
// application, idle with no scanner plugged and scanning with the simulated scanner showing
// a code at its frame rate, each over one minute by default.
//
// From the source folder, with the tray host that the application docks into:
//
//   bench="tests/with_tray_host.sh build/bin/bench-resources"
//   xvfb-run -a -s "-screen 0 1280x1024x24" $bench [--seconds N]
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app_session.h"
#include "process_usage.h"
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr int kDefaultSeconds = 60;
// Start-up work (loading, the first connection) is left out of the measured span.
constexpr auto kSettle = 3s;

struct Figures {
    double cpuPercent = 0;
    double peakResidentMb = 0;
};

Figures measure(AppSession& app, std::chrono::seconds span) {
    std::this_thread::sleep_for(kSettle);
    const ProcessUsage before = usageOf(app.pid());
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(span);
    const ProcessUsage after = usageOf(app.pid());
    const double wall = Seconds(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(after.cpuTicks - before.cpuTicks) /
                       static_cast<double>(ticksPerSecond());
    return {100.0 * cpu / wall, static_cast<double>(after.peakResidentKb) / 1024.0};
}

void printRow(const char* phase, const Figures& figures, double cpuTarget) {
    std::printf("%-10s %8.2f %%  (< %4.1f)  %8.1f MB  (< 80)\n", phase, figures.cpuPercent,
                cpuTarget, figures.peakResidentMb);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "");
    QCoreApplication application(argc, argv);
    int seconds = kDefaultSeconds;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    const std::chrono::seconds span(seconds);

    Figures idle;
    {
        AppSession app;
        app.sim().unplug("scanner");
        if (!app.start()) {
            std::fprintf(stderr, "bench-resources: the application did not start\n");
            return 1;
        }
        idle = measure(app, span);
    }

    Figures scanning;
    {
        AppSession app;
        app.writeSettings("[General]\nworkmode=1\nqrcode=1\n");
        app.show("qr_hello.png");
        if (!app.start() ||
            !waitUntil([&app] { return app.output().contains("open capture success"); }, 20s)) {
            std::fprintf(stderr, "bench-resources: the application did not connect\n");
            return 1;
        }
        scanning = measure(app, span);
    }

    std::printf("over %d s   %10s  %9s  %11s\n", seconds, "CPU", "target", "peak RSS");
    printRow("idle", idle, 1.0);
    printRow("scanning", scanning, 10.0);
    return 0;
}
