// SPDX-License-Identifier: MIT
#ifndef TELO_CAMERA_CAPTURE_STREAM_H
#define TELO_CAMERA_CAPTURE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace telo {

class DeviceControl;

/// Frame bytes owned by the reader; reallocated only when the frame size changes.
struct FrameCopy {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

/// A video-input device streaming packed YUYV frames: the platform back end of CCameraDS. While
/// it streams, a thread of its own dequeues every frame and keeps the newest, as a sample
/// grabber does, so that a frame handed out is never older than about one frame period.
/// Results are 0 or a negative errno.
class CaptureStream {
public:
    /// Opens device `node` (e.g. "video0") into `stream`.
    static int open(const std::string& node, std::unique_ptr<CaptureStream>& stream);
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    int readFormat();
    /// Asks for width x height YUYV, starting from the format readFormat read. width() and
    /// height() then give the size the device settled on, or 0 when it is not packed YUYV.
    int setFormat(int width, int height);
    int width() const;
    int height() const;

    /// Maps the buffers and starts streaming and the frame thread. A failed start is undone
    /// (stream off, buffers unmapped and released), so that it can be tried again.
    int start();
    /// Whether frames flow or are about to.
    bool streaming() const;
    /// Whether the device went away; it stays lost.
    bool lost() const;

    /// Waits up to `timeoutMs` for a frame not handed out yet: 0, -ETIMEDOUT, or -ENODEV / -EIO
    /// when the stream stopped.
    int waitFrame(int timeoutMs);
    /// Like waitFrame, then copies that frame into `out` and counts it as handed out.
    int copyFrame(int timeoutMs, FrameCopy& out);

    /// The device's vendor-property channel; it stays usable after the stream is gone.
    std::shared_ptr<DeviceControl> control() const;

private:
    struct Impl;
    explicit CaptureStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace telo

#endif
