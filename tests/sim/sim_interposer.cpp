// SPDX-License-Identifier: MIT
// The system-call boundary of the simulation: open/openat of /dev/videoN give simulated nodes,
// /sys/class/video4linux and /sys/devices lead into the simulation root, and close, ioctl and
// poll reach the simulated nodes. Active only when TELO_SIM_ROOT names a simulation root;
// otherwise every call passes through.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim_v4l2_node.h"

namespace {

using telosim::SimNode;
using Clock = std::chrono::steady_clock;
constexpr int kMaxFds = 4096;
// Simulated nodes are looked at between waits on the real descriptors of this length at most.
constexpr auto kPollSlice = std::chrono::milliseconds(5);

using OpenatFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using PollFn = int (*)(pollfd*, nfds_t, int);

// The libc function behind the one taken over; each has a type of its own.
template <typename Function>
Function Real(const char* name) {
    static const auto function = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
    return function;
}

const std::string& Root() {
    static const std::string root = [] {
        const char* value = ::getenv("TELO_SIM_ROOT");
        return std::string(value != nullptr ? value : "");
    }();
    return root;
}

// Calls into the simulated kernel in progress on this thread.
thread_local int kernelCalls = 0;

/// Counts a call into the simulated kernel while it runs.
struct KernelCall {
    KernelCall() { ++kernelCalls; }
    ~KernelCall() { --kernelCalls; }
    KernelCall(const KernelCall&) = delete;
    KernelCall& operator=(const KernelCall&) = delete;
};

// A simulated system call whose simulation failed (no memory, say) fails with EIO; no exception
// crosses into the C caller.
template <typename Call>
int Contained(Call call) {
    try {
        return call();
    } catch (const std::exception&) {
        errno = EIO;
        return -1;
    }
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The open simulated nodes by descriptor. A node is used outside the table's lock, so a close
// while another thread is inside one of its calls lets that call end first.
std::mutex tableMutex;
std::shared_ptr<SimNode> table[kMaxFds];
// Which descriptors hold a simulated node, read without the lock: calls on any other
// descriptor, the sanitizers' own among them (made while they hold their internal locks),
// never wait for the table.
std::atomic<bool> simulated[kMaxFds];

std::shared_ptr<SimNode> Find(int fd) {
    if (fd < 0 || fd >= kMaxFds || !simulated[fd]) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(tableMutex);
    return table[fd];
}

// Rewrites an absolute path into the simulation root; false when the call goes through as is.
bool RewritePath(const char* path, std::string& rewritten) {
    if (StartsWith(path, "/sys/class/video4linux")) {
        rewritten = Root() + path;
        return true;
    }
    if (StartsWith(path, "/sys/devices/")) {
        const char* rest = path + std::strlen("/sys/devices/");
        const std::string top(rest, std::strcspn(rest, "/"));
        struct stat st {};
        if (!top.empty() && ::lstat((Root() + "/sys/devices/" + top).c_str(), &st) == 0) {
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
    return *digits != '\0' && std::strspn(digits, "0123456789") == std::strlen(digits);
}

int OpenVideoNode(const char* path, int flags) {
    std::unique_ptr<SimNode> node = SimNode::open(Root(), path + std::strlen("/dev/"), flags);
    if (!node) {
        return -1;
    }
    const int fd = node->fd();
    if (fd >= kMaxFds) {
        Real<CloseFn>("close")(fd);
        errno = EMFILE;
        return -1;
    }
    std::lock_guard<std::mutex> lock(tableMutex);
    table[fd] = std::move(node);
    simulated[fd] = true;
    return fd;
}

int Poll(pollfd* fds, nfds_t count, int timeout) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    // Real descriptors are polled beside, with the simulated ones negated (ignored).
    std::vector<pollfd> real(fds, fds + count);
    while (true) {
        int ready = 0;
        Clock::time_point wake = Clock::now() + kPollSlice;
        for (nfds_t i = 0; i < count; ++i) {
            const std::shared_ptr<SimNode> node = Find(fds[i].fd);
            fds[i].revents = 0;
            real[i].fd = node ? -1 : fds[i].fd;
            if (!node) {
                continue;
            }
            Clock::time_point nextFrame = wake;
            const short events = node->poll(nextFrame);
            fds[i].revents = static_cast<short>(events & (fds[i].events | POLLERR | POLLHUP));
            ready += fds[i].revents != 0 ? 1 : 0;
            wake = std::min(wake, nextFrame);
        }
        if (timeout >= 0) {
            wake = std::min(wake, deadline);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now());
        const int realReady = Real<PollFn>("poll")(real.data(), count,
                                                   ready > 0 ? 0 : std::max<int>(0, wait.count()));
        if (realReady < 0) {
            return realReady;
        }
        for (nfds_t i = 0; i < count && realReady > 0; ++i) {
            if (real[i].fd >= 0) {
                fds[i].revents = real[i].revents;
            }
        }
        if (ready + realReady > 0 || (timeout >= 0 && Clock::now() >= deadline)) {
            return ready + realReady;
        }
    }
}

}  // namespace

extern "C" {

bool telosim_in_kernel() {
    return kernelCalls > 0;
}

int telosim_openat(int dirfd, const char* path, int flags, mode_t mode) {
    const KernelCall call;
    std::string rewritten;
    if (path != nullptr && path[0] == '/' && !Root().empty()) {
        if (IsVideoNode(path)) {
            return Contained([&] { return OpenVideoNode(path, flags); });
        }
        if (Contained([&] { return RewritePath(path, rewritten) ? 0 : -1; }) == 0) {
            path = rewritten.c_str();
        }
    }
    return Real<OpenatFn>("openat")(dirfd, path, flags, mode);
}

int telosim_close(int fd) {
    const KernelCall call;
    std::shared_ptr<SimNode> node;
    if (fd >= 0 && fd < kMaxFds && simulated[fd]) {
        std::lock_guard<std::mutex> lock(tableMutex);
        node = std::move(table[fd]);
        simulated[fd] = false;
    }
    node.reset();
    return Real<CloseFn>("close")(fd);
}

int telosim_ioctl(int fd, unsigned long request, void* argument) {
    const KernelCall call;
    if (const std::shared_ptr<SimNode> node = Find(fd)) {
        return Contained([&] { return node->ioctl(request, argument); });
    }
    return Real<IoctlFn>("ioctl")(fd, request, argument);
}

int telosim_poll(pollfd* fds, nfds_t count, int timeout) {
    const KernelCall call;
    bool any = false;
    for (nfds_t i = 0; i < count && !any; ++i) {
        any = Find(fds[i].fd) != nullptr;
    }
    return any ? Contained([&] { return Poll(fds, count, timeout); })
               : Real<PollFn>("poll")(fds, count, timeout);
}

}  // extern "C"
