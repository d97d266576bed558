// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_KEYBOARD_TEXT_H
#define OSTRELSCAN_KEYBOARD_KEYBOARD_TEXT_H

#include <cstdint>
#include <string>

class KeyboardBackend;

/// One text to type into the focused window, held as UTF-16 and typed as keystrokesFor()
/// turns it into keystrokes.
class KeyboardText {
public:
    /// Builds the text from zero-terminated bytes in the local 8-bit encoding, decoded with
    /// Qt's locale codec. A null pointer gives an empty text.
    explicit KeyboardText(const char* local8Bit);

    /// Number of positions at which a UTF-16 unit equals the one before it.
    int32_t countRepeats() const;

    /// Types the text through keyboard. Returns the number of UTF-16 units typed: the text's
    /// length, or 0 when the text is empty or keyboard is unusable. Keystrokes that the
    /// keyboard could not type are reported with one warning.
    int32_t send(KeyboardBackend& keyboard) const;

private:
    std::u16string text_;
};

/// Presses and releases Enter. Returns 1 when it was typed, -1 otherwise.
int32_t pressEnter(KeyboardBackend& keyboard);

#endif
