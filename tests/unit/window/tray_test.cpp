// The window in a real tray host: hidden at start, the icon and its menu, shown by a click on
// the icon, hidden again by closing and minimising, and the tray's exit entry.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTimer>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Calls = std::vector<std::string>;

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

TEST_F(TrayTest, TheWindowStartsHiddenBehindOneIconWithItsMenu) {
    startWindow();
    EXPECT_FALSE(window->isVisible());
    QSystemTrayIcon* icon = trayIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_EQ(icon->toolTip(), "OstrelScan");
    EXPECT_FALSE(icon->icon().isNull());
    ASSERT_NE(icon->contextMenu(), nullptr);
    QStringList entries;
    for (QAction* action : icon->contextMenu()->actions()) {
        entries << (action->isSeparator() ? "|" : action->text());
    }
    EXPECT_EQ(entries, (QStringList{"主页面", "|", "退出"}));
}

TEST_F(TrayTest, AClickOnTheIconShowsTheWindow) {
    startWindow();
    QSystemTrayIcon* icon = trayIcon();
    ASSERT_NE(icon, nullptr);
    // The host docks the icon at the right end of its bar, away from the screen's origin.
    ASSERT_TRUE(waitUntil([icon] { return icon->geometry().x() > 0; }));
    const QPoint centre = icon->geometry().center();
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", QString::number(centre.x()),
                                            QString::number(centre.y()), "click", "1"}),
              0);
    ASSERT_TRUE(waitUntil([this] { return window->isVisible(); }));
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(TrayTest, ClosingAndMinimisingHideIntoTheOneIcon) {
    startWindow();
    for (int round = 0; round < 20; ++round) {
        emit trayIcon()->activated(QSystemTrayIcon::Trigger);
        ASSERT_TRUE(window->isVisible());
        if (round % 2 == 0) {
            window->close();
        } else {
            window->setWindowState(Qt::WindowMinimized);
        }
        QApplication::processEvents();
        ASSERT_FALSE(window->isVisible()) << "round " << round;
    }
    EXPECT_EQ(window->findChildren<QMenu*>().size(), 1);
    trayIcon();
}

TEST_F(TrayTest, OnlyAPlainClickShowsTheWindowAndMinimisedWithMaximisedStaysShown) {
    startWindow();
    emit trayIcon()->activated(QSystemTrayIcon::Context);
    emit trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window->isVisible());
    for (QAction* action : trayIcon()->contextMenu()->actions()) {
        if (action->text() == "主页面") {
            action->trigger();
        }
    }
    ASSERT_TRUE(window->isVisible());
    window->setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayTest, TheExitEntrySwitchesTheLedOffAndEndsWithCodeZero) {
    startWindow();
    connectScanner();
    fake_telo::clearControlCalls();
    QAction* exit = trayIcon()->contextMenu()->actions().back();
    ASSERT_EQ(exit->text(), "退出");
    QTimer::singleShot(0, exit, &QAction::trigger);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(fake_telo::controlCalls(), Calls{"led 0"});
    EXPECT_EQ(fake_telo::liveHandles(), 0);
}

TEST_F(TrayTest, ExitingBeforeAnyScannerWasFoundSendsNothing) {
    startWindow();
    QTimer::singleShot(0, trayIcon()->contextMenu()->actions().back(), &QAction::trigger);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(fake_telo::controlCalls(), Calls{});
}

}  // namespace
