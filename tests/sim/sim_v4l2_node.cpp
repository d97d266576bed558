// SPDX-License-Identifier: MIT
#include "sim_v4l2_node.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "sim_firmware.h"
#include "sim_sensor.h"
#include "sim_tree.h"

namespace telosim {
namespace {

using Clock = SimNode::Clock;
constexpr std::uint32_t kMaxBuffers = 8;
constexpr long kDefaultFps = 30;
constexpr long kDefaultFirstFrameMs = 500;  // real UVC cameras take 300 to 1000 ms
constexpr auto kBlockingDequeueSlice = std::chrono::milliseconds(5);
constexpr std::uint32_t kSmallWidth = 320;  // the device's other frame size
constexpr std::uint32_t kSmallHeight = 240;
constexpr std::uint8_t kVendorSelector = 1;
constexpr std::uint16_t kPayloadLength = 4;
constexpr std::uint8_t kReadSelectMarker = 0xFF;

// The errno of a name such as "ENOSPC", or of its number.
int ErrnoOf(const std::string& name) {
    for (int error = 1; error < 256; ++error) {
        const char* known = ::strerrorname_np(error);
        if (known != nullptr && name == known) {
            return error;
        }
    }
    return std::max(1, std::atoi(name.c_str()));
}

int Fail(int error) {
    errno = error;
    return -1;
}

void AppendLine(const std::string& path, const std::string& line) {
    std::ofstream(path, std::ios::app) << line << "\n";
}

std::string Hex4(const std::uint8_t* data) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x %02x %02x %02x", data[0], data[1], data[2], data[3]);
    return text;
}

std::string RealTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%06ld", static_cast<long>(now.tv_sec),
                  now.tv_nsec / 1000);
    return text;
}

// The two frame sizes the device offers; the nearer one wins.
void SettleSize(v4l2_pix_format& pix) {
    const bool small = pix.width * pix.height <= kSmallWidth * kSmallHeight;
    const std::uint32_t width = small ? kSmallWidth : kPictureWidth;
    const std::uint32_t height = small ? kSmallHeight : kPictureHeight;
    std::memset(&pix, 0, sizeof pix);
    pix.width = width;
    pix.height = height;
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = width * 2;
    pix.sizeimage = width * height * 2;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

// The words of a line: "capture ID PLUG" in a /dev file.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

timeval TimeValue(Clock::time_point time) {
    const auto since =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch());
    return {static_cast<time_t>(since.count() / 1000000),
            static_cast<suseconds_t>(since.count() % 1000000)};
}

class V4l2Node final : public SimNode {
public:
    V4l2Node(std::string root, std::string node, std::string plugLine, int flags)
        : root_(std::move(root)),
          node_(std::move(node)),
          plugLine_(std::move(plugLine)),
          id_(Fields(plugLine_)[1]),
          plugMark_(Fields(plugLine_)[2]),
          stateDir_(root_ + "/state/" + id_),
          meta_(Fields(plugLine_)[0] == "meta"),
          nonblocking_((flags & O_NONBLOCK) != 0),
          sensor_(stateDir_),
          firmware_(root_, id_, plugMark_) {
        refreshSettings();
    }

    ~V4l2Node() override {
        if (mapping_ != nullptr) {
            ::munmap(mapping_, mappingLength_);
        }
        if (lockFd_ >= 0) {
            ::close(lockFd_);
        }
    }

    int openDescriptor() {
        if (const int error = fault("open")) {
            return Fail(error);
        }
        AppendLine(stateDir_ + "/open.log", node_);
        fd_ = ::memfd_create(("telosim-" + node_).c_str(), MFD_CLOEXEC);
        return fd_;
    }

    int fd() const override { return fd_; }

    int ioctl(unsigned long request, void* argument) override {
        std::unique_lock<std::mutex> lock(mutex_);
        refreshSettings();
        if (checkLost() && request != VIDIOC_DQBUF) {
            return Fail(ENODEV);
        }
        if (request == VIDIOC_QUERYCAP) {
            return queryCapabilities(*static_cast<v4l2_capability*>(argument));
        }
        if (request == UVCIOC_CTRL_QUERY) {
            return extensionUnit(*static_cast<uvc_xu_control_query*>(argument));
        }
        if (meta_) {
            return Fail(ENOTTY);
        }
        switch (request) {
            case VIDIOC_G_FMT:
            case VIDIOC_TRY_FMT:
            case VIDIOC_S_FMT:
                return formatRequest(request, *static_cast<v4l2_format*>(argument));
            case VIDIOC_REQBUFS:
                return requestBuffers(*static_cast<v4l2_requestbuffers*>(argument));
            case VIDIOC_QUERYBUF:
                return queryBuffer(*static_cast<v4l2_buffer*>(argument));
            case VIDIOC_QBUF:
                return queueBuffer(*static_cast<v4l2_buffer*>(argument));
            case VIDIOC_DQBUF:
                return dequeue(lock, *static_cast<v4l2_buffer*>(argument));
            case VIDIOC_STREAMON:
                return streamOn();
            case VIDIOC_STREAMOFF:
                return streamOff();
            default:
                return Fail(ENOTTY);
        }
    }

    short poll(Clock::time_point& nextFrame) override {
        std::lock_guard<std::mutex> lock(mutex_);
        refreshSettings();
        if (checkLost()) {
            return static_cast<short>(POLLERR | POLLHUP | (done_.empty() ? 0 : POLLIN));
        }
        if (!streaming_) {
            return POLLERR;
        }
        advance();
        if (setting("frames", "on") != "off") {
            nextFrame = frameTime(nextFrame_);
        }
        return done_.empty() ? 0 : static_cast<short>(POLLIN | POLLRDNORM);
    }

private:
    struct Buffer {
        enum class State { Dequeued, Queued, Done } state = State::Dequeued;
        std::uint32_t bytesused = 0;
        std::uint32_t flags = 0;
        std::uint32_t sequence = 0;
        timeval timestamp{};
        Clock::time_point queuedAt;
    };

    void refreshSettings() {
        struct stat st {};
        const std::string path = stateDir_ + "/config";
        if (::stat(path.c_str(), &st) == 0 && (st.st_mtim.tv_sec != settingsChanged_.tv_sec ||
                                               st.st_mtim.tv_nsec != settingsChanged_.tv_nsec)) {
            settingsChanged_ = st.st_mtim;
            settings_ = ReadSettings(path);
        }
    }

    std::string setting(const char* key, const char* fallback) const {
        const auto found = settings_.find(key);
        return found != settings_.end() ? found->second : fallback;
    }

    long number(const char* key, long fallback) const {
        const auto found = settings_.find(key);
        return found != settings_.end() ? std::strtol(found->second.c_str(), nullptr, 10)
                                        : fallback;
    }

    // The errno that fault knob `key` ("once:ERRNO", "always:ERRNO") gives this call, or 0. A
    // fault that happens once is used up.
    int fault(const char* key) {
        const std::string value = setting(key, "ok");
        const std::size_t colon = value.find(':');
        if (colon == std::string::npos) {
            return 0;
        }
        if (value.compare(0, colon, "once") == 0) {
            settings_[key] = "ok";
            SimTree(root_).set(id_, key, "ok");
        }
        return ErrnoOf(value.substr(colon + 1));
    }

    // The device is gone once its plug is: the /dev file names another plug or none. Queued
    // buffers then complete with an error, and the descriptor answers ENODEV for good.
    bool checkLost() {
        if (lost_) {
            return true;
        }
        const std::vector<std::string> lines = ReadLines(root_ + "/dev/" + node_);
        if (!lines.empty() && lines.front() == plugLine_) {
            return false;
        }
        lost_ = true;
        for (std::uint32_t index : queued_) {
            buffers_[index].state = Buffer::State::Done;
            buffers_[index].flags = V4L2_BUF_FLAG_ERROR;
            buffers_[index].bytesused = 0;
            done_.push_back(index);
        }
        queued_.clear();
        return true;
    }

    // uvcvideo lets one descriptor at a time use a device's stream: the first to set the format
    // or request buffers holds the right until it releases its buffers or closes. A lock file
    // per plug stands for that right across descriptors and processes.
    bool acquirePrivileges() {
        if (lockFd_ < 0) {
            const std::string path = stateDir_ + "/stream." + plugMark_ + ".lock";
            lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        }
        privileged_ = privileged_ || (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0);
        return privileged_;
    }

    void dismissPrivileges() {
        if (privileged_) {
            ::flock(lockFd_, LOCK_UN);
            privileged_ = false;
        }
    }

    // A fault knob's errno, then the streaming right: what a streaming request checks first.
    int refusal(const char* key) {
        if (const int error = fault(key)) {
            return error;
        }
        return privileged_ ? 0 : (lost_ ? ENODEV : EBUSY);
    }

    Clock::duration framePeriod() const {
        return std::chrono::microseconds(1000000 / std::max(1L, number("fps", kDefaultFps)));
    }

    Clock::time_point frameTime(std::uint64_t frame) const {
        return streamStart_ +
               std::chrono::milliseconds(number("first_frame_ms", kDefaultFirstFrameMs)) +
               framePeriod() * static_cast<long>(frame);
    }

    // Completes the frames that the device has captured since the last look. A frame fills the
    // oldest buffer that was queued before it was captured; with none, the frame is dropped.
    void advance() {
        if (!streaming_ || lost_ || setting("frames", "on") == "off") {
            return;
        }
        const long errorEvery = number("error_every", 0);
        const long forcedBytes = number("bytesused", 0);
        const Clock::time_point now = Clock::now();
        for (; frameTime(nextFrame_) <= now; ++nextFrame_, ++sequence_) {
            const Clock::time_point captured = frameTime(nextFrame_);
            if (queued_.empty() || buffers_[queued_.front()].queuedAt > captured) {
                continue;
            }
            const std::uint32_t index = queued_.front();
            queued_.pop_front();
            Buffer& buffer = buffers_[index];
            sensor_.capture(captured, mapping_ + std::size_t{index} * bufferLength_, width_,
                            height_);
            buffer.bytesused =
                forcedBytes > 0 ? std::min(static_cast<std::uint32_t>(forcedBytes), bufferLength_)
                                : width_ * height_ * 2;
            const bool flagged = errorEvery > 0 && (sequence_ + 1) % errorEvery == 0;
            buffer.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | (flagged ? V4L2_BUF_FLAG_ERROR : 0);
            buffer.sequence = sequence_;
            buffer.timestamp = TimeValue(captured);
            buffer.state = Buffer::State::Done;
            done_.push_back(index);
        }
    }

    int queryCapabilities(v4l2_capability& caps) {
        std::memset(&caps, 0, sizeof caps);
        std::snprintf(reinterpret_cast<char*>(caps.driver), sizeof caps.driver, "uvcvideo");
        caps.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING |
                            V4L2_CAP_DEVICE_CAPS;
        caps.device_caps = (meta_ ? V4L2_CAP_META_CAPTURE : V4L2_CAP_VIDEO_CAPTURE) |
                           V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
        return 0;
    }

    int formatRequest(unsigned long request, v4l2_format& format) {
        if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return Fail(EINVAL);
        }
        if (request == VIDIOC_G_FMT) {
            if (const int error = fault("g_fmt")) {
                return Fail(error);
            }
            format.fmt.pix.width = width_;
            format.fmt.pix.height = height_;
        } else if (request == VIDIOC_S_FMT) {
            if (const int error = fault("s_fmt")) {
                return Fail(error);
            }
            if (!acquirePrivileges() || !buffers_.empty()) {
                return Fail(EBUSY);
            }
        }
        SettleSize(format.fmt.pix);
        if (request == VIDIOC_S_FMT) {
            width_ = format.fmt.pix.width;
            height_ = format.fmt.pix.height;
        }
        return 0;
    }

    int requestBuffers(v4l2_requestbuffers& request) {
        if (const int error = fault("reqbufs")) {
            return Fail(error);
        }
        if (!acquirePrivileges() || streaming_) {
            return Fail(EBUSY);
        }
        if (request.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || request.memory != V4L2_MEMORY_MMAP) {
            return Fail(EINVAL);
        }
        if (mapping_ != nullptr) {
            ::munmap(mapping_, mappingLength_);
            mapping_ = nullptr;
        }
        buffers_.clear();
        queued_.clear();
        done_.clear();
        request.count = std::min(request.count, kMaxBuffers);
        request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
        if (request.count == 0) {
            dismissPrivileges();
            return 0;
        }
        const long page = ::sysconf(_SC_PAGESIZE);
        bufferLength_ = static_cast<std::uint32_t>((width_ * height_ * 2 + page - 1) / page * page);
        mappingLength_ = std::size_t{bufferLength_} * request.count;
        if (::ftruncate(fd_, static_cast<off_t>(mappingLength_)) != 0) {
            return -1;
        }
        void* mapping = ::mmap(nullptr, mappingLength_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (mapping == MAP_FAILED) {
            return -1;
        }
        mapping_ = static_cast<std::uint8_t*>(mapping);
        buffers_.resize(request.count);
        return 0;
    }

    int queryBuffer(v4l2_buffer& buffer) {
        if (!privileged_) {
            return Fail(EBUSY);
        }
        if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.index >= buffers_.size()) {
            return Fail(EINVAL);
        }
        describe(buffer.index, buffer);
        return 0;
    }

    int queueBuffer(v4l2_buffer& buffer) {
        if (const int error = refusal("qbuf")) {
            return Fail(error);
        }
        if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.memory != V4L2_MEMORY_MMAP ||
            buffer.index >= buffers_.size() ||
            buffers_[buffer.index].state != Buffer::State::Dequeued) {
            return Fail(EINVAL);
        }
        buffers_[buffer.index].state = Buffer::State::Queued;
        buffers_[buffer.index].queuedAt = Clock::now();
        queued_.push_back(buffer.index);
        describe(buffer.index, buffer);
        return 0;
    }

    int dequeue(std::unique_lock<std::mutex>& lock, v4l2_buffer& buffer) {
        if (const int error = refusal("dqbuf")) {
            return Fail(error);
        }
        if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || (!streaming_ && !lost_)) {
            return Fail(EINVAL);
        }
        while (true) {
            advance();
            if (!done_.empty()) {
                const std::uint32_t index = done_.front();
                done_.pop_front();
                describe(index, buffer);
                buffers_[index].state = Buffer::State::Dequeued;
                buffer.flags &= ~(V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_QUEUED);
                return 0;
            }
            if (lost_ || nonblocking_) {
                return Fail(lost_ ? ENODEV : EAGAIN);
            }
            lock.unlock();
            std::this_thread::sleep_for(kBlockingDequeueSlice);
            lock.lock();
            checkLost();
        }
    }

    int streamOn() {
        if (const int error = refusal("streamon")) {
            return Fail(error);
        }
        if (buffers_.empty()) {
            return Fail(EINVAL);
        }
        if (!streaming_) {
            streaming_ = true;
            streamStart_ = Clock::now();
            nextFrame_ = 0;
        }
        return 0;
    }

    // Stops streaming and gives every buffer back, queued or done, as the kernel does.
    int streamOff() {
        if (const int error = refusal("streamoff")) {
            return Fail(error);
        }
        streaming_ = false;
        queued_.clear();
        done_.clear();
        for (Buffer& buffer : buffers_) {
            buffer.state = Buffer::State::Dequeued;
        }
        return 0;
    }

    void describe(std::uint32_t index, v4l2_buffer& out) const {
        const Buffer& buffer = buffers_[index];
        out.index = index;
        out.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        out.memory = V4L2_MEMORY_MMAP;
        out.length = bufferLength_;
        out.m.offset = index * bufferLength_;
        out.bytesused = buffer.state == Buffer::State::Done ? buffer.bytesused : 0;
        out.flags = V4L2_BUF_FLAG_MAPPED;
        if (buffer.state == Buffer::State::Queued) {
            out.flags |= V4L2_BUF_FLAG_QUEUED;
        }
        if (buffer.state == Buffer::State::Done) {
            out.flags |= V4L2_BUF_FLAG_DONE | buffer.flags;
        }
        out.sequence = buffer.sequence;
        out.timestamp = buffer.timestamp;
        out.field = V4L2_FIELD_NONE;
    }

    // SET_CUR and GET_CUR on the vendor unit's selector 1 reach the firmware; the layout chosen
    // at plug time decides which units exist and which of them refuse.
    int extensionUnit(uvc_xu_control_query& query) {
        if (meta_) {
            return Fail(ENOTTY);
        }
        const std::string layout = setting("xu", "normal");
        const std::vector<std::string> plug = ReadLines(stateDir_ + "/plug");
        const bool scannerLike = !plug.empty() && (plug.front().rfind("scanner", 0) == 0 ||
                                                   plug.front().rfind("half", 0) == 0);
        const bool known = query.unit == kVendorUnitId ||
                           (query.unit == kSecondVendorUnitId && layout == "second");
        if (!scannerLike || layout == "missing" || !known || query.selector != kVendorSelector) {
            return Fail(ENOENT);
        }
        const bool refused =
            layout == "refused" || (layout == "second" && query.unit == kVendorUnitId);
        const std::string unit = " unit " + std::to_string(query.unit) + " ";
        if (query.size != kPayloadLength) {
            return Fail(ENOBUFS);
        }
        switch (query.query) {
            case UVC_SET_CUR: {
                AppendLine(stateDir_ + "/xu.log", RealTime() + " SET_CUR" + unit +
                                                      Hex4(query.data) +
                                                      (refused ? " refused" : ""));
                if (refused) {
                    return Fail(EPIPE);
                }
                const int property = query.data[0] | (query.data[1] << 8);
                if (query.data[3] == kReadSelectMarker) {
                    firmware_.select(property, settings_);
                } else {
                    firmware_.write(property, query.data[2], settings_);
                }
                return 0;
            }
            case UVC_GET_CUR: {
                if (refused) {
                    AppendLine(stateDir_ + "/xu.log", RealTime() + " GET_CUR" + unit + "refused");
                    return Fail(EPIPE);
                }
                const std::uint8_t value = firmware_.readSelected(settings_);
                if (checkLost()) {
                    return Fail(ENODEV);
                }
                std::memset(query.data, 0, kPayloadLength);
                query.data[2] = value;
                AppendLine(stateDir_ + "/xu.log",
                           RealTime() + " GET_CUR" + unit + Hex4(query.data));
                return 0;
            }
            default:
                return Fail(EINVAL);
        }
    }

    std::mutex mutex_;
    const std::string root_;
    const std::string node_;
    const std::string plugLine_;  // the /dev file's line at open: the device and its plug
    const std::string id_;
    const std::string plugMark_;
    const std::string stateDir_;
    const bool meta_;
    const bool nonblocking_;
    bool lost_ = false;
    int fd_ = -1;
    int lockFd_ = -1;  // locked while this descriptor holds the right to stream
    bool privileged_ = false;

    Settings settings_;
    timespec settingsChanged_{};
    SimSensor sensor_;
    SimFirmware firmware_;

    std::uint32_t width_ = kPictureWidth;
    std::uint32_t height_ = kPictureHeight;
    std::uint32_t bufferLength_ = 0;
    std::vector<Buffer> buffers_;
    std::deque<std::uint32_t> queued_;
    std::deque<std::uint32_t> done_;
    std::uint8_t* mapping_ = nullptr;
    std::size_t mappingLength_ = 0;
    bool streaming_ = false;
    Clock::time_point streamStart_;
    std::uint64_t nextFrame_ = 0;
    std::uint32_t sequence_ = 0;
};

}  // namespace

std::unique_ptr<SimNode> SimNode::open(const std::string& root, const std::string& node,
                                       int flags) {
    const std::vector<std::string> lines = ReadLines(root + "/dev/" + node);
    if (lines.empty() || Fields(lines.front()).size() != 3) {
        errno = lines.empty() ? ENOENT : ENODEV;
        return nullptr;
    }
    auto sim = std::make_unique<V4l2Node>(root, node, lines.front(), flags);
    return sim->openDescriptor() >= 0 ? std::move(sim) : nullptr;
}

}  // namespace telosim
