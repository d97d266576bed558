// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_FAKE_CLOCK_H
#define OSTRELSCAN_TESTS_FAKE_CLOCK_H

#include <string>

#include "clock.h"
#include "timeline.h"

/// A clock on the Timeline's fake time: pauses are logged as "sleep <ms>" and advance the
/// time at once. Time 0 lies at wall-clock second kEpochSeconds.
class FakeClock final : public Clock {
public:
    static constexpr int64_t kEpochSeconds = 1700000000;

    WallTime now() override {
        const int64_t ms = Timeline::instance().nowMs();
        const int64_t seconds = ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
        return WallTime{kEpochSeconds + seconds, (ms - seconds * 1000) * 1000};
    }

    void sleepFor(std::chrono::milliseconds duration) override {
        Timeline& timeline = Timeline::instance();
        timeline.add("sleep " + std::to_string(duration.count()));
        timeline.setNowMs(timeline.nowMs() + duration.count());
    }

    /// Moves the wall clock by ms (negative: set back) without a pause.
    void shift(int64_t ms) { Timeline::instance().setNowMs(Timeline::instance().nowMs() + ms); }
};

#endif
