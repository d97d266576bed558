// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_DEADLINE_H
#define TELO_ENGINE_DEADLINE_H

#include <chrono>

namespace telo::engine {

/// The end of one decode's time budget. Steps that cannot be interrupted (a ZXing call) ask
/// whether their expected cost still fits; loops ask whether the time is up.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(Clock::time_point end) : end_(end) {}
    static Deadline after(int milliseconds) {
        return Deadline(Clock::now() + std::chrono::milliseconds(milliseconds));
    }

    bool passed() const { return Clock::now() >= end_; }
    double remainingMs() const {
        return std::chrono::duration<double, std::milli>(end_ - Clock::now()).count();
    }
    /// True when a step expected to take `milliseconds` ends before the deadline.
    bool allows(double milliseconds) const { return remainingMs() > milliseconds; }

private:
    Clock::time_point end_;
};

}  // namespace telo::engine

#endif
