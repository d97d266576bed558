// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_STOPPABLE_CLOCK_H
#define OSTRELSCAN_STOPPABLE_CLOCK_H

#include <condition_variable>
#include <mutex>

#include "clock.h"

/// The system's wall clock, with pauses that stop() cuts short for good.
class StoppableClock final : public Clock {
public:
    WallTime now() override;
    /// Waits for duration, or returns at once when stop() was or is called meanwhile.
    void sleepFor(std::chrono::milliseconds duration) override;

    /// Ends the current pause and every later one; safe from any thread.
    void stop();
    bool stopped() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

#endif
