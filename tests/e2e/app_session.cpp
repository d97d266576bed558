// SPDX-License-Identifier: MIT
#include "app_session.h"

#include <QFile>
#include <QProcessEnvironment>

#include <fstream>
#include <functional>

#include "sim_image.h"
#include "wait_until.h"
#include "x_tools.h"

namespace {

using namespace std::chrono_literals;

const QString kWindowTitle = QStringLiteral("T900");
// The application's windows all carry its class; while the window is hidden the only visible
// one is the tray icon.
const QString kClassPattern = QStringLiteral("^ostrelscan$");

// The first visible window of the application's class that is not among before: the tray
// icon of a new copy, or a menu just opened. Empty when none came in time or givenUp() held.
QString newWindow(
    const QStringList& before, std::chrono::milliseconds timeout,
    const std::function<bool()>& givenUp = [] { return false; }) {
    QString found;
    waitUntil(
        [&] {
            for (const QString& window : xtools::visibleWindows("--classname", kClassPattern)) {
                if (!before.contains(window)) {
                    found = window;
                    return true;
                }
            }
            return givenUp();
        },
        timeout);
    return found;
}

}  // namespace

AppSession::AppSession() : tree_(folder_.filePath("sim").toStdString()) {
    QFile::link(QStringLiteral(TELO_BIN_DIR "/etc"), folder_.filePath("etc"));
    tree_.plug("scanner", telosim::DeviceKind::Scanner);
    telosim::ShowBlank(tree_, "scanner");
}

AppSession::~AppSession() {
    if (running()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    tree_.clear();
}

void AppSession::writeSettings(const std::string& text) {
    std::ofstream(folder_.filePath("Oconfig.ini").toStdString()) << text;
}

void AppSession::configure(QProcess& process) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TELO_SIM_ROOT", QString::fromStdString(tree_.root()));
    environment.insert("LD_PRELOAD", TELOSIM_LIBRARY);
    // Under AddressSanitizer the preloaded simulator comes before the sanitizer runtime.
    const QString asan = environment.value("ASAN_OPTIONS");
    environment.insert("ASAN_OPTIONS",
                       (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
    environment.remove("QT_QPA_PLATFORM");
    // The single-instance objects are named through files in the temporary folder; a folder
    // of the session's own keeps them apart from any other copy running on the machine.
    environment.insert("TMPDIR", folder_.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder_.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProgram(OSTRELSCAN_BINARY);
}

bool AppSession::start() {
    const QStringList before = xtools::visibleWindows("--classname", kClassPattern);
    configure(process_);
    process_.start();
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    trayIcon_ = newWindow(before, 10s, [this] { return !running(); });
    return !trayIcon_.isEmpty();
}

bool AppSession::startIn(const QProcessEnvironment& waylandClient) {
    configure(process_);
    QProcessEnvironment environment = process_.processEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "WAYLAND_DISPLAY"}) {
        environment.insert(name, waylandClient.value(name));
    }
    environment.remove("DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process_.setProcessEnvironment(environment);
    process_.start();
    return process_.waitForStarted(5000) &&
           waitUntil([this] { return output().contains("Keyboard output: ") || !running(); }) &&
           running();
}

std::unique_ptr<QProcess> AppSession::startAnother() {
    auto process = std::make_unique<QProcess>();
    configure(*process);
    process->start();
    process->waitForStarted(5000);
    return process;
}

int AppSession::waitForExit(std::chrono::milliseconds timeout) {
    if (running() && !process_.waitForFinished(static_cast<int>(timeout.count()))) {
        return -1;
    }
    output();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString AppSession::output() {
    while (process_.waitForReadyRead(100)) {
    }
    output_ += QString::fromUtf8(process_.readAll());
    return output_;
}

QString AppSession::openWindow() {
    xtools::clickCentre(trayIcon_);
    return xtools::waitForWindow("--name", kWindowTitle, 5s);
}

// Qt's menu takes the keyboard when it opens: Up goes to the last entry.
void AppSession::exitThroughTray() {
    const QStringList before = xtools::visibleWindows("--classname", kClassPattern);
    xtools::clickCentre(trayIcon_, 3);
    if (!newWindow(before, 5s).isEmpty()) {
        xtools::key("Up");
        xtools::key("Return");
    }
}

void AppSession::show(const std::string& image) {
    const std::string path = image.find('/') == std::string::npos
                                 ? std::string(TELO_TEST_DATA_DIR) + "/" + image
                                 : image;
    std::string error;
    telosim::ShowImage(tree_, "scanner", path, error);
}
