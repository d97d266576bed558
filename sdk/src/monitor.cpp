#include "monitor.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "camera/video_input_devices.h"
#include "control/device_property.h"
#include "print_message.h"
#include "scanner.h"

namespace telo {
namespace {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr std::uint32_t kCaptureEnableBit = 0x01;
constexpr std::uint32_t kNotReady = 0x3F;
constexpr std::uint32_t kReadyBits = 0x07;
constexpr std::uint32_t kHandshakeValue = 0x16;
constexpr auto kPollPause = std::chrono::milliseconds(1);
// A device that stops answering during the handshake must not hold the caller for good.
constexpr auto kHandshakeLimit = std::chrono::seconds(2);

// One process drives one scanner: the connection state is the process's, not the handle's.
// The callers keep polls apart; atomics only keep a stray overlap defined.
std::atomic<int> lastCameraCount{-1};
std::atomic<int> scannerIndex{-1};
std::atomic<int> cameraOpen{0};

std::uint32_t& FirstByteSet(std::uint32_t& value, std::uint32_t byte) {
    value = (value & ~0xFFu) | byte;
    return value;
}

// Waits for the ready state, then repeats the 0x16 handshake until it is echoed. False when
// the device does not get there in time.
bool Handshake(DeviceControl* device) {
    const auto deadline = std::chrono::steady_clock::now() + kHandshakeLimit;
    std::uint32_t value = 0;
    do {
        ReadDeviceProperty(kPropertyReady, &value, device);
        std::this_thread::sleep_for(kPollPause);
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    } while ((value & 0xFF) == kNotReady || (value & kReadyBits) != kReadyBits);
    do {
        WriteDeviceProperty(kPropertyReady, &FirstByteSet(value, kHandshakeValue), device);
        FirstByteSet(value, 0);
        ReadDeviceProperty(kPropertyReady, &value, device);
        std::this_thread::sleep_for(kPollPause);
        if ((value & 0xFF) != kHandshakeValue && std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    } while ((value & 0xFF) != kHandshakeValue);
    return true;
}

void CloseDevice(Scanner& scanner) {
    {
        std::lock_guard<std::timed_mutex> lock(scanner.controlMutex);
        scanner.deviceControl.reset();
    }
    scanner.camera.CloseCamera();
    cameraOpen = 0;
}

int OpenSequence(Scanner& scanner) {
    if (!scanner.camera.OpenCamera(scannerIndex, false, kFrameWidth, kFrameHeight)) {
        lastCameraCount = -1;
        cameraOpen = 0;
        return -1;
    }
    cameraOpen = 1;
    // The device channel is the control thread's too: its passes and these exchanges take turns
    // under controlMutex.
    std::unique_lock<std::timed_mutex> lock(scanner.controlMutex);
    scanner.deviceControl = scanner.camera.GetControl();
    std::uint32_t capture = 0;
    ReadDeviceProperty(kPropertyCapture, &capture, scanner.deviceControl.get());
    capture |= kCaptureEnableBit;
    WriteDeviceProperty(kPropertyCapture, &capture, scanner.deviceControl.get());
    scanner.beepPending = false;
    scanner.beepMs = 0;
    scanner.camera.StartCapture();
    if (scanner.deviceControl && !Handshake(scanner.deviceControl.get())) {
        lock.unlock();
        CloseDevice(scanner);
        lastCameraCount = -1;
        return -1;
    }
    lock.unlock();
    PrintMessage("open capture success\n");
    return 0;
}

int CloseSequence(Scanner& scanner) {
    PrintMessage("close camera\n");
    CloseDevice(scanner);
    // A fresh control thread; the LED and beep requests it finds are kept.
    scanner.controlThread.start(scanner);
    return -1;
}

}  // namespace

int DiscoverScanner(Scanner& scanner, const char* part1, const char* part2) {
    const std::vector<VideoInputDevice> devices = ListVideoInputDevices();
    for (std::size_t index = 0; index < devices.size(); ++index) {
        const std::string& path = devices[index].devicePath;
        PrintMessage("psText = %s\n", path.c_str());
        if (path.find(part1) != std::string::npos && path.find(part2) != std::string::npos) {
            scanner.discoveredNode = devices[index].node;
            return static_cast<int>(index);
        }
    }
    scanner.discoveredNode.clear();
    return -1;
}

int PollConnection(Scanner& scanner) {
    const int count = CCameraDS::GetCameraCount();
    if (count == lastCameraCount) {
        return cameraOpen == 1 ? 0 : -1;
    }
    if (count <= 0) {
        scannerIndex = -1;
        lastCameraCount = count;
        if (cameraOpen == 1) {
            CloseSequence(scanner);
        }
        return -1;
    }
    scannerIndex = DiscoverScanner(scanner, "0525", "a4c1");
    lastCameraCount = count;
    if (scannerIndex >= 0) {
        return cameraOpen == 1 ? 0 : OpenSequence(scanner);
    }
    if (cameraOpen == 1) {
        return CloseSequence(scanner);
    }
    return -1;
}

void ForgetConnection() {
    lastCameraCount = -1;
    scannerIndex = -1;
    cameraOpen = 0;
}

}  // namespace telo
