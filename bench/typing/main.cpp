// bench-typing: characters per second that KeyboardText types through the XTest back end
// into a real X window, counted from the first event sent to the last character received,
// with every text checked for loss, duplication and order. Characters outside the layout go
// through free keycodes; Xvfb's layout has 19, four levels each.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench-typing
#include <QCoreApplication>
#include <QString>
#include <QTextCodec>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "keyboard/keyboard_text.h"
#include "keyboard/x11_keyboard.h"
#include "x11_receiver.h"

// Xlib's macros clash with Qt, so it comes last.
#include <X11/XKBlib.h>

namespace {

using namespace std::chrono_literals;

struct Scenario {
    const char* name;
    std::u32string alphabet;  // cycled through to build the text
    size_t length;
    size_t textsOf;  // the text is sent in pieces of this many characters, like scanned codes
    bool capsLock = false;
};

std::u32string buildText(const Scenario& scenario) {
    std::u32string text;
    while (text.size() < scenario.length) {
        text += scenario.alphabet;
    }
    text.resize(scenario.length);
    return text;
}

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

// Types the scenario's text and returns false when the receiver did not get it exactly.
bool run(const Scenario& scenario, X11Keyboard& keyboard, X11Receiver& receiver) {
    const std::u32string text = buildText(scenario);
    const QString whole = QString::fromUcs4(text.data(), static_cast<int>(text.size()));
    std::vector<QByteArray> pieces;
    for (size_t at = 0; at < text.size(); at += scenario.textsOf) {
        const std::u32string piece = text.substr(at, scenario.textsOf);
        pieces.push_back(QString::fromUcs4(piece.data(), static_cast<int>(piece.size())).toUtf8());
    }
    receiver.clear();
    setCapsLock(scenario.capsLock);
    const auto start = std::chrono::steady_clock::now();
    for (const QByteArray& piece : pieces) {
        KeyboardText(piece.constData()).send(keyboard);
    }
    receiver.waitForPresses(text.size(), 60s);
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    const std::vector<ReceivedKey> all = receiver.settle(200ms);
    setCapsLock(false);
    const bool exact = X11Receiver::textOf(all) == whole.toStdString();
    std::printf("%-48s %6zu chars %8.3f s %9.0f chars/s  %s\n", scenario.name, text.size(),
                elapsed.count(), static_cast<double>(text.size()) / elapsed.count(),
                exact ? "zero loss" : "LOSS OR DISORDER");
    return exact;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "C.UTF-8");
    QCoreApplication application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    X11Receiver receiver;
    X11Keyboard keyboard;
    if (!receiver.ready() || !keyboard.isAvailable()) {
        std::fprintf(stderr, "bench-typing needs an X display with XTEST (try xvfb-run).\n");
        return 1;
    }
    const Scenario scenarios[] = {
        {"ASCII letters and digits, codes of 40", U"Lot4711-ABCdefgh/2024:x7Q9", 10000, 40},
        {"ASCII with repeats (separator events)", U"0011223344556677aabbcc", 5000, 40},
        {"Latin-1 and CJK, 12 outside the layout", U"条码扫描枪中文éüß€Ωok", 5000, 40},
        {"Cyrillic and Greek under Caps Lock", U"Привет Мир Ωω αβγ ёЁ 42", 3000, 40, true},
        {"60 distinct CJK, codes of 60", distinctIdeographs(60), 3000, 60},
        {"70 distinct CJK, one text", distinctIdeographs(70), 3500, 3500},
        {"200 distinct CJK, more than free key levels", distinctIdeographs(200), 2000, 2000},
    };
    bool allExact = true;
    for (const Scenario& scenario : scenarios) {
        allExact = run(scenario, keyboard, receiver) && allExact;
    }
    return allExact ? 0 : 2;
}
