// SPDX-License-Identifier: MIT
#include "x_tools.h"

#include <QProcess>
#include <QRegularExpression>

#include "wait_until.h"

namespace xtools {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QStringList visibleWindows(const QString& option, const QString& pattern) {
    return run("xdotool", {"search", "--onlyvisible", option, pattern})
        .split('\n', Qt::SkipEmptyParts);
}

QString waitForWindow(const QString& option, const QString& pattern,
                      std::chrono::milliseconds timeout) {
    QString found;
    waitUntil(
        [&] {
            const QStringList windows = visibleWindows(option, pattern);
            found = windows.isEmpty() ? QString() : windows.back();
            return !found.isEmpty();
        },
        timeout);
    return found;
}

bool focus(const QString& window) {
    return run("xdotool", {"windowfocus", "--sync", window, "getwindowfocus"}) == window;
}

void clickCentre(const QString& window, int button) {
    const QString shell = run("xdotool", {"getwindowgeometry", "--shell", window});
    const auto number = [&shell](const char* name) {
        const QRegularExpression line(QString("^%1=(-?\\d+)$").arg(name),
                                      QRegularExpression::MultilineOption);
        return line.match(shell).captured(1).toInt();
    };
    const int x = number("X") + number("WIDTH") / 2;
    const int y = number("Y") + number("HEIGHT") / 2;
    run("xdotool", {"mousemove", QString::number(x), QString::number(y)});
    run("xdotool", {"click", QString::number(button)});
}

void key(const QString& keys) {
    run("xdotool", {"key", "--delay", "20", keys});
}

bool hasIcon(const QString& window) {
    return run("xprop", {"-id", window, "_NET_WM_ICON"}).startsWith("_NET_WM_ICON(CARDINAL) =");
}

}  // namespace xtools
