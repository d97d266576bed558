#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace telo {

class DeviceControl;

/// A streaming video-input device delivering packed YUYV frames: the platform back end of
/// CCameraDS.
class CaptureStream {
public:
    enum class OpenStatus { Opened, NoDevice, FormatUnreadable, FormatRefused, Unsupported };
    enum class WaitResult { Frame, Timeout, NoFrame, DeviceLost };

    struct Frame {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
    };

    /// Opens device `node` and asks for width x height YUYV; the device settles the size.
    static std::unique_ptr<CaptureStream> Open(const std::string& node, int width, int height,
                                               OpenStatus& status);
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    int width() const;
    int height() const;

    /// Starts streaming; harmless when it already runs.
    bool start();

    /// Waits up to `timeoutMs` for a frame and hands out the newest one; older queued frames are
    /// dropped. The frame stays valid until the next call or destruction.
    WaitResult waitNewest(int timeoutMs, Frame& frame);

    /// The device's vendor-property channel; it stays usable after the stream is gone.
    std::shared_ptr<DeviceControl> control() const;

private:
    struct Impl;
    explicit CaptureStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace telo
