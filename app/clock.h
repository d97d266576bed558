// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_CLOCK_H
#define OSTRELSCAN_CLOCK_H

#include <chrono>
#include <cstdint>

/// A calendar time: seconds and microseconds since 1 January 1970.
struct WallTime {
    int64_t seconds = 0;
    int64_t microseconds = 0;
};

/// The scan worker's source of wall-clock time and of pauses.
class Clock {
public:
    virtual ~Clock() = default;
    virtual WallTime now() = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

#endif
