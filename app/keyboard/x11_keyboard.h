// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_X11_KEYBOARD_H
#define OSTRELSCAN_KEYBOARD_X11_KEYBOARD_H

#include <atomic>
#include <memory>

#include "keyboard/keyboard_backend.h"

/// Keyboard output on X11 through the XTest extension.
///
/// A character is typed with the key, and Shift or the level-three shift (AltGr), that
/// produce it in the current layout and group; characters the layout lacks are bound for the
/// moment to free keycodes, a whole stretch of text at once (X11BorrowedKeys). While it
/// types, locked and latched modifiers (Caps Lock, Num Lock) are switched off, and it waits
/// whenever the user holds a modifier key, so neither can change or turn characters into
/// shortcuts; the locks are switched back on afterwards. Without a display, XTest or XKB the
/// back end stays unavailable after one warning on standard error.
class X11Keyboard final : public KeyboardBackend {
public:
    /// Opens its own connection to the display named by DISPLAY.
    X11Keyboard();
    /// Gives back borrowed keycodes, restores the locks and closes the connection.
    ~X11Keyboard() override;

    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    bool isAvailable() const override;
    size_t type(const std::vector<Keystroke>& strokes) override;
    void cancel() override { cancelled_ = true; }
    void idle() override;

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
    std::atomic<bool> cancelled_{false};
};

#endif
