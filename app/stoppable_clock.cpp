// SPDX-License-Identifier: MIT
#include "stoppable_clock.h"

WallTime StoppableClock::now() {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<microseconds>(system_clock::now().time_since_epoch());
    const auto seconds = duration_cast<std::chrono::seconds>(sinceEpoch);
    return WallTime{seconds.count(), (sinceEpoch - seconds).count()};
}

void StoppableClock::sleepFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, duration, [this] { return stopped_; });
}

void StoppableClock::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

bool StoppableClock::stopped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}
