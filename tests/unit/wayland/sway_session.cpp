// SPDX-License-Identifier: MIT
#include "sway_session.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include "wait_until.h"

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kStopTimeoutMs = 5000;

}  // namespace

SwaySession::SwaySession() {
    const QString folder = runtime_.path();
    const QString config = runtime_.filePath("config");
    QFile file(config);
    file.open(QIODevice::WriteOnly);
    file.write("xwayland disable\noutput HEADLESS-1 resolution 1280x800\n");
    file.close();
    file.setPermissions(file.permissions() | QFile::ReadOther);
    QProcessEnvironment environment;
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR"}) {
        environment.insert(name, folder);
    }
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("WLR_BACKENDS", "headless");
    environment.insert("WLR_RENDERER", "pixman");
    sway_.setProcessEnvironment(environment);
    sway_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sway_.setStandardOutputFile(QProcess::nullDevice());
    if (geteuid() == 0) {
        if (chown(folder.toLocal8Bit().constData(), kNobody, kNobody) != 0) {
            return;
        }
        sway_.start("setpriv",
                    {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config});
    } else {
        sway_.start("sway", {"-c", config});
    }
    waitUntil([&] {
        const QDir dir(folder);
        const QStringList sockets = dir.entryList({"wayland-*"}, QDir::System);
        const QStringList ipc = dir.entryList({"sway-ipc.*.sock"}, QDir::System);
        if (!sockets.isEmpty() && !ipc.isEmpty()) {
            ipcSocket_ = dir.filePath(ipc.front());
            socket_ = sockets.front();
        }
        return ready() || sway_.state() == QProcess::NotRunning;
    });
}

SwaySession::~SwaySession() {
    sway_.terminate();
    if (!sway_.waitForFinished(kStopTimeoutMs)) {
        sway_.kill();
        sway_.waitForFinished();
    }
}

QProcessEnvironment SwaySession::clientEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    environment.insert("WAYLAND_DISPLAY", socket_);
    return environment;
}

void SwaySession::enter() const {
    qunsetenv("DISPLAY");
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", socket_.toLocal8Bit());
}

bool SwaySession::focus(const QString& title) const {
    QProcess swaymsg;
    swaymsg.setProcessEnvironment(clientEnvironment());
    swaymsg.start("swaymsg", {"-s", ipcSocket_, QString("[title=\"^%1$\"] focus").arg(title)});
    return swaymsg.waitForFinished(kStopTimeoutMs) &&
           swaymsg.exitStatus() == QProcess::NormalExit && swaymsg.exitCode() == 0;
}
