#include "control_thread.h"

#include <chrono>

#include "control/device_property.h"
#include "scanner.h"

namespace telo {
namespace {

constexpr std::uint32_t kIndicatorBase = 0x20;
constexpr std::uint32_t kIndicatorLed = 0x01;
constexpr std::uint32_t kIndicatorBeeper = 0x04;
constexpr auto kStartPause = std::chrono::milliseconds(10);
constexpr auto kSleepSlice = std::chrono::milliseconds(5);

void WriteIndicator(Scanner& scanner, bool beeper) {
    const std::uint32_t value =
        kIndicatorBase | (scanner.ledOn ? kIndicatorLed : 0) | (beeper ? kIndicatorBeeper : 0);
    if (scanner.deviceControl) {
        WriteDeviceProperty(kPropertyIndicator, &value, scanner.deviceControl.get());
    }
}

// Sleeps while holding controlMutex, as a beep does, but ends early when the thread is stopped.
void SleepUnlessStopped(std::int32_t milliseconds, const std::atomic<bool>& stopping) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopping.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) {
            return;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, kSleepSlice));
    }
}

void ControlThreadProc(Scanner& scanner, const std::atomic<bool>& stopping) {
    while (true) {
        std::unique_lock<std::timed_mutex> lock(scanner.controlMutex);
        scanner.controlEntered.fetch_add(1);
        // A request posted while the thread was outside its wait is served at once.
        scanner.controlCond.wait(lock, [&] { return scanner.wakePending || stopping.load(); });
        if (stopping.load()) {
            lock.unlock();
            scanner.controlEntered.fetch_sub(1);
            return;
        }
        scanner.wakePending = false;
        WriteIndicator(scanner, scanner.beepPending);
        if (scanner.beepPending) {
            SleepUnlessStopped(scanner.beepMs, stopping);
            scanner.beepPending = false;
            scanner.beepMs = 0;
            WriteIndicator(scanner, false);
        }
        lock.unlock();
        scanner.controlEntered.fetch_sub(1);
    }
}

}  // namespace

void ControlThread::start(Scanner& scanner) {
    stop();
    scanner_ = &scanner;
    stopping_.store(false);
    thread_ = std::thread(ControlThreadProc, std::ref(scanner), std::cref(stopping_));
}

void ControlThread::stop() {
    if (!thread_.joinable()) {
        return;
    }
    // Set first, so that a beep being sounded ends early; then take the mutex once, so the
    // thread is either before its wait (and sees the flag) or inside it (and gets the signal).
    stopping_.store(true);
    { std::lock_guard<std::timed_mutex> lock(scanner_->controlMutex); }
    scanner_->controlCond.notify_all();
    thread_.join();
}

void StartControlThread(Scanner& scanner) {
    scanner.controlThread.start(scanner);
    std::this_thread::sleep_for(kStartPause);
}

}  // namespace telo
