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

std::vector<TypedText> typedTexts(const std::vector<TimelineEvent>& events) {
    std::vector<TypedText> texts;
    bool inText = false;
    for (const TimelineEvent& e : events) {
        const bool isText = e.what.rfind("type:", 0) == 0;
        const bool isSeparator = e.what.rfind("Left ", 0) == 0 || e.what.rfind("Right ", 0) == 0;
        if (isText && inText) {
            texts.back().text += e.what.substr(5);
        } else if (isText) {
            texts.push_back(TypedText{e.ms, e.what.substr(5)});
        }
        inText = isText || (inText && isSeparator);
    }
    return texts;
}
