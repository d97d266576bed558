// The application's life as a user meets it: interval mode, the symbology update, the LED
// switch across unplugging, the tray's exit, a second start, and settings kept across starts.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <thread>

#include "app_session.h"
#include "received_text.h"
#include "wait_until.h"
#include "x11_receiver.h"
#include "x_tools.h"

namespace {

using namespace std::chrono_literals;

const std::string kHello = "HELLO-TELO-42";

TEST(Lifecycle, IntervalModeTypesTheCodeAgainOnceTheIntervalHasPassed) {
    AppSession app;
    app.writeSettings("[General]\nqrcode=1\n");
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.openWindow());
    app.click("intervalmode");
    app.typeInto("interval", "1500");

    X11Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(waitForText(receiver, kHello.size()), kHello);
    // The next output cannot come before the interval, counted from the end of this one.
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(waitForText(receiver, 0), kHello);
    EXPECT_EQ(waitForText(receiver, 2 * kHello.size()), kHello + kHello);
}

TEST(Lifecycle, ASymbologyDisabledThroughTheUpdateButtonIsNoLongerTyped) {
    QTemporaryDir images;
    const QString ean13 = images.filePath("ean13.png");
    ASSERT_EQ(
        QProcess::execute("zint", {"-b", "13", "-d", "590123412345", "--scale", "3", "-o", ean13}),
        0);
    AppSession app;
    app.writeSettings("[General]\nqrcode=1\nean13=1\nworkmode=1\n");
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.openWindow());
    app.click("qrcode");
    app.click("setCode");
    ASSERT_TRUE(waitUntil([&app] {
        QSettings file(app.settingsFile(), QSettings::IniFormat);
        return file.value("qrcode").toString() == "0";
    }));

    X11Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(waitForText(receiver, 0), "");
    app.show(ean13.toStdString());
    EXPECT_EQ(waitForText(receiver, 13), "5901234123457");
}

TEST(Lifecycle, TheLedFollowsItsSwitchAcrossUnpluggingAndGoesOffAtExit) {
    AppSession app;
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(waitUntil([&app] { return app.output().contains("open capture success"); }));
    ASSERT_TRUE(app.openWindow());
    app.click("backlightControl");
    ASSERT_TRUE(waitUntil([&app] {
        return app.sim().indicatorWrites("scanner") == std::vector<std::string>{"0x21"};
    })) << "the switch reaches the device";

    app.sim().unplug("scanner");
    std::this_thread::sleep_for(1s);
    app.sim().replug("scanner");
    EXPECT_TRUE(waitUntil([&app] { return app.sim().indicatorWrites("scanner").size() >= 2; }))
        << "switched on again after the reconnection";
    EXPECT_EQ(app.sim().indicatorWrites("scanner").back(), "0x21");

    app.exitThroughTray();
    EXPECT_EQ(app.waitForExit(10s), 0);
    EXPECT_EQ(app.sim().indicatorWrites("scanner").back(), "0x20") << "switched off before the end";
}

TEST(Lifecycle, ASecondStartIsRefusedWhileTheFirstCopyRuns) {
    AppSession app;
    ASSERT_TRUE(app.start());
    std::unique_ptr<QProcess> second = app.startAnother();
    const QString box = xtools::waitForWindow("--name", "Ostrel软解", 10s);
    ASSERT_FALSE(box.isEmpty()) << "the refusal box";
    xtools::xdotool({"windowfocus", "--sync", box});
    xtools::key("Return");
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(app.running());
}

TEST(Lifecycle, ACopyKilledEarlierDoesNotRefuseTheNextStart) {
    AppSession app;
    ASSERT_TRUE(app.start());
    app.kill();
    ASSERT_TRUE(app.start()) << "the killed copy's marker was cleared";
    EXPECT_TRUE(xtools::visibleWindows("--name", "Ostrel软解").isEmpty());
}

TEST(Lifecycle, WhatTheUserSetIsStoredAndAppliedAtTheNextStart) {
    AppSession app;
    app.writeSettings("[General]\nqrcode=1\n");
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.openWindow());
    app.click("singlemode");
    app.typeInto("preedit", "No.");
    app.click("enterBox");
    app.exitThroughTray();
    ASSERT_EQ(app.waitForExit(10s), 0);

    QSettings file(app.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("workmode").toString(), "1");
    EXPECT_EQ(file.value("prefix").toString(), "No.");
    EXPECT_EQ(file.value("enter").toString(), "1");

    ASSERT_TRUE(app.start());
    X11Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(waitForText(receiver, 4 + kHello.size()), "No." + kHello + "\r");
}

}  // namespace
