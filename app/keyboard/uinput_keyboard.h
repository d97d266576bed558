// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_UINPUT_KEYBOARD_H
#define OSTRELSCAN_KEYBOARD_UINPUT_KEYBOARD_H

#include <atomic>
#include <memory>
#include <string>

#include "keyboard/keyboard_backend.h"

/// Keyboard output through a keyboard device of its own made with /dev/uinput, for
/// compositors without a virtual keyboard protocol (GNOME, KDE).
///
/// The compositor reads the device like any keyboard, with the user's layout, so each
/// character is typed with the key and the Shift or AltGr that give it in the user's current
/// layout and group (UinputLayout): read from XWayland when DISPLAY reaches it, else from the
/// system's keyboard configuration. The compositor's Caps Lock and Num Lock, which it shows
/// on every keyboard's LEDs and so on this one's, are allowed for. Characters the layout lacks
/// are pasted through the clipboard, which the compositor bridges from XWayland's selections:
/// a stretch of them at a time, with Shift+Insert, which GTK, Qt and terminals all take as
/// paste; the clipboard is empty afterwards. Without XWayland they are left out. Either is
/// said once on standard error. Events go out at the pace of a 1000 Hz keyboard, since the
/// kernel keeps only a few dozen for a reader that falls behind.
class UinputKeyboard final : public KeyboardBackend {
public:
    static constexpr const char* kSystemKeyboardConfig = "/etc/default/keyboard";

    /// Creates the device. Null when /dev/uinput cannot be opened or the layout cannot be
    /// read; whyNot then says why. configFile is read when no X server answers.
    static std::unique_ptr<UinputKeyboard> create(
        std::string& whyNot, const std::string& configFile = kSystemKeyboardConfig);
    ~UinputKeyboard() override;

    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

    bool isAvailable() const override { return true; }
    size_t type(const std::vector<Keystroke>& strokes) override;
    void cancel() override { cancelled_ = true; }

    /// The layout keys are typed with and where it was read, for the log.
    std::string layoutName() const;

private:
    class Device;
    explicit UinputKeyboard(std::unique_ptr<Device> device);

    std::unique_ptr<Device> device_;
    std::atomic<bool> cancelled_{false};
};

#endif
