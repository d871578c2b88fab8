#include "serial/ComPort.h"

#include "serial/posix/PosixComDevice.h"
#include "serial/posix/PosixKernel.h"
#include "serial/posix/PosixLine.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Raised.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tolvar {
namespace {

using test::Raised;

using test::PtyPair;
using Clock = std::chrono::steady_clock;

// The kernel's marker for a rate given in numbers; <termios.h> does not name it.
constexpr tcflag_t kOtherSpeed = 0010000;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The program's settings on a pseudo-terminal, with a short read time-out unless told otherwise.
void Configure(TComPort& port, const PtyPair& pty, bool shortReads = true) {
    SetProgramComSettings(port);
    port.SetPort(pty.SlavePath());
    if (shortReads)
        port.Timeouts().SetReadTotalMultiplier(0); // a read then waits 500 ms at most
}

// Waits until the receive queue holds `n` bytes (bytes cross a pty asynchronously).
bool WaitForInput(TComPort& port, int n) {
    const auto start = Clock::now();
    while (port.InputCount() < n) {
        if (MsSince(start) > 2000)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

termios LineOf(int fd) {
    termios t{};
    EXPECT_EQ(tcgetattr(fd, &t), 0);
    return t;
}

TEST(ComPortSettings, ConstructorDefaultsAndTheProgramsValues) {
    TComPort port;
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.FlowControl().XonChar(), 0x11);
    EXPECT_EQ(port.FlowControl().XoffChar(), 0x13);
    EXPECT_EQ(port.Events(), AllComEvents());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    EXPECT_EQ(port.Buffer().ComPort(), &port);

    SetProgramComSettings(port);
    const TComLineSettings line = port.LineSettings();
    EXPECT_EQ(line.baudRate, 115200);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 2);
    EXPECT_EQ(line.dtrControl, 0);
    EXPECT_EQ(line.rtsControl, 0);
    EXPECT_FALSE(line.outCtsFlow || line.outX || line.inX || line.parityCheck);
    EXPECT_EQ(line.xonLim, 256);
    const TComTimeoutValues t = port.TimeoutValues();
    EXPECT_EQ(t.readInterval, 30u);
    EXPECT_EQ(t.readTotalMultiplier, 1000u);
    EXPECT_EQ(t.readTotalConstant, 500u);
    EXPECT_EQ(t.writeTotalMultiplier, 100u);
    EXPECT_EQ(t.writeTotalConstant, 1000u);

    // -1 reaches the platform with all bits set.
    port.Timeouts().SetReadInterval(-1);
    EXPECT_EQ(port.TimeoutValues().readInterval, 0xFFFFFFFFu);
}

TEST(ComPortOpenClose, OpenAndCloseAreIdempotent) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Close(); // never opened: nothing happens
    port.Open();
    ASSERT_TRUE(port.Connected());
    const auto handle = port.Handle();
    EXPECT_GE(handle, 0);
    port.Open();
    EXPECT_EQ(port.Handle(), handle);
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_NO_THROW(port.Close());
    // Every pass gets a fresh open.
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST(ComPortOpenClose, MissingDeviceRaisesCodeOneWithNotFound) {
    TComPort port;
    port.SetPort("/dev/tolvar-no-such-port");
    const EComPort e = Raised([&] { port.Open(); });
    EXPECT_EQ(e.PortErrorCode(), 1);
    EXPECT_EQ(e.OsErrorCode(), ENOENT);
    EXPECT_EQ(e.Message(), "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(port.Connected());
    EXPECT_NO_THROW(port.Close());
}

TEST(ComPortOpenClose, NonTerminalIsRefused) {
    char path[] = "/tmp/tolvar-plain-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    TComPort port;
    port.SetPort(path);
    EXPECT_EQ(Raised([&] { port.Open(); }).PortErrorCode(), 1);
    EXPECT_FALSE(port.Connected());
    unlink(path);
}

TEST(ComPortOpenClose, HeldDeviceIsBusyForThisAndOtherProcesses) {
    PtyPair pty;
    TComPort first;
    Configure(first, pty);
    first.Open();

    TComPort second;
    Configure(second, pty);
    const EComPort e = Raised([&] { second.Open(); });
    EXPECT_EQ(e.PortErrorCode(), 1);
    EXPECT_EQ(e.OsErrorCode(), EBUSY);
    EXPECT_FALSE(second.Connected());

    // Another process, whoever it runs as.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 3;
        try {
            TComPort other;
            other.SetPort(pty.SlavePath());
            other.Open();
            status = 2;
        } catch (const EComPort& ex) {
            status = ex.PortErrorCode() == 1 && ex.OsErrorCode() == EBUSY ? 0 : 1;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: opened a held port, 1: wrong error";

    first.Close();
    EXPECT_NO_THROW(second.Open());
}

TEST(ComPortOpenClose, RefusedSettingsCloseTheDeviceAgain) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.FlowControl().SetOutDSRFlow(true); // termios has no DSR flow control
    const EComPort e = Raised([&] { port.Open(); });
    EXPECT_EQ(e.PortErrorCode(), 7);
    EXPECT_EQ(e.OsErrorCode(), EINVAL);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    // The device was released: another port object can have it.
    TComPort other;
    Configure(other, pty);
    EXPECT_NO_THROW(other.Open());
}

TEST(ComPortOpenClose, SettingsThatTheDeviceDropsAreRefused) {
    // A pseudo-terminal takes the request without error but keeps 8 bits without parity.
    PtyPair pty;
    for (const TParityBits parity : {prEven, prOdd, prMark, prSpace, prNone}) {
        SCOPED_TRACE(static_cast<int>(parity));
        TComPort port;
        Configure(port, pty);
        port.Parity().SetBits(parity);
        port.SetDataBits(parity == prNone ? dbSeven : dbEight);
        const EComPort e = Raised([&] { port.Open(); });
        EXPECT_EQ(e.PortErrorCode(), 7);
        EXPECT_EQ(e.OsErrorCode(), EINVAL);
        EXPECT_FALSE(port.Connected());
    }
    // On an open port the setter raises and the port stays open.
    TComPort port;
    Configure(port, pty);
    port.Open();
    EXPECT_EQ(Raised([&] { port.Parity().SetBits(prEven); }).PortErrorCode(), 7);
    EXPECT_TRUE(port.Connected());
    // Queue sizes the device cannot take.
    EXPECT_EQ(Raised([&] { port.Buffer().SetInputSize(-2); }).PortErrorCode(), 9);
}

TEST(ComPortOpenClose, NotificationsAroundOpenAndClose) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    std::vector<std::string> seen;
    port.OnBeforeOpen = [&] { seen.push_back("before-open"); };
    port.OnAfterOpen = [&] { seen.push_back("after-open"); };
    port.OnBeforeClose = [&] { seen.push_back("before-close"); };
    port.OnAfterClose = [&] { seen.push_back("after-close"); };
    port.OnCTSChange = [&](bool on) { seen.push_back(on ? "cts-on" : "cts-off"); };
    port.OnDSRChange = [&](bool on) { seen.push_back(on ? "dsr-on" : "dsr-off"); };
    port.OnRLSDChange = [&](bool on) { seen.push_back(on ? "rlsd-on" : "rlsd-off"); };
    port.Open(); // a pty has no modem lines: the signals read as off, no error
    port.Close();
    const std::vector<std::string> expected{"before-open",  "after-open", "cts-off", "dsr-off",
                                            "rlsd-off",     "cts-off",    "dsr-off", "rlsd-off",
                                            "before-close", "after-close"};
    EXPECT_EQ(seen, expected);
}

TEST(ComPortTransfer, SilentLineOneByteReadReturnsZeroAfterTheTotalTimeout) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty, /*shortReads=*/false);
    port.Open();
    unsigned char byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(&byte, 1), 0);
    const auto elapsed = MsSince(start);
    EXPECT_GE(elapsed, 1490);
    EXPECT_LT(elapsed, 10000);
}

TEST(ComPortTransfer, QueuedBytesComeBackOneReadAtATime) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    pty.Send("\x06Z");
    ASSERT_TRUE(WaitForInput(port, 2));
    unsigned char byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 0x06);
    EXPECT_EQ(port.InputCount(), 1);
    EXPECT_EQ(port.InputLeftByRead(), 1) << "the read knows what waits behind it";
    EXPECT_EQ(port.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 'Z');
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_EQ(port.InputLeftByRead(), 0);

    // Discarding empties the input queue, not the output: only newer bytes are read after it.
    pty.Send("stale");
    ASSERT_TRUE(WaitForInput(port, 5));
    port.DiscardInput();
    EXPECT_EQ(port.InputCount(), 0);
    pty.Send("\x15");
    EXPECT_EQ(port.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 0x15);
}

TEST(ComPortTransfer, ReadWaitsForALateByte) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty, /*shortReads=*/false);
    port.Open();
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Send("\x06");
    });
    unsigned char byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(&byte, 1), 1);
    EXPECT_LT(MsSince(start), 1400); // ended by the byte, not by the time-out
    peer.join();
    EXPECT_EQ(byte, 0x06);
}

TEST(ComPortTransfer, IntervalAndImmediateReadRules) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    char buf[16] = {};

    // Interval only: a gap after the first bytes ends the read.
    port.Timeouts().SetReadInterval(50);
    port.Timeouts().SetReadTotalMultiplier(0);
    port.Timeouts().SetReadTotalConstant(0);
    pty.Send("ab");
    EXPECT_EQ(port.Read(buf, sizeof buf), 2);
    EXPECT_EQ(std::string(buf, 2), "ab");

    // -1 with both totals 0: whatever is queued, at once, possibly nothing.
    port.Timeouts().SetReadInterval(-1);
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buf, sizeof buf), 0);
    EXPECT_LT(MsSince(start), 1000);
    pty.Send("xyz");
    ASSERT_TRUE(WaitForInput(port, 3));
    EXPECT_EQ(port.Read(buf, sizeof buf), 3);

    // The total bound: multiplier times count plus constant.
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalMultiplier(10);
    port.Timeouts().SetReadTotalConstant(100);
    start = Clock::now();
    EXPECT_EQ(port.Read(buf, 4), 0);
    EXPECT_GE(MsSince(start), 135);
}

TEST(ComPortTransfer, FirstByteAndGapRulesOnALine) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    char buf[16] = {};

    // -1 / -1 / c: returns with what came first, without waiting for the rest or the total.
    port.Timeouts().SetReadInterval(-1);
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(400);
    pty.Send("ab");
    ASSERT_TRUE(WaitForInput(port, 2));
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buf, sizeof buf), 2);
    EXPECT_LT(MsSince(start), 300);
    start = Clock::now();
    EXPECT_EQ(port.Read(buf, sizeof buf), 0); // nothing came: the constant ends it
    EXPECT_GE(MsSince(start), 395);

    // The gap counts from the latest byte, not from the start of the read.
    port.Timeouts().SetReadInterval(200);
    port.Timeouts().SetReadTotalMultiplier(0);
    port.Timeouts().SetReadTotalConstant(0);
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        pty.Send("c");
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        pty.Send("d");
    });
    std::int32_t got = -1;
    EXPECT_NO_THROW(got = port.Read(buf, sizeof buf));
    peer.join();
    EXPECT_EQ(got, 2);
    EXPECT_EQ(std::string(buf, 2), "cd");
}

TEST(ComPortTransfer, WriteReachesThePeerAndItsTimeoutEndsAStalledWrite) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    const std::string record = "\x0c"
                               "0123456789A";
    EXPECT_EQ(port.Write(record.data(), static_cast<std::int32_t>(record.size())), 12);
    EXPECT_EQ(pty.Receive(12), record);

    // Nobody reads the master: the queue fills and the time-out ends the write without error.
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    const std::vector<char> big(1 << 20, 'x');
    const auto start = Clock::now();
    const std::int32_t written = port.Write(big.data(), static_cast<std::int32_t>(big.size()));
    EXPECT_LT(written, static_cast<std::int32_t>(big.size()));
    EXPECT_GE(MsSince(start), 195);
}

TEST(ComPortTransfer, TotalsBeyondTheClockMeanNoTimeout) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    // -1 per byte reaches the platform as its maximum: a total beyond the clock.
    port.Timeouts().SetReadInterval(20);
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(0);
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.Send("z");
    });
    // (Counts whose total in clock ticks would wrap to a time in the past.)
    std::vector<char> buf(20000);
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buf.data(), 20000), 1); // the gap after the byte ends it
    EXPECT_GE(MsSince(start), 140);
    peer.join();

    // A write waits for room as long as it takes.
    port.Timeouts().SetWriteTotalMultiplier(-1);
    port.Timeouts().SetWriteTotalConstant(-1);
    const std::vector<char> big(200000, 'w');
    std::string received;
    std::thread drain([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        received = pty.Receive(big.size());
    });
    start = Clock::now();
    EXPECT_EQ(port.Write(big.data(), static_cast<std::int32_t>(big.size())),
              static_cast<std::int32_t>(big.size()));
    drain.join();
    EXPECT_EQ(received.size(), big.size());
}

TEST(ComPortTransfer, BadArgumentsAreFailures) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.Open();
    const EComPort w = Raised([&] { port.Write("x", -1); });
    EXPECT_EQ(w.PortErrorCode(), 2);
    EXPECT_EQ(w.OsErrorCode(), EINVAL);
    EXPECT_EQ(Raised([&] { port.Write(nullptr, 1); }).PortErrorCode(), 2);
    EXPECT_EQ(Raised([&] { port.Read(nullptr, 1); }).PortErrorCode(), 3);
    char c = 0;
    EXPECT_EQ(Raised([&] { port.Read(&c, -1); }).PortErrorCode(), 3);
    EXPECT_EQ(port.Write(nullptr, 0), 0);
    EXPECT_EQ(port.Read(nullptr, 0), 0);
}

TEST(ComPortTransfer, VanishedPeerIsAFailureNotAWait) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty, /*shortReads=*/false);
    port.Open();
    pty.CloseMaster();
    unsigned char byte = 0;
    const auto start = Clock::now();
    const EComPort read = Raised([&] { port.Read(&byte, 1); });
    EXPECT_EQ(read.PortErrorCode(), 3);
    EXPECT_EQ(read.OsErrorCode(), EIO);
    EXPECT_LT(MsSince(start), 1400);
    EXPECT_EQ(Raised([&] { port.Write("x", 1); }).PortErrorCode(), 2);
    // A hung-up device has nothing left to discard: Close releases it.
    EXPECT_NO_THROW(port.Close());
    EXPECT_FALSE(port.Connected());
}

TEST(ComPortLine, SettingsReachTheDevice) {
    PtyPair pty;
    const int slave = pty.Slave();
    ASSERT_GE(slave, 0);
    TComPort port;
    Configure(port, pty);
    port.Open();
    termios t = LineOf(slave);
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(cfgetispeed(&t), B115200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(t.c_oflag & OPOST);

    // Every byte value passes unaltered.
    const std::string all = std::string("\x00\x03\x0d\x0a\x11\x13\x7f\xff", 8);
    pty.Send(all);
    char buf[8] = {};
    ASSERT_TRUE(WaitForInput(port, 8));
    EXPECT_EQ(port.Read(buf, 8), 8);
    EXPECT_EQ(std::string(buf, 8), all);
}

TEST(ComPortLine, SettersApplyOnAnOpenPortAndEqualValuesDoNothing) {
    PtyPair pty;
    const int slave = pty.Slave();
    TComPort port;
    Configure(port, pty);

    port.SetStopBits(sbOneStopBit); // closed: only stored
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    port.Open();
    EXPECT_FALSE(LineOf(slave).c_cflag & CSTOPB);

    port.SetStopBits(sbTwoStopBits);
    EXPECT_TRUE(LineOf(slave).c_cflag & CSTOPB);
    port.FlowControl().SetXonXoffOut(true);
    EXPECT_TRUE(LineOf(slave).c_iflag & IXON);
    port.SetBaudRate(br9600);
    termios t = LineOf(slave);
    EXPECT_EQ(cfgetospeed(&t), B9600);

    // Change the line behind the object's back; an equal value must not touch it again.
    cfsetospeed(&t, B2400);
    cfsetispeed(&t, B2400);
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &t), 0);
    port.SetBaudRate(br9600);
    t = LineOf(slave);
    EXPECT_EQ(cfgetospeed(&t), B2400);
    port.SetBaudRate(br115200);
    t = LineOf(slave);
    EXPECT_EQ(cfgetospeed(&t), B115200);

    // A rate without a termios constant goes the custom way; a named rate after it takes both
    // directions back.
    port.SetBaudRate(br56000);
    EXPECT_EQ(LineOf(slave).c_cflag & CBAUD, kOtherSpeed);
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    ASSERT_EQ(LineSpeeds(slave, in, out), 0);
    EXPECT_EQ(in, 56000u);
    EXPECT_EQ(out, 56000u);
    port.SetBaudRate(br9600);
    ASSERT_EQ(LineSpeeds(slave, in, out), 0);
    EXPECT_EQ(in, 9600u);
    EXPECT_EQ(out, 9600u);
}

TEST(ComPortLine, UpdatesHoldTheApplyOperationsBack) {
    PtyPair pty;
    const int slave = pty.Slave();
    TComPort port;
    Configure(port, pty);
    port.Open();
    port.BeginUpdate();
    port.BeginUpdate();
    port.SetStopBits(sbOneStopBit);
    EXPECT_TRUE(LineOf(slave).c_cflag & CSTOPB);
    port.EndUpdate();
    EXPECT_TRUE(LineOf(slave).c_cflag & CSTOPB);
    port.EndUpdate();
    EXPECT_FALSE(LineOf(slave).c_cflag & CSTOPB);
}

TEST(ComPortLine, CloseDiscardsWhatIsQueued) {
    PtyPair pty;
    const int slave = pty.Slave(); // keeps the line alive across the close
    TComPort port;
    Configure(port, pty);
    port.Open();
    pty.Send("pending");
    ASSERT_TRUE(WaitForInput(port, 7));
    port.Close();
    int queued = -1;
    ASSERT_EQ(ioctl(slave, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
}

TEST(ComPortSetters, PortNameRules) {
    PtyPair a;
    PtyPair b;
    TComPort port;
    Configure(port, a);

    port.SetPort("COM7"); // closed: only stored
    EXPECT_EQ(port.Port(), "COM7");
    EXPECT_FALSE(port.Connected());
    port.SetPort(a.SlavePath());
    port.Open();
    const auto handle = port.Handle();
    port.SetPort(a.SlavePath()); // same text: nothing happens
    EXPECT_EQ(port.Handle(), handle);

    port.SetPort(b.SlavePath()); // open: closed and opened again under the new name
    EXPECT_TRUE(port.Connected());
    TComPort other;
    Configure(other, a);
    EXPECT_NO_THROW(other.Open()); // the first device was released
    TComPort third;
    Configure(third, b);
    EXPECT_EQ(Raised([&] { third.Open(); }).OsErrorCode(), EBUSY);

    // A failing reopen leaves the new name stored and the port closed.
    EXPECT_EQ(Raised([&] { port.SetPort("/dev/tolvar-no-such-port"); }).PortErrorCode(), 1);
    EXPECT_EQ(port.Port(), "/dev/tolvar-no-such-port");
    EXPECT_FALSE(port.Connected());
}

TEST(ComPortSetters, OddBufferSizesAreRoundedDown) {
    TComPort port;
    port.Buffer().SetInputSize(1025);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.LineSettings().xonLim, 256);
    EXPECT_EQ(port.LineSettings().xoffLim, 256);
    port.Buffer().SetOutputSize(7);
    EXPECT_EQ(port.Buffer().OutputSize(), 6);
    EXPECT_EQ(port.LineSettings().xonLim, 256); // from the input size alone
    port.Buffer().SetInputSize(2048);
    EXPECT_EQ(port.Buffer().InputSize(), 2048);
    EXPECT_EQ(port.LineSettings().xoffLim, 512);
    port.Buffer().SetOutputSize(1);
    EXPECT_EQ(port.Buffer().OutputSize(), 0);
    port.Buffer().SetOutputSize(-3); // only positive sizes are rounded
    EXPECT_EQ(port.Buffer().OutputSize(), -3);
}

TEST(ComPortSetters, ThreadSettingsOnlyWhileClosed) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Open();
    port.SetSyncMethod(smNone); // equal value: allowed even while open
    const EComPort e = Raised([&] { port.SetSyncMethod(smWindowSync); });
    EXPECT_EQ(e.PortErrorCode(), 14);
    EXPECT_EQ(e.OsErrorCode(), -1);
    EXPECT_EQ(e.Message(), "Cannot set property while connected");
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(Raised([&] { port.SetEventThreadPriority(tpHigher); }).PortErrorCode(), 14);
    EXPECT_EQ(port.EventThreadPriority(), tpNormal);
}

TEST(ComPortSetters, ConnectedOpensAndClosesAndIsOnlyStoredWhileLoading) {
    PtyPair pty;
    TComPort port;
    Configure(port, pty);
    port.SetConnected(true);
    EXPECT_NE(port.Handle(), -1);
    port.SetConnected(false);
    EXPECT_EQ(port.Handle(), -1);

    TComPort loaded;
    loaded.BeginLoading();
    Configure(loaded, pty);
    loaded.SetConnected(true);
    EXPECT_EQ(loaded.Handle(), -1);
    loaded.Loaded();
    EXPECT_TRUE(loaded.Connected());
    EXPECT_NE(loaded.Handle(), -1);

    TComPort broken;
    broken.BeginLoading();
    broken.SetPort("/dev/tolvar-no-such-port");
    broken.SetConnected(true);
    EXPECT_EQ(Raised([&] { broken.Loaded(); }).PortErrorCode(), 1);
    EXPECT_FALSE(broken.Connected());
}

TEST(ComPortName, DevicePathsOfPortNames) {
    EXPECT_EQ(PosixDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(PosixDevicePath("COM10"), "/dev/ttyS9");
    EXPECT_EQ(PosixDevicePath("com2"), "/dev/ttyS1");
    EXPECT_EQ(PosixDevicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(PosixDevicePath("COM"), "/dev/COM");
    EXPECT_EQ(PosixDevicePath("COM1a"), "/dev/COM1a");
    EXPECT_EQ(PosixDevicePath("COM99999999999"), "/dev/COM99999999999");
    EXPECT_EQ(PosixDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PosixDevicePath("ttyACM0"), "/dev/ttyACM0");

    PtyPair pty;
    TComPort port;
    // Relative names live under /dev: "pts/N" names the same device as its full path.
    const std::string rel = pty.SlavePath().substr(5);
    Configure(port, pty);
    port.SetPort(rel);
    EXPECT_NO_THROW(port.Open());
}

} // namespace
} // namespace tolvar
