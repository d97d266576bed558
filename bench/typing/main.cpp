// SPDX-License-Identifier: MIT
// bench-typing: characters per second that KeyboardText types through the XTest back end
// into the programs people type into, counted from the first key sent to the last character
// shown, with every text checked for loss, duplication and order. Characters outside the
// layout go through free keycodes; Xvfb's layout has 19, four levels each.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench-typing [qt] [gtk] [xterm]
#include <QCoreApplication>
#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "keyboard/keyboard_text.h"
#include "keyboard/x11_keyboard.h"
#include "text_receiver.h"

// Xlib's macros clash with Qt, so it comes last.
#include <X11/XKBlib.h>

namespace {

using namespace std::chrono_literals;
using Toolkit = TextReceiver::Toolkit;

struct Scenario {
    const char* name;
    std::u32string alphabet;  // cycled through to build the text
    size_t length;
    size_t textsOf;  // the text is sent in pieces of this many characters, like scanned codes
    bool capsLock = false;
};

// Text fields lay a line out again at every character, so the text goes in lines of this
// many characters (each ends with LF, typed as Return), as codes and their Enter would.
constexpr size_t kLineLength = 100;

std::u32string distinctIdeographs(size_t count) {
    std::u32string text;
    for (char32_t c = U'\u4E00'; text.size() < count; c += 3) {
        text += c;
    }
    return text;
}

void setCapsLock(bool on) {
    Display* display = openDisplay();
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XCloseDisplay(display);
}

// Types the scenario's text and returns false when the receiver did not show it exactly.
bool run(const Scenario& scenario, X11Keyboard& keyboard, TextReceiver& receiver) {
    std::u32string text;
    for (size_t i = 0; text.size() < scenario.length; ++i) {
        text += scenario.alphabet[i % scenario.alphabet.size()];
        if ((i + 1) % std::min(kLineLength, scenario.textsOf) == 0) {
            text += U'\n';
        }
    }
    std::vector<QByteArray> pieces;
    for (size_t at = 0; at < text.size(); at += scenario.textsOf + 1) {
        const std::u32string piece = text.substr(at, scenario.textsOf + 1);
        pieces.push_back(QString::fromUcs4(piece.data(), static_cast<int>(piece.size())).toUtf8());
    }
    // Return shows as a line break in text fields and as "\r" elsewhere.
    const bool textField = receiver.toolkit() == Toolkit::Qt || receiver.toolkit() == Toolkit::Gtk;
    std::u32string shown = text;
    std::replace(shown.begin(), shown.end(), U'\n', textField ? U'\n' : U'\r');
    receiver.clear();
    setCapsLock(scenario.capsLock);
    const auto start = std::chrono::steady_clock::now();
    for (const QByteArray& piece : pieces) {
        KeyboardText(piece.constData()).send(keyboard);
    }
    receiver.waitForCharacters(text.size(), 120s);
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    const bool exact =
        receiver.settle(300ms) ==
        QString::fromUcs4(shown.data(), static_cast<int>(shown.size())).toStdString();
    setCapsLock(false);
    std::printf("  %-46s %6zu chars %8.3f s %9.0f chars/s  %s\n", scenario.name, text.size(),
                elapsed.count(), static_cast<double>(text.size()) / elapsed.count(),
                exact ? "zero loss" : "LOSS OR DISORDER");
    std::fflush(stdout);
    return exact;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "C.UTF-8");
    QCoreApplication application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    const char* const names[] = {"qt", "gtk", "xterm"};  // in Toolkit's order
    std::vector<Toolkit> toolkits;
    for (int i = 1; i < argc; ++i) {
        for (int t = 0; t < 3; ++t) {
            if (std::strcmp(argv[i], names[t]) == 0) {
                toolkits.push_back(static_cast<Toolkit>(t));
            }
        }
    }
    if (toolkits.empty()) {
        toolkits = {Toolkit::Qt, Toolkit::Gtk};
    }
    const Scenario scenarios[] = {
        {"ASCII letters and digits, codes of 40", U"Lot4711-ABCdefgh/2024:x7Q9", 10000, 40},
        {"ASCII with repeats (separator events)", U"0011223344556677aabbcc", 5000, 40},
        {"Latin-1 and CJK, 12 outside the layout", U"条码扫描枪中文éüß€Ωok", 5000, 40},
        {"Cyrillic and Greek under Caps Lock", U"Привет Мир Ωω αβγ ёЁ 42", 3000, 40, true},
        {"60 distinct CJK, codes of 60", distinctIdeographs(60), 3000, 60},
        {"70 distinct CJK, one text", distinctIdeographs(70), 3000, 3000},
        {"200 distinct CJK, more than free key levels", distinctIdeographs(200), 2000, 2000},
    };
    X11Keyboard keyboard;
    bool allExact = keyboard.isAvailable();
    for (const Toolkit toolkit : toolkits) {
        TextReceiver receiver(toolkit);
        if (!receiver.ready() || !keyboard.isAvailable()) {
            std::fprintf(stderr, "bench-typing needs an X display with XTEST (try xvfb-run).\n");
            return 1;
        }
        std::printf("%s\n", names[static_cast<int>(toolkit)]);
        std::fflush(stdout);
        for (const Scenario& scenario : scenarios) {
            allExact = run(scenario, keyboard, receiver) && allExact;
        }
    }
    return allExact ? 0 : 2;
}
