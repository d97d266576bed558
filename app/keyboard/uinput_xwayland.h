// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_UINPUT_XWAYLAND_H
#define OSTRELSCAN_KEYBOARD_UINPUT_XWAYLAND_H

#include <functional>
#include <memory>
#include <string>

#include "keyboard/uinput_layout.h"

/// The session's X server (XWayland, in a Wayland session): a witness of the user's keyboard,
/// since the compositor hands it the layout, group and locks that the user's keys are typed
/// with; and the way into the compositor's clipboard, which it bridges to the X selections.
class UinputXWayland {
public:
    /// Connects to the server named by DISPLAY; null when none answers or it lacks XKB.
    static std::unique_ptr<UinputXWayland> connect();
    ~UinputXWayland();

    UinputXWayland(const UinputXWayland&) = delete;
    UinputXWayland& operator=(const UinputXWayland&) = delete;

    struct Keyboard {
        std::shared_ptr<xkb_keymap> keymap;  // null when the server did not answer
        uint32_t group = 0;
        UinputLocks locks;
    };
    /// The keymap, group and locks as the server has them now.
    Keyboard keyboard() const;

    /// Pastes text: owns the clipboard and the primary selection with it, waits until the
    /// compositor has taken them over (it asks what they hold), calls pressPasteKey, and
    /// serves the text until a program has fetched it, then gives the selections up. False
    /// when the compositor or a program did not come in time, or the key was not typed.
    bool paste(const std::string& text, const std::function<bool()>& pressPasteKey);

private:
    class Connection;
    explicit UinputXWayland(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

#endif
