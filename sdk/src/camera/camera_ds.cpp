#include "camera/camera_ds.h"

#include <cstring>
#include <limits>
#include <new>

#include "camera/video_input_devices.h"
#include "print_message.h"

namespace telo {
namespace {

constexpr int kFrameWaitMs = 100;
constexpr unsigned kWaitAborted = 0x80004004;  // the time-out status callers know
constexpr int kFormatFailureLine = 196;

}  // namespace

int CCameraDS::GetCameraCount() {
    return CountVideoInputDevices();
}

bool CCameraDS::OpenCamera(int index, bool, int width, int height) {
    CloseCamera();
    if (index < 0) {
        return false;
    }
    const std::vector<VideoInputDevice> devices = ListVideoInputDevices();
    if (static_cast<std::size_t>(index) >= devices.size()) {
        return false;
    }
    CaptureStream::OpenStatus status;
    std::unique_ptr<CaptureStream> stream =
        CaptureStream::Open(devices[static_cast<std::size_t>(index)].node, width, height, status);
    switch (status) {
        case CaptureStream::OpenStatus::FormatUnreadable:
            PrintMessage("GetFormat Failed ! \n");
            return false;
        case CaptureStream::OpenStatus::FormatRefused:
            PrintMessage("%s:%d\n", "CCameraDS::OpenCamera", kFormatFailureLine);
            return false;
        case CaptureStream::OpenStatus::Opened:
            break;
        default:
            return false;
    }
    stream_ = std::move(stream);
    width_ = stream_->width();
    height_ = stream_->height();
    return true;
}

int CCameraDS::StartCapture() {
    if (!stream_) {
        return -1;
    }
    return stream_->start() ? 0 : -1;
}

const std::uint8_t* CCameraDS::QueryFrame() {
    if (!stream_) {
        return nullptr;
    }
    CaptureStream::Frame frame;
    switch (stream_->waitNewest(kFrameWaitMs, frame)) {
        case CaptureStream::WaitResult::Timeout:
            PrintMessage("hr = 0x%x\n", kWaitAborted);
            return nullptr;
        case CaptureStream::WaitResult::Frame:
            break;
        default:
            return nullptr;
    }
    if (frame.size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return nullptr;
    }
    const auto size = static_cast<std::int32_t>(frame.size);
    if (size != bufferSize_ || !frameBuffer_) {
        frameBuffer_.reset();
        bufferSize_ = 0;
        frameBuffer_.reset(new (std::nothrow) std::uint8_t[frame.size]);
        if (!frameBuffer_) {
            return nullptr;
        }
        bufferSize_ = size;
        PrintMessage("size = %d\n", bufferSize_);
    }
    std::memcpy(frameBuffer_.get(), frame.data, frame.size);
    return frameBuffer_.get();
}

std::shared_ptr<DeviceControl> CCameraDS::GetControl() const {
    return stream_ ? stream_->control() : nullptr;
}

void CCameraDS::CloseCamera() {
    stream_.reset();
    frameBuffer_.reset();
    width_ = 0;
    height_ = 0;
    bufferSize_ = 0;
}

}  // namespace telo
