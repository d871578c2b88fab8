// A port that another program holds, seen by the upload over a pseudo-terminal served by the
// simulator: refused and named, lock files honoured and ours never left behind.

#include "serial/ComPort.h"
#include "serial/posix/PortLock.h"
#include "tests/support/RecordingReporter.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tolvar {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A child process running sleep, with a device (when given) as its standard input.
class Sleeper {
public:
    explicit Sleeper(const std::string& device = "/dev/null") {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 || ::dup2(fd, 0) < 0)
                ::_exit(126);
            ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once it runs sleep: the device is open by then.
        for (int i = 0; i < 200 && ReadFile(Proc() / "comm") != "sleep\n"; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Sleeper() { Stop(); }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

    int Pid() const { return pid_; }
    void Stop() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    fs::path Proc() const { return fs::path("/proc") / std::to_string(pid_); }
    int pid_ = -1;
};

std::string LockLine(int pid) {
    char line[16];
    std::snprintf(line, sizeof line, "%10d\n", pid);
    return line;
}

std::string HolderAdvice(int pid) {
    return "advice PORT JEST UŻYWANY PRZEZ PROGRAM sleep (PID " + std::to_string(pid) +
           ").\r\nZAMKNIJ GO I SPRÓBUJ PONOWNIE.";
}

// Notes at every progress step whether our lock file is there and what it says.
class LockWatchingReporter : public test::RecordingReporter {
public:
    fs::path lock;
    std::vector<std::string> seen; // the lock file's content at each step, "" when absent

    void SetProgressPosition(int value) override {
        RecordingReporter::SetProgressPosition(value);
        if (value == 0 || value == 5)
            seen.push_back(fs::exists(lock) ? ReadFile(lock) : std::string());
    }
};

class HeldPort : public testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/tolvar-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        lockFolder_ = folder;
        SetPortLockFolder(lockFolder_.string());
    }
    void TearDown() override {
        if (thread_.joinable()) {
            sim_->Stop();
            thread_.join();
        }
        SetPortLockFolder("");
        fs::remove_all(lockFolder_);
    }

    void Start(sim::Options options = {}) {
        sim_ = std::make_unique<sim::LoaderSim>(std::move(options));
        path_ = sim_->OpenPty();
        thread_ = std::thread([this] { sim_->Run(); });
        SetProgramComSettings(port_);
        port_.SetPort(path_);
        port_.Timeouts().SetReadTotalMultiplier(100);
        port_.Timeouts().SetReadTotalConstant(50);
        reporter_.lock = Lock();
    }
    fs::path Lock() const { return PortLockPath(path_); }
    UploadResult Upload() {
        reporter_ = LockWatchingReporter{};
        reporter_.lock = Lock();
        return RunFirmwareUpload(adapter_, reporter_);
    }
    bool LockLeft() const { return !fs::is_empty(lockFolder_); }

    fs::path lockFolder_;
    std::unique_ptr<sim::LoaderSim> sim_;
    std::thread thread_;
    std::string path_;
    TComPort port_;
    PortAdapter<TComPort> adapter_{port_};
    LockWatchingReporter reporter_;
};

TEST_F(HeldPort, AProcessHoldingThePortIsRefusedAndNamedUntilItLetsGo) {
    Start();
    Sleeper holder(path_);
    UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(reporter_.text, kPortFailureText);
    EXPECT_EQ(reporter_.events, (std::vector<std::string>{"max", "text", HolderAdvice(holder.Pid()),
                                                          "advance", "hide"}));
    EXPECT_FALSE(port_.Connected());
    EXPECT_FALSE(LockLeft());

    holder.Stop();
    result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_FALSE(LockLeft());
}

TEST_F(HeldPort, AHolderThatCannotBeNamedLeavesTheFailureTextAlone) {
    // This program itself holds it: its own descriptors never count as another holder.
    Start();
    TComPort first;
    first.SetPort(path_);
    first.Open();
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(reporter_.events, (std::vector<std::string>{"max", "text", "advance", "hide"}));
    first.Close();
    EXPECT_FALSE(LockLeft());
}

TEST_F(HeldPort, ALivingLockOwnerRefusesTheStaleOneIsRemoved) {
    sim::Options refusing;
    refusing.refuseOnce = 3; // so that a second pass follows
    Start(refusing);
    Sleeper owner;
    std::ofstream(Lock()) << LockLine(owner.Pid());
    UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(reporter_.events, (std::vector<std::string>{"max", "text", HolderAdvice(owner.Pid()),
                                                          "advance", "hide"}));
    EXPECT_EQ(ReadFile(Lock()), LockLine(owner.Pid())); // not ours to remove

    // Its owner gone, the lock is stale: removed, ours taken for each of the two passes and
    // gone before the next one starts and after the last.
    const std::string stale = LockLine(owner.Pid());
    owner.Stop();
    result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);
    const std::string ours = LockLine(::getpid());
    // Each pass reports 0 before it opens the port and again once open; the first ends at the
    // refused record 3, the second reaches 5.
    EXPECT_EQ(reporter_.seen, (std::vector<std::string>{stale, ours, "", ours, ours}));
    EXPECT_FALSE(LockLeft());
}

TEST_F(HeldPort, TheLockNeverStopsAnOpenNorOutlivesAFailedOne) {
    Start();
    // Settings the device cannot take fail the open after the lock was taken.
    port_.FlowControl().SetOutDSRFlow(true);
    EXPECT_THROW(port_.Open(), EComPort);
    EXPECT_FALSE(LockLeft());
    port_.FlowControl().SetOutDSRFlow(false);

    // Where no lock file can be made, the port opens without one.
    SetPortLockFolder((lockFolder_ / "missing").string());
    EXPECT_NO_THROW(port_.Open());
    EXPECT_TRUE(port_.Connected());
    port_.Close();
}

} // namespace
} // namespace tolvar
