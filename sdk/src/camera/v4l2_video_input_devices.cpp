// SPDX-License-Identifier: MIT
// Video-input devices on Linux: the capture nodes of /sys/class/video4linux in node-number order.
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "camera/video_input_devices.h"
#include "unique_fd.h"
#include "v4l2_device.h"

namespace telo {
namespace {

struct NodeIdentity {
    ino_t inode = 0;
    timespec changed{};
    bool operator==(const NodeIdentity& other) const {
        return inode == other.inode && changed.tv_sec == other.changed.tv_sec &&
               changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct CachedNode {
    NodeIdentity identity;
    bool capture = false;
};

/// Owns a directory stream.
class DirStream {
public:
    explicit DirStream(DIR* dir) : dir_(dir) {}
    ~DirStream() {
        if (dir_ != nullptr) {
            ::closedir(dir_);
        }
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

// Node number of "videoN", or -1 for any other name.
int nodeNumber(const char* name) {
    if (std::strncmp(name, "video", 5) != 0 || name[5] == '\0') {
        return -1;
    }
    for (const char* p = name + 5; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            return -1;
        }
    }
    return std::atoi(name + 5);
}

// Whether the node captures video (uvcvideo's metadata node beside each camera does not): 1 or 0,
// or the negative errno of a node that can't be opened.
int probeCapture(const std::string& node) {
    const std::string devicePath = "/dev/" + node;
    UniqueFd fd(::open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return -errno;
    }
    v4l2_capability caps{};
    if (TELO_IOCTL(fd.get(), VIDIOC_QUERYCAP, &caps) < 0) {
        return 0;
    }
    const std::uint32_t own =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    return (own & V4L2_CAP_VIDEO_CAPTURE) != 0 ? 1 : 0;
}

std::mutex cacheMutex;
std::map<std::string, CachedNode> cache;

// Capture node names in ascending node-number order, opening only nodes not seen before. Nodes
// that can't be opened now (permissions, going away) are asked again next time and, when
// `unopenable` is given, listed there.
std::vector<std::string> captureNodes(int dirFd, std::vector<UnopenableNode>* unopenable) {
    DirStream dir(::fdopendir(::dup(dirFd)));
    if (dir.get() == nullptr) {
        return {};
    }
    std::vector<std::pair<int, std::string>> found;
    std::map<std::string, CachedNode> seen;
    std::lock_guard<std::mutex> lock(cacheMutex);
    while (const dirent* entry = ::readdir(dir.get())) {
        const int number = nodeNumber(entry->d_name);
        if (number < 0) {
            continue;
        }
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const NodeIdentity identity{st.st_ino, st.st_ctim};
        const std::string name = entry->d_name;
        auto cached = cache.find(name);
        if (cached == cache.end() || !(cached->second.identity == identity)) {
            const int capture = probeCapture(name);
            if (capture < 0) {
                if (unopenable != nullptr) {
                    unopenable->push_back({name, -capture});
                }
                continue;
            }
            cached = cache.insert_or_assign(name, CachedNode{identity, capture == 1}).first;
        }
        seen.emplace(name, cached->second);
        if (cached->second.capture) {
            found.emplace_back(number, name);
        }
    }
    cache = std::move(seen);
    std::sort(found.begin(), found.end());
    std::vector<std::string> nodes;
    for (auto& entry : found) {
        nodes.push_back(std::move(entry.second));
    }
    return nodes;
}

UniqueFd openClassDir() {
    return UniqueFd(::open(kVideoClassDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// First line of a small sysfs attribute, relative to the class folder; empty when unreadable.
std::string readAttribute(int dirFd, const std::string& relativePath) {
    UniqueFd fd(::openat(dirFd, relativePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return {};
    }
    char buffer[256];
    ssize_t n;
    do {
        n = ::read(fd.get(), buffer, sizeof buffer - 1);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return {};
    }
    std::string text(buffer, static_cast<std::size_t>(n));
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// Canonical sysfs path of the node: the class entry is a relative link into /sys/devices.
std::string canonicalPath(int dirFd, const std::string& node) {
    char target[1024];
    const ssize_t n = ::readlinkat(dirFd, node.c_str(), target, sizeof target - 1);
    if (n <= 0) {
        return std::string(kVideoClassDir) + "/" + node;
    }
    const std::string link(target, static_cast<std::size_t>(n));
    std::vector<std::string> parts;
    auto push = [&parts](const std::string& path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string::npos) {
                end = path.size();
            }
            const std::string part = path.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
    };
    if (link.front() != '/') {
        push(kVideoClassDir);
    }
    push(link);
    std::string path;
    for (const auto& part : parts) {
        path += "/" + part;
    }
    return path;
}

bool isUsbId(const std::string& id) {
    return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

int countVideoInputDevices() {
    const UniqueFd dir = openClassDir();
    if (!dir.valid()) {
        return 0;
    }
    return static_cast<int>(captureNodes(dir.get(), nullptr).size());
}

std::vector<UnopenableNode> unopenableVideoNodes() {
    std::vector<UnopenableNode> unopenable;
    const UniqueFd dir = openClassDir();
    if (dir.valid()) {
        captureNodes(dir.get(), &unopenable);
    }
    std::sort(unopenable.begin(), unopenable.end(), [](const auto& a, const auto& b) {
        return nodeNumber(a.node.c_str()) < nodeNumber(b.node.c_str());
    });
    return unopenable;
}

std::vector<VideoInputDevice> listVideoInputDevices() {
    const UniqueFd dir = openClassDir();
    if (!dir.valid()) {
        return {};
    }
    std::vector<VideoInputDevice> devices;
    for (const std::string& node : captureNodes(dir.get(), nullptr)) {
        VideoInputDevice device;
        device.node = node;
        device.name = readAttribute(dir.get(), node + "/name");
        device.devicePath = canonicalPath(dir.get(), node);
        // device/ is the USB interface; its parent is the USB device with the ids.
        const std::string vendor = readAttribute(dir.get(), node + "/device/../idVendor");
        const std::string product = readAttribute(dir.get(), node + "/device/../idProduct");
        if (isUsbId(vendor) && isUsbId(product)) {
            device.devicePath += " usb:v" + lower(vendor) + "p" + lower(product);
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace telo
