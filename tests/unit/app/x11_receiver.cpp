#include "x11_receiver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <chrono>

namespace {

constexpr int kPollMs = 20;
constexpr std::chrono::seconds kFocusTimeout{5};

constexpr int kOpenAttempts = 10;

}  // namespace

Display* openDisplay() {
    Display* display = XOpenDisplay(nullptr);
    for (int attempt = 1; display == nullptr && attempt < kOpenAttempts; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        display = XOpenDisplay(nullptr);
    }
    return display;
}

struct X11Receiver::Xlib {
    Display* display = nullptr;
    Window window = 0;
    XIM im = nullptr;
    XIC ic = nullptr;

    ~Xlib() {
        if (ic != nullptr) {
            XDestroyIC(ic);
        }
        if (im != nullptr) {
            XCloseIM(im);
        }
        if (window != 0) {
            XDestroyWindow(display, window);
        }
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

X11Receiver::X11Receiver() : x_(std::make_unique<Xlib>()) {
    XSetLocaleModifiers("@im=none");
    x_->display = openDisplay();
    if (x_->display == nullptr) {
        return;
    }
    Display* display = x_->display;
    const int screen = DefaultScreen(display);
    x_->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 200, 100, 0,
                                     BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, x_->window,
                 KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask);
    x_->im = XOpenIM(display, nullptr, nullptr, nullptr);
    if (x_->im != nullptr) {
        x_->ic = XCreateIC(x_->im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                           XNClientWindow, x_->window, XNFocusWindow, x_->window, nullptr);
    }
    if (x_->ic == nullptr) {
        return;
    }
    // Xlib loads its keyboard description, and from then on follows mapping changes, at
    // its first key lookup; a running client has long done that.
    XKeysymToKeycode(display, XK_a);
    XMapRaised(display, x_->window);

    const auto deadline = std::chrono::steady_clock::now() + kFocusTimeout;
    bool mapped = false;
    while (!ready_ && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display) == 0) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, kPollMs);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !mapped) {
            mapped = true;
            XSetInputFocus(display, x_->window, RevertToParent, CurrentTime);
        } else if (event.type == FocusIn) {
            ready_ = true;
        }
    }
    if (ready_) {
        XSetICFocus(x_->ic);
        lastArrival_ = std::chrono::steady_clock::now();
        thread_ = std::thread([this] { pump(); });
    }
}

X11Receiver::~X11Receiver() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void X11Receiver::pump() {
    Display* display = x_->display;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) {
                return;
            }
        }
        if (XPending(display) == 0) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, kPollMs);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (XFilterEvent(&event, None)) {
            continue;
        }
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        if (event.type != KeyPress) {
            continue;
        }
        char buffer[64];
        KeySym keysym = NoSymbol;
        Status status = 0;
        const int length =
            Xutf8LookupString(x_->ic, &event.xkey, buffer, sizeof buffer, &keysym, &status);
        if (IsModifierKey(keysym)) {
            continue;
        }
        ReceivedKey key;
        key.keysym = keysym;
        if (status == XLookupChars || status == XLookupBoth) {
            key.text.assign(buffer, static_cast<size_t>(length));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            presses_.push_back(std::move(key));
            lastArrival_ = std::chrono::steady_clock::now();
        }
        arrived_.notify_all();
    }
}

std::vector<ReceivedKey> X11Receiver::waitForPresses(size_t count,
                                                     std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return presses_.size() >= count; });
    return presses_;
}

std::vector<ReceivedKey> X11Receiver::settle(std::chrono::milliseconds quiet) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (std::chrono::steady_clock::now() - lastArrival_ < quiet) {
        arrived_.wait_until(lock, lastArrival_ + quiet);
    }
    return presses_;
}

void X11Receiver::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    presses_.clear();
}

std::string X11Receiver::textOf(const std::vector<ReceivedKey>& presses) {
    std::string text;
    for (const ReceivedKey& key : presses) {
        text += key.text;
    }
    return text;
}
