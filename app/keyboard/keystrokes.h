#ifndef OSTRELSCAN_KEYBOARD_KEYSTROKES_H
#define OSTRELSCAN_KEYBOARD_KEYSTROKES_H

#include <string>
#include <vector>

/// One step of keyboard output, the same for every platform.
struct Keystroke {
    enum class Kind {
        Character,  ///< `character`, typed with whatever keys produce it
        Control,  ///< Ctrl held with the key of `character`: a control character as keyboards type
                  ///< it
        Key,      ///< `key` pressed and released
    };
    enum class Key { Left, Right, Return, Tab };

    Kind kind = Kind::Character;
    char32_t character = 0;
    Key key = Key::Return;

    static Keystroke typing(char32_t c) { return {Kind::Character, c, Key::Return}; }
    static Keystroke control(char32_t c) { return {Kind::Control, c, Key::Return}; }
    static Keystroke press(Key k) { return {Kind::Key, 0, k}; }
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
