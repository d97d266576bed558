// The worker on its own thread: signals delivered queued, settings changed while it types,
// and stopping it.

#include "thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QRegularExpression>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_telo.h"
#include "recording_keyboard.h"
#include "scan_settings.h"
#include "timeline.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

constexpr auto kPatience = 10s;

// Runs the event loop until done() holds or patience runs out.
bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

Strings typedTexts() {
    Strings texts;
    for (const TypedText& t : typedTexts(Timeline::instance().events())) {
        texts.push_back(t.text);
    }
    return texts;
}

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_telo::reset();
        Timeline::instance().clear();
    }
    void TearDown() override {
        EXPECT_EQ(fake_telo::liveHandles(), 0);
        EXPECT_EQ(fake_telo::liveSymbols(), 0);
        EXPECT_EQ(fake_telo::faults(), Strings{});
    }

    ScanSettings settings_;
    RecordingKeyboard keyboard_;
};

TEST_F(ThreadTest, SignalsArriveQueuedInTheReceiversThread) {
    QObject receiver;
    Strings reports;
    bool allInReceiverThread = true;
    auto record = [&](std::string what) {
        allInReceiverThread = allInReceiverThread && QThread::currentThread() == receiver.thread();
        reports.push_back(std::move(what));
    };
    {
        Thread worker(settings_, keyboard_);
        QObject::connect(&worker, &Thread::returnResult, &receiver,
                         [&](const QString& result) { record(result.toStdString()); });
        QObject::connect(&worker, &Thread::deviceResult, &receiver, [&] { record("device"); });
        QObject::connect(&worker, &Thread::lightResult, &receiver, [&] { record("light"); });

        fake_telo::setPlugged(true);
        worker.start();
        ASSERT_TRUE(waitFor([&] { return reports.size() >= 3; }));
        EXPECT_TRUE(settings_.isConnected());

        fake_telo::setPlugged(false);
        ASSERT_TRUE(waitFor([&] { return reports.size() >= 4; }));
        EXPECT_FALSE(settings_.isConnected());

        fake_telo::setPlugged(true);
        ASSERT_TRUE(waitFor([&] { return reports.size() >= 6; }));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, (Strings{"connect", "device", "light", "disconnect", "connect", "light"}));
    EXPECT_TRUE(allInReceiverThread);
    EXPECT_EQ(fake_telo::creates(), 1);
}

TEST_F(ThreadTest, WindowChangesSettingsWhileTheWorkerTypes) {
    settings_.setModes(false, true);
    fake_telo::setPlugged(true);
    fake_telo::setCallDurationMs(1);
    fake_telo::showCode("C");
    {
        Thread worker(settings_, keyboard_);
        worker.start();
        // The GUI thread's side: change every output field and ask for the connection
        // state, as the window's handlers do, until the worker has typed a few codes.
        int round = 0;
        while (typedTexts().size() < 8 && round < 200000) {
            ++round;
            settings_.setPrefix(QStringLiteral("p%1-").arg(round));
            settings_.setSuffix(QStringLiteral("-s%1").arg(round));
            settings_.setInterval(static_cast<uint64_t>(round % 2));
            settings_.setBeep(round % 2);
            settings_.setEnter(true);  // Return ends each typed text
            settings_.setWrap(false);
            settings_.setModes(false, true);
            if (settings_.scanner() != nullptr) {
                static_cast<void>(settings_.isConnected());
            }
            std::this_thread::sleep_for(50us);
        }
    }
    const QRegularExpression shape(QStringLiteral("^p\\d+-C-s\\d+$"));
    const Strings texts = typedTexts();
    ASSERT_GE(texts.size(), 8u);
    for (const std::string& text : texts) {
        EXPECT_TRUE(shape.match(QString::fromStdString(text)).hasMatch()) << text;
    }
}

TEST_F(ThreadTest, StopCutsALongPauseShortAndReleasesTheHandle) {
    settings_.setModes(false, true);
    fake_telo::setPlugged(true);
    fake_telo::showCode(std::string(60000, 'w'));  // followed by a 60 s pause
    Thread worker(settings_, keyboard_);
    worker.start();
    ASSERT_TRUE(waitFor([] { return !typedTexts().empty(); }));
    worker.stop();
    EXPECT_TRUE(worker.wait(static_cast<unsigned long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kPatience).count())));
    EXPECT_EQ(settings_.scanner(), nullptr);
    EXPECT_FALSE(settings_.isConnected());
}

TEST_F(ThreadTest, StoppingWhileSearchingLeavesNothingBehind) {
    Thread worker(settings_, keyboard_);
    worker.start();
    ASSERT_TRUE(waitFor([] { return fake_telo::creates() >= 3; }));
    worker.stop();
    worker.wait();
    EXPECT_EQ(fake_telo::creates(), fake_telo::destroys());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
