// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_THREAD_H
#define OSTRELSCAN_THREAD_H

#include <QString>
#include <QThread>

#include "stoppable_clock.h"

class KeyboardBackend;
class ScanSettings;

/// The scan worker thread: polls the scanner about ten times a second and types every
/// decoded barcode into the focused window (see ScanWorker). Its signals reach receivers in
/// other threads queued.
///
/// It runs from start() until stop(); a stopped Thread does not run again. Construct,
/// start, stop and destroy it from the thread that owns the window, the only other user of
/// the scanner handle, which the worker destroys when it ends.
class Thread : public QThread {
    Q_OBJECT

public:
    /// settings and keyboard must outlive the thread; keyboard types only for the worker.
    Thread(ScanSettings& settings, KeyboardBackend& keyboard);
    /// Stops the loop and waits for it to end.
    ~Thread() override;

    /// Asks the loop to end; its pauses and the text it types are cut short. Does not wait
    /// (see QThread::wait).
    void stop();

signals:
    void returnResult(QString result);
    void deviceResult();
    void lightResult();

protected:
    void run() override;

private:
    ScanSettings& settings_;
    KeyboardBackend& keyboard_;
    StoppableClock clock_;
};

#endif
