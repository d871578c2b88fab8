// The event watcher over a device whose event waits fail at once, as a USB adapter's do once it
// is pulled out (Wine's pseudo-terminals cannot show it: their waits are slow, not failing).

#include "serial/ComPort.h"
#include "serial/win32/ComThread.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tolvar {
namespace {

// Stands in for an open device; the watcher reaches it only through the calls below.
class FakeDevice : public TComDevice {
public:
    bool IsOpen() const override { return true; }
    std::intptr_t Handle() const override { return 0x1234; }
    void Open(const std::string&) override {}
    void Close() noexcept override {}
    void SetQueueSizes(std::int32_t, std::int32_t) override {}
    void SetLine(const TComLineSettings&) override {}
    void SetTimeouts(const TComTimeoutValues&) override {}
    std::int32_t Write(const void*, std::int32_t count) override { return count; }
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t InputCount() override { return 0; }
    TComModemStatus ModemStatus() override { return {}; }
    void Purge() override {}
    void PurgeInput() override {}
};

class FakePort : public TComPort {
public:
    FakePort() : TComPort(nullptr, std::make_unique<FakeDevice>()) {}
};

std::atomic<int> waits{0};

BOOL WINAPI AnyMask(HANDLE, DWORD) {
    return TRUE;
}
// The wait is taken and ends at once, in failure.
BOOL WINAPI PendingWait(HANDLE, LPDWORD, LPOVERLAPPED overlapped) {
    ++waits;
    SetEvent(overlapped->hEvent);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}
BOOL WINAPI FailedResult(HANDLE, LPOVERLAPPED, LPDWORD, BOOL) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
// The wait is refused outright.
BOOL WINAPI RefusedWait(HANDLE, LPDWORD, LPOVERLAPPED) {
    ++waits;
    SetLastError(ERROR_BAD_COMMAND);
    return FALSE;
}

// CPU time of this process, in milliseconds.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

TEST(ComWatcher, AWaitThatFailsAtOnceEndsTheWatcher) {
    // Before the watcher ended on a failed wait, the first case ran one core at full load until
    // Close: 300 ms of CPU in a 300 ms window here. Now it ends after one wait.
    for (const bool refused : {false, true}) {
        FakePort port;
        waits = 0;
        TComEventCalls calls;
        calls.setCommMask = AnyMask;
        calls.waitCommEvent = refused ? RefusedWait : PendingWait;
        calls.getOverlappedResult = FailedResult;
        const double cpuBefore = ProcessCpuMs();
        auto watcher = std::make_unique<TComThread>(port, calls);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const double cpu = ProcessCpuMs() - cpuBefore;
        std::printf("watcher with a %s wait: %.0f ms of CPU in 300 ms, %d waits\n",
                    refused ? "refused" : "failing", cpu, waits.load());
        EXPECT_TRUE(watcher->Finished()) << refused;
        EXPECT_EQ(waits.load(), 1) << refused;
        // Close finds it ended.
        watcher.reset();
    }
}

} // namespace
} // namespace tolvar
