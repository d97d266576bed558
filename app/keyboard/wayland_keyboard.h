// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_WAYLAND_KEYBOARD_H
#define OSTRELSCAN_KEYBOARD_WAYLAND_KEYBOARD_H

#include <atomic>
#include <memory>
#include <string>

#include "keyboard/keyboard_backend.h"

/// Keyboard output through a Wayland compositor's virtual keyboard (zwp_virtual_keyboard_v1,
/// offered by wlroots compositors such as Sway).
///
/// The keyboard brings its own keymap (WaylandKeymap), so every character is typed with a
/// key of its own whatever the user's layout, locks and held keys; a text with characters the
/// keymap lacks uploads a new one first. Ctrl chords are typed with Ctrl in the keyboard's
/// modifier state. Keystrokes go out at the pace of a 1000 Hz keyboard at most. The virtual
/// keyboard is created once and kept: clients learn of a new keyboard only after a moment, and
/// keys typed meanwhile would be lost.
class WaylandKeyboard final : public KeyboardBackend {
public:
    /// Connects to the compositor named by WAYLAND_DISPLAY and creates the virtual keyboard.
    /// Null when there is no compositor or it offers no virtual keyboard; whyNot then says why.
    static std::unique_ptr<WaylandKeyboard> connect(std::string& whyNot);
    ~WaylandKeyboard() override;

    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    /// False once the connection to the compositor is lost.
    bool isAvailable() const override;
    size_t type(const std::vector<Keystroke>& strokes) override;
    void cancel() override { cancelled_ = true; }

private:
    class Connection;
    explicit WaylandKeyboard(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection_;
    std::atomic<bool> cancelled_{false};
};

#endif
