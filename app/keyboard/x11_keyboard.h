#ifndef OSTRELSCAN_KEYBOARD_X11_KEYBOARD_H
#define OSTRELSCAN_KEYBOARD_X11_KEYBOARD_H

#include <memory>

#include "keyboard/keyboard_backend.h"

/// Keyboard output on X11 through the XTest extension.
///
/// A character is typed with the key that produces it in the current layout (Shift held
/// when needed); a character the layout lacks is typed through a spare keycode that is
/// bound to its keysym for the purpose and unbound again once it has been idle for a while
/// (see idle()). On X11 a press without a release is a held key, so a character event is a
/// press and a release. Without a display, XTest or XKB the back end stays unavailable
/// after one warning on standard error.
class X11Keyboard final : public KeyboardBackend {
public:
    /// Opens its own connection to the display named by DISPLAY.
    X11Keyboard();
    /// Unbinds every borrowed keycode and closes the connection.
    ~X11Keyboard() override;

    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    bool isAvailable() const override;
    bool typeCharacter(char32_t codePoint) override;
    bool sendKey(Key key, bool down) override;
    void idle() override;

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
};

#endif
