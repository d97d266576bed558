// SPDX-License-Identifier: MIT
#include "keyboard/keyboard_text.h"

#include <QString>
#include <QtGlobal>

#include <vector>

#include "keyboard/keyboard_backend.h"
#include "keyboard/keystrokes.h"

KeyboardText::KeyboardText(const char* local8Bit) {
    if (local8Bit == nullptr) {
        return;
    }
    const QString decoded = QString::fromLocal8Bit(local8Bit);
    text_.assign(reinterpret_cast<const char16_t*>(decoded.utf16()),
                 static_cast<size_t>(decoded.size()));
}

int32_t KeyboardText::countRepeats() const {
    int32_t repeats = 0;
    for (size_t i = 1; i < text_.size(); ++i) {
        if (text_[i] == text_[i - 1]) {
            ++repeats;
        }
    }
    return repeats;
}

int32_t KeyboardText::send(KeyboardBackend& keyboard) const {
    if (text_.empty() || !keyboard.isAvailable()) {
        return 0;
    }
    const std::vector<Keystroke> strokes = keystrokesFor(text_);
    const size_t failed = keyboard.type(strokes);
    if (failed > 0) {
        qWarning("Keyboard output: %zu of %zu keystrokes could not be typed.", failed,
                 strokes.size());
    }
    return static_cast<int32_t>(text_.size());
}

int32_t pressEnter(KeyboardBackend& keyboard) {
    return keyboard.type({Keystroke::press(Keystroke::Key::kReturn)}) == 0 ? 1 : -1;
}
