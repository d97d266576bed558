// The exported interface against the simulated scanner: connection states, diagnostics in
// order, LED and beeper writes as the device logs them, decoding, and handle teardown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "monitor.h"
#include "scanner.h"
#include "sim_fixture.h"
#include "telo.h"

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string PathOf(const std::string& node, const std::string& port, const char* ids) {
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port + "/" + port + ":1.0/video4linux/" +
           node + " " + ids;
}

class ScannerTest : public telosim::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        telo::ForgetConnection();
    }
    void TearDown() override {
        telo_scanner_destroy(scanner);
        SimTest::TearDown();
    }

    Scanner* createQuietly() {
        testing::internal::CaptureStdout();
        Scanner* created = telo_scanner_create();
        testing::internal::GetCapturedStdout();
        return created;
    }
    bool pollQuietly() {
        testing::internal::CaptureStdout();
        const bool connected = telo_scanner_is_connect(scanner);
        testing::internal::GetCapturedStdout();
        return connected;
    }
    std::vector<std::string> indicatorWrites() { return tree.indicatorWrites("scanner"); }
    void waitForWrites(std::size_t count) {
        for (int i = 0; i < 200 && tree.ledLog("scanner").size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::size_t handshakeRequests() {
        std::size_t count = 0;
        for (const std::string& line : tree.xuLog("scanner")) {
            count += line.find(" 01 10 ") != std::string::npos ? 1 : 0;
        }
        return count;
    }

    Scanner* scanner = nullptr;
};

TEST_F(ScannerTest, WithoutAScannerCreatePrintsEachDeviceAndFails) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("half", telosim::DeviceKind::HalfScanner);
    testing::internal::CaptureStdout();
    EXPECT_EQ(telo_scanner_create(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "psText = " + PathOf("video0", "1-1", "usb:v046dp0825") + "\n" +
                  "psText = " + PathOf("video2", "1-2", "usb:v0525pa4c2") + "\n");
}

TEST_F(ScannerTest, AttachedAtStartConnectsOnTheFirstPollAndThenStaysQuiet) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    const std::string paths = "psText = " + PathOf("video0", "1-1", "usb:v046dp0825") + "\n" +
                              "psText = " + PathOf("video2", "1-2", "usb:v0525pa4c1") + "\n";
    testing::internal::CaptureStdout();
    scanner = telo_scanner_create();
    ASSERT_NE(scanner, nullptr);
    EXPECT_TRUE(telo_scanner_is_connect(scanner));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              paths + "Version: SECV1.2.05\n" + paths + "open capture success\n");

    const std::size_t exchanges = tree.xuLog("scanner").size();
    testing::internal::CaptureStdout();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(telo_scanner_is_connect(scanner));
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tree.xuLog("scanner").size(), exchanges) << "no device access while nothing changed";
}

TEST_F(ScannerTest, OpeningSetsCaptureBitThenHandshakes) {
    tree.plug("scanner", telosim::DeviceKind::Scanner, {{"ready_reads", "2"}});
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    std::vector<std::string> requests;
    for (const std::string& line : tree.xuLog("scanner")) {
        requests.push_back(line.substr(line.find(' ') + 1));
    }
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

TEST_F(ScannerTest, TheScannerAsThirdDeviceIsOpenedAtPositionTwo) {
    tree.plug("cam1", telosim::DeviceKind::Webcam);
    tree.plug("cam2", telosim::DeviceKind::Platform);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_NE(scanner, nullptr);
    EXPECT_TRUE(pollQuietly());
    EXPECT_EQ(scanner->discoveredNode, "video4");
    EXPECT_EQ(telosim::ReadLines(tree.stateDir("scanner") + "/open.log").size(), 3u)
        << "two probes and the camera open";
}

TEST_F(ScannerTest, ASecondCameraPluggedWhileOpenRediscoversWithoutReopening) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    const std::size_t handshake = handshakeRequests();

    tree.plug("cam", telosim::DeviceKind::Webcam);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(telo_scanner_is_connect(scanner));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_THAT(output, HasSubstr("psText = "));
    EXPECT_THAT(output, ::testing::Not(HasSubstr("open capture success")));
    EXPECT_EQ(handshakeRequests(), handshake);
}

TEST_F(ScannerTest, UnplugClosesOnceAndReplugReopens) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());

    tree.unplug("scanner");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(telo_scanner_is_connect(scanner));
    EXPECT_FALSE(telo_scanner_is_connect(scanner));
    const std::string closing = testing::internal::GetCapturedStdout();
    EXPECT_THAT(closing, EndsWith("close camera\n"));
    EXPECT_THAT(closing, HasSubstr("psText = " + PathOf("video0", "1-1", "usb:v046dp0825")));
    EXPECT_TRUE(telo_scanner_led(scanner, false)) << "the restarted thread left the mutex free";

    tree.replug("scanner");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(telo_scanner_is_connect(scanner));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), EndsWith("open capture success\n"));
}

TEST_F(ScannerTest, UnchangedCountAfterAFailedDiscoveryDoesNotRediscover) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    tree.unplug("scanner");
    tree.plug("half", telosim::DeviceKind::HalfScanner);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(telo_scanner_is_connect(scanner));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("psText"));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(telo_scanner_is_connect(scanner));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ScannerTest, AFailedOpenForcesRediscoveryAtTheNextPoll) {
    tree.plug("scanner", telosim::DeviceKind::Scanner, {{"s_fmt", "fail"}});
    scanner = createQuietly();
    ASSERT_NE(scanner, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(telo_scanner_is_connect(scanner));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), EndsWith("CCameraDS::OpenCamera:196\n"));

    tree.set("scanner", "s_fmt", "ok");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(telo_scanner_is_connect(scanner));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), EndsWith("open capture success\n"));
}

TEST_F(ScannerTest, ADeviceLostOrSilentDuringTheHandshakeFailsTheOpenInsteadOfHanging) {
    for (const auto& fault :
         {telosim::Settings{{"handshake", "lost"}}, telosim::Settings{{"ready", "never"}}}) {
        SCOPED_TRACE(fault.begin()->first);
        tree.clear();
        telo::ForgetConnection();
        tree.plug("scanner", telosim::DeviceKind::Scanner);
        telo_scanner_destroy(scanner);
        scanner = createQuietly();
        ASSERT_NE(scanner, nullptr);
        for (const auto& [key, value] : fault) {
            tree.set("scanner", key, value);
        }
        testing::internal::CaptureStdout();
        EXPECT_FALSE(telo_scanner_is_connect(scanner));
        EXPECT_THAT(testing::internal::GetCapturedStdout(),
                    ::testing::Not(HasSubstr("open capture success")));
        EXPECT_FALSE(scanner->camera.graphConnected());

        tree.set("scanner", fault.begin()->first, "ok");
        tree.replug("scanner");
        EXPECT_TRUE(pollQuietly()) << "the next poll rediscovers and opens";
    }
}

TEST_F(ScannerTest, LedAndBeepReachTheDevice) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());

    EXPECT_TRUE(telo_scanner_led(scanner, true));
    waitForWrites(1);
    ASSERT_TRUE(telo_scanner_beep(scanner, 20));
    waitForWrites(3);
    EXPECT_THAT(indicatorWrites(), ElementsAre("0x21", "0x25", "0x21"));
    const std::vector<std::string> log = tree.ledLog("scanner");
    const double on = std::stod(log[1]);
    const double off = std::stod(log[2]);
    EXPECT_GE(off - on, 0.019) << "the beeper stays on for the beep's length";

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(telo_scanner_led(scanner, false));
    waitForWrites(4);
    EXPECT_EQ(indicatorWrites().back(), "0x20");
}

TEST_F(ScannerTest, AnLedRequestWaitsForAFrameFetchInsteadOfFailing) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    tree.set("scanner", "frames", "off");
    testing::internal::CaptureStdout();
    std::thread decoding([this] { telo_symbol_destroy(telo_scanner_decode(scanner)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(telo_scanner_led(scanner, true)) << "the fetch's 100 ms wait is outlasted";
    decoding.join();
    testing::internal::GetCapturedStdout();
    waitForWrites(1);
    EXPECT_THAT(indicatorWrites(), ElementsAre("0x21"));
}

TEST_F(ScannerTest, RequestsAndFramesFailWhileABeepSounds) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    ASSERT_TRUE(telo_scanner_beep(scanner, 400));
    waitForWrites(1);
    EXPECT_FALSE(telo_scanner_led(scanner, true));
    EXPECT_FALSE(telo_scanner_beep(scanner, 20));
    testing::internal::CaptureStdout();
    EXPECT_EQ(telo_scanner_decode(scanner), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NULL Frame\n");
    EXPECT_FALSE(scanner->ledOn) << "a refused request changes nothing";
}

TEST_F(ScannerTest, AnLedRequestWhileDisconnectedIsWrittenAtTheNextWakeAfterReconnecting) {
    tree.plug("cam", telosim::DeviceKind::Webcam);
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    tree.unplug("scanner");
    EXPECT_FALSE(pollQuietly());

    EXPECT_TRUE(telo_scanner_led(scanner, true));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    tree.replug("scanner");
    ASSERT_TRUE(pollQuietly());
    EXPECT_THAT(indicatorWrites(), IsEmpty()) << "opening does not send the LED state";
    ASSERT_TRUE(telo_scanner_beep(scanner, 1));
    waitForWrites(2);
    EXPECT_THAT(indicatorWrites(), ElementsAre("0x25", "0x21"));
}

TEST_F(ScannerTest, DecodesTheCodeOnShow) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    show("scanner", "qr_hello.png");
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    Symbol* symbol = nullptr;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 20 && symbol == nullptr; ++i) {
        symbol = telo_scanner_decode(scanner);
    }
    testing::internal::GetCapturedStdout();
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->type, 1);
    EXPECT_EQ(symbol->length, 13);
    EXPECT_STREQ(symbol->text, "HELLO-TELO-42");
    telo_symbol_destroy(symbol);
}

TEST_F(ScannerTest, DestroyStopsTheControlThreadMidBeepAndNullIsHarmless) {
    tree.plug("scanner", telosim::DeviceKind::Scanner);
    scanner = createQuietly();
    ASSERT_TRUE(pollQuietly());
    ASSERT_TRUE(telo_scanner_beep(scanner, 60000));
    waitForWrites(1);
    const auto start = std::chrono::steady_clock::now();
    telo_scanner_destroy(scanner);
    scanner = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

    telo_scanner_destroy(nullptr);
    telo_symbol_destroy(nullptr);
    auto* bare = static_cast<Symbol*>(std::calloc(1, sizeof(Symbol)));
    telo_symbol_destroy(bare);
}

}  // namespace
