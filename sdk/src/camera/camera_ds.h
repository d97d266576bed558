// SPDX-License-Identifier: MIT
#ifndef TELO_CAMERA_CAMERA_DS_H
#define TELO_CAMERA_CAMERA_DS_H

#include <cstdint>
#include <memory>
#include <string>

#include "camera/capture_stream.h"

namespace telo {

class DeviceControl;

/// The scanner's camera: opens a video-input device, streams YUYV frames and hands out the
/// newest one. Operations must not overlap; the callers keep them apart.
class CCameraDS {
public:
    /// Frame wait of QueryFrame.
    static constexpr int kFrameWaitMs = 100;

    /// Number of video-input devices.
    static int GetCameraCount();

    /// Opens video-input device `node` (e.g. "video0") asking for width x height. A failed open
    /// leaves the object closed and ready to be opened again. The property page is not supported.
    bool OpenCamera(const std::string& node, bool showPropertyPage, int width, int height);
    /// Starts streaming: 0, or a negative errno once the attempt is undone so that it can be made
    /// again. Harmless while streaming.
    int StartCapture();
    /// Waits up to `timeoutMs` for a frame that was not handed out yet; true when there is one.
    bool waitForFrame(int timeoutMs);
    /// The newest frame not handed out yet, waiting at most `timeoutMs`; null on time-out, a lost
    /// device, a stopped stream or no memory. Valid until the next QueryFrame that sees another
    /// size, or CloseCamera.
    const std::uint8_t* QueryFrame(int timeoutMs = kFrameWaitMs);
    /// The open device's vendor-property channel, or null when closed.
    std::shared_ptr<DeviceControl> GetControl() const;
    /// Stops streaming and releases everything; closing a closed object does nothing.
    void CloseCamera();

    bool graphConnected() const { return stream_ != nullptr; }
    /// Whether frames flow or are about to: false before a start, after a failed one, and once
    /// the stream broke.
    bool capturing() const { return stream_ && stream_->streaming(); }
    /// Whether the open device went away; it stays so until the camera is closed.
    bool deviceLost() const { return stream_ && stream_->lost(); }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t bufferSize() const { return static_cast<std::int32_t>(frame_.size); }
    const std::uint8_t* frameBuffer() const { return frame_.bytes.get(); }

private:
    std::unique_ptr<CaptureStream> stream_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    FrameCopy frame_;
};

}  // namespace telo

#endif
