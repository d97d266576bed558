// SPDX-License-Identifier: MIT
#include "camera/camera_ds.h"

#include <cerrno>

#include "camera/video_input_devices.h"
#include "print_message.h"

namespace telo {
namespace {

constexpr unsigned kWaitAborted = 0x80004004;  // the time-out status callers know
constexpr int kFormatFailureLine = 196;

}  // namespace

int CCameraDS::GetCameraCount() {
    return countVideoInputDevices();
}

bool CCameraDS::OpenCamera(const std::string& node, bool, int width, int height) {
    CloseCamera();
    std::unique_ptr<CaptureStream> stream;
    if (CaptureStream::open(node, stream) < 0) {
        return false;
    }
    if (stream->readFormat() < 0) {
        PrintMessage("GetFormat Failed ! \n");
        return false;
    }
    if (stream->setFormat(width, height) < 0) {
        PrintMessage("%s:%d\n", "CCameraDS::OpenCamera", kFormatFailureLine);
        return false;
    }
    // A device that settled on anything but packed YUYV can't be decoded.
    if (stream->width() <= 0 || stream->height() <= 0) {
        return false;
    }
    stream_ = std::move(stream);
    width_ = stream_->width();
    height_ = stream_->height();
    return true;
}

int CCameraDS::StartCapture() {
    return stream_ ? stream_->start() : -ENODEV;
}

bool CCameraDS::waitForFrame(int timeoutMs) {
    return stream_ && stream_->waitFrame(timeoutMs) == 0;
}

const std::uint8_t* CCameraDS::QueryFrame(int timeoutMs) {
    if (!stream_) {
        return nullptr;
    }
    const std::size_t before = frame_.size;
    const int result = stream_->copyFrame(timeoutMs, frame_);
    if (result == -ETIMEDOUT) {
        // The HRESULT form on every platform: log readers match this line.
        PrintMessage("hr = 0x%x\n", kWaitAborted);
    }
    if (result < 0) {
        return nullptr;
    }
    if (frame_.size != before) {
        PrintMessage("size = %d\n", bufferSize());
    }
    return frame_.bytes.get();
}

std::shared_ptr<DeviceControl> CCameraDS::GetControl() const {
    return stream_ ? stream_->control() : nullptr;
}

void CCameraDS::CloseCamera() {
    stream_.reset();
    frame_ = FrameCopy();
    width_ = 0;
    height_ = 0;
}

}  // namespace telo
