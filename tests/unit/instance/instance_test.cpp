// SPDX-License-Identifier: MIT
// The single-instance guard across real processes: the lock makes the test and the claim one
// step, a running copy refuses others until it ends, a lock held by a killed copy and a killed
// copy's marker do not refuse later starts, and starts racing each other give exactly one claim.

#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

constexpr int kPatienceMs = 10000;
constexpr int kRaceRounds = 20;

// One probe process; its standard input is the test's control pipe.
class Probe {
public:
    Probe(const QProcessEnvironment& environment, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(INSTANCE_PROBE), arguments);
        process_.waitForStarted(kPatienceMs);
    }
    ~Probe() { kill(); }

    /// The next line the probe prints, or "" when it ends or patience runs out first.
    QByteArray nextLine() {
        QElapsedTimer timer;
        timer.start();
        while (!process_.canReadLine()) {
            const qint64 left = kPatienceMs - timer.elapsed();
            if (left <= 0 || !process_.waitForReadyRead(static_cast<int>(left))) {
                return {};
            }
        }
        return process_.readLine().trimmed();
    }

    /// Lets a probe waiting at its gate or holding the lock go on.
    void proceed() {
        process_.write("\n");
        process_.waitForBytesWritten(kPatienceMs);
    }

    /// Ends a probe that claimed, as a copy ends normally.
    void closeInput() { process_.closeWriteChannel(); }

    /// Waits for the probe to end; true when it exited with code 0.
    bool exitedCleanly() {
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(kPatienceMs)) {
            return false;
        }
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

    /// SIGKILL, so the probe's destructors never run.
    void kill() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kPatienceMs);
        }
    }

private:
    QProcess process_;
};

class SingleInstance : public ::testing::Test {
protected:
    SingleInstance() {
        const QString name =
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        lockKey_ = name + QStringLiteral("Lock");
        markerKey_ = name + QStringLiteral("Marker");
        environment_.insert(QStringLiteral("TMPDIR"), tmp_.path());
    }

    // The kernel keeps the System V objects of killed probes; remove them so a run leaves
    // nothing behind. Qt names each object by its key file in the temporary folder.
    void TearDown() override {
        for (const QString& file : QDir(tmp_.path()).entryList({"qipc_*"}, QDir::Files)) {
            const key_t key = ipcKey(file);
            const int semaphore = semget(key, 0, 0);
            if (semaphore != -1) {
                semctl(semaphore, 0, IPC_RMID);
            }
            const int segment = shmget(key, 0, 0);
            if (segment != -1) {
                shmctl(segment, IPC_RMID, nullptr);
            }
        }
    }

    std::unique_ptr<Probe> start(QStringList options = {}) {
        options << lockKey_ << markerKey_;
        return std::make_unique<Probe>(environment_, options);
    }

    /// Waits until some process blocks on the guard lock.
    bool someoneWaitsForTheLock() const {
        const QStringList files = QDir(tmp_.path()).entryList({"qipc_systemsem_" + lockKey_ + "*"});
        if (files.size() != 1) {
            return false;
        }
        const int semaphore = semget(ipcKey(files.front()), 0, 0);
        QElapsedTimer timer;
        timer.start();
        while (semaphore != -1 && timer.elapsed() < kPatienceMs) {
            if (semctl(semaphore, 0, GETNCNT) > 0) {
                return true;
            }
            QThread::msleep(5);
        }
        return false;
    }

private:
    key_t ipcKey(const QString& file) const {
        return ftok(QFile::encodeName(tmp_.filePath(file)).constData(), 'Q');
    }

    QTemporaryDir tmp_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
    QString lockKey_;
    QString markerKey_;
};

TEST_F(SingleInstance, TheLockMakesTheTestAndTheClaimOneStep) {
    auto holder = start({"--hold"});
    ASSERT_EQ(holder->nextLine(), "locked");
    auto waiter = start();
    ASSERT_TRUE(someoneWaitsForTheLock());

    holder->proceed();
    EXPECT_EQ(holder->nextLine(), "claimed");
    EXPECT_EQ(waiter->nextLine(), "refused");
    EXPECT_TRUE(waiter->exitedCleanly());
    // The refused copy's look at the marker left it: the next copy is refused too.
    auto other = start();
    EXPECT_EQ(other->nextLine(), "refused");
    holder->closeInput();
    EXPECT_TRUE(holder->exitedCleanly());
    auto next = start();
    EXPECT_EQ(next->nextLine(), "claimed") << "a clean exit removes the marker";
}

TEST_F(SingleInstance, ACopyKilledHoldingTheLockDoesNotBlockLaterStarts) {
    auto holder = start({"--hold"});
    ASSERT_EQ(holder->nextLine(), "locked");
    auto waiter = start();
    ASSERT_TRUE(someoneWaitsForTheLock());

    holder->kill();
    EXPECT_EQ(waiter->nextLine(), "claimed");
    auto later = start();
    EXPECT_EQ(later->nextLine(), "refused");
}

TEST_F(SingleInstance, StartsRacingEachOtherGiveExactlyOneClaim) {
    for (int round = 0; round < kRaceRounds; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        // Every other round races over the stale marker of a killed copy.
        if (round % 2 == 1) {
            auto killed = start();
            ASSERT_EQ(killed->nextLine(), "claimed");
            killed->kill();
        }
        auto one = start({"--gate"});
        auto two = start({"--gate"});
        ASSERT_EQ(one->nextLine(), "ready");
        ASSERT_EQ(two->nextLine(), "ready");
        one->proceed();
        two->proceed();

        const QByteArray first = one->nextLine();
        const QByteArray second = two->nextLine();
        EXPECT_TRUE((first == "claimed" && second == "refused") ||
                    (first == "refused" && second == "claimed"))
            << first.constData() << " / " << second.constData();
        one->closeInput();
        two->closeInput();
        EXPECT_TRUE(one->exitedCleanly());
        EXPECT_TRUE(two->exitedCleanly());
    }
}

}  // namespace
