// SPDX-License-Identifier: MIT
// The real application as a user meets it, configured through its settings file: codes
// typed in single mode, the stored symbology choice, the LED across unplugging and at exit, a
// second start, and the icon on its windows.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <thread>

#include "app_session.h"
#include "text_receiver.h"
#include "wait_until.h"
#include "x_tools.h"

namespace {

using namespace std::chrono_literals;

// Everything typed for one code: waits for `presses` keys, then for the quiet after them.
std::string received(TextReceiver& receiver, size_t presses) {
    receiver.waitForCharacters(presses, 10s);
    const std::string text = receiver.settle(1500ms);
    receiver.clear();
    return text;
}

TEST(Lifecycle, SingleModeTypesPrefixCodeSuffixAndEnterOncePerCode) {
    AppSession app;
    app.writeSettings("[General]\nworkmode=1\nqrcode=1\nprefix=[\nsuffix=]\nenter=1\n");
    ASSERT_TRUE(app.start());
    TextReceiver receiver(TextReceiver::Toolkit::Xterm);
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(received(receiver, 16), "[HELLO-TELO-42]\r") << "typed once while in view";
    app.show("qr_second.png");
    EXPECT_EQ(received(receiver, 14), "[SECOND-CODE]\r");
    app.show("qr_hello.png");
    EXPECT_EQ(received(receiver, 16), "[HELLO-TELO-42]\r");
}

TEST(Lifecycle, AnUntickedQrCodeIsDisabledWhenTheScannerIsFound) {
    QTemporaryDir images;
    const QString ean13 = images.filePath("ean13.png");
    ASSERT_EQ(
        QProcess::execute("zint", {"-b", "13", "-d", "590123412345", "--scale", "3", "-o", ean13}),
        0);
    AppSession app;
    app.writeSettings("[General]\nean13=1\nworkmode=1\n");
    ASSERT_TRUE(app.start());
    TextReceiver receiver(TextReceiver::Toolkit::Xterm);
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(receiver.settle(2s), "");
    app.show(ean13.toStdString());
    EXPECT_EQ(received(receiver, 13), "5901234123457");
}

TEST(Lifecycle, TheLedIsOnAfterEachConnectionAndOffAtExit) {
    AppSession app;
    app.writeSettings("[General]\nbacklight=1\n");
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(waitUntil([&app] {
        return app.sim().indicatorWrites("scanner") == std::vector<std::string>{"0x21"};
    }));
    app.sim().unplug("scanner");
    std::this_thread::sleep_for(1s);
    app.sim().replug("scanner");
    EXPECT_TRUE(waitUntil([&app] { return app.sim().indicatorWrites("scanner").size() >= 2; }))
        << "switched on again after the reconnection";
    EXPECT_EQ(app.sim().indicatorWrites("scanner").back(), "0x21");

    // Frames that stop coming hold off neither the exit nor the switching off.
    app.sim().set("scanner", "frames", "off");
    app.exitThroughTray();
    EXPECT_EQ(app.waitForExit(10s), 0);
    EXPECT_EQ(app.sim().indicatorWrites("scanner").back(), "0x20") << "switched off before the end";
}

TEST(Lifecycle, ASecondStartIsRefusedAndEveryWindowCarriesTheIcon) {
    AppSession app;
    ASSERT_TRUE(app.start());
    const QString window = app.openWindow();
    ASSERT_FALSE(window.isEmpty());
    EXPECT_TRUE(xtools::hasIcon(window));
    std::unique_ptr<QProcess> second = app.startAnother();
    const QString box = xtools::waitForWindow("--name", "Ostrel软解", 10s);
    ASSERT_FALSE(box.isEmpty()) << "the refusal box";
    EXPECT_TRUE(xtools::hasIcon(box));
    xtools::focus(box);
    xtools::key("Return");
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(app.running());
}

}  // namespace
