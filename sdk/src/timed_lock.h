// SPDX-License-Identifier: MIT
#ifndef TELO_TIMED_LOCK_H
#define TELO_TIMED_LOCK_H

#include <chrono>

namespace telo {

/// Deadlines of the library's timed locks, in nanoseconds past the current whole second.
constexpr long kFrameFetchDeadlineNs = 100000;
constexpr long kBeepDeadlineNs = 100000;
constexpr long kLedDeadlineNs = 300000;

/// The deadline of a timed lock: the calendar time truncated to whole seconds plus `nanoseconds`.
/// It has usually passed already, so the lock is an immediate try that waits at most a fraction
/// of a millisecond early in a second. Calendar-clock deadlines are what every tool follows
/// (pthread_mutex_timedlock). The immediate try is kept: callers rely on a busy handle failing
/// the call at once rather than stalling the poll.
inline std::chrono::system_clock::time_point lockDeadline(long nanoseconds) {
    const auto second = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    return second + std::chrono::nanoseconds(nanoseconds);
}

}  // namespace telo

#endif
