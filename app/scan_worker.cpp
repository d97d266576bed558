// SPDX-License-Identifier: MIT
#include "scan_worker.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "code_text.h"
#include "keyboard/keyboard_backend.h"
#include "keyboard/keyboard_text.h"
#include "scan_settings.h"

namespace {

constexpr std::chrono::milliseconds kCyclePause{100};
constexpr int32_t kBeepMs = 20;
constexpr int64_t kPauseAfterBeepMs = 25;
// Codes of this many bytes or more are output in the long-code order and need an extra
// second between two outputs in interval mode.
constexpr int32_t kLongCodeBytes = 200;
constexpr uint64_t kLongCodeExtraMs = 1000;

}  // namespace

ScanWorker::ScanWorker(ScanSettings& settings, KeyboardBackend& keyboard, Clock& clock,
                       WorkerSignals reports)
    : settings_(settings), keyboard_(keyboard), clock_(clock), reports_(std::move(reports)) {}

ScanWorker::~ScanWorker() {
    if (scanner_ == nullptr) {
        return;
    }
    settings_.connected_.store(false);
    settings_.scanner_.store(nullptr);
    telo_scanner_destroy(scanner_);
}

void ScanWorker::start() {
    attemptConnection();
}

void ScanWorker::cycle() {
    if (scanner_ == nullptr) {
        attemptConnection();
    } else {
        pollScanner();
    }
    keyboard_.idle();
    clock_.sleepFor(kCyclePause);
}

// A handle is published only once it has reported the scanner; one that has not is
// destroyed at once, so searching for hours holds no handles and the window never sees a
// handle that is about to go away.
void ScanWorker::attemptConnection() {
    Scanner* candidate = telo_scanner_create();
    if (candidate == nullptr) {
        return;
    }
    if (!telo_scanner_is_connect(candidate)) {
        telo_scanner_destroy(candidate);
        return;
    }
    scanner_ = candidate;
    settings_.scanner_.store(candidate);
    settings_.connected_.store(true);
    announced_ = true;
    // "connect" and "disconnect" are shown as they are: users read the status label by them.
    reports_.returnResult(QStringLiteral("connect"));
    reports_.deviceResult();
    reports_.lightResult();
}

void ScanWorker::pollScanner() {
    const bool present = telo_scanner_is_connect(scanner_);
    settings_.connected_.store(present);
    if (!present) {
        if (announced_) {
            announced_ = false;
            reports_.returnResult(QStringLiteral("disconnect"));
        }
        return;
    }
    if (!announced_) {
        announced_ = true;
        reports_.returnResult(QStringLiteral("connect"));
        reports_.lightResult();
    }
    Symbol* symbol = telo_scanner_decode(scanner_);
    if (symbol != nullptr && symbol->text != nullptr) {
        handleResult(*symbol);
    }
    telo_symbol_destroy(symbol);
}

void ScanWorker::handleResult(const Symbol& symbol) {
    const WallTime now = clock_.now();
    const std::string code(symbol.text);
    const OutputSettings output = settings_.output();
    const QString text = output.prefix + codeText(symbol.text, symbol.type) + output.suffix;

    if (output.singleMode && code != lastResult_) {
        if (output.beep == 1) {
            beep();
        }
        typeText(text);
        typeEnding(output);
        lastResult_ = code;
    }

    if (output.intervalMode && intervalReached(now, output.interval, symbol.length)) {
        if (symbol.length < kLongCodeBytes) {
            typeText(text);
            pause(symbol.length);
            beepAndWait(output);
            typeEnding(output);
        } else {
            beepAndWait(output);
            typeText(text);
            typeEnding(output);
            pause(symbol.length);
        }
        lastOutputTime_ = clock_.now();
    }
}

// The first output happens at once; a clock set back (negative elapsed time) also lets the
// code through, so that a changed clock never blocks output.
bool ScanWorker::intervalReached(const WallTime& now, uint64_t interval, int32_t length) const {
    if (!lastOutputTime_) {
        return true;
    }
    const int64_t elapsed = (now.seconds - lastOutputTime_->seconds) * 1000 +
                            (now.microseconds - lastOutputTime_->microseconds) / 1000;
    if (elapsed < 0) {
        return true;
    }
    uint64_t threshold = interval;
    if (length >= kLongCodeBytes) {
        const uint64_t headroom = std::numeric_limits<uint64_t>::max() - interval;
        threshold = headroom < kLongCodeExtraMs ? std::numeric_limits<uint64_t>::max()
                                                : interval + kLongCodeExtraMs;
    }
    return static_cast<uint64_t>(elapsed) >= threshold;
}

void ScanWorker::typeText(const QString& text) {
    KeyboardText(text.toLocal8Bit().constData()).send(keyboard_);
}

void ScanWorker::typeEnding(const OutputSettings& output) {
    if (output.enter) {
        pressEnter(keyboard_);
    }
    if (output.wrap) {
        KeyboardText("\r").send(keyboard_);
    }
}

void ScanWorker::beep() {
    telo_scanner_beep(scanner_, kBeepMs);
}

void ScanWorker::beepAndWait(const OutputSettings& output) {
    if (output.beep == 1) {
        beep();
        pause(kPauseAfterBeepMs);
    }
}

void ScanWorker::pause(int64_t milliseconds) {
    clock_.sleepFor(std::chrono::milliseconds(std::max<int64_t>(milliseconds, 0)));
}
