// The running application against a faulty scanner: a frame source that stalls while
// connected, and the failures that the driver reports now and then.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app_session.h"
#include "text_receiver.h"
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;

const std::string kHello = "HELLO-TELO-42";
const std::string kSecond = "SECOND-CODE";

std::string received(TextReceiver& receiver, size_t expected) {
    receiver.waitForCharacters(expected, 10s);
    return receiver.settle(1s);
}

class ScannerFaults : public ::testing::Test {
protected:
    void SetUp() override { app_.writeSettings("[General]\nworkmode=1\nqrcode=1\n"); }

    // Starts the application with a code in view and waits for it to be typed.
    void startTyping() {
        ASSERT_TRUE(receiver_.ready());
        app_.show("qr_hello.png");
        ASSERT_TRUE(app_.start());
        ASSERT_EQ(received(receiver_, kHello.size()), kHello);
        receiver_.clear();
    }

    AppSession app_;
    TextReceiver receiver_{TextReceiver::Toolkit::Xlib};
};

TEST_F(ScannerFaults, TypingResumesWhenStalledFramesComeBack) {
    startTyping();
    app_.sim().set("scanner", "frames", "off");
    app_.show("qr_second.png");
    // Without new frames the new code cannot be seen; the worker keeps polling meanwhile.
    EXPECT_EQ(receiver_.settle(2s), "");
    ASSERT_TRUE(app_.running());

    app_.sim().set("scanner", "frames", "on");
    EXPECT_EQ(received(receiver_, kSecond.size()), kSecond);
    receiver_.clear();
    app_.show("qr_hello.png");
    EXPECT_EQ(received(receiver_, kHello.size()), kHello);
}

TEST_F(ScannerFaults, TypingGoesOnAfterEachFailureOfTheDriver) {
    startTyping();
    telosim::SimTree& sim = app_.sim();
    const std::vector<std::function<void()>> failures = {
        [&] { sim.set("scanner", "dqbuf", "once:EIO"); },
        [&] {
            sim.unplug("scanner");
            sim.replug("scanner");
        },
        [&] {
            sim.set("scanner", "streamon", "once:ENOSPC");
            sim.set("scanner", "dqbuf", "once:EIO");
        },
    };
    for (std::size_t i = 0; i < failures.size(); ++i) {
        failures[i]();
        const bool second = i % 2 == 0;
        app_.show(second ? "qr_second.png" : "qr_hello.png");
        const std::string& code = second ? kSecond : kHello;
        EXPECT_EQ(received(receiver_, code.size()), code) << "after failure " << i;
        receiver_.clear();
    }
}

TEST_F(ScannerFaults, TheTrayExitEndsTheProcessWhileFramesAreStalled) {
    startTyping();
    app_.sim().set("scanner", "frames", "off");
    std::this_thread::sleep_for(1s);
    app_.exitThroughTray();
    EXPECT_EQ(app_.waitForExit(5s), 0);
}

}  // namespace
