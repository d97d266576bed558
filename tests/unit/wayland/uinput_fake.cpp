// SPDX-License-Identifier: MIT
#include "uinput_fake.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bitset>
#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned kVersion = 5;
constexpr char kSysname[] = "input77";

struct State {
    int fd = -1;    // the writer's end
    int peer = -1;  // the kernel's end, which LED events come from
    int openError = 0;
    std::bitset<EV_CNT> types;
    std::bitset<KEY_CNT> keys;
    std::bitset<LED_CNT> leds;
    std::bitset<KEY_CNT> down;
    fake_uinput::Device device;
    std::function<void(const input_event&)> watcher;
};

State& state() {
    static State instance;
    return instance;
}

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int fail(int error) {
    errno = error;
    return -1;
}

// The kernel passes on a key event that changes the key's state (or repeats it), and reports.
bool passes(State& s, const input_event& event) {
    if (event.type == EV_SYN) {
        return event.code == SYN_REPORT;
    }
    if (event.type != EV_KEY || !s.types[EV_KEY] || event.code >= KEY_CNT || !s.keys[event.code] ||
        event.value < 0 || event.value > 2) {
        return false;
    }
    if (event.value == 2) {
        return s.down[event.code];
    }
    if (s.down[event.code] == (event.value == 1)) {
        return false;
    }
    s.down[event.code] = event.value == 1;
    return true;
}

int setBit(State& s, unsigned long request, uintptr_t bit) {
    if (s.device.created) {
        return fail(EINVAL);
    }
    switch (request) {
        case UI_SET_EVBIT:
            return bit < EV_CNT ? (s.types.set(bit), 0) : fail(EINVAL);
        case UI_SET_KEYBIT:
            return bit < KEY_CNT ? (s.keys.set(bit), 0) : fail(EINVAL);
        default:
            return bit < LED_CNT ? (s.leds.set(bit), 0) : fail(EINVAL);
    }
}

}  // namespace

namespace fake_uinput {

const Device& device() {
    return state().device;
}

void failOpen(int error) {
    state().openError = error;
}

void watch(std::function<void(const input_event&)> watcher) {
    state().watcher = std::move(watcher);
}

void setLeds(bool capsLock, bool numLock) {
    State& s = state();
    for (const auto& [code, on] : {std::pair{LED_CAPSL, capsLock}, std::pair{LED_NUML, numLock}}) {
        if (s.leds[code]) {
            const input_event event{{}, EV_LED, static_cast<__u16>(code), on ? 1 : 0};
            real<ssize_t (*)(int, const void*, size_t)>("write")(s.peer, &event, sizeof event);
        }
    }
}

}  // namespace fake_uinput

extern "C" int fakeuinput_open(const char* path, int flags, mode_t mode) {
    if (std::strcmp(path, "/dev/uinput") != 0) {
        return real<int (*)(const char*, int, ...)>("open")(path, flags, mode);
    }
    State& s = state();
    if (s.openError != 0) {
        return fail(s.openError);
    }
    int ends[2];
    const int cloexec = (flags & O_CLOEXEC) != 0 ? SOCK_CLOEXEC : 0;
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | cloexec, 0, ends) != 0) {
        return -1;
    }
    if (s.peer >= 0) {
        real<int (*)(int)>("close")(s.peer);
    }
    auto watcher = std::move(s.watcher);
    s = State{};
    s.watcher = std::move(watcher);
    s.fd = ends[0];
    s.peer = ends[1];
    return s.fd;
}

extern "C" int fakeuinput_close(int fd) {
    State& s = state();
    if (fd >= 0 && fd == s.fd) {
        s.fd = -1;
    }
    return real<int (*)(int)>("close")(fd);
}

extern "C" int fakeuinput_ioctl(int fd, unsigned long request, void* argument) {
    State& s = state();
    if (fd < 0 || fd != s.fd) {
        return real<int (*)(int, unsigned long, ...)>("ioctl")(fd, request, argument);
    }
    switch (request) {
        case UI_GET_VERSION:
            *static_cast<unsigned*>(argument) = kVersion;
            return 0;
        case UI_SET_EVBIT:
        case UI_SET_KEYBIT:
        case UI_SET_LEDBIT:
            return setBit(s, request, reinterpret_cast<uintptr_t>(argument));
        case UI_DEV_SETUP:
            if (s.device.created) {
                return fail(EINVAL);
            }
            s.device.name = static_cast<const uinput_setup*>(argument)->name;
            return 0;
        case UI_DEV_CREATE:
            if (s.device.created || s.device.name.empty() || s.types.none()) {
                return fail(EINVAL);
            }
            s.device.created = true;
            return 0;
        case UI_DEV_DESTROY:
            s.device.destroyed = s.device.created;
            s.device.created = false;
            return 0;
        default:
            if (request == UI_GET_SYSNAME(_IOC_SIZE(request)) && s.device.created &&
                _IOC_SIZE(request) >= sizeof kSysname) {
                std::memcpy(argument, kSysname, sizeof kSysname);
                return 0;
            }
            return fail(EINVAL);
    }
}

extern "C" ssize_t fakeuinput_write(int fd, const void* buffer, size_t size) {
    State& s = state();
    if (fd < 0 || fd != s.fd) {
        return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, size);
    }
    if (!s.device.created || size % sizeof(input_event) != 0) {
        return fail(EINVAL);
    }
    const auto* events = static_cast<const input_event*>(buffer);
    for (size_t i = 0; i < size / sizeof(input_event); ++i) {
        if (passes(s, events[i])) {
            s.device.events.push_back(events[i]);
            if (s.watcher && events[i].type == EV_KEY) {
                s.watcher(events[i]);
            }
        }
    }
    return static_cast<ssize_t>(size);
}
