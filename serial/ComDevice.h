#pragma once

#include <cstdint>
#include <string>

namespace tolvar {

// Line settings in the platform-neutral form that the port object hands to its device.
struct TComLineSettings {
    std::int32_t baudRate = 9600; // bits per second
    std::uint8_t byteSize = 8;    // 5 to 8
    std::uint8_t parity = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;    // 0 one, 1 one and a half, 2 two
    bool parityCheck = false;
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    std::uint8_t dtrControl = 0; // 0 disable, 1 enable, 2 handshake
    std::uint8_t rtsControl = 0; // 0 disable, 1 enable, 2 handshake, 3 toggle
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
    bool errorCharOn = false; // replace bytes with parity errors by errorChar
    bool discardNull = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    char xonChar = 0x11;
    char xoffChar = 0x13;
    char errorChar = 0;
    char eventChar = 0;
};

// Time-outs exactly as the platform takes them: each value unsigned, so -1 is the maximum.
struct TComTimeoutValues {
    std::uint32_t readInterval = 0xFFFFFFFFu;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 100;
    std::uint32_t writeTotalConstant = 1000;
};

struct TComModemStatus {
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
};

// The platform part of the port object: one implementation per platform. Every operation
// that fails raises EComPort with the given error number and the platform's error code.
class TComDevice {
public:
    virtual ~TComDevice() = default;

    virtual bool IsOpen() const = 0;
    // The platform's handle, -1 while nothing is open.
    virtual std::intptr_t Handle() const = 0;

    virtual void Open(const std::string& portName) = 0;                      // 1
    virtual void Close() noexcept = 0;                                       // releases
    virtual void SetQueueSizes(std::int32_t input, std::int32_t output) = 0; // 9
    virtual void SetLine(const TComLineSettings& settings) = 0;              // 7
    virtual void SetTimeouts(const TComTimeoutValues& timeouts) = 0;         // 8
    virtual std::int32_t Write(const void* buf, std::int32_t count) = 0;     // 2
    virtual std::int32_t Read(void* buf, std::int32_t count) = 0;            // 3
    virtual std::int32_t InputCount() = 0;                                   // 10
    virtual TComModemStatus ModemStatus() = 0;                               // 11
    virtual void Purge() = 0;      // aborts and discards both directions              // 5
    virtual void PurgeInput() = 0; // discards what has been received and not read // 5
};

} // namespace tolvar
