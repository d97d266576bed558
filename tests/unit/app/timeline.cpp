// SPDX-License-Identifier: MIT
#include "timeline.h"

Timeline& Timeline::instance() {
    static Timeline timeline;
    return timeline;
}

void Timeline::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

void Timeline::add(std::string what) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(TimelineEvent{nowMs_, std::move(what)});
}

void Timeline::extend(const std::string& prefix, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!events_.empty() && events_.back().what.compare(0, prefix.size(), prefix) == 0) {
        events_.back().what += text;
    } else {
        events_.push_back(TimelineEvent{nowMs_, prefix + text});
    }
}

std::vector<TimelineEvent> Timeline::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

int64_t Timeline::nowMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nowMs_;
}

void Timeline::setNowMs(int64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    nowMs_ = ms;
}

namespace {

// The typed texts with the times they began.
std::vector<TimelineEvent> typedTexts() {
    std::vector<TimelineEvent> texts;
    bool inText = false;
    for (const TimelineEvent& e : Timeline::instance().events()) {
        const bool isText = e.what.rfind("type:", 0) == 0;
        const bool isSeparator = e.what.rfind("Left ", 0) == 0 || e.what.rfind("Right ", 0) == 0;
        if (isText && inText) {
            texts.back().what += e.what.substr(5);
        } else if (isText) {
            texts.push_back(TimelineEvent{e.ms, e.what.substr(5)});
        }
        inText = isText || (inText && isSeparator);
    }
    return texts;
}

}  // namespace

std::vector<std::string> typed() {
    std::vector<std::string> texts;
    for (const TimelineEvent& t : typedTexts()) {
        texts.push_back(t.what);
    }
    return texts;
}

std::vector<int64_t> typingTimes() {
    std::vector<int64_t> times;
    for (const TimelineEvent& t : typedTexts()) {
        times.push_back(t.ms);
    }
    return times;
}

std::vector<std::string> steps() {
    std::vector<std::string> whats;
    for (const TimelineEvent& e : Timeline::instance().events()) {
        whats.push_back(e.what);
    }
    return whats;
}
