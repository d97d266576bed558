// SPDX-License-Identifier: MIT
// CaptureStream on V4L2: mmap streaming with a few buffers and a thread that keeps the newest
// frame.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "camera/capture_stream.h"
#include "control/uvc_device_control.h"
#include "print_message.h"
#include "unique_fd.h"
#include "v4l2_device.h"

namespace telo {
namespace {

constexpr std::uint32_t kBufferCount = 4;
constexpr std::uint32_t kMinimumBuffers = 2;

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

v4l2_buffer bufferRequest(std::uint32_t index) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

}  // namespace

struct CaptureStream::Impl {
    std::shared_ptr<UniqueFd> fd;
    std::shared_ptr<DeviceControl> control;
    v4l2_format format{};
    int width = 0;
    int height = 0;
    bool requested = false;  // buffers requested and not released since
    bool streamOn = false;   // streaming switched on and not off since
    std::atomic<bool> running{false};
    std::atomic<bool> lost{false};
    UniqueFd stopSignal;  // an eventfd that ends the frame thread's wait
    std::thread thread;

    std::mutex mutex;
    std::condition_variable frameReady;
    // Guarded by mutex. The buffers change only while the frame thread does not run.
    std::vector<MappedBuffer> buffers;
    int newest = -1;  // the dequeued buffer that holds the newest frame
    std::size_t newestSize = 0;
    std::uint64_t frames = 0;     // frames kept so far
    std::uint64_t handedOut = 0;  // `frames` when the last one was handed out

    ~Impl() {
        stopStreaming();
        // The device channel may keep the descriptor open: releasing the buffers also gives up
        // the right to stream that setting the format took.
        if (!lost) {
            releaseBuffers();
        }
    }

    // A device that answers ENODEV is gone for good.
    int checked(int result) {
        if (result == -ENODEV) {
            lost = true;
        }
        return result;
    }

    int queue(std::uint32_t index) {
        v4l2_buffer buffer = bufferRequest(index);
        return checked(TELO_IOCTL(fd->get(), VIDIOC_QBUF, &buffer));
    }

    int releaseBuffers() {
        v4l2_requestbuffers release{};
        release.count = 0;
        release.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        release.memory = V4L2_MEMORY_MMAP;
        return checked(TELO_IOCTL(fd->get(), VIDIOC_REQBUFS, &release));
    }

    int mapBuffers() {
        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        requested = true;
        int result = checked(TELO_IOCTL(fd->get(), VIDIOC_REQBUFS, &request));
        if (result == 0 && request.count < kMinimumBuffers) {
            PrintMessage("VIDIOC_REQBUFS: %u buffers only\n", request.count);
            result = -ENOMEM;
        }
        std::vector<MappedBuffer> mapped;
        for (std::uint32_t i = 0; result == 0 && i < request.count; ++i) {
            v4l2_buffer buffer = bufferRequest(i);
            result = checked(TELO_IOCTL(fd->get(), VIDIOC_QUERYBUF, &buffer));
            void* address = result < 0 ? MAP_FAILED
                                       : ::mmap(nullptr, buffer.length, PROT_READ, MAP_SHARED,
                                                fd->get(), buffer.m.offset);
            if (result == 0 && address == MAP_FAILED) {
                result = -errno;
                PrintMessage("mmap: %s\n", std::strerror(-result));
            }
            if (result == 0) {
                mapped.emplace_back(address, buffer.length);
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        buffers = std::move(mapped);
        return result;
    }

    int startThread() {
        stopSignal.reset(::eventfd(0, EFD_CLOEXEC));
        if (!stopSignal.valid()) {
            const int error = errno;
            PrintMessage("eventfd: %s\n", std::strerror(error));
            return -error;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = true;
        }
        try {
            thread = std::thread(&Impl::run, this);
        } catch (const std::system_error& failure) {
            running = false;
            PrintMessage("cannot start the frame thread: %s\n", failure.what());
            return -failure.code().value();
        }
        return 0;
    }

    // Ends the frame thread, switches streaming off, unmaps the buffers and releases them. A step
    // that fails is tried again at the next stop.
    void stopStreaming() {
        if (thread.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(stopSignal.get(), &one, sizeof one);
            thread.join();
        }
        running = false;
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (streamOn) {
            streamOn = checked(TELO_IOCTL(fd->get(), VIDIOC_STREAMOFF, &type)) < 0 && !lost;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            buffers.clear();
            newest = -1;
            handedOut = frames;
        }
        if (requested) {
            requested = releaseBuffers() < 0 && !lost;
        }
    }

    // The frame thread: waits for finished buffers until it is stopped or the stream breaks.
    void run() {
        pollfd waits[] = {{fd->get(), POLLIN, 0}, {stopSignal.get(), POLLIN, 0}};
        int result = 0;
        while (result == 0) {
            if (::poll(waits, 2, -1) < 0) {
                result = errno == EINTR ? 0 : -errno;
                continue;
            }
            if (waits[1].revents != 0) {
                break;
            }
            result = drain(waits[0].revents);
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
        }
        frameReady.notify_all();
    }

    // Dequeues every finished buffer, keeps the newest good frame and queues the others again:
    // 0, or what broke the stream. Buffers flagged as errors come now and then, and at unplug.
    int drain(short revents) {
        bool dequeued = false;
        while (true) {
            v4l2_buffer buffer = bufferRequest(0);
            const int result = checked(TELO_IOCTL(fd->get(), VIDIOC_DQBUF, &buffer));
            if (result == -EAGAIN) {
                break;
            }
            if (result < 0) {
                return result;
            }
            dequeued = true;
            const bool good = (buffer.flags & V4L2_BUF_FLAG_ERROR) == 0 && buffer.bytesused > 0 &&
                              buffer.index < buffers.size();
            const int status = good ? keep(buffer.index, buffer.bytesused) : queue(buffer.index);
            if (status < 0) {
                return status;
            }
        }
        // A hang-up, or an error with nothing to dequeue: the device is gone or its queue broke.
        if (!dequeued && (revents & POLLHUP) != 0) {
            lost = true;
            return -ENODEV;
        }
        return !dequeued && (revents & POLLERR) != 0 ? -EIO : 0;
    }

    int keep(std::uint32_t index, std::uint32_t bytesused) {
        int replaced;
        {
            std::lock_guard<std::mutex> lock(mutex);
            replaced = newest;
            newest = static_cast<int>(index);
            newestSize = std::min<std::size_t>(bytesused, buffers[index].length());
            ++frames;
        }
        frameReady.notify_all();
        return replaced >= 0 ? queue(static_cast<std::uint32_t>(replaced)) : 0;
    }

    int awaitFrame(std::unique_lock<std::mutex>& lock, int timeoutMs) {
        const auto deadline =
            std::chrono::system_clock::now() + std::chrono::milliseconds(timeoutMs);
        frameReady.wait_until(lock, deadline, [this] { return frames != handedOut || !running; });
        if (frames != handedOut) {
            return 0;
        }
        if (running) {
            return -ETIMEDOUT;
        }
        return lost ? -ENODEV : -EIO;
    }
};

CaptureStream::CaptureStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CaptureStream::~CaptureStream() = default;

int CaptureStream::open(const std::string& node, std::unique_ptr<CaptureStream>& stream) {
    const std::string path = "/dev/" + node;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        const int error = errno;
        PrintMessage("cannot open %s: %s\n", path.c_str(), std::strerror(error));
        return -error;
    }
    auto shared = std::make_shared<UniqueFd>(std::move(fd));
    auto impl = std::make_unique<Impl>();
    impl->fd = std::move(shared);
    impl->control =
        std::make_shared<UvcDeviceControl>(impl->fd, vendorExtensionUnitsOf(node.c_str()));
    stream.reset(new CaptureStream(std::move(impl)));
    return 0;
}

int CaptureStream::readFormat() {
    impl_->format = v4l2_format{};
    impl_->format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return impl_->checked(TELO_IOCTL(impl_->fd->get(), VIDIOC_G_FMT, &impl_->format));
}

int CaptureStream::setFormat(int width, int height) {
    v4l2_pix_format& pix = impl_->format.fmt.pix;
    pix.width = static_cast<std::uint32_t>(width);
    pix.height = static_cast<std::uint32_t>(height);
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.field = V4L2_FIELD_ANY;
    const int result = impl_->checked(TELO_IOCTL(impl_->fd->get(), VIDIOC_S_FMT, &impl_->format));
    const bool yuyv = result == 0 && pix.pixelformat == V4L2_PIX_FMT_YUYV;
    impl_->width = yuyv ? static_cast<int>(pix.width) : 0;
    impl_->height = yuyv ? static_cast<int>(pix.height) : 0;
    return result;
}

int CaptureStream::width() const {
    return impl_->width;
}
int CaptureStream::height() const {
    return impl_->height;
}
bool CaptureStream::streaming() const {
    return impl_->running;
}
bool CaptureStream::lost() const {
    return impl_->lost;
}
std::shared_ptr<DeviceControl> CaptureStream::control() const {
    return impl_->control;
}

int CaptureStream::start() {
    Impl& stream = *impl_;
    if (stream.running) {
        return 0;
    }
    stream.stopStreaming();
    int result = stream.mapBuffers();
    for (std::uint32_t i = 0; result == 0 && i < stream.buffers.size(); ++i) {
        result = stream.queue(i);
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (result == 0) {
        result = stream.checked(TELO_IOCTL(stream.fd->get(), VIDIOC_STREAMON, &type));
        stream.streamOn = result == 0;
    }
    if (result == 0) {
        result = stream.startThread();
    }
    if (result < 0) {
        stream.stopStreaming();
    }
    return result;
}

int CaptureStream::waitFrame(int timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->awaitFrame(lock, timeoutMs);
}

int CaptureStream::copyFrame(int timeoutMs, FrameCopy& out) {
    Impl& stream = *impl_;
    std::unique_lock<std::mutex> lock(stream.mutex);
    const int result = stream.awaitFrame(lock, timeoutMs);
    if (result < 0) {
        return result;
    }
    const std::size_t size = stream.newestSize;
    if (size != out.size) {
        out.bytes.reset(new (std::nothrow) std::uint8_t[size]);
        out.size = out.bytes ? size : 0;
        if (!out.bytes) {
            return -ENOMEM;
        }
    }
    std::memcpy(out.bytes.get(), stream.buffers[static_cast<std::size_t>(stream.newest)].data(),
                size);
    stream.handedOut = stream.frames;
    return 0;
}

}  // namespace telo
