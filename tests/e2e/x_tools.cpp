#include "x_tools.h"

#include <QProcess>
#include <QRegularExpression>

#include "wait_until.h"

namespace xtools {

QString xdotool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QStringList visibleWindows(const QString& option, const QString& pattern) {
    return xdotool({"search", "--onlyvisible", option, pattern}).split('\n', Qt::SkipEmptyParts);
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

QRect geometry(const QString& window) {
    const QString shell = xdotool({"getwindowgeometry", "--shell", window});
    const auto number = [&shell](const char* name) {
        const QRegularExpression line(QString("^%1=(-?\\d+)$").arg(name),
                                      QRegularExpression::MultilineOption);
        return line.match(shell).captured(1).toInt();
    };
    return QRect(number("X"), number("Y"), number("WIDTH"), number("HEIGHT"));
}

void clickAt(const QString& window, const QPoint& point, int button) {
    const QPoint onScreen = geometry(window).topLeft() + point;
    xdotool({"mousemove", QString::number(onScreen.x()), QString::number(onScreen.y())});
    xdotool({"click", QString::number(button)});
}

void type(const QString& text) {
    xdotool({"type", "--delay", "20", text});
}

void key(const QString& keys) {
    xdotool({"key", "--delay", "20", keys});
}

}  // namespace xtools
