// SPDX-License-Identifier: MIT
// The running application across 200 quick unplug/replug cycles (gone and back between two
// polls, the device count unchanged): every reconnection is reported once (the LED goes on once per
// connection), and descriptors, threads and memory do not grow with the cycles.
#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <thread>

#include "app_session.h"
#include "process_usage.h"
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;

constexpr int kCycles = 200;
constexpr int kWarmUpCycles = 10;
// Heap pages that the allocator keeps or returns at its own pace; growth by the cycles
// (a lost frame buffer of 600 KB per cycle, say) is far beyond this.
constexpr int64_t kResidentNoiseKb = 4 * 1024;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's quarantine holds freed memory back by design, so resident memory says
// nothing about leaks there; LeakSanitizer covers them instead.
constexpr bool kResidentMemoryTells = false;
#else
constexpr bool kResidentMemoryTells = true;
#endif

// The least of a few readings: the worker's polls open descriptors for moments (the device
// listing, the frame), which a single reading may catch.
ProcessUsage steadyUsageOf(int64_t pid) {
    ProcessUsage least = usageOf(pid);
    for (int reading = 1; reading < 10; ++reading) {
        std::this_thread::sleep_for(30ms);
        const ProcessUsage usage = usageOf(pid);
        least.openFiles = std::min(least.openFiles, usage.openFiles);
        least.threads = std::min(least.threads, usage.threads);
        least.residentKb = std::min(least.residentKb, usage.residentKb);
    }
    return least;
}

// Writes of the LED and beeper register with the LED bit set.
int ledOnWrites(AppSession& app) {
    int count = 0;
    for (const std::string& written : app.sim().indicatorWrites("scanner")) {
        const unsigned long value = std::stoul(written, nullptr, 16);
        count += (value & 0x01) != 0 ? 1 : 0;
    }
    return count;
}

// The library's line for each time it closed the lost scanner's camera.
int cameraCloses(AppSession& app) {
    return app.output().count(QStringLiteral("close camera\n"));
}

TEST(QuickReplugSoak, EveryReconnectionSwitchesTheLedOnOnceAndNothingGrows) {
    AppSession app;
    app.writeSettings("[General]\nbacklight=1\nworkmode=1\nqrcode=1\n");
    // Frames soon after each connection, so that every cycle decodes, the warm-up's too.
    app.sim().set("scanner", "first_frame_ms", "50");
    app.show("qr_hello.png");
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(waitUntil([&app] { return ledOnWrites(app) == 1; })) << "the first connection";

    ProcessUsage warmedUp;
    std::string warmedUpFiles;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        app.sim().unplug("scanner");
        app.sim().replug("scanner");
        ASSERT_TRUE(waitUntil([&] { return cameraCloses(app) == cycle; }))
            << "the loss is noticed in cycle " << cycle;
        ASSERT_TRUE(waitUntil([&] { return ledOnWrites(app) >= cycle + 1; }))
            << "the LED goes on again in cycle " << cycle;
        ASSERT_TRUE(app.running());
        if (cycle == kWarmUpCycles) {
            warmedUp = steadyUsageOf(app.pid());
            warmedUpFiles = openFilesOf(app.pid());
        }
    }
    // Late duplicates of a report would arrive within the window's LED pause.
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ledOnWrites(app), kCycles + 1) << "one LED switch per connection";
    EXPECT_EQ(cameraCloses(app), kCycles);

    const ProcessUsage end = steadyUsageOf(app.pid());
    EXPECT_EQ(end.openFiles, warmedUp.openFiles) << "after warm-up:\n"
                                                 << warmedUpFiles << "at the end:\n"
                                                 << openFilesOf(app.pid());
    EXPECT_EQ(end.threads, warmedUp.threads);
    if (kResidentMemoryTells) {
        EXPECT_LE(end.residentKb, warmedUp.residentKb + kResidentNoiseKb)
            << "resident memory after warm-up " << warmedUp.residentKb << " kB";
    }
}

}  // namespace
