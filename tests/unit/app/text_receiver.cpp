// SPDX-License-Identifier: MIT
#include "text_receiver.h"

#include <QCoreApplication>
#include <QFile>

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "sway_session.h"
#include "wait_until.h"
#include "x_tools.h"

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr std::chrono::milliseconds kPollStep{10};

std::string withoutCursorKeys(std::string text) {
    for (const char* sequence : {"\x1b[D", "\x1b[C", "\x1bOD", "\x1bOC"}) {
        for (size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence)) {
            text.erase(at, 3);
        }
    }
    return text;
}

size_t characters(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

}  // namespace

Display* openDisplay() {
    Display* display = XOpenDisplay(nullptr);
    for (int attempt = 1; display == nullptr && attempt < 10; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        display = XOpenDisplay(nullptr);
    }
    return display;
}

TextReceiver::TextReceiver(Toolkit toolkit, const SwaySession* compositor) : toolkit_(toolkit) {
    static std::atomic<int> started{0};
    const QString title =
        QStringLiteral("receiver-%1-%2").arg(QCoreApplication::applicationPid()).arg(++started);
    const QString path = folder_.filePath(QStringLiteral("text"));
    QProcessEnvironment environment = compositor != nullptr
                                          ? compositor->clientEnvironment()
                                          : QProcessEnvironment::systemEnvironment();
    // No accessibility bus and no input method server: the toolkits' own key handling.
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("gtk-im-context-simple"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("QT_IM_MODULE"));
    if (compositor != nullptr) {
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    }
    process_.setProcessEnvironment(environment);
    const char* const programs[] = {QT_TEXT_RECEIVER, GTK_TEXT_RECEIVER};
    if (toolkit == Toolkit::Xterm) {
        process_.start(QStringLiteral("xterm"), {"-title", title, "-u8", "-e", "sh", "-c",
                                                 "stty raw -echo && exec cat > \"$0\"", path});
    } else {
        process_.start(QString::fromUtf8(programs[static_cast<int>(toolkit)]), {title, path});
    }
    const bool running =
        waitUntil([&] { return QFile::exists(path); }, std::chrono::milliseconds(kStartTimeoutMs));
    if (compositor != nullptr) {
        ready_ = running && waitUntil([&] { return compositor->focus(title); });
        return;
    }
    const QString window = running
                               ? xtools::waitForWindow("--name", "^" + title + "$",
                                                       std::chrono::milliseconds(kStartTimeoutMs))
                               : QString();
    ready_ = !window.isEmpty() && xtools::focus(window);
}

TextReceiver::~TextReceiver() {
    process_.terminate();
    if (!process_.waitForFinished(kStartTimeoutMs)) {
        process_.kill();
        process_.waitForFinished();
    }
}

std::string TextReceiver::allText() const {
    QFile file(folder_.filePath(QStringLiteral("text")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const std::string text = file.readAll().toStdString();
    return toolkit_ == Toolkit::Xterm ? withoutCursorKeys(text) : text;
}

std::string TextReceiver::text() const {
    const std::string all = allText();
    return all.substr(std::min(mark_, all.size()));
}

std::string TextReceiver::waitForCharacters(size_t count, std::chrono::milliseconds timeout) const {
    waitUntil([&] { return characters(text()) >= count; }, timeout);
    return text();
}

std::string TextReceiver::settle(std::chrono::milliseconds quiet) const {
    std::string received = text();
    for (auto since = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - since < quiet;) {
        std::this_thread::sleep_for(kPollStep);
        std::string now = text();
        if (now != received) {
            received = std::move(now);
            since = std::chrono::steady_clock::now();
        }
    }
    return received;
}
