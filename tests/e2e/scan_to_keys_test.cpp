// The road of a barcode, as a user meets it: settings made in the real window, a code shown
// to the simulated scanner, and the keys that a focused X client receives.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include <thread>

#include "app_session.h"
#include "received_text.h"
#include "x11_receiver.h"

namespace {

using namespace std::chrono_literals;

// Everything typed for one code: waits for its length, then for the quiet after it.
std::string received(X11Receiver& receiver, size_t bytes) {
    waitForText(receiver, bytes);
    return settledText(receiver);
}

TEST(ScanToKeys, SingleModeTypesPrefixCodeSuffixAndEnterOncePerCode) {
    AppSession app;
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.openWindow());
    app.click("singlemode");
    app.typeInto("preedit", "[");
    app.typeInto("suffedit", "]");
    app.click("enterBox");
    app.click("qrcode");
    app.click("setCode");

    X11Receiver receiver;
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(received(receiver, 16), "[HELLO-TELO-42]\r") << "typed once while in view";

    receiver.clear();
    app.show("qr_second.png");
    EXPECT_EQ(received(receiver, 14), "[SECOND-CODE]\r");
    receiver.clear();
    app.show("qr_hello.png");
    EXPECT_EQ(received(receiver, 16), "[HELLO-TELO-42]\r");
}

}  // namespace
