// SPDX-License-Identifier: MIT
#include "connection_monitor.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "camera/camera_ds.h"
#include "camera/video_input_devices.h"
#include "control/device_property.h"
#include "print_message.h"
#include "request_channel.h"
#include "scanner_identity.h"

namespace telo {
namespace {

constexpr std::uint32_t kCaptureEnableBit = 0x01;
constexpr std::uint32_t kNotReady = 0x3F;
constexpr std::uint32_t kReadyBits = 0x07;
constexpr std::uint32_t kHandshakeValue = 0x16;
constexpr auto kPollPause = std::chrono::milliseconds(1);
// A device that stops answering during the handshake must not hold the caller for good.
constexpr auto kHandshakeLimit = std::chrono::seconds(2);

std::uint32_t& firstByteSet(std::uint32_t& value, std::uint32_t byte) {
    value = (value & ~0xFFu) | byte;
    return value;
}

}  // namespace

int ConnectionMonitor::DiscoverScanner(const char* part1, const char* part2) {
    scannerNode_.clear();
    const std::vector<VideoInputDevice> devices = listVideoInputDevices();
    for (std::size_t index = 0; index < devices.size(); ++index) {
        const std::string& path = devices[index].devicePath;
        PrintMessage("psText = %s\n", path.c_str());
        if (path.find(part1) != std::string::npos && path.find(part2) != std::string::npos) {
            scannerNode_ = devices[index].node;
            return static_cast<int>(index);
        }
    }
    return -1;
}

int ConnectionMonitor::PollConnection() {
    try {
        return poll();
    } catch (const std::exception& failure) {
        // What the poll had begun is undone, and the next poll starts over.
        PrintMessage("PollConnection failed: %s\n", failure.what());
        closeDevice();
        lastCameraCount_ = -1;
        return -1;
    }
}

int ConnectionMonitor::poll() {
    const int count = CCameraDS::GetCameraCount();
    if (count == lastCameraCount_) {
        return cameraOpen_ ? keepOpen() : -1;
    }
    lastCameraCount_ = count;
    const bool found = count > 0 && DiscoverScanner(kScannerVendorId, kScannerProductId) >= 0;
    if (found) {
        return cameraOpen_ ? keepOpen() : openSequence();
    }
    if (cameraOpen_) {
        closeSequence();
    }
    return -1;
}

// The open device stays in use unless it went away: a reset or a replug between two polls
// leaves the count unchanged, so then the camera is closed and the next poll rediscovers. A
// stream that failed to start or stopped is started again.
int ConnectionMonitor::keepOpen() {
    if (camera_.deviceLost()) {
        closeSequence();
        lastCameraCount_ = -1;
        return -1;
    }
    if (!camera_.capturing()) {
        camera_.StartCapture();
    }
    return 0;
}

int ConnectionMonitor::openSequence() {
    if (!camera_.OpenCamera(scannerNode_, false, kFrameWidth, kFrameHeight)) {
        lastCameraCount_ = -1;
        return -1;
    }
    cameraOpen_ = true;
    const std::shared_ptr<DeviceControl> device = camera_.GetControl();
    std::uint32_t capture = 0;
    ReadDeviceProperty(kPropertyCapture, &capture, device.get());
    capture |= kCaptureEnableBit;
    WriteDeviceProperty(kPropertyCapture, &capture, device.get());
    requests_.attach(device);
    camera_.StartCapture();
    const int result = device ? handshake(*device) : 0;
    if (result < 0) {
        PrintMessage("scanner handshake failed: %s\n", std::strerror(-result));
        closeDevice();
        lastCameraCount_ = -1;
        return -1;
    }
    PrintMessage("open capture success\n");
    return 0;
}

// Waits for the ready state, then repeats the 0x16 handshake until the device echoes it: 0, or
// -ENODEV / -ETIMEDOUT. A device that reads 0x16 already finished the handshake of an earlier
// open and is not powered off since.
int ConnectionMonitor::handshake(DeviceControl& device) {
    const auto deadline = std::chrono::steady_clock::now() + kHandshakeLimit;
    std::uint32_t value = 0;
    bool ready = false;
    while (true) {
        if (ready) {
            WriteDeviceProperty(kPropertyReady, &firstByteSet(value, kHandshakeValue), &device);
            firstByteSet(value, 0);
        }
        ReadDeviceProperty(kPropertyReady, &value, &device);
        std::this_thread::sleep_for(kPollPause);
        const std::uint32_t state = value & 0xFF;
        if (state == kHandshakeValue) {
            return 0;
        }
        ready = ready || (state != kNotReady && (state & kReadyBits) == kReadyBits);
        if (camera_.deviceLost()) {
            return -ENODEV;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -ETIMEDOUT;
        }
    }
}

void ConnectionMonitor::closeSequence() {
    PrintMessage("close camera\n");
    closeDevice();
}

void ConnectionMonitor::closeDevice() {
    requests_.detach();
    camera_.CloseCamera();
    cameraOpen_ = false;
}

}  // namespace telo
