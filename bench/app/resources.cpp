// SPDX-License-Identifier: MIT
// bench-resources: CPU time (per cent of one core) and peak resident memory of the running
// application, idle with no scanner plugged and scanning with the simulated scanner showing
// a code at its frame rate, each over one minute by default.
//
// From the source folder, with the tray host that the application docks into:
//
//   bench="tests/with_tray_host.sh build/bin/bench-resources"
//   xvfb-run -a -s "-screen 0 1280x1024x24" $bench [--seconds N]
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
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

// utime + stime of process pid in seconds: fields 14 and 15 of /proc/PID/stat, counted after
// the parenthesised command name, which may itself hold spaces; -1 when unreadable.
double cpuSecondsOf(int64_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(end + 2));
    std::string skipped;
    for (int number = 3; number <= 13; ++number) {
        fields >> skipped;
    }
    int64_t utime = 0;
    int64_t stime = 0;
    fields >> utime >> stime;
    return fields ? static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK))
                  : -1;
}

struct Figures {
    double cpuPercent = 0;
    double peakResidentMb = 0;
};

Figures measure(AppSession& app, std::chrono::seconds span) {
    std::this_thread::sleep_for(kSettle);
    const double cpuBefore = cpuSecondsOf(app.pid());
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(span);
    const double cpu = cpuSecondsOf(app.pid()) - cpuBefore;
    const double wall = Seconds(std::chrono::steady_clock::now() - start).count();
    return {100.0 * cpu / wall, static_cast<double>(statusFieldOf(app.pid(), "VmHWM")) / 1024.0};
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
