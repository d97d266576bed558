#ifndef OSTRELSCAN_KEYBOARD_KEYBOARD_BACKEND_H
#define OSTRELSCAN_KEYBOARD_KEYBOARD_BACKEND_H

/// One platform's facility for injecting keyboard events into the focused window.
///
/// Every call injects exactly one event and returns once the event has been handed to the
/// platform; nothing is batched. Only one thread at a time uses a back end.
class KeyboardBackend {
public:
    /// The named keys that keyboard output presses besides characters.
    enum class Key { Left, Right, Return };

    virtual ~KeyboardBackend() = default;

    /// False when the facility cannot inject anything (for instance no display).
    virtual bool isAvailable() const = 0;

    /// Types one character, given as a Unicode code point, as a single character event.
    /// Returns true when the platform accepted the event.
    virtual bool typeCharacter(char32_t codePoint) = 0;

    /// Presses (down true) or releases (down false) a named key.
    /// Returns true when the platform accepted the event.
    virtual bool sendKey(Key key, bool down) = 0;

    /// Called while no output is in progress; undoes temporary changes that typing made to
    /// the system (such as keyboard mappings borrowed for characters the layout lacks) once
    /// they are old enough that every client has seen the events that needed them.
    virtual void idle() {}
};

#endif
