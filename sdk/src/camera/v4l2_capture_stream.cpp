// CaptureStream on V4L2: mmap streaming with a few buffers, newest frame first.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "camera/capture_stream.h"
#include "control/uvc_device_control.h"
#include "unique_fd.h"

namespace telo {
namespace {

constexpr std::uint32_t kBufferCount = 4;
constexpr std::uint32_t kMinimumBuffers = 2;

int Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

/// One mmap'ed capture buffer.
class MappedBuffer {
public:
    MappedBuffer(void* address, std::size_t length) : address_(address), length_(length) {}
    ~MappedBuffer() {
        if (address_ != MAP_FAILED) {
            ::munmap(address_, length_);
        }
    }
    MappedBuffer(MappedBuffer&& other) noexcept : address_(other.address_), length_(other.length_) {
        other.address_ = MAP_FAILED;
    }
    MappedBuffer(const MappedBuffer&) = delete;
    MappedBuffer& operator=(const MappedBuffer&) = delete;
    MappedBuffer& operator=(MappedBuffer&&) = delete;

    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(address_); }
    std::size_t length() const { return length_; }

private:
    void* address_;
    std::size_t length_;
};

}  // namespace

struct CaptureStream::Impl {
    std::shared_ptr<UniqueFd> fd;
    std::shared_ptr<DeviceControl> control;
    std::vector<MappedBuffer> buffers;
    int width = 0;
    int height = 0;
    bool streaming = false;
    int heldBuffer = -1;  // dequeued and handed out until the next wait

    ~Impl() {
        if (!fd || !fd->valid()) {
            return;
        }
        if (streaming) {
            int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            Ioctl(fd->get(), VIDIOC_STREAMOFF, &type);
        }
        buffers.clear();
        v4l2_requestbuffers release{};
        release.count = 0;
        release.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        release.memory = V4L2_MEMORY_MMAP;
        Ioctl(fd->get(), VIDIOC_REQBUFS, &release);
    }

    bool queue(std::uint32_t index) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = index;
        return Ioctl(fd->get(), VIDIOC_QBUF, &buffer) == 0;
    }

    bool mapBuffers() {
        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (Ioctl(fd->get(), VIDIOC_REQBUFS, &request) < 0 || request.count < kMinimumBuffers) {
            return false;
        }
        for (std::uint32_t i = 0; i < request.count; ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (Ioctl(fd->get(), VIDIOC_QUERYBUF, &buffer) < 0) {
                return false;
            }
            void* address =
                ::mmap(nullptr, buffer.length, PROT_READ, MAP_SHARED, fd->get(), buffer.m.offset);
            if (address == MAP_FAILED) {
                return false;
            }
            buffers.emplace_back(address, buffer.length);
        }
        return true;
    }
};

CaptureStream::CaptureStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CaptureStream::~CaptureStream() = default;

std::unique_ptr<CaptureStream> CaptureStream::Open(const std::string& node, int width, int height,
                                                   OpenStatus& status) {
    auto impl = std::make_unique<Impl>();
    const std::string path = "/dev/" + node;
    impl->fd = std::make_shared<UniqueFd>(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!impl->fd->valid()) {
        status = OpenStatus::NoDevice;
        return nullptr;
    }

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(impl->fd->get(), VIDIOC_G_FMT, &format) < 0) {
        status = OpenStatus::FormatUnreadable;
        return nullptr;
    }
    format.fmt.pix.width = static_cast<std::uint32_t>(width);
    format.fmt.pix.height = static_cast<std::uint32_t>(height);
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (Ioctl(impl->fd->get(), VIDIOC_S_FMT, &format) < 0) {
        status = OpenStatus::FormatRefused;
        return nullptr;
    }
    // The driver may settle on another size; anything but packed YUYV can't be decoded.
    if (format.fmt.pix.pixelformat != V4L2_PIX_FMT_YUYV || format.fmt.pix.width == 0 ||
        format.fmt.pix.height == 0 || !impl->mapBuffers()) {
        status = OpenStatus::Unsupported;
        return nullptr;
    }
    impl->width = static_cast<int>(format.fmt.pix.width);
    impl->height = static_cast<int>(format.fmt.pix.height);
    impl->control =
        std::make_shared<UvcDeviceControl>(impl->fd, VendorExtensionUnitsOf(node.c_str()));
    status = OpenStatus::Opened;
    return std::unique_ptr<CaptureStream>(new CaptureStream(std::move(impl)));
}

int CaptureStream::width() const {
    return impl_->width;
}
int CaptureStream::height() const {
    return impl_->height;
}
std::shared_ptr<DeviceControl> CaptureStream::control() const {
    return impl_->control;
}

bool CaptureStream::start() {
    if (impl_->streaming) {
        return true;
    }
    for (std::uint32_t i = 0; i < impl_->buffers.size(); ++i) {
        if (!impl_->queue(i)) {
            return false;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    impl_->streaming = Ioctl(impl_->fd->get(), VIDIOC_STREAMON, &type) == 0;
    return impl_->streaming;
}

CaptureStream::WaitResult CaptureStream::waitNewest(int timeoutMs, Frame& frame) {
    if (impl_->heldBuffer >= 0) {
        impl_->queue(static_cast<std::uint32_t>(impl_->heldBuffer));
        impl_->heldBuffer = -1;
    }
    if (!impl_->streaming && !start()) {
        return WaitResult::NoFrame;
    }

    pollfd waiter{impl_->fd->get(), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiter, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return WaitResult::Timeout;
    }
    if (ready < 0) {
        return WaitResult::NoFrame;
    }

    // Drain the queue so the caller always sees the newest frame; older ones go back at once.
    bool lost = (waiter.revents & (POLLERR | POLLHUP)) != 0 && (waiter.revents & POLLIN) == 0;
    int newest = -1;
    std::uint32_t newestSize = 0;
    while (!lost) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (Ioctl(impl_->fd->get(), VIDIOC_DQBUF, &buffer) < 0) {
            lost = errno != EAGAIN;
            break;
        }
        if (buffer.index >= impl_->buffers.size()) {
            continue;
        }
        const bool usable = (buffer.flags & V4L2_BUF_FLAG_ERROR) == 0 && buffer.bytesused > 0;
        if (!usable) {
            impl_->queue(buffer.index);
            continue;
        }
        if (newest >= 0) {
            impl_->queue(static_cast<std::uint32_t>(newest));
        }
        newest = static_cast<int>(buffer.index);
        newestSize = buffer.bytesused;
    }
    if (newest < 0) {
        return lost ? WaitResult::DeviceLost : WaitResult::NoFrame;
    }
    impl_->heldBuffer = newest;
    const MappedBuffer& mapped = impl_->buffers[static_cast<std::size_t>(newest)];
    frame.data = mapped.data();
    // A driver's byte count never reaches past the mapping.
    frame.size = std::min<std::size_t>(newestSize, mapped.length());
    return WaitResult::Frame;
}

}  // namespace telo
