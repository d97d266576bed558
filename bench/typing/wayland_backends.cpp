// SPDX-License-Identifier: MIT
// bench-typing-wayland: characters per second that the Wayland session's back ends type, with
// every text checked for loss, duplication and order: the compositor's virtual keyboard into a
// native Qt program in a headless Sway (sent: until the compositor took the last key; shown:
// until the program showed the last character, which its own work per key slows down), and
// the uinput keyboard into a recording stand-in for /dev/uinput (its own pace, which a
// compositor reading the device keeps up with). bench-typing measures XTest.
//
//   build/bin/bench-typing-wayland
#include <QCoreApplication>
#include <QString>
#include <QTextCodec>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <string>

#include "keyboard/keyboard_text.h"
#include "keyboard/uinput_keyboard.h"
#include "keyboard/wayland_keyboard.h"
#include "sway_session.h"
#include "text_receiver.h"
#include "uinput_fake.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Scenario {
    const char* name;
    std::u32string alphabet;  // cycled through to build the text
    size_t length;
    size_t textsOf;  // sent in pieces of this many characters, like scanned codes
};

std::vector<std::string> piecesOf(const Scenario& scenario, std::string& whole) {
    std::u32string text;
    while (text.size() < scenario.length) {
        text += scenario.alphabet;
    }
    text.resize(scenario.length);
    whole = QString::fromUcs4(text.data(), static_cast<int>(text.size())).toStdString();
    std::vector<std::string> pieces;
    for (size_t at = 0; at < text.size(); at += scenario.textsOf) {
        const std::u32string piece = text.substr(at, scenario.textsOf);
        pieces.push_back(
            QString::fromUcs4(piece.data(), static_cast<int>(piece.size())).toStdString());
    }
    return pieces;
}

std::u32string distinctIdeographs(size_t count) {
    std::u32string text;
    for (char32_t c = U'\u4E00'; text.size() < count; c += 3) {
        text += c;
    }
    return text;
}

void report(const char* backend, const Scenario& scenario, Clock::duration sent,
            Clock::duration shown, bool exact) {
    const auto rate = [&](Clock::duration elapsed) {
        return static_cast<double>(scenario.length) /
               std::chrono::duration<double>(elapsed).count();
    };
    std::printf("%-16s %-42s %5zu chars  sent %6.0f chars/s  shown %6.0f chars/s  %s\n", backend,
                scenario.name, scenario.length, rate(sent), rate(shown),
                exact ? "zero loss" : "LOSS OR DISORDER");
}

bool virtualKeyboard(const Scenario& scenario, KeyboardBackend& keyboard, const SwaySession& sway) {
    // A new program per scenario: a text field slows down as its text grows.
    TextReceiver receiver(TextReceiver::Toolkit::Qt, &sway);
    std::string whole;
    const std::vector<std::string> pieces = piecesOf(scenario, whole);
    const Clock::time_point start = Clock::now();
    for (const std::string& piece : pieces) {
        KeyboardText(piece.c_str()).send(keyboard);
    }
    const Clock::duration sent = Clock::now() - start;
    const size_t characters = static_cast<size_t>(QString::fromStdString(whole).toUcs4().size());
    const std::string received = receiver.waitForCharacters(characters, 120s);
    const bool exact = receiver.ready() && received == whole;
    report("virtual keyboard", scenario, sent, Clock::now() - start, exact);
    return exact;
}

// Checked by the pressed keys that are neither modifiers nor a separator's Left and Right:
// one per character.
bool uinput(const Scenario& scenario, KeyboardBackend& keyboard) {
    std::string whole;
    const std::vector<std::string> pieces = piecesOf(scenario, whole);
    KeyboardText(" ").send(keyboard);  // waits until a compositor would have opened the device
    const size_t before = fake_uinput::device().events.size();
    const Clock::time_point start = Clock::now();
    for (const std::string& piece : pieces) {
        KeyboardText(piece.c_str()).send(keyboard);
    }
    const Clock::duration sent = Clock::now() - start;
    size_t presses = 0;
    const auto& events = fake_uinput::device().events;
    for (size_t i = before; i < events.size(); ++i) {
        const uint16_t code = events[i].code;
        presses += events[i].type == EV_KEY && events[i].value == 1 && code != KEY_LEFTSHIFT &&
                   code != KEY_RIGHTALT && code != KEY_LEFT && code != KEY_RIGHT;
    }
    const bool exact = presses == scenario.length;
    report("uinput", scenario, sent, sent, exact);
    return exact;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    QCoreApplication application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    SwaySession sway;
    sway.enter();
    std::string whyNot;
    const std::unique_ptr<WaylandKeyboard> virtualKeyboardBackend =
        WaylandKeyboard::connect(whyNot);
    if (!sway.ready() || !virtualKeyboardBackend) {
        std::fprintf(stderr, "bench-typing-wayland needs sway: %s\n", whyNot.c_str());
        return 1;
    }
    const Scenario scenarios[] = {
        {"ASCII letters and digits, codes of 40", U"Lot4711-ABCdefgh/2024:x7Q9", 4000, 40},
        {"Cyrillic, codes of 40", U"Привет Мир съешь ещё этих булок", 2000, 40},
        {"CJK, 60 distinct, codes of 60", distinctIdeographs(60), 3000, 60},
        {"CJK, 600 distinct, keymap reloads, one text", distinctIdeographs(600), 2400, 2400},
    };
    bool allExact = true;
    for (const Scenario& scenario : scenarios) {
        allExact = virtualKeyboard(scenario, *virtualKeyboardBackend, sway) && allExact;
    }
    // The uinput keyboard with the layout of a keyboard configuration that has the text's
    // characters.
    const std::string config = "/tmp/bench-typing-wayland-keyboard";
    for (const auto& [layout, scenario] : {std::pair{"us", &scenarios[0]}, {"ru", &scenarios[1]}}) {
        std::ofstream(config) << "XKBLAYOUT=\"" << layout << "\"\n";
        const std::unique_ptr<UinputKeyboard> keyboard = UinputKeyboard::create(whyNot, config);
        if (!keyboard) {
            std::fprintf(stderr, "no uinput keyboard: %s\n", whyNot.c_str());
            return 1;
        }
        allExact = uinput(*scenario, *keyboard) && allExact;
    }
    std::remove(config.c_str());
    return allExact ? 0 : 2;
}
