#ifndef OSTRELSCAN_KEYBOARD_UINPUT_XWAYLAND_H
#define OSTRELSCAN_KEYBOARD_UINPUT_XWAYLAND_H

#include <memory>

#include "keyboard/uinput_layout.h"

/// The session's X server (XWayland, in a Wayland session) as a witness of the user's keyboard:
/// the compositor hands it the layout, group and locks that the user's keys are typed with.
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

private:
    class Connection;
    explicit UinputXWayland(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

#endif
