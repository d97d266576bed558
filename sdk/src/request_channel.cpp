// SPDX-License-Identifier: MIT
#include "request_channel.h"

#include <chrono>
#include <system_error>

#include "control/device_property.h"
#include "print_message.h"
#include "timed_lock.h"

namespace telo {
namespace {

constexpr std::uint32_t kIndicatorBase = 0x20;
constexpr std::uint32_t kIndicatorLed = 0x01;
constexpr std::uint32_t kIndicatorBeeper = 0x04;
constexpr auto kStartPause = std::chrono::milliseconds(10);
// A request that meets a frame fetch's copy or the write of the previous request waits this much
// longer, so that it is not lost; a beep being sounded still refuses it.
constexpr auto kRequestWait = std::chrono::milliseconds(5);

}  // namespace

RequestChannel::~RequestChannel() {
    if (!thread_.joinable()) {
        return;
    }
    stopping_ = true;
    // Each mutex is taken once after the flag is set, so the thread has either seen the flag or
    // is waiting and gets the signal.
    { std::lock_guard<std::mutex> lock(deviceMutex_); }
    deviceCond_.notify_all();
    { std::lock_guard<std::timed_mutex> lock(controlMutex_); }
    controlCond_.notify_all();
    thread_.join();
}

int RequestChannel::start() {
    try {
        thread_ = std::thread(&RequestChannel::run, this);
    } catch (const std::system_error& failure) {
        PrintMessage("cannot start the control thread: %s\n", failure.what());
        return -failure.code().value();
    }
    std::this_thread::sleep_for(kStartPause);
    return 0;
}

template <typename Change>
bool RequestChannel::post(long deadlineNs, Change change) {
    std::unique_lock<std::timed_mutex> lock(controlMutex_, std::defer_lock);
    if (!lock.try_lock_until(lockDeadline(deadlineNs)) &&
        !lock.try_lock_until(std::chrono::system_clock::now() + kRequestWait)) {
        return false;
    }
    change();
    wakePending_ = true;
    controlCond_.notify_one();
    return true;
}

bool RequestChannel::postLed(bool on) {
    return post(kLedDeadlineNs, [&] { ledOn_ = on; });
}

bool RequestChannel::postBeep(std::int32_t milliseconds) {
    return post(kBeepDeadlineNs, [&] {
        beepMs_ = milliseconds;
        beepPending_ = true;
    });
}

std::unique_lock<std::timed_mutex> RequestChannel::tryLockForFetch() {
    std::unique_lock<std::timed_mutex> lock(controlMutex_, std::defer_lock);
    lock.try_lock_until(lockDeadline(kFrameFetchDeadlineNs));
    return lock;
}

void RequestChannel::attach(std::shared_ptr<DeviceControl> device) {
    // Without a device a pass holds controlMutex for moments only.
    std::lock_guard<std::timed_mutex> control(controlMutex_);
    beepPending_ = false;
    beepMs_ = 0;
    std::lock_guard<std::mutex> lock(deviceMutex_);
    device_ = std::move(device);
}

void RequestChannel::detach() {
    {
        std::lock_guard<std::mutex> lock(deviceMutex_);
        device_.reset();
    }
    deviceCond_.notify_all();
}

void RequestChannel::run() {
    std::unique_lock<std::timed_mutex> lock(controlMutex_);
    while (true) {
        // A request posted during the previous pass is served at once.
        controlCond_.wait(lock, [this] { return wakePending_ || stopping_; });
        if (stopping_) {
            return;
        }
        wakePending_ = false;
        writeIndicator(beepPending_);
        if (beepPending_) {
            sleepBeep(beepMs_);
            beepPending_ = false;
            beepMs_ = 0;
            writeIndicator(false);
        }
    }
}

void RequestChannel::writeIndicator(bool beeper) {
    const std::uint32_t value =
        kIndicatorBase | (ledOn_ ? kIndicatorLed : 0) | (beeper ? kIndicatorBeeper : 0);
    std::shared_ptr<DeviceControl> device;
    {
        std::lock_guard<std::mutex> lock(deviceMutex_);
        device = device_;
    }
    WriteDeviceProperty(kPropertyIndicator, &value, device.get());
}

// The beeper sounds for the beep's length, with controlMutex held as requests and frame fetches
// expect; the beep ends early when the device goes away or the thread stops.
void RequestChannel::sleepBeep(std::int32_t milliseconds) {
    const auto end = std::chrono::system_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(deviceMutex_);
    deviceCond_.wait_until(lock, end, [this] { return stopping_ || !device_; });
}

}  // namespace telo
