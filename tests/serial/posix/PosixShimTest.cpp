// The POSIX binding where a pseudo-terminal alone cannot show it: modem lines (answered by the
// shim linked into this program) and interrupted system calls.
#include "LineShim.h"
#include "serial/ComPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Raised.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace tolvar {
namespace {

using test::PtyPair;
using test::Raised;
using test::Shim;
using Clock = std::chrono::steady_clock;

constexpr int kRaised = TIOCM_DTR | TIOCM_RTS;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class ShimTest : public ::testing::Test {
protected:
    void SetUp() override {
        Shim() = {};
        Shim().lines = kRaised; // as a driver leaves them on open
        SetProgramComSettings(port);
        port.SetPort(pty.SlavePath());
        port.Timeouts().SetReadTotalMultiplier(0);
    }
    void TearDown() override { Shim() = {}; }

    PtyPair pty;
    TComPort port;
};

TEST_F(ShimTest, DtrAndRtsAreClearedOnOpenAndAfterEveryApply) {
    // With updates pending nothing is applied: the open alone must clear them.
    port.BeginUpdate();
    port.Open();
    EXPECT_EQ(Shim().lines & kRaised, 0);
    Shim().lines = kRaised;
    port.EndUpdate();
    EXPECT_EQ(Shim().lines & kRaised, 0);

    Shim().lines = kRaised;
    port.SetBaudRate(br57600);
    EXPECT_EQ(Shim().lines & kRaised, 0);
    Shim().lines = kRaised;
    port.FlowControl().SetXonChar(0x12);
    EXPECT_EQ(Shim().lines & kRaised, 0);

    // The other settings: on, and left to the driver's handshake.
    port.FlowControl().SetControlDTR(dtrEnable);
    EXPECT_EQ(Shim().lines & kRaised, TIOCM_DTR);
    port.FlowControl().SetControlRTS(rtsEnable);
    EXPECT_EQ(Shim().lines & kRaised, kRaised);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.FlowControl().SetControlRTS(rtsHandshake);
    Shim().calls.clear();
    Shim().lines = kRaised;
    port.SetBaudRate(br115200);
    EXPECT_EQ(Shim().lines & kRaised, TIOCM_RTS);
    ASSERT_EQ(Shim().calls.size(), 1u);
    EXPECT_EQ(Shim().calls[0].request, static_cast<unsigned long>(TIOCMBIC));
    EXPECT_EQ(Shim().calls[0].bits, TIOCM_DTR);
}

TEST_F(ShimTest, TheSignalReportReadsTheModemLines) {
    std::string seen;
    port.OnCTSChange = [&](bool on) { seen += on ? "C" : "c"; };
    port.OnDSRChange = [&](bool on) { seen += on ? "D" : "d"; };
    port.OnRLSDChange = [&](bool on) { seen += on ? "R" : "r"; };
    Shim().lines = TIOCM_CTS | TIOCM_CAR;
    port.Open();
    EXPECT_EQ(seen, "CdR");
    port.Close();
    seen.clear();
    Shim().lines = TIOCM_DSR | TIOCM_RI;
    port.Open();
    EXPECT_EQ(seen, "cDr");
    port.Close(); // before `seen` goes
}

TEST_F(ShimTest, ModemLineFailures) {
    // A failing status query after the setup: code 11, the port stays open.
    Shim().failRequest = TIOCMGET;
    Shim().failErrno = EIO;
    {
        const EComPort e = Raised([&] { port.Open(); });
        EXPECT_EQ(e.PortErrorCode(), 11);
        EXPECT_EQ(e.OsErrorCode(), EIO);
    }
    EXPECT_TRUE(port.Connected());
    port.Close();
    Shim().failRequest = 0;

    // Lines that cannot be set: the settings are refused.
    port.BeginUpdate(); // so that the open itself passes
    port.Open();
    Shim().failRequest = TIOCMBIC;
    {
        const EComPort e = Raised([&] { port.EndUpdate(); });
        EXPECT_EQ(e.PortErrorCode(), 7);
        EXPECT_EQ(e.OsErrorCode(), EIO);
    }
    port.Close();
    // On open as well: the device is released again.
    {
        const EComPort e = Raised([&] { port.Open(); });
        EXPECT_EQ(e.PortErrorCode(), 1);
        EXPECT_EQ(e.OsErrorCode(), EIO);
    }
    EXPECT_FALSE(port.Connected());
    // A device without modem lines is no failure.
    Shim().failErrno = ENOTTY;
    EXPECT_NO_THROW(port.Open());
}

TEST_F(ShimTest, InterruptedCallsAreRepeated) {
    port.Open();
    Shim().eintrFd = static_cast<int>(port.Handle());

    // A read interrupted before and while it waits still gets the byte.
    Shim().eintrReads = 2;
    Shim().eintrPolls = 2;
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Send("k");
    });
    unsigned char byte = 0;
    std::int32_t got = -1;
    EXPECT_NO_THROW(got = port.Read(&byte, 1));
    peer.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(byte, 'k');
    EXPECT_EQ(Shim().eintrReads + Shim().eintrPolls, 0);

    // An interrupted wait does not end the time-out early.
    port.Timeouts().SetReadTotalConstant(150);
    Shim().eintrPolls = 3;
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_GE(MsSince(start), 145);
    EXPECT_EQ(Shim().eintrPolls, 0);

    // Nor does a wait that wakes before its time.
    Shim().earlyPolls = 3;
    const auto early = Clock::now();
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_GE(MsSince(early), 145);
    EXPECT_EQ(Shim().earlyPolls, 0);

    // An interrupted write sends everything once.
    Shim().eintrWrites = 2;
    EXPECT_EQ(port.Write("abc", 3), 3);
    EXPECT_EQ(pty.Receive(3), "abc");
    EXPECT_EQ(pty.Receive(1, 50), "");

    // A write waiting for room, interrupted there.
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(150);
    const std::string big(1 << 20, 'x');
    Shim().eintrPolls = 3;
    const auto wstart = Clock::now();
    EXPECT_LT(port.Write(big.data(), static_cast<std::int32_t>(big.size())), 1 << 20);
    EXPECT_GE(MsSince(wstart), 145);
    EXPECT_EQ(Shim().eintrPolls, 0);
}

// Low latency: asked for on open, the driver's previous setting back on close; a driver without
// it or a refusal leaves the port working as before.
TEST_F(ShimTest, LowLatencyIsAskedForAndPutBack) {
    Shim().serial = true;
    Shim().serialFlags = ASYNC_SPD_HI; // other flags the driver holds stay as they are
    port.Open();
    EXPECT_EQ(Shim().serialFlags, ASYNC_SPD_HI | ASYNC_LOW_LATENCY);
    port.Close();
    EXPECT_EQ(Shim().serialFlags, ASYNC_SPD_HI);
    std::vector<unsigned long> serialCalls;
    for (const auto& c : Shim().calls)
        if (c.request == TIOCGSERIAL || c.request == TIOCSSERIAL)
            serialCalls.push_back(c.request);
    EXPECT_EQ(serialCalls,
              (std::vector<unsigned long>{TIOCGSERIAL, TIOCSSERIAL, TIOCGSERIAL, TIOCSSERIAL}));

    // Already on: nothing is changed, and nothing is taken away on close.
    Shim().calls.clear();
    Shim().serialFlags = ASYNC_LOW_LATENCY;
    port.Open();
    port.Close();
    EXPECT_EQ(Shim().serialFlags, ASYNC_LOW_LATENCY);
    for (const auto& c : Shim().calls)
        EXPECT_NE(c.request, static_cast<unsigned long>(TIOCSSERIAL));
}

TEST_F(ShimTest, WithoutLowLatencyThePortWorksAsBefore) {
    Shim().serial = true;
    for (int refusal : {0, 1}) {
        Shim().serialGetErrno = refusal == 0 ? ENOTTY : 0;
        Shim().serialSetErrno = refusal == 1 ? EPERM : 0;
        Shim().serialFlags = 0;
        Shim().calls.clear();
        ASSERT_NO_THROW(port.Open()) << refusal;
        EXPECT_EQ(port.Write("\x06", 1), 1);
        char c = 0;
        ASSERT_EQ(::read(pty.Master(), &c, 1), 1);
        EXPECT_EQ(c, '\x06');
        port.Close();
        EXPECT_EQ(Shim().serialFlags, 0);
        // A refused request is not "put back" on close.
        int sets = 0;
        for (const auto& call : Shim().calls)
            sets += call.request == TIOCSSERIAL ? 1 : 0;
        EXPECT_EQ(sets, refusal) << refusal;
    }
}

TEST_F(ShimTest, CloseDiscardsBothQueues) {
    port.Open();
    EXPECT_EQ(port.Write("\x06", 1), 1);
    EXPECT_TRUE(Shim().flushes.empty());
    port.Close();
    EXPECT_EQ(Shim().flushes, std::vector<int>{TCIOFLUSH});
}

} // namespace
} // namespace tolvar
