// SPDX-License-Identifier: MIT
// The real application in a Wayland session: it types through the compositor's virtual
// keyboard, and a native Wayland program in a headless Sway gets each code the simulated
// scanner shows.
#include <gtest/gtest.h>

#include "app_session.h"
#include "sway_session.h"
#include "text_receiver.h"

namespace {

using namespace std::chrono_literals;

TEST(WaylandSession, ACodeArrivesInANativeWaylandProgram) {
    SwaySession sway;
    ASSERT_TRUE(sway.ready());
    AppSession app;
    app.writeSettings("[General]\nworkmode=1\nqrcode=1\nenter=1\n");
    ASSERT_TRUE(app.startIn(sway.clientEnvironment())) << app.output().toStdString();
    EXPECT_TRUE(app.output().contains("Keyboard output: the Wayland compositor's virtual keyboard"))
        << app.output().toStdString();
    // Started after the application's keyboard exists, so that it gets a keyboard.
    TextReceiver receiver(TextReceiver::Toolkit::Gtk, &sway);
    ASSERT_TRUE(receiver.ready());
    app.show("qr_hello.png");
    EXPECT_EQ(receiver.waitForCharacters(14, 20s), "HELLO-TELO-42\n");
}

}  // namespace
