// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_KEYSTROKES_H
#define OSTRELSCAN_KEYBOARD_KEYSTROKES_H

#include <string>
#include <vector>

/// One step of keyboard output, the same for every platform.
struct Keystroke {
    enum class Kind {
        kCharacter,  ///< `character`, typed with whatever keys produce it
        kControl,  ///< Ctrl held with the key of `character`: a control character as keyboards type
                   ///< it
        kKey,      ///< `key` pressed and released
    };
    enum class Key { kLeft, kRight, kReturn, kTab };

    Kind kind = Kind::kCharacter;
    char32_t character = 0;
    Key key = Key::kReturn;

    static Keystroke typing(char32_t c) { return {Kind::kCharacter, c, Key::kReturn}; }
    static Keystroke control(char32_t c) { return {Kind::kControl, c, Key::kReturn}; }
    static Keystroke press(Key k) { return {Kind::kKey, 0, k}; }
};

/// The keystrokes that type a UTF-16 text: one per character (a surrogate pair is one
/// character), and Left then Right between two equal neighbouring units, so that receivers
/// which drop a repeated character event see two distinct key strokes. Control characters
/// follow one policy, so that no byte of a code can edit or leave the receiving program:
/// CR, LF and the pair CR LF each give one Return; TAB gives Tab; GS, RS, FS, US and EOT give
/// Ctrl+], Ctrl+^, Ctrl+\, Ctrl+_ and Ctrl+D, as keyboard wedges type them; every other
/// control character (C0, DEL, C1) gives nothing and one debug line per text names them.
std::vector<Keystroke> keystrokesFor(const std::u16string& text);

#endif
