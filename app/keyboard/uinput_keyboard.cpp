// SPDX-License-Identifier: MIT
#include "keyboard/uinput_keyboard.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cstring>
#include <thread>

#include "keyboard/uinput_layout.h"
#include "keyboard/uinput_xwayland.h"

namespace {

using Clock = std::chrono::steady_clock;

// The evdev codes the device offers: every key a keymap maps below XKB keycode 256.
constexpr uint16_t kLastKey = 247;
// One event frame per millisecond, as a keyboard polled at 1000 Hz sends them.
constexpr std::chrono::milliseconds kFramePause{1};
// The compositor learns of a new device through udev and opens it only after a moment; keys
// sent before are lost.
constexpr std::chrono::milliseconds kDeviceSettle{1000};
constexpr std::chrono::milliseconds kSettleStep{10};

struct EvdevDeleter {
    void operator()(libevdev* device) const { libevdev_free(device); }
};
struct UinputDeleter {
    void operator()(libevdev_uinput* device) const { libevdev_uinput_destroy(device); }
};

std::string layoutNameOf(xkb_keymap* keymap, uint32_t group) {
    const char* name = keymap != nullptr ? xkb_keymap_layout_get_name(keymap, group) : nullptr;
    return name != nullptr ? name : "unknown";
}

}  // namespace

class UinputKeyboard::Device {
public:
    static std::unique_ptr<Device> create(std::string& whyNot, const std::string& configFile);

    size_t type(const std::vector<Keystroke>& strokes, const std::atomic<bool>& cancelled);
    std::string layoutName() const;

private:
    /// Waits until the compositor has had time to open the device; false when cancelled first.
    bool awaitCompositor(const std::atomic<bool>& cancelled) const;
    /// Follows the lock LEDs the compositor set and reads the layout again where it can change.
    void refresh();
    bool typeStroke(const Keystroke& stroke);
    /// Pastes the characters of strokes[begin, end), some of which the layout lacks, or types
    /// those it has when pasting cannot start. Returns the number of strokes not typed.
    size_t paste(const std::vector<Keystroke>& strokes, size_t begin, size_t end);
    bool press(const UinputStroke& stroke, bool withControl);
    bool frame(uint16_t key, int value);

    std::unique_ptr<libevdev_uinput, UinputDeleter> uinput_;
    std::unique_ptr<UinputXWayland> xwayland_;
    std::shared_ptr<xkb_keymap> configKeymap_;
    std::string configName_;
    UinputLocks locks_;
    UinputLayout layout_;
    Clock::time_point created_;
    bool toldPasted_ = false;
    bool toldLeftOut_ = false;
};

std::unique_ptr<UinputKeyboard::Device> UinputKeyboard::Device::create(
    std::string& whyNot, const std::string& configFile) {
    auto device = std::make_unique<Device>();
    device->xwayland_ = UinputXWayland::connect();
    if (device->xwayland_) {
        device->locks_ = device->xwayland_->keyboard().locks;
    } else {
        device->configKeymap_ = keymapFromConfigFile(configFile, device->configName_);
        if (!device->configKeymap_) {
            whyNot = "no keymap for the layout " + device->configName_ + " of " + configFile;
            return nullptr;
        }
    }
    const std::unique_ptr<libevdev, EvdevDeleter> description(libevdev_new());
    libevdev_set_name(description.get(), "ostrelscan keyboard");
    libevdev_set_id_bustype(description.get(), BUS_VIRTUAL);
    libevdev_enable_event_type(description.get(), EV_KEY);
    for (uint16_t key = 1; key <= kLastKey; ++key) {
        libevdev_enable_event_code(description.get(), EV_KEY, key, nullptr);
    }
    // The compositor sets every keyboard's LEDs to its lock state, this one's included.
    libevdev_enable_event_type(description.get(), EV_LED);
    libevdev_enable_event_code(description.get(), EV_LED, LED_NUML, nullptr);
    libevdev_enable_event_code(description.get(), EV_LED, LED_CAPSL, nullptr);
    libevdev_uinput* uinput = nullptr;
    const int result = libevdev_uinput_create_from_device(description.get(),
                                                          LIBEVDEV_UINPUT_OPEN_MANAGED, &uinput);
    if (result < 0) {
        whyNot = std::string("/dev/uinput: ") + std::strerror(-result);
        return nullptr;
    }
    device->uinput_.reset(uinput);
    device->created_ = Clock::now();
    const int fd = libevdev_uinput_get_fd(uinput);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // The console's LED state, set on every new keyboard, says nothing of the session's.
    input_event event{};
    while (read(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
    }
    device->refresh();
    return device;
}

std::string UinputKeyboard::Device::layoutName() const {
    const std::string name = layoutNameOf(layout_.keymap().get(), layout_.group());
    if (xwayland_) {
        return "\"" + name + "\" read from XWayland";
    }
    return "\"" + name + "\" (" + configName_ + ") read from the system's keyboard configuration";
}

size_t UinputKeyboard::Device::type(const std::vector<Keystroke>& strokes,
                                    const std::atomic<bool>& cancelled) {
    if (!awaitCompositor(cancelled)) {
        return 0;
    }
    refresh();
    size_t failed = 0;
    for (size_t i = 0; i < strokes.size() && !cancelled;) {
        if (strokes[i].kind == Keystroke::Kind::kCharacter &&
            !layout_.strokeFor(strokes[i].character)) {
            // Up to the next key that is not a character or a separator's Left and Right.
            size_t end = i + 1;
            while (end < strokes.size() && (strokes[end].kind == Keystroke::Kind::kCharacter ||
                                            (strokes[end].kind == Keystroke::Kind::kKey &&
                                             strokes[end].key != Keystroke::Key::kReturn &&
                                             strokes[end].key != Keystroke::Key::kTab))) {
                ++end;
            }
            failed += paste(strokes, i, end);
            i = end;
        } else {
            failed += typeStroke(strokes[i]) ? 0 : 1;
            ++i;
        }
    }
    return failed;
}

bool UinputKeyboard::Device::awaitCompositor(const std::atomic<bool>& cancelled) const {
    while (Clock::now() - created_ < kDeviceSettle) {
        if (cancelled) {
            return false;
        }
        std::this_thread::sleep_for(kSettleStep);
    }
    return true;
}

void UinputKeyboard::Device::refresh() {
    input_event event{};
    const int fd = libevdev_uinput_get_fd(uinput_.get());
    while (read(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
        if (event.type == EV_LED && event.code == LED_CAPSL) {
            locks_.capsLock = event.value != 0;
        } else if (event.type == EV_LED && event.code == LED_NUML) {
            locks_.numLock = event.value != 0;
        }
    }
    std::shared_ptr<xkb_keymap> keymap = configKeymap_;
    uint32_t group = 0;
    if (xwayland_) {
        UinputXWayland::Keyboard keyboard = xwayland_->keyboard();
        keymap = keyboard.keymap;
        group = keyboard.group;
    }
    if (keymap) {
        layout_ = UinputLayout(std::move(keymap), group, locks_);
    }
}

bool UinputKeyboard::Device::typeStroke(const Keystroke& stroke) {
    if (stroke.kind == Keystroke::Kind::kKey) {
        const std::optional<UinputStroke> found = layout_.strokeFor(stroke.key);
        return found && press(*found, false);
    }
    const std::optional<UinputStroke> found = layout_.strokeFor(stroke.character);
    return found && press(*found, stroke.kind == Keystroke::Kind::kControl);
}

size_t UinputKeyboard::Device::paste(const std::vector<Keystroke>& strokes, size_t begin,
                                     size_t end) {
    std::u32string text;
    for (size_t i = begin; i < end; ++i) {
        if (strokes[i].kind == Keystroke::Kind::kCharacter) {
            text += strokes[i].character;
        }
    }
    const std::optional<UinputStroke> pasteKey = layout_.pasteStroke();
    bool pressed = false;
    const bool pasted =
        xwayland_ && pasteKey &&
        xwayland_->paste(
            QString::fromUcs4(text.data(), static_cast<int>(text.size())).toUtf8().toStdString(),
            [&] { return pressed = press(*pasteKey, false); });
    bool& told = pasted ? toldPasted_ : toldLeftOut_;
    if (!told) {
        const char* how = pasted      ? "such characters are pasted through the clipboard"
                          : xwayland_ ? "pasting through the clipboard failed: such characters "
                                        "are left out when it does"
                                      : "without XWayland there is no clipboard to paste them "
                                        "through: such characters are left out";
        qWarning("Keyboard output: the layout %s has no key for U+%04X; %s.", layoutName().c_str(),
                 static_cast<unsigned>(text.front()), how);
        told = true;
    }
    if (pasted) {
        return 0;
    }
    // Once the paste key went out, the program may still paste: typing the text as well
    // could double it.
    if (pressed) {
        return end - begin;
    }
    size_t failed = 0;
    for (size_t i = begin; i < end; ++i) {
        failed += typeStroke(strokes[i]) ? 0 : 1;
    }
    return failed;
}

// Ctrl first, then the level modifiers, the key, and all released in reverse.
bool UinputKeyboard::Device::press(const UinputStroke& stroke, bool withControl) {
    std::vector<uint16_t> held;
    if (withControl) {
        if (layout_.controlKey() == 0) {
            return false;
        }
        held.push_back(layout_.controlKey());
    }
    held.insert(held.end(), stroke.modifiers.begin(), stroke.modifiers.end());
    bool written = true;
    for (const uint16_t key : held) {
        written = frame(key, 1) && written;
    }
    written = frame(stroke.key, 1) && written;
    written = frame(stroke.key, 0) && written;
    for (auto key = held.rbegin(); key != held.rend(); ++key) {
        written = frame(*key, 0) && written;
    }
    return written;
}

bool UinputKeyboard::Device::frame(uint16_t key, int value) {
    const bool written = libevdev_uinput_write_event(uinput_.get(), EV_KEY, key, value) == 0 &&
                         libevdev_uinput_write_event(uinput_.get(), EV_SYN, SYN_REPORT, 0) == 0;
    std::this_thread::sleep_for(kFramePause);
    return written;
}

std::unique_ptr<UinputKeyboard> UinputKeyboard::create(std::string& whyNot,
                                                       const std::string& configFile) {
    std::unique_ptr<Device> device = Device::create(whyNot, configFile);
    if (!device) {
        return nullptr;
    }
    return std::unique_ptr<UinputKeyboard>(new UinputKeyboard(std::move(device)));
}

UinputKeyboard::UinputKeyboard(std::unique_ptr<Device> device) : device_(std::move(device)) {}

UinputKeyboard::~UinputKeyboard() = default;

size_t UinputKeyboard::type(const std::vector<Keystroke>& strokes) {
    return device_->type(strokes, cancelled_);
}

std::string UinputKeyboard::layoutName() const {
    return device_->layoutName();
}
