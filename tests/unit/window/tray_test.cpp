// SPDX-License-Identifier: MIT
// The window in a real tray host: hidden at start behind one icon and its menu, shown by a
// plain click on the icon, hidden again by closing and minimising. The exit entry is used by
// the end-to-end tests, with the real library switching the LED off.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>

#include "window_fixture.h"

namespace {

class TrayTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "the tray host did not come up";
    }
    QSystemTrayIcon* trayIcon() {
        const auto icons = window->findChildren<QSystemTrayIcon*>();
        EXPECT_EQ(icons.size(), 1);
        return icons.isEmpty() ? nullptr : icons.front();
    }
};

TEST_F(TrayTest, TheWindowLivesHiddenBehindOneIconAndComesOutOnAPlainClick) {
    startWindow();
    EXPECT_FALSE(window->isVisible());
    QSystemTrayIcon* icon = trayIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_EQ(icon->toolTip(), "OstrelScan");
    EXPECT_FALSE(icon->icon().isNull());
    QStringList entries;
    for (QAction* action : icon->contextMenu()->actions()) {
        entries << (action->isSeparator() ? "|" : action->text());
    }
    EXPECT_EQ(entries, (QStringList{"主页面", "|", "退出"}));

    // The host docks the icon at the right end of its bar, away from the screen's origin.
    ASSERT_TRUE(waitUntil([icon] { return icon->geometry().x() > 0; }));
    const QPoint centre = icon->geometry().center();
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", QString::number(centre.x()),
                                            QString::number(centre.y()), "click", "1"}),
              0);
    ASSERT_TRUE(waitUntil([this] { return window->isVisible(); }));
    EXPECT_FALSE(window->isMinimized());

    for (int round = 0; round < 20; ++round) {
        if (round % 2 == 0) {
            window->close();
        } else {
            window->setWindowState(Qt::WindowMinimized);
        }
        QApplication::processEvents();
        ASSERT_FALSE(window->isVisible()) << "round " << round;
        emit icon->activated(QSystemTrayIcon::Context);
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        ASSERT_FALSE(window->isVisible());
        emit icon->activated(QSystemTrayIcon::Trigger);
        ASSERT_TRUE(window->isVisible());
    }
    EXPECT_EQ(window->findChildren<QMenu*>().size(), 1);
    trayIcon();
    window->setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
