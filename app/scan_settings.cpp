// SPDX-License-Identifier: MIT
#include "scan_settings.h"

OutputSettings ScanSettings::output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

void ScanSettings::setModes(bool singleMode, bool intervalMode) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.singleMode = singleMode;
    output_.intervalMode = intervalMode;
}

void ScanSettings::setInterval(uint64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.interval = milliseconds;
}

void ScanSettings::setPrefix(const QString& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.prefix = prefix;
}

void ScanSettings::setSuffix(const QString& suffix) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.suffix = suffix;
}

void ScanSettings::setWrap(bool wrap) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.wrap = wrap;
}

void ScanSettings::setEnter(bool enter) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.enter = enter;
}

void ScanSettings::setBeep(int32_t beep) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.beep = beep;
}

ScanSettings& scanSettings() {
    static ScanSettings settings;
    return settings;
}
