#include "text_receiver.h"

#include <QCoreApplication>
#include <QFile>

#include <atomic>
#include <thread>

#include "sway_session.h"
#include "wait_until.h"
#include "x11_receiver.h"

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr std::chrono::milliseconds kPollStep{10};

// Runs xdotool; false when it failed or took too long. Its first output line goes to line.
bool xdotool(const QStringList& arguments, QString* line = nullptr) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(kStartTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (line != nullptr) {
        *line = QString::fromUtf8(process.readAllStandardOutput()).section('\n', 0, 0).trimmed();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::string withoutCursorKeys(std::string text) {
    for (const char* sequence : {"\x1b[D", "\x1b[C", "\x1bOD", "\x1bOC"}) {
        for (size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence)) {
            text.erase(at, 3);
        }
    }
    return text;
}

}  // namespace

TextReceiver::TextReceiver(Toolkit toolkit, const SwaySession* compositor)
    : toolkit_(toolkit), compositor_(compositor) {
    if (toolkit == Toolkit::Xlib) {
        xlib_ = std::make_unique<X11Receiver>();
        ready_ = xlib_->ready();
    } else {
        ready_ = startProgram();
    }
}

TextReceiver::~TextReceiver() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(kStartTimeoutMs)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
}

bool TextReceiver::startProgram() {
    static std::atomic<int> started{0};
    const QString title =
        QStringLiteral("receiver-%1-%2").arg(QCoreApplication::applicationPid()).arg(++started);
    const QString path = folder_.filePath(QStringLiteral("text"));
    QProcessEnvironment environment = compositor_ != nullptr
                                          ? compositor_->clientEnvironment()
                                          : QProcessEnvironment::systemEnvironment();
    // No accessibility bus and no input method server: the toolkits' own key handling.
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("gtk-im-context-simple"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (compositor_ != nullptr) {
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    }
    environment.remove(QStringLiteral("QT_IM_MODULE"));
    process_.setProcessEnvironment(environment);
    switch (toolkit_) {
        case Toolkit::Qt:
            process_.start(QStringLiteral(QT_TEXT_RECEIVER), {title, path});
            break;
        case Toolkit::Gtk:
            process_.start(QStringLiteral(GTK_TEXT_RECEIVER), {title, path});
            break;
        default:
            process_.start(QStringLiteral("xterm"),
                           {"-title", title, "-u8", "-e", "sh", "-c",
                            "stty raw -echo && exec cat > \"$0\"", path});
            break;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!QFile::exists(path) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollStep);
    }
    if (compositor_ != nullptr) {
        return QFile::exists(path) && waitUntil([&] { return compositor_->focus(title); });
    }
    QString window;
    return xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"}, &window) &&
           QFile::exists(path) && xdotool({"windowfocus", "--sync", window});
}

std::string TextReceiver::text() const {
    if (xlib_) {
        return X11Receiver::textOf(xlib_->waitForPresses(0, {}));
    }
    QFile file(folder_.filePath(QStringLiteral("text")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const std::string text = file.readAll().toStdString();
    return toolkit_ == Toolkit::Xterm ? withoutCursorKeys(text) : text;
}

std::string TextReceiver::waitForEnding(size_t bytes, const std::string& ending,
                                        std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string received = text();
    while ((received.size() < bytes ||
            received.compare(received.size() - std::min(received.size(), ending.size()),
                             std::string::npos, ending) != 0) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollStep);
        received = text();
    }
    return received;
}
