// The port object and the upload on COM1, which the test stage maps to a pseudo-terminal served
// by the controller simulator (tests/support/wine/with-sim). Never run against a real port: without
// the wrapper's mark every test skips.

#include "framework/Thread.h"
#include "serial/ComPort.h"
#include "serial/win32/Win32ComDevice.h"
#include "tests/support/Raised.h"
#include "tests/support/WineCheck.h"
#include "update/FirmwareUpload.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace tolvar {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::array<std::uint8_t, 12> kStartRecord = {0x0B, '0', '0', '0', '0', '0',
                                                       '0',  'F', 'E', '0', '2', 0x0A};

bool Com1IsTheSimulator() {
    const char* mark = std::getenv("TOLVAR_COM1_IS_SIMULATOR");
    return mark != nullptr && std::string(mark) == "1";
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Com1Port : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Com1IsTheSimulator())
            GTEST_SKIP() << "COM1 is not mapped to the simulator";
        SetProgramComSettings(port_);
    }
    HANDLE Handle() const { return reinterpret_cast<HANDLE>(port_.Handle()); }

    TComPort port_;
};

TEST_F(Com1Port, OpenAppliesTheSettingsOnceAndCloseReleasesTheDevice) {
    port_.Open();
    ASSERT_TRUE(port_.Connected());
    const std::intptr_t handle = port_.Handle();
    ASSERT_NE(handle, -1);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(Handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    if (!test::RunningUnderWine()) {
        // Wine reads DTR and RTS control back as enabled whatever was set.
        EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    }
    COMMTIMEOUTS ct{};
    ASSERT_TRUE(GetCommTimeouts(Handle(), &ct));
    EXPECT_EQ(ct.ReadIntervalTimeout, 30u);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier, 1000u);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(ct.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(ct.WriteTotalTimeoutConstant, 1000u);

    port_.Open(); // already open: nothing happens
    EXPECT_EQ(port_.Handle(), handle);

    port_.Close();
    EXPECT_FALSE(port_.Connected());
    EXPECT_EQ(port_.Handle(), -1);
    port_.Close();
}

TEST_F(Com1Port, OneByteReadOnASilentLineReturnsNothingAfterAboutOneAndAHalfSeconds) {
    port_.Open();
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port_.Read(&byte, 1), 0);
    const auto elapsed = MsSince(start);
    EXPECT_GE(elapsed, 1400);
    EXPECT_LT(elapsed, 5000);
    port_.Close();
}

TEST_F(Com1Port, WrittenRecordIsAnsweredAndTheReplyIsReadAtOnce) {
    port_.Open();
    EXPECT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    std::uint8_t reply = 0;
    const auto start = Clock::now();
    ASSERT_EQ(port_.Read(&reply, 1), 1);
    EXPECT_EQ(reply, kAck);
    EXPECT_LT(MsSince(start), 1400) << "the reply should end the read, not the time-out";
    port_.Close();
}

// Discarding empties the input queue (not the output): two replies wait, are dropped, and the
// next read gets only the reply to the next record; a read knows what it left behind.
TEST_F(Com1Port, DiscardDropsTheWaitingRepliesAndReadsSayWhatIsLeft) {
    port_.Open();
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    const auto start = Clock::now();
    while (port_.InputCount() < 2 && MsSince(start) < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(port_.InputCount(), 2);
    port_.DiscardInput();
    EXPECT_EQ(port_.InputCount(), 0);
    EXPECT_EQ(port_.InputLeftByRead(), 0);
    ASSERT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    std::uint8_t reply = 0;
    ASSERT_EQ(port_.Read(&reply, 1), 1);
    EXPECT_EQ(reply, kAck);
    EXPECT_EQ(port_.InputLeftByRead(), 0);
    port_.Close();
}

// A device whose next wait for a transfer's signal fails.
class FailingWaitDevice : public TWin32ComDevice {
public:
    bool failNext = false;

protected:
    DWORD WaitForSignal(HANDLE signal) override {
        if (!failNext)
            return TWin32ComDevice::WaitForSignal(signal);
        failNext = false;
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
};

class FailingWaitPort : public TComPort {
public:
    FailingWaitPort() : FailingWaitPort(new FailingWaitDevice) {}
    FailingWaitDevice& Device() { return device_; }

private:
    explicit FailingWaitPort(FailingWaitDevice* device)
        : TComPort(nullptr, std::unique_ptr<TComDevice>(device)), device_(*device) {}
    FailingWaitDevice& device_;
};

TEST_F(Com1Port, AReadWhoseWaitFailsIsCancelledBeforeItsRecordGoesAway) {
    FailingWaitPort port;
    SetProgramComSettings(port);
    port.Open();
    // The read is under way when its wait fails; it must end there, not take a later byte into
    // a buffer and a record that no longer exist.
    static std::uint8_t stray = 0;
    port.Device().failNext = true;
    try {
        port.Read(&stray, 1);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), CError_ReadFailed);
        EXPECT_EQ(e.OsErrorCode(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(port.Write(kStartRecord.data(), 12), 12);
    std::uint8_t reply = 0;
    EXPECT_EQ(port.Read(&reply, 1), 1) << "the cancelled read took the reply";
    EXPECT_EQ(reply, kAck);
    EXPECT_EQ(stray, 0);
    port.Close();
}

TEST_F(Com1Port, WatcherDeliversEventsOnTheMainThreadAndStopsCleanly) {
    int txEmpty = 0;
    int rxChar = 0;
    bool onMainThread = true;
    port_.OnTxEmpty = [&] {
        ++txEmpty;
        onMainThread = onMainThread && IsMainThread();
    };
    port_.OnRxChar = [&](std::int32_t) {
        ++rxChar;
        onMainThread = onMainThread && IsMainThread();
    };
    port_.Open();
    EXPECT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    const auto start = Clock::now();
    while (txEmpty + rxChar == 0 && MsSince(start) < 5000) {
        CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(txEmpty + rxChar, 0) << "no line event reached the main thread";
    EXPECT_TRUE(onMainThread);
    // The reply that raised the event is still queued: the watcher consumes nothing.
    std::uint8_t reply = 0;
    EXPECT_EQ(port_.Read(&reply, 1), 1);
    EXPECT_EQ(reply, kAck);
    port_.Close();
    EXPECT_FALSE(port_.Connected());
}

TEST_F(Com1Port, CloseServesAWaitingNotificationInsteadOfDeadlocking) {
    int delivered = 0;
    port_.OnTxEmpty = [&] { ++delivered; };
    port_.OnRxChar = [&](std::int32_t) { ++delivered; };
    port_.Open();
    EXPECT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    // Give the watcher time to block in its hand-over; nobody serves the queue until Close.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(delivered, 0);
    const auto start = Clock::now();
    port_.Close();
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_GT(delivered, 0);
    EXPECT_FALSE(CheckSynchronize()) << "nothing may be left queued after Close";
}

TEST_F(Com1Port, WithoutEventsNoWatcherRuns) {
    port_.SetEvents(TComEvents{});
    int delivered = 0;
    port_.OnTxEmpty = [&] { ++delivered; };
    port_.Open();
    EXPECT_EQ(port_.Write(kStartRecord.data(), 12), 12);
    std::uint8_t reply = 0;
    EXPECT_EQ(port_.Read(&reply, 1), 1);
    port_.Close();
    EXPECT_EQ(delivered, 0);
}

TEST_F(Com1Port, SecondOpenOfAHeldPortIsRefusedWithAccessDenied) {
    if (test::RunningUnderWine())
        GTEST_SKIP() << "Wine does not enforce share mode 0 on serial devices";
    port_.Open();
    TComPort other;
    SetProgramComSettings(other);
    const EComPort e = test::Raised([&] { other.Open(); });
    EXPECT_EQ(e.PortErrorCode(), 1);
    EXPECT_EQ(e.OsErrorCode(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(other.Connected());
}

// Needs no simulator: the name exists nowhere.
TEST(MissingPort, OpenRaisesCode1WithNotFoundAndTheWindowsMessage) {
    TComPort port;
    SetProgramComSettings(port);
    port.SetPort("TOLVAR-NO-SUCH-PORT");
    try {
        port.Open();
        FAIL() << "no EComPort raised";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 1);
        EXPECT_EQ(e.OsErrorCode(), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(e.Message(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    port.Close();
}

class Reporter : public UploadReporter {
public:
    void SetProgressMax(int maximum) override { max = maximum; }
    void SetProgressPosition(int value) override { position = value; }
    void SetResultText(const std::string& text) override { result = text; }
    void ShowAdvice() override { advice = true; }
    void AdvanceWizard() override { advanced = true; }
    void HideBackAndCancel() override { hidden = true; }
    void ShowMissingPayload() override { missing = true; }

    int max = -1;
    int position = -1;
    std::string result;
    bool advice = false;
    bool advanced = false;
    bool hidden = false;
    bool missing = false;
};

// The program's upload on COM1 with the program's settings.
UploadResult UploadOnCom1(TComPort& port, Reporter& reporter) {
    SetProgramComSettings(port);
    PortAdapter<TComPort> adapter(port);
    return RunFirmwareUpload(adapter, reporter);
}

TEST(Com1Upload, ShippedPayloadFromTheResourceReachesTheController) {
    if (!Com1IsTheSimulator())
        GTEST_SKIP() << "COM1 is not mapped to the simulator";
    TComPort port;
    Reporter reporter;
    const UploadResult result = UploadOnCom1(port, reporter);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 1);
    EXPECT_EQ(result.failures, 0);
    EXPECT_EQ(reporter.max, 836);
    EXPECT_EQ(reporter.position, 836);
    EXPECT_EQ(reporter.result, kUploadSuccessText);
    EXPECT_FALSE(reporter.missing);
    EXPECT_TRUE(reporter.advanced);
    EXPECT_FALSE(port.Connected());
}

// Run under a fault storm or dealt faults of the wrapper's simulator; the wrapper holds the verdict
// printed here against the simulator's.
TEST(Com1Storm, UploadEndsWithTheVerdictItPrints) {
    if (!Com1IsTheSimulator())
        GTEST_SKIP() << "COM1 is not mapped to the simulator";
    TComPort port;
    Reporter reporter;
    const bool success = UploadOnCom1(port, reporter).outcome == UploadResult::Outcome::Success;
    EXPECT_EQ(reporter.result, success ? kUploadSuccessText : kUploadFailureText);
    EXPECT_EQ(reporter.advice, !success);
    std::printf("upload: verdict=%s\n", success ? "success" : "failure");
}

} // namespace
} // namespace tolvar
