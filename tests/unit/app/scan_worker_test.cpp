// SPDX-License-Identifier: MIT
// The scan worker's decisions, driven cycle by cycle against the scripted library, a
// recording keyboard and a fake clock.
#include "scan_worker.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_telo.h"
#include "recording_keyboard.h"
#include "scan_settings.h"
#include "timeline.h"

namespace {

using Strings = std::vector<std::string>;
using Times = std::vector<int64_t>;

class ScanWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_telo::reset();
        Timeline::instance().clear();
        Timeline::instance().setNowMs(0);
        worker_ = std::make_unique<ScanWorker>(
            settings_, keyboard_, clock_,
            WorkerSignals{[this](const QString& r) { reports_.push_back(r.toStdString()); },
                          [this] { reports_.push_back("device"); },
                          [this] { reports_.push_back("light"); }});
    }
    void TearDown() override {
        worker_.reset();
        EXPECT_EQ(fake_telo::faults(), Strings{});
    }

    // Starts with the scanner plugged in and forgets the start-up reports and events.
    void startConnected() {
        fake_telo::setPlugged(true);
        worker_->start();
        reports_.clear();
        Timeline::instance().clear();
    }
    void cycles(int n) {
        for (int i = 0; i < n; ++i) {
            worker_->cycle();
        }
    }
    // Shows each code for one cycle.
    void show(std::initializer_list<std::string> codes) {
        for (const std::string& code : codes) {
            fake_telo::showCode(code);
            cycles(1);
        }
    }
    void outputAll() {
        settings_.setBeep(1);
        settings_.setEnter(true);
        settings_.setWrap(true);
    }

    ScanSettings settings_;
    RecordingKeyboard keyboard_;
    FakeClock clock_;
    Strings reports_;
    std::unique_ptr<ScanWorker> worker_;
};

// --- Finding the scanner and following its connection ---

TEST_F(ScanWorkerTest, SearchingDestroysEachHandleThatFindsNoScannerAndReportsNothing) {
    fake_telo::setCreateWorks(false);
    worker_->start();
    cycles(9);
    fake_telo::setCreateWorks(true);
    cycles(1000);
    EXPECT_EQ(fake_telo::creates(), 1010);
    EXPECT_EQ(fake_telo::destroys(), 1000);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(settings_.scanner(), nullptr);

    fake_telo::setPlugged(true);
    cycles(3);
    EXPECT_EQ(reports_, (Strings{"connect", "device", "light"}));
    EXPECT_TRUE(settings_.isConnected());
    EXPECT_EQ(fake_telo::creates(), 1011) << "the found handle is kept";
    EXPECT_EQ(fake_telo::decodes(), 2);
}

TEST_F(ScanWorkerTest, UnpluggingIsReportedOnceAndReconnectingKeepsTheHandle) {
    startConnected();
    Scanner* handle = settings_.scanner();
    fake_telo::setPlugged(false);
    cycles(10);
    EXPECT_EQ(reports_, Strings{"disconnect"});
    EXPECT_FALSE(settings_.isConnected());
    EXPECT_EQ(fake_telo::decodes(), 0);
    fake_telo::setPlugged(true);
    cycles(3);
    EXPECT_EQ(reports_, (Strings{"disconnect", "connect", "light"}));
    EXPECT_EQ(settings_.scanner(), handle);
    EXPECT_EQ(fake_telo::decodes(), 3);

    worker_.reset();
    EXPECT_EQ(settings_.scanner(), nullptr);
    EXPECT_EQ(fake_telo::destroys(), 1);
}

// --- Single mode ---

TEST_F(ScanWorkerTest, SingleModeTypesACodeOnceUntilAnotherCodeComesBetween) {
    settings_.setModes(true, false);
    settings_.setPrefix("<");
    startConnected();
    const std::string longCode(1500, 'x');
    std::string longOther = longCode;
    longOther[1400] = 'y';
    show({"A1", "A1", "B2", "A1", "A1", longCode, longOther, longCode});
    settings_.setPrefix("[");  // the prefix is not part of the comparison
    show({longCode, std::string("ab\0cd", 5), "ab"});
    fake_telo::setPlugged(false);
    cycles(2);
    fake_telo::setPlugged(true);
    show({"ab"});  // remembered across unplugging
    EXPECT_EQ(typed(), (Strings{"<A1", "<B2", "<A1", "<" + longCode, "<" + longOther,
                                "<" + longCode, "[ab"}));
}

TEST_F(ScanWorkerTest, SingleModeBeepsThenTypesTextEnterAndCarriageReturn) {
    settings_.setModes(true, false);
    outputAll();
    settings_.setPrefix("PA");
    settings_.setSuffix("S");
    startConnected();
    show({"A3"});
    EXPECT_EQ(steps(), (Strings{"beep 20", "type:PA", "Left down", "Left up", "Right down",
                                "Right up", "type:A3S", "Return down", "Return up", "Return down",
                                "Return up", "sleep 100"}));
    Timeline::instance().clear();
    settings_.setBeep(2);  // only 1 means on
    show({"A4"});
    EXPECT_EQ(steps().front(), "type:PA");
}

// --- Interval mode ---

TEST_F(ScanWorkerTest, IntervalCountsFromTheEndOfTheLastOutputAndALongCodeNeedsASecondMore) {
    settings_.setModes(false, true);
    clock_.shift(5);
    startConnected();
    fake_telo::showCode(std::string(199, 's'));
    cycles(3);
    // The first output comes at once; each pauses 199 ms, the cycle 100 ms.
    EXPECT_EQ(typingTimes(), (Times{5, 304, 603}));
    Timeline::instance().clear();
    fake_telo::showCode(std::string(200, 'L'));
    cycles(20);
    // Stamped at 802, the first long one waits until 1802 and is stamped after its pause.
    EXPECT_EQ(typingTimes(), (Times{1802, 3002}));
    // Stamped at 3202 after the long code's pause, not at 3002 when it began.

    Timeline::instance().clear();
    settings_.setInterval(300);
    fake_telo::showCode(std::string(150, 'm'));
    cycles(6);
    EXPECT_EQ(typingTimes(), (Times{3502, 3952}));
}

TEST_F(ScanWorkerTest, IntervalModeOrdersShortAndLongCodesDifferently) {
    settings_.setModes(false, true);
    outputAll();
    startConnected();
    show({"12345"});
    EXPECT_EQ(steps(), (Strings{"type:12345", "sleep 5", "beep 20", "sleep 25", "Return down",
                                "Return up", "Return down", "Return up", "sleep 100"}));
    Timeline::instance().clear();
    settings_.setBeep(0);
    clock_.shift(2000);
    show({std::string(250, 'q')});
    const Strings all = steps();
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(all.front(), "type:q");
    EXPECT_EQ(Strings(all.end() - 5, all.end()),
              (Strings{"Return up", "Return down", "Return up", "sleep 250", "sleep 100"}));
}

TEST_F(ScanWorkerTest, AClockSetBackOrFarAheadLetsTheCodeThroughAndAHugeIntervalDoesNotWrap) {
    settings_.setModes(false, true);
    settings_.setInterval(10000);
    clock_.shift(100000);
    startConnected();
    fake_telo::showCode("back");
    cycles(2);
    clock_.shift(-5000);
    cycles(1);
    clock_.shift((int64_t{1} << 32) + 400);
    cycles(1);
    EXPECT_EQ(typed().size(), 3u);

    Timeline::instance().clear();
    settings_.setInterval(std::numeric_limits<uint64_t>::max() - 10);
    fake_telo::showCode(std::string(300, 'h'));
    clock_.shift(int64_t{1} << 40);
    cycles(3);
    EXPECT_TRUE(typed().empty());
}

// --- Modes together, and the text of a code ---

TEST_F(ScanWorkerTest, NeitherModeTypesNothingAndBothAreTestedSingleFirst) {
    startConnected();
    show({"ignored", "ignored"});
    EXPECT_TRUE(typed().empty());
    EXPECT_EQ(fake_telo::decodes(), 2);
    settings_.setModes(true, true);
    show({"both", "both"});
    EXPECT_EQ(typed(), (Strings{"bothboth", "both"}));
}

// The text goes to the keyboard in the locale's encoding and is read back with the same codec.
TEST_F(ScanWorkerTest, CodesAreReadInTheirSymbologysEncodingAndTypedThroughTheLocale) {
    QTextCodec* saved = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    settings_.setModes(true, false);
    settings_.setSuffix(QString::fromUtf8("号"));
    startConnected();
    fake_telo::showCode("\326\320\316\304", 1);  // GB2312 in a QR Code
    cycles(1);
    fake_telo::showCode("caf\351", 7);  // ISO-8859-1 in Code 128
    cycles(1);
    show({"条码😀"});
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    show({"café"});
    QTextCodec::setCodecForLocale(saved);
    EXPECT_EQ(typed(), (Strings{"中文号", "café号", "条码😀号", "café?"}));
}

}  // namespace
