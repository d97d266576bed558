// SPDX-License-Identifier: MIT
#include "keyboard/keystrokes.h"

#include <QDebug>
#include <QString>

#include <optional>

namespace {

using Key = Keystroke::Key;

constexpr char16_t kCarriageReturn = 0x0D;
constexpr char16_t kLineFeed = 0x0A;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The keystroke of a control character under the policy; none for those that are dropped.
std::optional<Keystroke> controlKeystroke(char32_t c) {
    switch (c) {
        case kCarriageReturn:
        case kLineFeed:
            return Keystroke::press(Key::kReturn);
        case 0x09:
            return Keystroke::press(Key::kTab);
        case 0x04:  // EOT
            return Keystroke::control(U'd');
        case 0x1C:  // FS
            return Keystroke::control(U'\\');
        case 0x1D:  // GS
            return Keystroke::control(U']');
        case 0x1E:  // RS
            return Keystroke::control(U'^');
        case 0x1F:  // US
            return Keystroke::control(U'_');
        default:
            return std::nullopt;
    }
}

}  // namespace

std::vector<Keystroke> keystrokesFor(const std::u16string& text) {
    std::vector<Keystroke> strokes;
    QString dropped;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        if (i > 0 && unit == text[i - 1]) {
            strokes.push_back(Keystroke::press(Key::kLeft));
            strokes.push_back(Keystroke::press(Key::kRight));
        }
        if (isHighSurrogate(unit) && i + 1 < n && isLowSurrogate(text[i + 1])) {
            const char32_t low = text[++i];
            strokes.push_back(
                Keystroke::typing(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00)));
        } else if (!isControl(unit)) {
            strokes.push_back(Keystroke::typing(unit));
        } else if (const std::optional<Keystroke> stroke = controlKeystroke(unit)) {
            // CR LF is one line break.
            if (!(unit == kLineFeed && i > 0 && text[i - 1] == kCarriageReturn)) {
                strokes.push_back(*stroke);
            }
        } else {
            dropped += QStringLiteral(" U+%1").arg(unsigned{unit}, 4, 16, QLatin1Char('0'));
        }
    }
    if (!dropped.isEmpty()) {
        qDebug().noquote() << "Keyboard output: control characters left out:" + dropped;
    }
    return strokes;
}
