// SPDX-License-Identifier: MIT
// The exported interface against the simulated scanner: connection states, diagnostics in
// order, LED and beeper writes as the device logs them, decoding, and handle teardown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "scanner_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::string kHello = "HELLO-TELO-42";

std::string PathLine(const std::string& node, const std::string& port, const char* ids) {
    return "psText = /sys/devices/pci0000:00/0000:00:14.0/usb1/" + port + "/" + port +
           ":1.0/video4linux/" + node + " " + ids + "\n";
}

TEST_F(ScannerTest, CreateFindsOnlyTheScannerWhichConnectsOnTheFirstPollAndThenStaysQuiet) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("half", telosim::DeviceKind::HalfScanner);
    const std::string others =
        PathLine("video0", "1-1", "usb:v046dp0825") + PathLine("video2", "1-2", "usb:v0525pa4c2");
    EXPECT_EQ(createQuietly(), nullptr);
    EXPECT_EQ(output, others) << "each device printed, none matched";

    plugScanner();
    const std::string paths = others + PathLine("video4", "1-3", "usb:v0525pa4c1");
    output.clear();
    scanner = createQuietly();
    ASSERT_NE(scanner, nullptr);
    EXPECT_TRUE(pollQuietly());
    EXPECT_EQ(output, paths + "Version: SECV1.2.05\n" + paths + "open capture success\n");

    const std::size_t exchanges = tree.xuRequests("scanner").size();
    output.clear();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(pollQuietly());
    }
    EXPECT_EQ(output, "");
    EXPECT_EQ(tree.xuRequests("scanner").size(), exchanges)
        << "no device access while nothing changed";
}

TEST_F(ScannerTest, OpeningSetsCaptureBitThenHandshakes) {
    plugScanner({{"ready_reads", "2"}});
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    const std::vector<std::string> requests = tree.xuRequests("scanner");
    ASSERT_GE(requests.size(), 11u);
    EXPECT_THAT(std::vector<std::string>(requests.begin(), requests.begin() + 11),
                ElementsAre("SET_CUR unit 3 07 10 00 ff", "GET_CUR unit 3 00 00 02 00",
                            "SET_CUR unit 3 07 10 03 00",  // bit 0 set, the rest kept
                            "SET_CUR unit 3 01 10 00 ff", "GET_CUR unit 3 00 00 3f 00",
                            "SET_CUR unit 3 01 10 00 ff", "GET_CUR unit 3 00 00 3f 00",
                            "SET_CUR unit 3 01 10 00 ff", "GET_CUR unit 3 00 00 07 00",
                            "SET_CUR unit 3 01 10 16 00", "SET_CUR unit 3 01 10 00 ff"));
    EXPECT_EQ(requests.back(), "GET_CUR unit 3 00 00 16 00");
}

TEST_F(ScannerTest, TheDeviceThatDiscoveryMatchedIsTheOneOpened) {
    tree.plug("cam1", telosim::DeviceKind::Webcam);
    tree.plug("cam2", telosim::DeviceKind::Platform);
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    const std::vector<std::string> opens =
        telosim::ReadLines(tree.stateDir("scanner") + "/open.log");
    ASSERT_EQ(opens.size(), 3u) << "two probes and the camera";
    EXPECT_EQ(opens.back(), "video4");
    EXPECT_EQ(telosim::ReadLines(tree.stateDir("cam1") + "/open.log").size(), 2u);
}

TEST_F(ScannerTest, ASecondCameraPluggedWhileOpenRediscoversWithoutReopening) {
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    const std::size_t exchanges = tree.xuRequests("scanner").size();

    tree.plug("cam", telosim::DeviceKind::Webcam);
    output.clear();
    EXPECT_TRUE(pollQuietly());
    EXPECT_THAT(output, HasSubstr("psText = "));
    EXPECT_THAT(output, Not(HasSubstr("open capture success")));
    EXPECT_EQ(tree.xuRequests("scanner").size(), exchanges);
}

TEST_F(ScannerTest, UnplugClosesOnceAndReplugReopens) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());

    tree.unplug("scanner");
    output.clear();
    EXPECT_FALSE(pollQuietly());
    EXPECT_EQ(output, PathLine("video0", "1-1", "usb:v046dp0825") + "close camera\n");
    output.clear();
    EXPECT_FALSE(pollQuietly());
    EXPECT_FALSE(pollQuietly());
    EXPECT_EQ(output, "") << "no rediscovery while the count stays";
    EXPECT_TRUE(telo_scanner_led(scanner, false)) << "the control thread left the mutex free";

    tree.replug("scanner");
    EXPECT_TRUE(pollQuietly());
    EXPECT_THAT(output, EndsWith("open capture success\n"));
}

TEST_F(ScannerTest, LedAndBeepReachTheDevice) {
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());

    EXPECT_TRUE(telo_scanner_led(scanner, true));
    waitForWrites(1);
    ASSERT_TRUE(postedSoon([this] { return telo_scanner_beep(scanner, 20); }));
    waitForWrites(3);
    EXPECT_THAT(tree.indicatorWrites("scanner"), ElementsAre("0x21", "0x25", "0x21"));
    const std::vector<std::string> log = tree.ledLog("scanner");
    EXPECT_GE(std::stod(log[2]) - std::stod(log[1]), 0.019)
        << "the beeper sounds the beep's length";

    EXPECT_TRUE(postedSoon([this] { return telo_scanner_led(scanner, false); }));
    waitForWrites(4);
    EXPECT_EQ(tree.indicatorWrites("scanner").back(), "0x20");
}

TEST_F(ScannerTest, AFrameFetchWaitingForItsFrameDoesNotHoldOffARequest) {
    plugScanner({{"frames", "off"}});
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    testing::internal::CaptureStdout();
    std::thread decoding([this] {
        for (int i = 0; i < 3; ++i) {
            telo_symbol_destroy(telo_scanner_decode(scanner));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(telo_scanner_beep(scanner, 0));
    decoding.join();
    testing::internal::GetCapturedStdout();
    waitForWrites(2);
    EXPECT_THAT(tree.indicatorWrites("scanner"), ElementsAre("0x24", "0x20"));

    show("scanner", "qr_hello.png");
    tree.set("scanner", "frames", "on");
    EXPECT_LE(passesUntil(kHello, 5), 5) << "frames that come again on the same stream are read";
}

TEST_F(ScannerTest, RequestsAndFramesFailWhileABeepSounds) {
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    ASSERT_TRUE(telo_scanner_beep(scanner, 1500));
    waitForWrites(1);
    EXPECT_FALSE(telo_scanner_led(scanner, true));
    EXPECT_FALSE(telo_scanner_beep(scanner, 20));
    testing::internal::CaptureStdout();
    EXPECT_EQ(telo_scanner_decode(scanner), nullptr);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), EndsWith("NULL Frame\n"));
    waitForWrites(2);
    EXPECT_THAT(tree.indicatorWrites("scanner"), ElementsAre("0x24", "0x20"))
        << "a refused request changes nothing";
}

TEST_F(ScannerTest, AnLedRequestWhileDisconnectedIsWrittenAtTheNextWakeAfterReconnecting) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    tree.unplug("scanner");
    EXPECT_FALSE(pollQuietly());

    EXPECT_TRUE(telo_scanner_led(scanner, true));
    tree.replug("scanner");
    ASSERT_TRUE(pollQuietly());
    EXPECT_THAT(tree.indicatorWrites("scanner"), IsEmpty())
        << "opening does not send the LED state";
    ASSERT_TRUE(telo_scanner_beep(scanner, 1));
    waitForWrites(2);
    EXPECT_THAT(tree.indicatorWrites("scanner"), ElementsAre("0x25", "0x21"));
}

// The first frame takes as long as on real cameras here.
TEST_F(ScannerTest, DecodesTheCodeOnShowOnceTheFirstFrameCame) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    show("scanner", "qr_hello.png");
    EXPECT_LE(passesUntil(kHello, 15), 15);
    Symbol* symbol = nullptr;
    for (int i = 0; i < 5 && symbol == nullptr; ++i) {
        symbol = telo_scanner_decode(scanner);
    }
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->type, 1);
    EXPECT_EQ(symbol->length, 13);
    telo_symbol_destroy(symbol);
}

TEST_F(ScannerTest, UnplugAndDestroyDoNotWaitForALongBeepAndNullIsHarmless) {
    plugScanner();
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    ASSERT_TRUE(telo_scanner_beep(scanner, 60000));
    waitForWrites(1);
    const auto start = std::chrono::steady_clock::now();
    tree.unplug("scanner");
    EXPECT_FALSE(pollQuietly());
    telo_scanner_destroy(scanner);
    scanner = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

    telo_scanner_destroy(nullptr);
    telo_symbol_destroy(nullptr);
    telo_symbol_destroy(static_cast<Symbol*>(std::calloc(1, sizeof(Symbol))));
}

}  // namespace
