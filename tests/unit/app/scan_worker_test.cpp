// The scan worker's decisions, driven cycle by cycle against the scripted library, a
// recording keyboard and a fake clock.

#include "scan_worker.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <algorithm>
#include <cstdint>
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

// The library's polling calls are not on the Timeline; pauses, beeps and typing are.
using Events = std::vector<TimelineEvent>;

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
        EXPECT_EQ(fake_telo::liveHandles(), 0);
        EXPECT_EQ(fake_telo::liveSymbols(), 0);
        EXPECT_EQ(fake_telo::faults(), std::vector<std::string>{});
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

    static std::vector<std::string> typed() {
        std::vector<std::string> texts;
        for (const TypedText& t : typedTexts(Timeline::instance().events())) {
            texts.push_back(t.text);
        }
        return texts;
    }

    static std::vector<int64_t> typingTimes() {
        std::vector<int64_t> times;
        for (const TypedText& t : typedTexts(Timeline::instance().events())) {
            times.push_back(t.ms);
        }
        return times;
    }

    static std::vector<std::string> steps() {
        std::vector<std::string> whats;
        for (const TimelineEvent& e : Timeline::instance().events()) {
            whats.push_back(e.what);
        }
        return whats;
    }

    ScanSettings settings_;
    RecordingKeyboard keyboard_;
    FakeClock clock_;
    std::vector<std::string> reports_;
    std::unique_ptr<ScanWorker> worker_;
};

using Strings = std::vector<std::string>;

// --- Finding the scanner and following its connection ---

TEST_F(ScanWorkerTest, FailedSearchesReportNothingAndLeaveNoHandle) {
    fake_telo::setCreateWorks(false);
    worker_->start();
    cycles(50);
    EXPECT_EQ(fake_telo::creates(), 51);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(settings_.scanner(), nullptr);
    EXPECT_FALSE(settings_.isConnected());
}

TEST_F(ScanWorkerTest, HandlesThatFindNoScannerAreDestroyedBeforeTheNextAttempt) {
    worker_->start();
    cycles(2000);
    EXPECT_EQ(fake_telo::creates(), 2001);
    EXPECT_EQ(fake_telo::destroys(), 2001);
    EXPECT_EQ(fake_telo::liveHandles(), 0);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(settings_.scanner(), nullptr);
}

TEST_F(ScanWorkerTest, ScannerFoundAtStartIsAnnouncedWithAllThreeSignals) {
    fake_telo::setPlugged(true);
    worker_->start();
    EXPECT_EQ(reports_, (Strings{"connect", "device", "light"}));
    EXPECT_NE(settings_.scanner(), nullptr);
    EXPECT_TRUE(settings_.isConnected());
    cycles(5);
    EXPECT_EQ(fake_telo::creates(), 1);
    EXPECT_EQ(fake_telo::decodes(), 5);
    EXPECT_EQ(reports_.size(), 3u);
}

TEST_F(ScanWorkerTest, ScannerFoundLaterThroughANewHandle) {
    worker_->start();
    cycles(3);
    fake_telo::setPlugged(true);
    cycles(1);
    EXPECT_EQ(reports_, (Strings{"connect", "device", "light"}));
    EXPECT_EQ(fake_telo::creates(), 5);
    EXPECT_EQ(fake_telo::liveHandles(), 1);
}

TEST_F(ScanWorkerTest, UnpluggingIsReportedOnceAndReconnectingKeepsTheHandle) {
    startConnected();
    Scanner* handle = settings_.scanner();
    fake_telo::setPlugged(false);
    cycles(10);
    EXPECT_EQ(reports_, Strings{"disconnect"});
    EXPECT_FALSE(settings_.isConnected());
    EXPECT_EQ(settings_.scanner(), handle);
    EXPECT_EQ(fake_telo::decodes(), 0);

    fake_telo::setPlugged(true);
    cycles(3);
    EXPECT_EQ(reports_, (Strings{"disconnect", "connect", "light"}));
    EXPECT_TRUE(settings_.isConnected());
    EXPECT_EQ(fake_telo::creates(), 1);
    EXPECT_EQ(fake_telo::decodes(), 3);
}

TEST_F(ScanWorkerTest, EndingTheWorkerWithdrawsAndDestroysTheHandle) {
    startConnected();
    worker_.reset();
    EXPECT_EQ(settings_.scanner(), nullptr);
    EXPECT_FALSE(settings_.isConnected());
    EXPECT_EQ(fake_telo::destroys(), 1);
}

// --- Single mode ---

TEST_F(ScanWorkerTest, SingleModeTypesACodeHeldInViewOnce) {
    settings_.setModes(true, false);
    startConnected();
    fake_telo::showCode("4711");
    cycles(5);
    EXPECT_EQ(typed(), Strings{"4711"});
}

TEST_F(ScanWorkerTest, SingleModeTypesTheFirstCodeAgainAfterAnother) {
    settings_.setModes(true, false);
    startConnected();
    for (const char* code : {"A1", "A1", "B2", "B2", "A1"}) {
        fake_telo::showCode(std::string(code));
        cycles(1);
    }
    EXPECT_EQ(typed(), (Strings{"A1", "B2", "A1"}));
}

TEST_F(ScanWorkerTest, SingleModeComparesTheCodeWithoutPrefixOrSuffix) {
    settings_.setModes(true, false);
    settings_.setPrefix("<");
    startConnected();
    fake_telo::showCode("X9");
    cycles(1);
    settings_.setPrefix("[");
    settings_.setSuffix("]");
    cycles(2);
    EXPECT_EQ(typed(), Strings{"<X9"});
}

TEST_F(ScanWorkerTest, SingleModeRemembersTheLastCodeAcrossUnplugging) {
    settings_.setModes(true, false);
    startConnected();
    fake_telo::showCode("S-1");
    cycles(1);
    fake_telo::setPlugged(false);
    cycles(2);
    fake_telo::setPlugged(true);
    cycles(2);
    EXPECT_EQ(typed(), Strings{"S-1"});
}

TEST_F(ScanWorkerTest, SingleModeComparesLongCodesWhole) {
    settings_.setModes(true, false);
    startConnected();
    std::string first(1500, 'x');
    std::string second = first;
    second[1400] = 'y';
    for (const std::string& code : {first, first, second, second, first}) {
        fake_telo::showCode(code);
        cycles(1);
    }
    EXPECT_EQ(typed(), (Strings{first, second, first}));
}

TEST_F(ScanWorkerTest, CodeTextEndsAtItsFirstZeroByte) {
    settings_.setModes(true, false);
    startConnected();
    fake_telo::showCode(std::string("ab\0cd", 5));
    cycles(1);
    fake_telo::showCode(std::string("ab"));
    cycles(1);
    EXPECT_EQ(typed(), Strings{"ab"});
}

TEST_F(ScanWorkerTest, SingleModeOrderIsBeepTextEnterCarriageReturn) {
    settings_.setModes(true, false);
    settings_.setBeep(1);
    settings_.setEnter(true);
    settings_.setWrap(true);
    settings_.setPrefix("P");
    settings_.setSuffix("S");
    startConnected();
    fake_telo::showCode("123");
    cycles(1);
    EXPECT_EQ(steps(), (Strings{"beep 20", "type:P123S", "Return down", "Return up",
                                "Return down", "Return up", "sleep 100"}));
}

TEST_F(ScanWorkerTest, BeepsOnlyWhenTheBeepSettingIsOne) {
    settings_.setModes(true, false);
    startConnected();
    for (const int32_t beep : {0, 2, -1, 1}) {
        settings_.setBeep(beep);
        fake_telo::showCode("code" + std::to_string(beep));
        cycles(1);
    }
    const Strings all = steps();
    EXPECT_EQ(std::count(all.begin(), all.end(), "beep 20"), 1);
    EXPECT_EQ(all[all.size() - 3], "beep 20");
}

TEST_F(ScanWorkerTest, RepeatAcrossPrefixAndCodeGetsTheSeparator) {
    settings_.setModes(true, false);
    settings_.setPrefix("A");
    startConnected();
    fake_telo::showCode("AB");
    cycles(1);
    EXPECT_EQ(steps(), (Strings{"type:A", "Left down", "Left up", "Right down", "Right up",
                                "type:AB", "sleep 100"}));
}

// --- Interval mode ---

TEST_F(ScanWorkerTest, IntervalModeTypesTheFirstCodeAtOnce) {
    settings_.setModes(false, true);
    settings_.setInterval(60000);
    clock_.shift(5);
    startConnected();
    fake_telo::showCode("first");
    cycles(3);
    EXPECT_EQ(typed(), Strings{"first"});
}

TEST_F(ScanWorkerTest, IntervalZeroTypesShortCodesEveryCycleAndLongOnesAfterASecond) {
    settings_.setModes(false, true);
    startConnected();
    fake_telo::showCode(std::string(199, 's'));
    cycles(3);
    // Each output pauses 199 ms, the cycle 100 ms; the next output follows at once.
    EXPECT_EQ(typingTimes(), (std::vector<int64_t>{0, 299, 598}));

    Timeline::instance().clear();
    fake_telo::showCode(std::string(200, 'L'));
    cycles(20);
    // The last short output was stamped at 797, so the first long one waits until 1797;
    // it is stamped after its own 200 ms pause (1997), the next one comes at 2997.
    EXPECT_EQ(typingTimes(), (std::vector<int64_t>{1797, 2997}));
}

TEST_F(ScanWorkerTest, IntervalIsMeasuredFromTheStampAfterThePauses) {
    settings_.setModes(false, true);
    settings_.setInterval(300);
    startConnected();
    fake_telo::showCode(std::string(150, 'm'));
    cycles(6);
    // The stamp follows the 150 ms pause; measured from the start of the output the second
    // output would come at 350 instead of 450.
    EXPECT_EQ(typingTimes(), (std::vector<int64_t>{0, 450}));
}

TEST_F(ScanWorkerTest, ShortCodeOrderIsTextPauseBeepEnterCarriageReturn) {
    settings_.setModes(false, true);
    settings_.setBeep(1);
    settings_.setEnter(true);
    settings_.setWrap(true);
    startConnected();
    fake_telo::showCode("12345");
    cycles(1);
    EXPECT_EQ(steps(), (Strings{"type:12345", "sleep 5", "beep 20", "sleep 25", "Return down",
                                "Return up", "Return down", "Return up", "sleep 100"}));
}

TEST_F(ScanWorkerTest, LongCodeOrderIsBeepTextEnterCarriageReturnPause) {
    settings_.setModes(false, true);
    settings_.setBeep(1);
    settings_.setEnter(true);
    settings_.setWrap(true);
    startConnected();
    const std::string code(250, 'q');  // typed with separators between the q's
    fake_telo::showCode(code);
    cycles(1);
    const Strings all = steps();
    ASSERT_GE(all.size(), 8u);
    EXPECT_EQ(Strings(all.begin(), all.begin() + 3), (Strings{"beep 20", "sleep 25", "type:q"}));
    EXPECT_EQ(Strings(all.end() - 5, all.end()),
              (Strings{"Return up", "Return down", "Return up", "sleep 250", "sleep 100"}));
    EXPECT_EQ(typed(), (Strings{code}));
}

TEST_F(ScanWorkerTest, NoBeepMeansNoPauseAfterIt) {
    settings_.setModes(false, true);
    settings_.setBeep(0);
    startConnected();
    fake_telo::showCode("78");
    cycles(1);
    EXPECT_EQ(steps(), (Strings{"type:78", "sleep 2", "sleep 100"}));
}

TEST_F(ScanWorkerTest, ClockSetBackLetsTheCodeThrough) {
    settings_.setModes(false, true);
    settings_.setInterval(10000);
    clock_.shift(100000);
    startConnected();
    fake_telo::showCode("back");
    cycles(2);
    clock_.shift(-5000);
    cycles(1);
    EXPECT_EQ(typed().size(), 2u);
}

TEST_F(ScanWorkerTest, GapsBeyondTheRangeOf32BitMillisecondsCountAsElapsed) {
    settings_.setModes(false, true);
    settings_.setInterval(1000);
    startConnected();
    fake_telo::showCode("gap");
    cycles(1);
    clock_.shift((int64_t{1} << 32) + 400);
    cycles(1);
    EXPECT_EQ(typed().size(), 2u);
}

TEST_F(ScanWorkerTest, HugeIntervalForALongCodeDoesNotWrapAround) {
    settings_.setModes(false, true);
    settings_.setInterval(std::numeric_limits<uint64_t>::max() - 10);
    startConnected();
    fake_telo::showCode(std::string(300, 'h'));
    cycles(1);
    clock_.shift(int64_t{1} << 40);
    cycles(3);
    EXPECT_EQ(typed().size(), 1u);
}

// --- Neither mode, both modes, no result ---

TEST_F(ScanWorkerTest, NeitherModeDecodesAndReleasesButTypesNothing) {
    startConnected();
    fake_telo::showCode("ignored");
    cycles(3);
    EXPECT_TRUE(typed().empty());
    EXPECT_EQ(fake_telo::decodes(), 3);
}

TEST_F(ScanWorkerTest, BothModesAreTestedIndependentlySingleFirst) {
    settings_.setModes(true, true);
    startConnected();
    fake_telo::showCode("both");
    cycles(2);
    // First cycle: single mode, then interval mode; second cycle: interval mode only.
    EXPECT_EQ(typed(), (Strings{"bothboth", "both"}));
}

TEST_F(ScanWorkerTest, NothingDecodedTypesNothing) {
    settings_.setModes(true, false);
    startConnected();
    cycles(3);
    EXPECT_EQ(steps(), (Strings{"sleep 100", "sleep 100", "sleep 100"}));
}

// --- Text through the local 8-bit encoding ---

class LocalEncoding : public ScanWorkerTest {
protected:
    void SetUp() override {
        saved_ = QTextCodec::codecForLocale();
        ScanWorkerTest::SetUp();
    }
    void TearDown() override {
        QTextCodec::setCodecForLocale(saved_);
        ScanWorkerTest::TearDown();
    }

    QTextCodec* saved_ = nullptr;
};

TEST_F(LocalEncoding, Utf8CodeTextIsTypedAsItsCharacters) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    settings_.setModes(true, false);
    settings_.setPrefix(QString::fromUtf8("编号"));
    startConnected();
    fake_telo::showCode("条码😀");
    cycles(1);
    EXPECT_EQ(typed(), Strings{"编号条码😀"});
}

TEST_F(LocalEncoding, CharactersTheLocalEncodingLacksAreNotTypedAsThemselves) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    settings_.setModes(true, false);
    settings_.setSuffix(QString::fromUtf8("中"));
    startConnected();
    fake_telo::showCode("café");
    cycles(1);
    EXPECT_EQ(typed(), Strings{"café?"});
}

}  // namespace
