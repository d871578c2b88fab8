// The port object on the kernel's own drivers: run as root inside a virtual machine (see run)
// with a 16550 on /dev/ttyS0 and an FTDI adapter on /dev/ttyUSB0, the controller's simulator on
// the host behind each. Not a ctest test: the machine's own ports are never touched.
#include "serial/ComPort.h"
#include "serial/EComPort.h"
#include "serial/PortDetails.h"
#include "serial/posix/PortLock.h"
#include "tests/support/RecordingReporter.h"
#include "update/FirmwareUpload.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A descriptor of our own on the device, past the port's TIOCEXCL (we are root), to look at it.
class Peek {
public:
    explicit Peek(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Peek() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Peek(const Peek&) = delete;
    Peek& operator=(const Peek&) = delete;
    int Fd() const { return fd_; }
    int Flags() const {
        serial_struct info{};
        return ::ioctl(fd_, TIOCGSERIAL, &info) == 0 ? info.flags : -1;
    }
    bool SetLowLatency(bool on) const {
        serial_struct info{};
        if (::ioctl(fd_, TIOCGSERIAL, &info) != 0)
            return false;
        info.flags = on ? (info.flags | ASYNC_LOW_LATENCY) : (info.flags & ~ASYNC_LOW_LATENCY);
        return ::ioctl(fd_, TIOCSSERIAL, &info) == 0;
    }

private:
    int fd_;
};

// The port object's own descriptor on the device: another open would raise DTR and RTS again
// (the tty layer does on every open), so the lines are read through this one.
int OwnDescriptor(const std::string& path) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0)
        return -1;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        struct stat st {};
        const int fd = std::atoi(entry.path().filename().c_str());
        if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev)
            return fd;
    }
    return -1;
}

// What the 16550 itself holds: the divisor latch and the line control register (COM1's I/O
// ports). Read while the line is idle, so the driver's interrupt path never sees the latch.
struct Uart {
    int divisor = -1;
    int lineControl = -1;
};
Uart ReadUart() {
    Uart uart;
#if defined(__x86_64__)
    const unsigned short base = 0x3f8;
    if (::ioperm(base, 8, 1) != 0)
        return uart;
    const unsigned char lcr = ::inb(base + 3);
    ::outb(static_cast<unsigned char>(lcr | 0x80), base + 3);
    uart.divisor = ::inb(base) | (::inb(base + 1) << 8);
    ::outb(lcr, base + 3);
    uart.lineControl = lcr & 0x7f;
#endif
    return uart;
}

std::string Name(const std::string& path) {
    return fs::path(path).filename().string();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A child process: `body` runs in it and its exit status comes back.
template <class Body> int InChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

class Port : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        SetProgramComSettings(port_);
        port_.SetPort(GetParam());
    }
    void TearDown() override {
        if (port_.Connected())
            port_.Close();
    }
    TComPort port_;
};

TEST_P(Port, AppliesTheSettingsAndHoldsDtrAndRtsLow) {
    port_.Open();
    const int fd = OwnDescriptor(GetParam());
    ASSERT_GE(fd, 0);
    termios held{};
    ASSERT_EQ(::tcgetattr(fd, &held), 0);
    EXPECT_EQ(cfgetospeed(&held), B115200);
    EXPECT_EQ(held.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(held.c_cflag & CSTOPB);
    EXPECT_FALSE(held.c_cflag & PARENB);
    EXPECT_FALSE(held.c_cflag & CRTSCTS);
    int lines = 0;
    ASSERT_EQ(::ioctl(fd, TIOCMGET, &lines), 0)
        << "TIOCMGET on the real device: " << std::strerror(errno);
    EXPECT_FALSE(lines & TIOCM_DTR);
    EXPECT_FALSE(lines & TIOCM_RTS);
    if (Name(GetParam()) == "ttyS0") {
        // 115200 8N2 in the chip: divisor 1 of the 1.8432 MHz clock, 8 bits and 2 stop bits,
        // no parity (the driver sets the even-parity bit whatever; it counts only with parity).
        const Uart uart = ReadUart();
        EXPECT_EQ(uart.divisor, 1);
        EXPECT_EQ(uart.lineControl & 0x0f, 0x07);
        port_.Close();
        port_.SetBaudRate(br9600);
        port_.Parity().SetBits(prEven);
        port_.SetStopBits(sbOneStopBit);
        port_.Open();
        const Uart other = ReadUart();
        EXPECT_EQ(other.divisor, 12);
        EXPECT_EQ(other.lineControl, 0x1b);
    }
}

// A byte that arrived and was never read is gone after Close: the controller's reply to a start
// record is left in the queue. A descriptor of our own keeps the tty open past the port's Close,
// so that only the discard (not the last close) empties it.
TEST_P(Port, CloseDiscardsWhatWasNotRead) {
    port_.Open();
    const unsigned char start[] = {0x0B, '0', '0', '0', '0', '0', '0', 'F', 'E', '0', '2', 0x0A};
    ASSERT_EQ(port_.Write(start, sizeof start), static_cast<std::int32_t>(sizeof start));
    for (int i = 0; i < 200 && port_.InputCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(port_.InputCount(), 1) << "no reply came back through the driver";
    Peek peek(GetParam());
    int queued = -1;
    ASSERT_EQ(::ioctl(peek.Fd(), FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 1);
    port_.Close();
    ASSERT_EQ(::ioctl(peek.Fd(), FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
}

TEST_P(Port, WhileHeldASecondOpenerIsRefused) {
    port_.Open();
    const std::string lock = PortLockPath(GetParam());
    char line[16];
    std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(::getpid()));
    EXPECT_EQ(ReadFile(lock), line);
    // Another user: TIOCEXCL.
    ASSERT_EQ(::chmod(GetParam().c_str(), 0666), 0);
    const std::string path = GetParam();
    EXPECT_EQ(InChild([&] {
                  if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                      return 1;
                  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                  return fd < 0 && errno == EBUSY ? 0 : 2;
              }),
              0);
    // A program that honours flock.
    Peek peek(GetParam());
    EXPECT_EQ(::flock(peek.Fd(), LOCK_EX | LOCK_NB), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    // Another port object.
    TComPort second;
    SetProgramComSettings(second);
    second.SetPort(GetParam());
    EXPECT_THROW(second.Open(), EComPort);
    port_.Close();
    EXPECT_FALSE(fs::exists(lock));
}

TEST_P(Port, APortAnotherProgramHoldsIsRefusedWithItsHolderNamed) {
    const std::string path = GetParam();
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::dup2(fd, 0) < 0)
            ::_exit(126);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 200 && ReadFile("/proc/" + std::to_string(holder) + "/comm") != "sleep\n";
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PortAdapter<TComPort> adapter(port_);
    test::RecordingReporter reporter;
    const UploadResult result = RunFirmwareUpload(adapter, reporter);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(reporter.text, kPortFailureText);
    EXPECT_EQ(reporter.events,
              (std::vector<std::string>{"max", "text",
                                        "advice PORT JEST UŻYWANY PRZEZ PROGRAM sleep (PID " +
                                            std::to_string(holder) +
                                            ").\r\nZAMKNIJ GO I SPRÓBUJ PONOWNIE.",
                                        "advance", "hide"}));
    EXPECT_FALSE(fs::exists(PortLockPath(GetParam())));
}

TEST_P(Port, DescribedFromSysfs) {
    const std::string line = DescribeComPorts({GetParam()}).at(0);
    std::printf("description: %s  %s\n", GetParam().c_str(), line.c_str());
    if (Name(GetParam()) == "ttyS0")
        EXPECT_EQ(line, "wbudowany port szeregowy");
    else
        EXPECT_EQ(line.rfind("QEMU USB SERIAL, QEMU, USB 0403:6001", 0), 0u) << line;
}

// The host's simulator checks the image it received and reports image=match.
TEST_P(Port, AWholeUpdateSucceeds) {
    PortAdapter<TComPort> adapter(port_);
    test::RecordingReporter reporter;
    const auto start = Clock::now();
    const UploadResult result = RunFirmwareUpload(adapter, reporter);
    std::printf("upload on %s: %.1f s\n", GetParam().c_str(),
                std::chrono::duration<double>(Clock::now() - start).count());
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 1);
    EXPECT_EQ(reporter.text, kUploadSuccessText);
    EXPECT_FALSE(port_.Connected());
}

INSTANTIATE_TEST_SUITE_P(Real, Port, testing::Values("/dev/ttyS0", "/dev/ttyUSB0"),
                         [](const auto& test) { return Name(test.param); });

// On ftdi_sio the flag is set on open and the setting found there is restored on close.
TEST(Ftdi, LowLatencyOnOpenAndTheFormerSettingBackOnClose) {
    Peek peek("/dev/ttyUSB0");
    ASSERT_GE(peek.Flags(), 0);
    for (const bool before : {false, true}) {
        SCOPED_TRACE(before ? "set before" : "clear before");
        ASSERT_TRUE(peek.SetLowLatency(before));
        TComPort port;
        SetProgramComSettings(port);
        port.SetPort("/dev/ttyUSB0");
        port.Open();
        EXPECT_TRUE(peek.Flags() & ASYNC_LOW_LATENCY);
        port.Close();
        EXPECT_EQ((peek.Flags() & ASYNC_LOW_LATENCY) != 0, before);
    }
}

// The adapter pulled mid-transfer (the host's QEMU monitor, asked through the console): the
// upload ends with a port error within 2 s of the kernel's disconnect, Close works, no lock file.
TEST(LineEnd, AdapterUnpluggedMidTransfer) {
    TComPort port;
    SetProgramComSettings(port);
    port.SetPort("/dev/ttyUSB0");
    PortAdapter<TComPort> adapter(port);

    std::atomic<bool> running{true};
    std::atomic<long long> goneAt{0};
    std::thread watch([&] {
        while (running && goneAt == 0) {
            if (!fs::exists("/sys/class/tty/ttyUSB0"))
                goneAt = Clock::now().time_since_epoch().count();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    struct Asking : test::RecordingReporter {
        void SetProgressPosition(int value) override {
            RecordingReporter::SetProgressPosition(value);
            if (value == 200) {
                std::printf("TOLVAR-UNPLUG\n");
                std::fflush(stdout);
            }
        }
    } reporter;
    auto upload = std::async(std::launch::async, [&]() -> int {
        try {
            RunFirmwareUpload(adapter, reporter);
            return 0;
        } catch (const EComPort& e) {
            return e.PortErrorCode();
        }
    });
    const bool ended = upload.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const auto endedAt = Clock::now();
    running = false;
    watch.join();
    if (!ended) {
        std::printf("the upload still runs 30 s after it began: hung\n");
        std::fflush(stdout);
        std::_Exit(1);
    }
    const int code = upload.get();
    ASSERT_NE(goneAt.load(), 0) << "the adapter was never unplugged; upload ended with " << code;
    const double after =
        std::chrono::duration<double>(endedAt - Clock::time_point(Clock::duration(goneAt.load())))
            .count();
    std::printf("unplug: EComPort %d, %.2f s after ttyUSB0 left sysfs\n", code, after);
    EXPECT_TRUE(code == CError_WriteFailed || code == CError_ReadFailed ||
                code == CError_ClearComFailed)
        << code;
    EXPECT_LE(after, 2.0);
    EXPECT_NO_THROW(port.Close());
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(fs::exists(PortLockPath("/dev/ttyUSB0")));
}

// Behind the 16550 the simulator hangs up partway through: the reads time out and the upload
// ends in the failure outcome, the port closed.
TEST(LineEnd, ADeadLineBehindThe16550EndsInFailure) {
    TComPort port;
    SetProgramComSettings(port);
    port.SetPort("/dev/ttyS0");
    port.Timeouts().SetReadTotalMultiplier(100);
    port.Timeouts().SetReadTotalConstant(50);
    PortAdapter<TComPort> adapter(port);
    test::RecordingReporter reporter;
    const UploadResult result = RunFirmwareUpload(adapter, reporter);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(reporter.text, kUploadFailureText);
    EXPECT_GT(reporter.positions.size(), 100u);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(fs::exists(PortLockPath("/dev/ttyS0")));
}

} // namespace
} // namespace tolvar
