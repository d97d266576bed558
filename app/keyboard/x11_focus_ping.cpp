// SPDX-License-Identifier: MIT
#include "keyboard/x11_focus_ping.h"

#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

// A program that answers at all does so within this; a slow one is waited for, since it would
// translate its pending keys with the keymap as it finds it when it gets to them.
constexpr std::chrono::seconds kAnswerTimeout{5};
constexpr int kPollMs = 10;
constexpr int kMaxDepth = 16;

// Whether window lists protocol in its WM_PROTOCOLS.
bool takesPart(Display* display, Window window, Atom protocol) {
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
        return false;
    }
    const bool found = std::find(protocols, protocols + count, protocol) != protocols + count;
    XFree(protocols);
    return found;
}

// The focused window or its nearest ancestor that takes part in the ping; None when none.
Window pingableFocus(Display* display, Atom ping) {
    Window window = None;
    int revertTo = 0;
    XGetInputFocus(display, &window, &revertTo);
    for (int depth = 0; depth < kMaxDepth && window != None && window != PointerRoot; ++depth) {
        if (takesPart(display, window, ping)) {
            return window;
        }
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
            return None;
        }
        XFree(children);
        window = parent == root ? None : parent;
    }
    return None;
}

}  // namespace

bool pingFocusedClient(Display* display, const std::atomic<bool>& cancelled,
                       const std::function<void(const XEvent&)>& other) {
    static std::atomic<long> lastSerial{0};
    const long serial = ++lastSerial;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    const Window target = pingableFocus(display, ping);
    if (target == None) {
        return false;
    }
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = target;
    request.xclient.message_type = protocols;
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(ping);
    request.xclient.data.l[1] = serial;
    request.xclient.data.l[2] = static_cast<long>(target);
    XSendEvent(display, target, False, NoEventMask, &request);
    XFlush(display);

    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (!cancelled && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display) == 0) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, kPollMs);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const XClientMessageEvent& answer = event.xclient;
        if (event.type == ClientMessage && answer.message_type == protocols &&
            static_cast<Atom>(answer.data.l[0]) == ping && answer.data.l[1] == serial) {
            return true;
        }
        other(event);
    }
    return false;
}
