// The simulated scanner as uvcvideo presents it at the system-call boundary: path rewriting of
// /sys/class/video4linux and /sys/devices into the simulation root, and /dev/videoN nodes that
// answer V4L2 and UVC extension-unit requests from a model of the device and its firmware.
// Active only when TELO_SIM_ROOT names a simulation root; otherwise every call passes through.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim_tree.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxFds = 4096;
constexpr std::uint32_t kFrameWidth = 640;
constexpr std::uint32_t kFrameHeight = 480;
constexpr std::uint32_t kMaxBuffers = 8;
constexpr int kSliceMs = 5;

template <typename F>
F RealFunction(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using OpenatFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using PollFn = int (*)(pollfd*, nfds_t, int);

OpenatFn realOpenat() {
    static const OpenatFn fn = RealFunction<OpenatFn>("openat");
    return fn;
}
CloseFn realClose() {
    static const CloseFn fn = RealFunction<CloseFn>("close");
    return fn;
}
IoctlFn realIoctl() {
    static const IoctlFn fn = RealFunction<IoctlFn>("ioctl");
    return fn;
}
PollFn realPoll() {
    static const PollFn fn = RealFunction<PollFn>("poll");
    return fn;
}

const std::string& Root() {
    static const std::string root = [] {
        const char* value = ::getenv("TELO_SIM_ROOT");
        return std::string(value != nullptr ? value : "");
    }();
    return root;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool Exists(const std::string& path, struct stat* st = nullptr) {
    struct stat local {};
    return ::lstat(path.c_str(), st != nullptr ? st : &local) == 0;
}

double RealSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void AppendLine(const std::string& path, const std::string& line) {
    const int fd =
        realOpenat()(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const std::string text = line + "\n";
        [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
        realClose()(fd);
    }
}

std::string Hex4(const std::uint8_t* data) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x %02x %02x %02x", data[0], data[1], data[2], data[3]);
    return text;
}

struct Buffer {
    enum class State { Dequeued, Queued, Done } state = State::Dequeued;
    std::uint32_t bytesused = 0;
    std::uint32_t flags = 0;
    std::uint32_t sequence = 0;
    timeval timestamp{};
    std::chrono::steady_clock::time_point queuedAt;
};

/// One open /dev/videoN of the simulation.
struct SimNode {
    std::mutex mutex;
    std::string id;
    std::string node;
    std::string devFile;
    std::string stateDir;
    ino_t devInode = 0;
    bool meta = false;
    bool nonblocking = false;
    int fd = -1;  // a memfd: the client maps its buffers straight from it

    telosim::Settings settings;
    timespec settingsChanged{};

    std::uint32_t width = kFrameWidth;
    std::uint32_t height = kFrameHeight;
    std::uint32_t bufferLength = 0;
    std::vector<Buffer> buffers;
    std::deque<std::uint32_t> queued;
    std::deque<std::uint32_t> done;
    std::uint8_t* mapping = nullptr;
    std::size_t mappingLength = 0;
    bool streaming = false;
    Clock::time_point streamStart;
    std::uint64_t nextFrame = 0;
    std::uint32_t sequence = 0;
    bool lost = false;

    // The picture on show (640x480 YUYV) and the one before it: a frame shows what was in
    // front of the camera when it was captured, not when the client asks for it.
    std::vector<std::uint8_t> picture;
    std::vector<std::uint8_t> previousPicture;
    Clock::time_point pictureSince;
    timespec pictureChanged{};
    ino_t pictureInode = 0;

    std::map<int, std::uint8_t> properties{{0x1006, 0x20}, {0x1007, 0x02}};
    int selectedProperty = -1;
    int notReadyAnswers = -1;
    bool handshaken = false;

    ~SimNode() {
        if (mapping != nullptr) {
            ::munmap(mapping, mappingLength);
        }
    }

    std::string setting(const char* key, const char* fallback) const {
        auto found = settings.find(key);
        return found != settings.end() ? found->second : fallback;
    }
    long number(const char* key, long fallback) const {
        auto found = settings.find(key);
        return found != settings.end() ? std::strtol(found->second.c_str(), nullptr, 10) : fallback;
    }

    void refreshSettings() {
        struct stat st {};
        const std::string path = stateDir + "/config";
        if (::stat(path.c_str(), &st) != 0) {
            return;
        }
        if (st.st_mtim.tv_sec != settingsChanged.tv_sec ||
            st.st_mtim.tv_nsec != settingsChanged.tv_nsec) {
            settingsChanged = st.st_mtim;
            settings = telosim::ReadSettings(path);
        }
    }

    // The device is gone once its /dev node is removed or replaced by a new plug.
    bool checkLost() {
        if (lost) {
            return true;
        }
        struct stat st {};
        if (Exists(devFile, &st) && st.st_ino == devInode) {
            return false;
        }
        lost = true;
        // Queued buffers complete with an error, then the node answers ENODEV.
        for (std::uint32_t index : queued) {
            buffers[index].state = Buffer::State::Done;
            buffers[index].flags = V4L2_BUF_FLAG_ERROR;
            buffers[index].bytesused = 0;
            done.push_back(index);
        }
        queued.clear();
        return true;
    }

    void refreshPicture() {
        const std::string path = stateDir + "/frame.yuyv";
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (picture.empty()) {
                picture.assign(kFrameWidth * kFrameHeight * 2, 0);
                for (std::size_t i = 0; i < picture.size(); i += 2) {
                    picture[i] = 0xFF;
                    picture[i + 1] = 0x80;
                }
            }
            return;
        }
        if (st.st_ino == pictureInode && st.st_mtim.tv_sec == pictureChanged.tv_sec &&
            st.st_mtim.tv_nsec == pictureChanged.tv_nsec) {
            return;
        }
        const int fd = realOpenat()(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC, 0);
        if (fd < 0) {
            return;
        }
        std::vector<std::uint8_t> bytes(kFrameWidth * kFrameHeight * 2);
        std::size_t size = 0;
        while (size < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
            if (n <= 0) {
                break;
            }
            size += static_cast<std::size_t>(n);
        }
        realClose()(fd);
        if (size == bytes.size()) {
            previousPicture = std::move(picture);
            picture = std::move(bytes);
            const double age = RealSeconds() - (static_cast<double>(st.st_mtim.tv_sec) +
                                                static_cast<double>(st.st_mtim.tv_nsec) / 1e9);
            pictureSince = Clock::now() -
                           std::chrono::microseconds(static_cast<long>(std::max(0.0, age) * 1e6));
            pictureInode = st.st_ino;
            pictureChanged = st.st_mtim;
        }
    }

    void fill(std::uint32_t index, Clock::time_point captured) {
        refreshPicture();
        const std::vector<std::uint8_t>& shown =
            captured < pictureSince && !previousPicture.empty() ? previousPicture : picture;
        std::uint8_t* out = mapping + static_cast<std::size_t>(index) * bufferLength;
        if (width == kFrameWidth && height == kFrameHeight) {
            std::memcpy(out, shown.data(), shown.size());
        } else {
            for (std::uint32_t y = 0; y < height; ++y) {
                const std::uint32_t sy = y * kFrameHeight / height;
                for (std::uint32_t x = 0; x < width; ++x) {
                    const std::uint32_t sx = x * kFrameWidth / width;
                    out[(y * width + x) * 2] = shown[(sy * kFrameWidth + sx) * 2];
                    out[(y * width + x) * 2 + 1] = 0x80;
                }
            }
        }
        Buffer& buffer = buffers[index];
        const long forced = number("bytesused", 0);
        buffer.bytesused =
            forced > 0 ? std::min<std::uint32_t>(static_cast<std::uint32_t>(forced), bufferLength)
                       : width * height * 2;
        buffer.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
        buffer.sequence = sequence;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        buffer.timestamp = {now.tv_sec, now.tv_nsec / 1000};
    }

    Clock::duration framePeriod() const {
        const long fps = std::max(1L, number("fps", 30));
        return std::chrono::microseconds(1000000 / fps);
    }

    // Completes the frames that the device has captured since the last look. A frame fills the
    // oldest buffer that was queued before it was captured; with none, the frame is dropped.
    void advance() {
        if (!streaming || lost || setting("frames", "on") != "on") {
            return;
        }
        const auto elapsed = Clock::now() - streamStart;
        const std::uint64_t due = static_cast<std::uint64_t>(elapsed / framePeriod()) + 1;
        for (; nextFrame < due; ++nextFrame, ++sequence) {
            const Clock::time_point captured = nextFrameTime();
            if (queued.empty()) {
                sequence += static_cast<std::uint32_t>(due - nextFrame - 1);
                nextFrame = due;
                break;
            }
            const std::uint32_t index = queued.front();
            if (buffers[index].queuedAt > captured) {
                continue;
            }
            queued.pop_front();
            fill(index, captured);
            buffers[index].state = Buffer::State::Done;
            done.push_back(index);
        }
    }

    Clock::time_point nextFrameTime() const {
        return streamStart + framePeriod() * static_cast<long>(nextFrame);
    }

    short revents() {
        if (checkLost()) {
            return static_cast<short>(POLLERR | POLLHUP | (done.empty() ? 0 : POLLIN));
        }
        if (!streaming) {
            return POLLERR;
        }
        refreshSettings();
        advance();
        return done.empty() ? 0 : static_cast<short>(POLLIN | POLLRDNORM);
    }
};

std::mutex nodesMutex;
std::atomic<SimNode*> nodes[kMaxFds];

SimNode* Find(int fd) {
    if (fd < 0 || fd >= kMaxFds) {
        return nullptr;
    }
    return nodes[fd].load(std::memory_order_acquire);
}

int Fail(int error) {
    errno = error;
    return -1;
}

int OpenNode(const std::string& node, const std::string& devFile, int flags) {
    struct stat st {};
    if (!Exists(devFile, &st)) {
        return Fail(ENOENT);
    }
    const std::vector<std::string> lines = telosim::ReadLines(devFile);
    if (lines.empty()) {
        return Fail(ENODEV);
    }
    const std::string& line = lines.front();
    const std::size_t space = line.find(' ');
    auto sim = std::make_unique<SimNode>();
    sim->meta = line.compare(0, space, "meta") == 0;
    sim->id = line.substr(space + 1);
    sim->node = node;
    sim->devFile = devFile;
    sim->devInode = st.st_ino;
    sim->stateDir = Root() + "/state/" + sim->id;
    sim->nonblocking = (flags & O_NONBLOCK) != 0;
    sim->refreshSettings();
    AppendLine(sim->stateDir + "/open.log", node);
    const int fd = ::memfd_create(("telosim-" + node).c_str(), MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (fd >= kMaxFds) {
        realClose()(fd);
        return Fail(EMFILE);
    }
    sim->fd = fd;
    nodes[fd].store(sim.release(), std::memory_order_release);
    return fd;
}

void FillFormat(const SimNode& sim, v4l2_pix_format& pix) {
    std::memset(&pix, 0, sizeof pix);
    pix.width = sim.width;
    pix.height = sim.height;
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = sim.width * 2;
    pix.sizeimage = sim.width * sim.height * 2;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

int RequestBuffers(SimNode& sim, v4l2_requestbuffers& request) {
    if (request.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || request.memory != V4L2_MEMORY_MMAP) {
        return Fail(EINVAL);
    }
    if (sim.streaming) {
        return Fail(EBUSY);
    }
    if (sim.mapping != nullptr) {
        ::munmap(sim.mapping, sim.mappingLength);
        sim.mapping = nullptr;
    }
    sim.buffers.clear();
    sim.queued.clear();
    sim.done.clear();
    const std::uint32_t count = std::min(request.count, kMaxBuffers);
    request.count = count;
    request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    if (count == 0) {
        return 0;
    }
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::uint32_t image = sim.width * sim.height * 2;
    sim.bufferLength = static_cast<std::uint32_t>((image + page - 1) / page * page);
    sim.mappingLength = static_cast<std::size_t>(sim.bufferLength) * count;
    if (::ftruncate(sim.fd, static_cast<off_t>(sim.mappingLength)) != 0) {
        return -1;
    }
    void* mapping =
        ::mmap(nullptr, sim.mappingLength, PROT_READ | PROT_WRITE, MAP_SHARED, sim.fd, 0);
    if (mapping == MAP_FAILED) {
        return -1;
    }
    sim.mapping = static_cast<std::uint8_t*>(mapping);
    sim.buffers.resize(count);
    return 0;
}

void DescribeBuffer(const SimNode& sim, std::uint32_t index, v4l2_buffer& out) {
    const Buffer& buffer = sim.buffers[index];
    out.index = index;
    out.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    out.memory = V4L2_MEMORY_MMAP;
    out.length = sim.bufferLength;
    out.m.offset = index * sim.bufferLength;
    out.bytesused = buffer.state == Buffer::State::Done ? buffer.bytesused : 0;
    out.flags = V4L2_BUF_FLAG_MAPPED;
    if (buffer.state == Buffer::State::Queued)
        out.flags |= V4L2_BUF_FLAG_QUEUED;
    if (buffer.state == Buffer::State::Done)
        out.flags |= V4L2_BUF_FLAG_DONE | buffer.flags;
    out.sequence = buffer.sequence;
    out.timestamp = buffer.timestamp;
    out.field = V4L2_FIELD_NONE;
}

// The firmware's answer to a read of one vendor property.
std::uint8_t FirmwareRead(SimNode& sim, int property) {
    if (property == 0x1001) {
        if (sim.setting("handshake", "ok") == "lost") {
            telosim::SimTree(Root()).unplug(sim.id);
            sim.checkLost();
        }
        if (sim.handshaken) {
            return 0x16;
        }
        if (sim.notReadyAnswers < 0) {
            sim.notReadyAnswers = static_cast<int>(sim.number("ready_reads", 3));
        }
        if (sim.setting("ready", "ok") == "never" || sim.notReadyAnswers > 0) {
            if (sim.notReadyAnswers > 0) {
                --sim.notReadyAnswers;
            }
            return 0x3F;
        }
        return 0x07;
    }
    auto found = sim.properties.find(property);
    return found != sim.properties.end() ? found->second : 0;
}

void FirmwareWrite(SimNode& sim, int property, std::uint8_t value) {
    if (property == 0x1001 && value == 0x16 && sim.notReadyAnswers == 0) {
        sim.handshaken = true;
    }
    sim.properties[property] = value;
    if (property == 0x1006) {
        char line[64];
        std::snprintf(line, sizeof line, "%.6f 0x%02x", RealSeconds(), value);
        AppendLine(sim.stateDir + "/led.log", line);
    }
}

int ExtensionUnitQuery(SimNode& sim, uvc_xu_control_query& query) {
    if (sim.meta) {
        return Fail(ENOTTY);
    }
    const std::string layout = sim.setting("xu", "normal");
    const std::vector<std::string> plug = telosim::ReadLines(sim.stateDir + "/plug");
    const bool scannerLike = !plug.empty() && (plug.front().rfind("scanner", 0) == 0 ||
                                               plug.front().rfind("half", 0) == 0);
    std::vector<std::uint8_t> units;
    if (scannerLike && layout != "missing") {
        units = layout == "second" ? std::vector<std::uint8_t>{3, 4} : std::vector<std::uint8_t>{3};
    }
    if (std::find(units.begin(), units.end(), query.unit) == units.end()) {
        return Fail(ENOENT);
    }
    char line[128];
    const bool refused = layout == "refused" || (layout == "second" && query.unit == 3);
    if (query.selector != 1) {
        return Fail(ENOENT);
    }
    switch (query.query) {
        case UVC_GET_LEN:
            if (query.size != 2)
                return Fail(ENOBUFS);
            query.data[0] = 4;
            query.data[1] = 0;
            return 0;
        case UVC_GET_INFO:
            if (query.size != 1)
                return Fail(ENOBUFS);
            query.data[0] = 0x03;
            return 0;
        case UVC_SET_CUR: {
            if (query.size != 4)
                return Fail(ENOBUFS);
            std::snprintf(line, sizeof line, "%.6f SET_CUR unit %u %s%s", RealSeconds(), query.unit,
                          Hex4(query.data).c_str(), refused ? " refused" : "");
            AppendLine(sim.stateDir + "/xu.log", line);
            if (refused)
                return Fail(EPIPE);
            const int property = query.data[0] | (query.data[1] << 8);
            if (query.data[3] == 0xFF) {
                sim.selectedProperty = property;
            } else {
                FirmwareWrite(sim, property, query.data[2]);
            }
            return 0;
        }
        case UVC_GET_CUR: {
            if (query.size != 4)
                return Fail(ENOBUFS);
            if (refused) {
                std::snprintf(line, sizeof line, "%.6f GET_CUR unit %u refused", RealSeconds(),
                              query.unit);
                AppendLine(sim.stateDir + "/xu.log", line);
                return Fail(EPIPE);
            }
            const std::uint8_t value =
                sim.selectedProperty >= 0 ? FirmwareRead(sim, sim.selectedProperty) : 0;
            if (sim.lost)
                return Fail(ENODEV);
            query.data[0] = 0;
            query.data[1] = 0;
            query.data[2] = value;
            query.data[3] = 0;
            std::snprintf(line, sizeof line, "%.6f GET_CUR unit %u %s", RealSeconds(), query.unit,
                          Hex4(query.data).c_str());
            AppendLine(sim.stateDir + "/xu.log", line);
            return 0;
        }
        default:
            return Fail(EINVAL);
    }
}

int DequeueLocked(SimNode& sim, v4l2_buffer& out) {
    sim.advance();
    if (sim.done.empty()) {
        return Fail(sim.lost ? ENODEV : EAGAIN);
    }
    const std::uint32_t index = sim.done.front();
    sim.done.pop_front();
    DescribeBuffer(sim, index, out);
    sim.buffers[index].state = Buffer::State::Dequeued;
    out.flags &= ~(V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_QUEUED);
    return 0;
}

int Ioctl(SimNode& sim, unsigned long request, void* argument) {
    std::unique_lock<std::mutex> lock(sim.mutex);
    sim.refreshSettings();
    const bool lost = sim.checkLost();
    if (lost && request != VIDIOC_DQBUF) {
        return Fail(ENODEV);
    }
    switch (request) {
        case VIDIOC_QUERYCAP: {
            auto& caps = *static_cast<v4l2_capability*>(argument);
            std::memset(&caps, 0, sizeof caps);
            std::snprintf(reinterpret_cast<char*>(caps.driver), sizeof caps.driver, "uvcvideo");
            std::snprintf(reinterpret_cast<char*>(caps.card), sizeof caps.card, "%s",
                          sim.id.c_str());
            std::snprintf(reinterpret_cast<char*>(caps.bus_info), sizeof caps.bus_info,
                          "usb-0000:00:14.0-sim");
            caps.version = 0x060100;
            caps.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE |
                                V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            caps.device_caps = (sim.meta ? V4L2_CAP_META_CAPTURE : V4L2_CAP_VIDEO_CAPTURE) |
                               V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
            return 0;
        }
        case UVCIOC_CTRL_QUERY:
            return ExtensionUnitQuery(sim, *static_cast<uvc_xu_control_query*>(argument));
        default:
            break;
    }
    if (sim.meta) {
        return Fail(ENOTTY);
    }
    switch (request) {
        case VIDIOC_ENUM_FMT: {
            auto& desc = *static_cast<v4l2_fmtdesc*>(argument);
            if (desc.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || desc.index > 0)
                return Fail(EINVAL);
            desc.pixelformat = V4L2_PIX_FMT_YUYV;
            std::snprintf(reinterpret_cast<char*>(desc.description), sizeof desc.description,
                          "YUYV 4:2:2");
            return 0;
        }
        case VIDIOC_G_FMT: {
            auto& format = *static_cast<v4l2_format*>(argument);
            if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || sim.setting("g_fmt", "ok") == "fail")
                return Fail(EINVAL);
            FillFormat(sim, format.fmt.pix);
            return 0;
        }
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto& format = *static_cast<v4l2_format*>(argument);
            if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                return Fail(EINVAL);
            if (request == VIDIOC_S_FMT) {
                if (sim.setting("s_fmt", "ok") == "fail")
                    return Fail(EINVAL);
                if (!sim.buffers.empty())
                    return Fail(EBUSY);
                // The two frame sizes the device offers; the nearer one wins.
                const bool small = format.fmt.pix.width * format.fmt.pix.height <= 320 * 240;
                sim.width = small ? 320 : kFrameWidth;
                sim.height = small ? 240 : kFrameHeight;
                FillFormat(sim, format.fmt.pix);
            } else {
                SimNode probe;
                const bool small = format.fmt.pix.width * format.fmt.pix.height <= 320 * 240;
                probe.width = small ? 320 : kFrameWidth;
                probe.height = small ? 240 : kFrameHeight;
                FillFormat(probe, format.fmt.pix);
            }
            return 0;
        }
        case VIDIOC_REQBUFS:
            return RequestBuffers(sim, *static_cast<v4l2_requestbuffers*>(argument));
        case VIDIOC_QUERYBUF: {
            auto& buffer = *static_cast<v4l2_buffer*>(argument);
            if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.index >= sim.buffers.size())
                return Fail(EINVAL);
            DescribeBuffer(sim, buffer.index, buffer);
            return 0;
        }
        case VIDIOC_QBUF: {
            auto& buffer = *static_cast<v4l2_buffer*>(argument);
            if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer.memory != V4L2_MEMORY_MMAP ||
                buffer.index >= sim.buffers.size() ||
                sim.buffers[buffer.index].state != Buffer::State::Dequeued)
                return Fail(EINVAL);
            sim.buffers[buffer.index].state = Buffer::State::Queued;
            sim.buffers[buffer.index].queuedAt = Clock::now();
            sim.queued.push_back(buffer.index);
            DescribeBuffer(sim, buffer.index, buffer);
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto& buffer = *static_cast<v4l2_buffer*>(argument);
            if (buffer.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                return Fail(EINVAL);
            if (!sim.streaming && !lost)
                return Fail(EINVAL);
            while (true) {
                const int result = DequeueLocked(sim, buffer);
                if (result == 0 || errno != EAGAIN || sim.nonblocking) {
                    return result;
                }
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
                lock.lock();
                sim.checkLost();
            }
        }
        case VIDIOC_STREAMON:
            if (sim.buffers.empty())
                return Fail(EINVAL);
            if (!sim.streaming) {
                sim.streaming = true;
                sim.streamStart = Clock::now();
                sim.nextFrame = 0;
            }
            return 0;
        case VIDIOC_STREAMOFF:
            sim.streaming = false;
            sim.queued.clear();
            sim.done.clear();
            for (Buffer& buffer : sim.buffers)
                buffer.state = Buffer::State::Dequeued;
            return 0;
        default:
            return Fail(ENOTTY);
    }
}

// Rewrites an absolute path into the simulation root; false when the call goes through as is.
bool RewritePath(const char* path, std::string& rewritten) {
    if (StartsWith(path, "/sys/class/video4linux")) {
        rewritten = Root() + path;
        return true;
    }
    if (StartsWith(path, "/sys/devices/")) {
        const char* rest = path + std::strlen("/sys/devices/");
        const char* slash = std::strchr(rest, '/');
        const std::string top(
            rest, slash != nullptr ? static_cast<std::size_t>(slash - rest) : std::strlen(rest));
        if (!top.empty() && Exists(Root() + "/sys/devices/" + top)) {
            rewritten = Root() + path;
            return true;
        }
    }
    return false;
}

bool IsVideoNode(const char* path) {
    if (!StartsWith(path, "/dev/video")) {
        return false;
    }
    const char* digits = path + std::strlen("/dev/video");
    if (*digits == '\0') {
        return false;
    }
    for (const char* p = digits; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" {

int telosim_openat(int dirfd, const char* path, int flags, mode_t mode) {
    if (path != nullptr && path[0] == '/' && !Root().empty()) {
        if (IsVideoNode(path)) {
            return OpenNode(path + 5, Root() + path, flags);
        }
        std::string rewritten;
        if (RewritePath(path, rewritten)) {
            return realOpenat()(dirfd, rewritten.c_str(), flags, mode);
        }
    }
    return realOpenat()(dirfd, path, flags, mode);
}

int telosim_close(int fd) {
    if (SimNode* sim = Find(fd)) {
        std::lock_guard<std::mutex> lock(nodesMutex);
        if (nodes[fd].exchange(nullptr) == sim) {
            delete sim;
        }
    }
    return realClose()(fd);
}

int telosim_ioctl(int fd, unsigned long request, void* argument) {
    if (SimNode* sim = Find(fd)) {
        return Ioctl(*sim, request, argument);
    }
    return realIoctl()(fd, request, argument);
}

int telosim_poll(pollfd* fds, nfds_t count, int timeout) {
    bool any = false;
    for (nfds_t i = 0; i < count && !any; ++i) {
        any = Find(fds[i].fd) != nullptr;
    }
    if (!any) {
        return realPoll()(fds, count, timeout);
    }
    // Simulated nodes are looked at between short waits on the real descriptors, which poll
    // sees with their numbers negated (ignored).
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    std::vector<pollfd> real(fds, fds + count);
    while (true) {
        int ready = 0;
        Clock::time_point wake = Clock::now() + std::chrono::milliseconds(kSliceMs);
        for (nfds_t i = 0; i < count; ++i) {
            SimNode* sim = Find(fds[i].fd);
            fds[i].revents = 0;
            real[i].fd = sim != nullptr ? -1 : fds[i].fd;
            if (sim == nullptr) {
                continue;
            }
            std::lock_guard<std::mutex> lock(sim->mutex);
            const short events = sim->revents();
            fds[i].revents = static_cast<short>(events & (fds[i].events | POLLERR | POLLHUP));
            if (fds[i].revents != 0) {
                ++ready;
            } else if (sim->streaming) {
                wake = std::min(wake, sim->nextFrameTime());
            }
        }
        const auto now = Clock::now();
        if (timeout >= 0) {
            wake = std::min(wake, deadline);
        }
        const int waitMs =
            ready > 0
                ? 0
                : static_cast<int>(std::max<long>(
                      0,
                      std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count()));
        const int realReady = realPoll()(real.data(), count, waitMs);
        if (realReady > 0) {
            for (nfds_t i = 0; i < count; ++i) {
                if (real[i].fd >= 0) {
                    fds[i].revents = real[i].revents;
                }
            }
            ready += realReady;
        }
        if (ready > 0 || realReady < 0) {
            return realReady < 0 ? realReady : ready;
        }
        if (timeout >= 0 && Clock::now() >= deadline) {
            return 0;
        }
    }
}

}  // extern "C"
