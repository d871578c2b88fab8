#pragma once

#include "serial/ComDevice.h"

#include <cstdint>
#include <windows.h>

namespace tolvar {

enum TOperationKind : std::uint8_t { okWrite, okRead };

// The record of one overlapped transfer: created at the start of every Write and Read and
// destroyed at its end, whichever way the call leaves; by then the transfer has completed.
class TAsync {
public:
    TAsync(); // raises EComPort 4 when its completion signal cannot be made
    ~TAsync();
    TAsync(const TAsync&) = delete;
    TAsync& operator=(const TAsync&) = delete;

    OVERLAPPED overlapped{};
    TOperationKind kind = okRead;
};

// The DCB and the time-outs exactly as the port object's settings give them.
DCB MakeDcb(const TComLineSettings& settings);
COMMTIMEOUTS MakeCommTimeouts(const TComTimeoutValues& timeouts);

// A serial device through the Win32 communication functions, opened for overlapped I/O.
class TWin32ComDevice : public TComDevice {
public:
    TWin32ComDevice() = default;
    ~TWin32ComDevice() override;
    TWin32ComDevice(const TWin32ComDevice&) = delete;
    TWin32ComDevice& operator=(const TWin32ComDevice&) = delete;

    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    std::intptr_t Handle() const override { return reinterpret_cast<std::intptr_t>(handle_); }

    void Open(const std::string& portName) override;
    void Close() noexcept override;
    void SetQueueSizes(std::int32_t input, std::int32_t output) override;
    void SetLine(const TComLineSettings& settings) override;
    void SetTimeouts(const TComTimeoutValues& timeouts) override;
    std::int32_t Write(const void* buf, std::int32_t count) override;
    std::int32_t Read(void* buf, std::int32_t count) override;
    std::int32_t InputCount() override;
    TComModemStatus ModemStatus() override;
    // Aborts the pending transfers of both directions (the watcher discards the queues).
    void Purge() override;
    void PurgeInput() override;

protected:
    // Waits for a transfer's completion signal (a test makes it fail).
    virtual DWORD WaitForSignal(HANDLE signal);

private:
    std::int32_t WaitForAsync(TAsync& async);
    // Cancels a transfer that is still under way and waits until the system is done with its
    // record and buffer.
    void CancelAsync(TAsync& async) noexcept;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace tolvar
