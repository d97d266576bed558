#pragma once

#include <chrono>
#include <mutex>

namespace telo {

/// Deadlines of the library's timed locks, in nanoseconds past the current whole second.
constexpr long kFrameFetchDeadlineNs = 100000;
constexpr long kBeepDeadlineNs = 100000;
constexpr long kLedDeadlineNs = 300000;

/// Locks `mutex` with a deadline of the calendar time truncated to whole seconds plus
/// `nanoseconds`. The deadline has usually passed already, so this is an immediate try that
/// waits at most a fraction of a millisecond early in a second.
inline bool TimedLock(std::timed_mutex& mutex, long nanoseconds) {
    const auto second = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    return mutex.try_lock_until(second + std::chrono::nanoseconds(nanoseconds));
}

}  // namespace telo
