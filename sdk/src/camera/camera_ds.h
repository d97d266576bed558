#pragma once

#include <cstdint>
#include <memory>

#include "camera/capture_stream.h"

namespace telo {

class DeviceControl;

/// The scanner's camera: opens a video-input device by position, streams YUYV frames and keeps
/// a copy of the newest one. Operations must not overlap; the callers keep them apart.
class CCameraDS {
public:
    /// Number of video-input devices.
    static int GetCameraCount();

    /// Opens the device at position `index` asking for width x height. A failed open leaves the
    /// object closed and ready to be opened again. The property page is not supported here.
    bool OpenCamera(int index, bool showPropertyPage, int width, int height);
    /// Starts streaming; the result is the platform's status (0 on success).
    int StartCapture();
    /// The newest frame, waiting at most 100 ms; null on time-out, a lost device or no frame.
    /// Valid until the next QueryFrame that sees another size, or CloseCamera.
    const std::uint8_t* QueryFrame();
    /// The open device's vendor-property channel, or null when closed.
    std::shared_ptr<DeviceControl> GetControl() const;
    /// Stops streaming and releases everything; closing a closed object does nothing.
    void CloseCamera();

    bool graphConnected() const { return stream_ != nullptr; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t bufferSize() const { return bufferSize_; }
    const std::uint8_t* frameBuffer() const { return frameBuffer_.get(); }

private:
    std::unique_ptr<CaptureStream> stream_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t bufferSize_ = 0;
    std::unique_ptr<std::uint8_t[]> frameBuffer_;
};

}  // namespace telo
