// The logind inhibitor against a stand-in logind on a private bus: the lock is asked for as
// logind expects, held while the transfer runs, and let go after; no bus and no logind cost
// nothing.
#include "framework/widgets/qt/QtSessionHold.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

using tolvar::TLogindInhibitor;

namespace {

// Answers Inhibit with the write end of a pipe and keeps the read end, which reports a hang-up
// once every copy of the lock handed out is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override {
        if (readEnd_ >= 0)
            close(readEnd_);
    }
    QStringList Calls() {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    // True when someone still holds the lock handed out after `ms`: the copies on the way
    // (the reply in the bus library, the daemon's) close a moment after the call.
    bool LockHeldAfter(int ms) {
        pollfd fd{readEnd_, POLLIN, 0};
        return poll(&fd, 1, ms) == 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        int fds[2];
        if (pipe(fds) != 0)
            return {};
        {
            const std::lock_guard lock(mutex_);
            calls_ << what + "|" + who + "|" + why + "|" + mode;
        }
        readEnd_ = fds[0];
        QDBusUnixFileDescriptor lock(fds[1]);
        close(fds[1]);
        return lock;
    }

private:
    std::mutex mutex_;
    QStringList calls_;
    int readEnd_ = -1;
};

// A private bus for the test, ended with it.
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            return;
        daemon_.start(daemon, {"--session", "--nofork", "--print-address=1"});
        if (daemon_.waitForReadyRead(5000))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    const QString& Address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

class SessionHold : public testing::Test {
protected:
    void SetUp() override {
        if (bus_.Address().isEmpty())
            GTEST_SKIP() << "no dbus-daemon (scripts/setup installs it)";
    }
    // logind on its own connection and thread, as the real one is another process.
    void StartLogind() {
        logind_.moveToThread(&thread_);
        thread_.start();
        auto service = QDBusConnection::connectToBus(bus_.Address(), "logind");
        ASSERT_TRUE(service.registerService("org.freedesktop.login1"));
        ASSERT_TRUE(service.registerObject("/org/freedesktop/login1", &logind_,
                                           QDBusConnection::ExportAllSlots));
    }
    void TearDown() override {
        thread_.quit();
        thread_.wait();
        // Named connections outlive the test; the next one gets a bus of its own.
        QDBusConnection::disconnectFromBus("logind");
        QDBusConnection::disconnectFromBus("client");
    }
    QDBusConnection Client() { return QDBusConnection::connectToBus(bus_.Address(), "client"); }

    PrivateBus bus_;
    FakeLogind logind_;
    QThread thread_;
};

TEST_F(SessionHold, BlocksShutdownAndSleepWhileHeldAndLetsGoAfter) {
    StartLogind();
    TLogindInhibitor inhibitor(Client());
    ASSERT_TRUE(inhibitor.Hold("TOLVAR", "Trwa aktualizacja."));
    EXPECT_EQ(logind_.Calls(), QStringList{"shutdown:sleep|TOLVAR|Trwa aktualizacja.|block"});
    EXPECT_TRUE(logind_.LockHeldAfter(300));
    // A second hold while one is held asks nothing more.
    EXPECT_TRUE(inhibitor.Hold("TOLVAR", "Trwa aktualizacja."));
    EXPECT_EQ(logind_.Calls().size(), 1);

    inhibitor.Release();
    EXPECT_FALSE(inhibitor.Held());
    EXPECT_FALSE(logind_.LockHeldAfter(2000));
}

TEST_F(SessionHold, NoLogindOrNoBusHoldsNothingAndSaysNothing) {
    TLogindInhibitor withoutLogind(Client());
    EXPECT_FALSE(withoutLogind.Hold("TOLVAR", "x"));
    EXPECT_FALSE(withoutLogind.Held());

    TLogindInhibitor withoutBus(
        QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "none"));
    EXPECT_FALSE(withoutBus.Hold("TOLVAR", "x"));
    withoutBus.Release();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "SessionHoldTest.moc"
