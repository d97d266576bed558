// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_SCAN_SETTINGS_H
#define OSTRELSCAN_SCAN_SETTINGS_H

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "telo.h"

/// The output settings applied to one decoded barcode, copied as one consistent whole.
struct OutputSettings {
    bool intervalMode = false;  ///< type a code again once interval has passed
    bool singleMode = false;    ///< type a code once while it stays in view
    uint64_t interval = 0;      ///< minimum milliseconds between two outputs in interval mode
    QString suffix;             ///< typed after each code
    QString prefix;             ///< typed before each code
    bool wrap = false;          ///< type a carriage return after each code
    bool enter = false;         ///< press Enter after each code
    int32_t beep = 0;           ///< 1: beep for each typed code; any other value: no beep
};

/// The process-wide record shared by the main window (GUI thread), which writes the output
/// settings, and the scan worker, which reads them once per result and publishes the
/// scanner handle and its connection state. Every member function is safe to call from
/// either thread.
class ScanSettings {
public:
    /// One consistent copy of the output settings.
    OutputSettings output() const;

    /// Sets both work modes in one step, so the worker never sees a mixture of old and new.
    void setModes(bool singleMode, bool intervalMode);
    void setInterval(uint64_t milliseconds);
    void setPrefix(const QString& prefix);
    void setSuffix(const QString& suffix);
    void setWrap(bool wrap);
    void setEnter(bool enter);
    void setBeep(int32_t beep);

    /// The handle through which the worker found the scanner; null until then. Once set it
    /// stays valid until the worker ends, and it is the only handle the window may use.
    Scanner* scanner() const { return scanner_.load(); }

    /// Whether the scanner was connected at the worker's latest telo_scanner_is_connect on
    /// scanner(). The window asks this instead of calling telo_scanner_is_connect itself,
    /// which must never overlap the worker's telo_scanner_is_connect and
    /// telo_scanner_decode on the same handle.
    bool isConnected() const { return connected_.load(); }

private:
    friend class ScanWorker;

    mutable std::mutex mutex_;
    OutputSettings output_;
    std::atomic<Scanner*> scanner_{nullptr};
    std::atomic<bool> connected_{false};
};

/// The application's one ScanSettings record.
ScanSettings& scanSettings();

#endif
