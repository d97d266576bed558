// SPDX-License-Identifier: MIT
// The window without a tray host, the worker's reports, dialogs, and the way out.
#include <QApplication>
#include <QTimer>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Calls = std::vector<std::string>;

class WindowEventsTest : public WindowTest {};

TEST_F(WindowEventsTest, WithoutATrayTheWindowIsShownAndClosingItEndsWithTheLedOff) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    startWindow();
    EXPECT_TRUE(window->isVisible());
    window->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible()) << "a minimised window stays reachable";
    connectScanner();
    fake_telo::clearControlCalls();
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(fake_telo::controlCalls(), Calls{"led 0"});
    EXPECT_EQ(fake_telo::faults(), Calls{}) << "the worker ended and destroyed the handle";
}

TEST_F(WindowEventsTest, AMessageBoxClosedWhileTheWindowIsHiddenDoesNotEndTheProgram) {
    startWindow();
    window->hide();
    QTimer::singleShot(0, window.get(), [this] {
        click("setCode");  // the box comes up and is answered
        // A quit would come first: it is posted at once.
        QTimer::singleShot(50, [] { QApplication::exit(7); });
    });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_EQ(messageBoxes.size(), 1);
}

TEST_F(WindowEventsTest, TheUserIsToldOnceWhenKeyboardOutputIsImpossible) {
    writeSettingsFile("[General]\nworkmode=2\n");
    startWindow(false);
    fake_telo::showCode(std::string("CODE"));
    connectScanner();
    waitUntil([] { return false; }, 300);  // several codes are not typed meanwhile
    ASSERT_EQ(messageBoxes.size(), 1);
    EXPECT_TRUE(messageBoxes.front().startsWith("OstrelScan|无法模拟键盘输入"))
        << messageBoxes.front().toStdString();
}

TEST_F(WindowEventsTest, TheUserIsToldOnceWhereKeyboardOutputCannotReach) {
    startWindow(true, "Wayland 会话：X11 only");
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(messageBoxes, QStringList{"OstrelScan|Wayland 会话：X11 only"});
}

TEST_F(WindowEventsTest, TheStatusAndTheLedFollowEveryConnection) {
    writeSettingsFile("[General]\nbacklight=1\n");
    startWindow();
    EXPECT_EQ(label("statelable"), "disconnect");
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls().back(), "led 1");
    const int handles = fake_telo::creates();
    unplug();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), Calls{"led 1"});
    click("backlightControl");
    unplug();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), Calls{}) << "no request to switch it off is sent";
    EXPECT_EQ(fake_telo::creates(), handles) << "reconnections keep the one handle";
}

}  // namespace
