#pragma once

#include "serial/ComDevice.h"
#include "serial/posix/PortLock.h"

#include <string>

namespace tolvar {

// The device path that a port name opens: "/dev/x" as is, "COMn" (n >= 1) as /dev/ttyS<n-1>,
// any other name under /dev.
std::string PosixDevicePath(const std::string& portName);

// A serial device through termios. The descriptor stays non-blocking; the time-outs of Read
// and Write are waited for with poll.
class TPosixComDevice : public TComDevice {
public:
    TPosixComDevice() = default;
    ~TPosixComDevice() override;
    TPosixComDevice(const TPosixComDevice&) = delete;
    TPosixComDevice& operator=(const TPosixComDevice&) = delete;

    bool IsOpen() const override { return fd_ >= 0; }
    std::intptr_t Handle() const override { return fd_; }

    void Open(const std::string& portName) override;
    void Close() noexcept override;
    void SetQueueSizes(std::int32_t input, std::int32_t output) override;
    void SetLine(const TComLineSettings& settings) override;
    void SetTimeouts(const TComTimeoutValues& timeouts) override;
    std::int32_t Write(const void* buf, std::int32_t count) override;
    std::int32_t Read(void* buf, std::int32_t count) override;
    std::int32_t InputCount() override;
    TComModemStatus ModemStatus() override;
    void Purge() override;
    void PurgeInput() override;

private:
    void SetModemLine(int line, bool on);
    // EBUSY when another process has the device open or holds its lock file; else takes the
    // lock file where the lock folder can be written, and gives 0.
    int ClaimAgainstOthers(int fd, const std::string& path);

    int fd_ = -1;
    bool clearLowLatency_ = false; // we set the driver's low-latency flag on open
    TComTimeoutValues timeouts_;
    TPortLock lock_;
};

} // namespace tolvar
