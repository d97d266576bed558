// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_TIMELINE_H
#define OSTRELSCAN_TESTS_TIMELINE_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

/// One observable step of the worker: a library call, a keyboard event or a pause, with the
/// fake time at which it happened.
struct TimelineEvent {
    int64_t ms = 0;
    std::string what;
};

/// The process-wide record that the fake library, the recording keyboard and the fake clock
/// write, so that tests can check the order of beeps, typing and pauses. Thread-safe.
class Timeline {
public:
    static Timeline& instance();

    /// Forgets the events; the time stays.
    void clear();
    void add(std::string what);
    /// Appends text to the last event when that one starts with prefix, else adds prefix+text.
    void extend(const std::string& prefix, const std::string& text);
    std::vector<TimelineEvent> events() const;

    int64_t nowMs() const;
    void setNowMs(int64_t ms);

private:
    mutable std::mutex mutex_;
    std::vector<TimelineEvent> events_;
    int64_t nowMs_ = 0;
};

/// The texts the recording keyboard typed: "type:" runs joined across the separator events
/// between repeated characters (outputs with nothing between them run together), and the
/// times they began.
std::vector<std::string> typed();
std::vector<int64_t> typingTimes();
/// Every event, in order, without its time.
std::vector<std::string> steps();

#endif
