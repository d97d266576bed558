// SPDX-License-Identifier: MIT
#include "keyboard/wayland_keyboard.h"

#include <wayland-client.h>

#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "keyboard/wayland_keymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {

// Real modifier 2 is Ctrl in every XKB keymap.
constexpr uint32_t kControlMask = 1u << 2;
// XKB keycodes are the protocol's key codes plus 8.
constexpr uint32_t kEvdevOffset = 8;
// Waiting for the compositor now and then keeps the socket from filling up.
constexpr size_t kStrokesPerRoundtrip = 64;
// One keystroke per millisecond at most, as a keyboard polled at 1000 Hz: the compositor
// passes keys on at once, and a program that falls behind by more than its socket holds is
// disconnected.
constexpr std::chrono::milliseconds kStrokePause{1};

template <typename T, void (*destroy)(T*)>
struct Destroyer {
    void operator()(T* object) const { destroy(object); }
};
template <typename T, void (*destroy)(T*)>
using Owned = std::unique_ptr<T, Destroyer<T, destroy>>;

using DisplayPtr = Owned<wl_display, wl_display_disconnect>;
using RegistryPtr = Owned<wl_registry, wl_registry_destroy>;
using SeatPtr = Owned<wl_seat, wl_seat_destroy>;
using ManagerPtr = Owned<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy>;
using VirtualKeyboardPtr = Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy>;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

struct Globals {
    SeatPtr seat;
    ManagerPtr manager;
};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!globals->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        globals->seat.reset(
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
    } else if (!globals->manager &&
               std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->manager.reset(static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1)));
    }
}

void withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {announce, withdraw};

uint32_t timestamp() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

class WaylandKeyboard::Connection {
public:
    static std::unique_ptr<Connection> open(std::string& whyNot);

    ~Connection() {
        if (keyboard_) {
            keyboard_.reset();
            wl_display_flush(display_.get());
        }
    }

    bool alive() const { return wl_display_get_error(display_.get()) == 0; }
    size_t type(const std::vector<Keystroke>& strokes, const std::atomic<bool>& cancelled);

private:
    bool upload(const WaylandKeymap& keymap);
    bool typeStroke(const std::vector<Keystroke>& strokes, size_t at);
    void press(uint32_t keycode, bool withControl);

    DisplayPtr display_;
    RegistryPtr registry_;
    Globals globals_;
    VirtualKeyboardPtr keyboard_;
    WaylandKeymap keymap_;
    bool warnedLost_ = false;
};

std::unique_ptr<WaylandKeyboard::Connection> WaylandKeyboard::Connection::open(
    std::string& whyNot) {
    auto connection = std::make_unique<Connection>();
    connection->display_.reset(wl_display_connect(nullptr));
    wl_display* display = connection->display_.get();
    if (display == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        whyNot = std::string("cannot connect to the Wayland display \"") +
                 (name != nullptr ? name : "wayland-0") + "\"";
        return nullptr;
    }
    connection->registry_.reset(wl_display_get_registry(display));
    wl_registry_add_listener(connection->registry_.get(), &kRegistryListener,
                             &connection->globals_);
    wl_display_roundtrip(display);
    if (!connection->globals_.manager || !connection->globals_.seat) {
        whyNot = "the compositor offers no virtual keyboard";
        return nullptr;
    }
    connection->keyboard_.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        connection->globals_.manager.get(), connection->globals_.seat.get()));
    // The compositor knows the keyboard, with a keymap, before the first key.
    if (!connection->upload(connection->keymap_) || wl_display_roundtrip(display) < 0) {
        whyNot = "the compositor refused a virtual keyboard";
        return nullptr;
    }
    return connection;
}

size_t WaylandKeyboard::Connection::type(const std::vector<Keystroke>& strokes,
                                         const std::atomic<bool>& cancelled) {
    size_t failed = 0;
    size_t typed = 0;
    for (; typed < strokes.size() && !cancelled && alive(); ++typed) {
        if (!typeStroke(strokes, typed)) {
            ++failed;
        }
        if ((typed + 1) % kStrokesPerRoundtrip == 0) {
            wl_display_roundtrip(display_.get());
        } else {
            wl_display_flush(display_.get());
        }
        std::this_thread::sleep_for(kStrokePause);
    }
    if (wl_display_roundtrip(display_.get()) < 0 && !cancelled) {
        if (!warnedLost_) {
            qWarning("Keyboard output: the connection to the Wayland compositor is lost.");
            warnedLost_ = true;
        }
        return strokes.size();
    }
    return failed;
}

bool WaylandKeyboard::Connection::typeStroke(const std::vector<Keystroke>& strokes, size_t at) {
    const Keystroke& stroke = strokes[at];
    if (stroke.kind == Keystroke::Kind::kKey) {
        press(WaylandKeymap::keycodeOf(stroke.key), false);
        return true;
    }
    if (!WaylandKeymap::canHold(stroke.character)) {
        return false;
    }
    std::optional<uint32_t> keycode = keymap_.keycodeOf(stroke.character);
    if (!keycode) {
        // The characters from here on, in order, so that one keymap serves as long as it can.
        std::vector<char32_t> wanted;
        for (size_t i = at; i < strokes.size() && wanted.size() < WaylandKeymap::capacity(); ++i) {
            if (strokes[i].kind != Keystroke::Kind::kKey) {
                wanted.push_back(strokes[i].character);
            }
        }
        const WaylandKeymap next = keymap_.with(wanted);
        if (!upload(next)) {
            return false;
        }
        keymap_ = next;
        keycode = keymap_.keycodeOf(stroke.character);
    }
    press(*keycode, stroke.kind == Keystroke::Kind::kControl);
    return true;
}

bool WaylandKeyboard::Connection::upload(const WaylandKeymap& keymap) {
    const std::string text = keymap.text();
    const std::unique_ptr<FILE, FileCloser> file(std::tmpfile());
    // The compositor reads the keymap as a string: the size counts its terminating zero.
    if (!file || std::fwrite(text.c_str(), 1, text.size() + 1, file.get()) != text.size() + 1 ||
        std::fflush(file.get()) != 0) {
        qWarning("Keyboard output: cannot write a keymap file: %s", std::strerror(errno));
        return false;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard_.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1,
                                   fileno(file.get()), static_cast<uint32_t>(text.size() + 1));
    return true;
}

void WaylandKeyboard::Connection::press(uint32_t keycode, bool withControl) {
    if (withControl) {
        zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), kControlMask, 0, 0, 0);
    }
    const uint32_t key = keycode - kEvdevOffset;
    zwp_virtual_keyboard_v1_key(keyboard_.get(), timestamp(), key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_.get(), timestamp(), key, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (withControl) {
        zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), 0, 0, 0, 0);
    }
}

std::unique_ptr<WaylandKeyboard> WaylandKeyboard::connect(std::string& whyNot) {
    std::unique_ptr<Connection> connection = Connection::open(whyNot);
    if (!connection) {
        return nullptr;
    }
    return std::unique_ptr<WaylandKeyboard>(new WaylandKeyboard(std::move(connection)));
}

WaylandKeyboard::WaylandKeyboard(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

WaylandKeyboard::~WaylandKeyboard() = default;

bool WaylandKeyboard::isAvailable() const {
    return connection_->alive();
}

size_t WaylandKeyboard::type(const std::vector<Keystroke>& strokes) {
    return connection_->type(strokes, cancelled_);
}
