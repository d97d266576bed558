// SPDX-License-Identifier: MIT
// The worker on its own thread: signals delivered queued, settings changed while it types,
// and stopping it whatever it is doing.
#include "thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
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
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// Runs the event loop until done() holds or ten seconds have passed.
bool waitFor(const std::function<bool()>& done) {
    return waitUntil([&] {
        QCoreApplication::processEvents();
        return done();
    });
}

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_telo::reset();
        Timeline::instance().clear();
    }
    void TearDown() override { EXPECT_EQ(fake_telo::faults(), Strings{}); }

    ScanSettings settings_;
    RecordingKeyboard keyboard_;
};

TEST_F(ThreadTest, SignalsArriveQueuedInTheReceiversThread) {
    QObject receiver;
    Strings reports;
    bool inReceiverThread = true;
    auto record = [&](std::string what) {
        inReceiverThread = inReceiverThread && QThread::currentThread() == receiver.thread();
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
        fake_telo::setPlugged(false);
        ASSERT_TRUE(waitFor([&] { return reports.size() >= 4; }));
        fake_telo::setPlugged(true);
        ASSERT_TRUE(waitFor([&] { return reports.size() >= 6; }));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, (Strings{"connect", "device", "light", "disconnect", "connect", "light"}));
    EXPECT_TRUE(inReceiverThread);
}

TEST_F(ThreadTest, TheWindowChangesSettingsWhileTheWorkerTypes) {
    settings_.setModes(false, true);
    settings_.setEnter(true);  // Return ends each typed text
    settings_.setPrefix(QStringLiteral("p0-"));
    settings_.setSuffix(QStringLiteral("-s0"));
    fake_telo::setPlugged(true);
    fake_telo::showCode("C");
    {
        Thread worker(settings_, keyboard_);
        worker.start();
        // The GUI thread's side, as the window's handlers do it.
        for (int round = 1; typed().size() < 8 && round < 200000; ++round) {
            settings_.setPrefix(QStringLiteral("p%1-").arg(round));
            settings_.setSuffix(QStringLiteral("-s%1").arg(round));
            settings_.setInterval(static_cast<uint64_t>(round % 2));
            settings_.setBeep(round % 2);
            settings_.setModes(false, true);
            static_cast<void>(settings_.isConnected() && settings_.scanner() != nullptr);
            std::this_thread::sleep_for(50us);
        }
    }
    // The last text may have been cut short by the stop; every earlier one is whole.
    const QRegularExpression shape(QStringLiteral("^p\\d+-C-s\\d+$"));
    const Strings texts = typed();
    ASSERT_GE(texts.size(), 8u);
    for (size_t i = 0; i + 1 < texts.size(); ++i) {
        EXPECT_TRUE(shape.match(QString::fromStdString(texts[i])).hasMatch()) << texts[i];
    }
}

TEST_F(ThreadTest, StopEndsTheWorkerWhileItTypesOrPausesAndReleasesTheHandle) {
    settings_.setModes(false, true);
    keyboard_.strokeTime = 1ms;
    fake_telo::setPlugged(true);
    fake_telo::showCode(std::string(60000, 'w'));  // a minute of typing, then of pausing
    Thread worker(settings_, keyboard_);
    worker.start();
    ASSERT_TRUE(waitFor([] { return !typed().empty(); }));
    worker.stop();
    EXPECT_TRUE(worker.wait(10000));
    EXPECT_LT(typed().front().size(), 30000u);
    EXPECT_EQ(settings_.scanner(), nullptr);
}

TEST_F(ThreadTest, StoppingWhileSearchingLeavesNoHandle) {
    Thread worker(settings_, keyboard_);
    worker.start();
    ASSERT_TRUE(waitFor([] { return fake_telo::creates() >= 3; }));
    worker.stop();
    worker.wait();
    EXPECT_EQ(fake_telo::creates(), fake_telo::destroys());
}

}  // namespace
