// SPDX-License-Identifier: MIT
#include "thread.h"

#include "keyboard/keyboard_backend.h"
#include "scan_worker.h"

Thread::Thread(ScanSettings& settings, KeyboardBackend& keyboard)
    : settings_(settings), keyboard_(keyboard) {}

Thread::~Thread() {
    stop();
    wait();
}

void Thread::stop() {
    clock_.stop();
    keyboard_.cancel();
}

void Thread::run() {
    if (clock_.stopped()) {
        return;
    }
    ScanWorker worker(
        settings_, keyboard_, clock_,
        WorkerSignals{[this](const QString& result) { emit returnResult(result); },
                      [this] { emit deviceResult(); }, [this] { emit lightResult(); }});
    worker.start();
    while (!clock_.stopped()) {
        worker.cycle();
    }
}
