// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_SCAN_WORKER_H
#define OSTRELSCAN_SCAN_WORKER_H

#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "clock.h"
#include "telo.h"

class KeyboardBackend;
class ScanSettings;
struct OutputSettings;

/// Where the worker reports connection changes.
struct WorkerSignals {
    std::function<void(const QString&)> returnResult;  ///< "connect" or "disconnect"
    std::function<void()> deviceResult;  ///< scanner found through a newly created handle
    std::function<void()> lightResult;   ///< scanner found, through a new or the bound handle
};

/// The scan loop's logic: finds the scanner, polls it, and types each decoded barcode
/// following the output settings. Runs on one thread; Thread drives it.
class ScanWorker {
public:
    ScanWorker(ScanSettings& settings, KeyboardBackend& keyboard, Clock& clock,
               WorkerSignals reports);
    /// Withdraws the handle from settings and destroys it.
    ~ScanWorker();

    ScanWorker(const ScanWorker&) = delete;
    ScanWorker& operator=(const ScanWorker&) = delete;

    /// The first connection attempt, made once before the first cycle.
    void start();

    /// One pass of the loop: a connection attempt while no scanner has been found, else a
    /// connection check and, while connected, one decode and its output; then the pause.
    void cycle();

private:
    void attemptConnection();
    void pollScanner();
    void handleResult(const Symbol& symbol);
    bool intervalReached(const WallTime& now, uint64_t interval, int32_t length) const;
    void typeText(const QString& text);
    /// Enter, then the carriage-return character, each when switched on.
    void typeEnding(const OutputSettings& output);
    void beep();
    /// The beep and the pause after it, when the beep is switched on.
    void beepAndWait(const OutputSettings& output);
    void pause(int64_t milliseconds);

    ScanSettings& settings_;
    KeyboardBackend& keyboard_;
    Clock& clock_;
    WorkerSignals reports_;
    Scanner* scanner_ = nullptr;
    bool announced_ = false;
    std::string lastResult_;
    std::optional<WallTime> lastOutputTime_;
};

#endif
