#ifndef OSTRELSCAN_KEYBOARD_KEYBOARD_TEXT_H
#define OSTRELSCAN_KEYBOARD_KEYBOARD_TEXT_H

#include <cstdint>
#include <string>

class KeyboardBackend;

/// One text to type into the focused window, held as UTF-16.
///
/// Each UTF-16 unit becomes one character event, except that a surrogate pair is typed as
/// the one character it encodes. Between two equal neighbouring units the separator (Left
/// down, Left up, Right down, Right up) is injected, so that receivers which drop a repeated
/// character event see two distinct key strokes.
class KeyboardText {
public:
    /// Builds the text from zero-terminated bytes in the local 8-bit encoding, decoded with
    /// Qt's locale codec. A null pointer gives an empty text.
    explicit KeyboardText(const char* local8Bit);

    /// Number of positions at which a UTF-16 unit equals the one before it.
    int32_t countRepeats() const;

    /// Types the text through keyboard, one event per call. Returns the number of UTF-16
    /// units typed: the text's length, or 0 when the text is empty or keyboard is unusable.
    int32_t send(KeyboardBackend& keyboard) const;

private:
    std::u16string text_;
};

/// Presses and releases Enter. Returns 1 when the release was accepted, -1 otherwise.
int32_t pressEnter(KeyboardBackend& keyboard);

#endif
