#pragma once

#include <chrono>
#include <mutex>

namespace telo {

/// Deadlines of the library's timed locks, in nanoseconds past the current whole second.
constexpr long kFrameFetchDeadlineNs = 100000;
constexpr long kBeepDeadlineNs = 100000;
constexpr long kLedDeadlineNs = 300000;

/// An LED request comes from the user's switch on another thread than the decoding one and
/// would be lost whenever it met a frame fetch, which holds the lock while it waits up to
/// 100 ms for a frame; so it waits that long and a little more before it gives up.
constexpr std::chrono::milliseconds kLedWait{150};

/// Locks `mutex` with a deadline of the calendar time truncated to whole seconds plus
/// `nanoseconds`. The deadline has usually passed already, so this is an immediate try that
/// waits at most a fraction of a millisecond early in a second.
inline bool TimedLock(std::timed_mutex& mutex, long nanoseconds) {
    const auto second = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    return mutex.try_lock_until(second + std::chrono::nanoseconds(nanoseconds));
}

/// Locks `mutex` like TimedLock, or else waits up to `wait` for it. The deadline is on the
/// calendar clock like the others (pthread_mutex_timedlock, which every tool understands).
inline bool TimedLockOrWait(std::timed_mutex& mutex, long nanoseconds,
                            std::chrono::milliseconds wait) {
    return TimedLock(mutex, nanoseconds) ||
           mutex.try_lock_until(std::chrono::system_clock::now() + wait);
}

}  // namespace telo
