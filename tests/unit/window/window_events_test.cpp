// The window without a tray host, the worker's reports, and the way out.
#include <QApplication>
#include <QTimer>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Calls = std::vector<std::string>;

class WindowEventsTest : public WindowTest {};

TEST_F(WindowEventsTest, WithoutATrayTheWindowIsShownAndMinimisesAsUsual) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    startWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->findChild<QSystemTrayIcon*>(), nullptr);
    window->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible()) << "a minimised window stays reachable";
}

TEST_F(WindowEventsTest, WithoutATrayClosingTheWindowEndsTheProgramWithTheLedOff) {
    startWindow();
    connectScanner();
    fake_telo::clearControlCalls();
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(fake_telo::controlCalls(), Calls{"led 0"});
    EXPECT_EQ(fake_telo::liveHandles(), 0) << "the worker ended and destroyed the handle";
}

TEST_F(WindowEventsTest, TheStatusLabelFollowsEveryConnectionChange) {
    startWindow();
    EXPECT_EQ(widget<QLabel>("statelable")->text(), "disconnect");
    for (int round = 0; round < 3; ++round) {
        connectScanner();
        fake_telo::setPlugged(false);
        ASSERT_TRUE(
            waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    }
    EXPECT_EQ(fake_telo::creates(), 1) << "reconnections keep the one handle";
}

TEST_F(WindowEventsTest, TheLedIsSwitchedOnAfterEachConnectionOnlyWhenItsBoxIsTicked) {
    writeSettingsFile("[General]\nbacklight=1\n");
    startWindow();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls().back(), "led 1");
    EXPECT_TRUE(debugLines.contains("------- true"));

    fake_telo::clearControlCalls();
    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), Calls{"led 1"});

    click("backlightControl");
    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), Calls{}) << "no request to switch it off is sent";
}

TEST_F(WindowEventsTest, TheWindowsCallsNeverOverlapTheWorkersCallsOnTheHandle) {
    startWindow();
    fake_telo::setCallDurationMs(5);
    fake_telo::showCode(std::string("CODE"));
    connectScanner();
    for (int i = 0; i < 20; ++i) {
        click("backlightControl");
        click("setCode");
    }
    fake_telo::setCallDurationMs(0);
    // TearDown checks that the scripted library saw no overlapping call.
}

}  // namespace
