#include "keyboard/keyboard_text.h"

#include <QString>

#include <array>
#include <utility>

#include "keyboard/keyboard_backend.h"

namespace {

using Key = KeyboardBackend::Key;

constexpr std::array<std::pair<Key, bool>, 4> kSeparator = {{
    {Key::Left, true},
    {Key::Left, false},
    {Key::Right, true},
    {Key::Right, false},
}};

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void sendSeparator(KeyboardBackend& keyboard) {
    for (const auto& [key, down] : kSeparator) {
        keyboard.sendKey(key, down);
    }
}

}  // namespace

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
    const size_t n = text_.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && text_[i] == text_[i - 1]) {
            sendSeparator(keyboard);
        }
        const char16_t unit = text_[i];
        if (isHighSurrogate(unit) && i + 1 < n && isLowSurrogate(text_[i + 1])) {
            const char32_t low = text_[++i];
            keyboard.typeCharacter(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
        } else {
            keyboard.typeCharacter(unit);
        }
    }
    return static_cast<int32_t>(n);
}

int32_t pressEnter(KeyboardBackend& keyboard) {
    keyboard.sendKey(KeyboardBackend::Key::Return, true);
    return keyboard.sendKey(KeyboardBackend::Key::Return, false) ? 1 : -1;
}
