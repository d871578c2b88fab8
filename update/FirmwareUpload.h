#pragma once

#include "serial/Platform.h"
#include "update/Payload.h"
#include "update/Platform.h"
#include "update/Upload.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace tolvar {

inline constexpr std::uint8_t kAck = 0x06;

// A byte on the controller's line, 115200 baud with 8 data bits and 2 stop bits: 11 bit times.
inline constexpr std::chrono::nanoseconds kByteTime{11'000'000'000LL / 115200};

// Outcome texts shown on the result page (UTF-8).
extern const char* const kUploadSuccessText;
extern const char* const kUploadFailureText;
extern const char* const kPortFailureText;

// What one run did; the window learns everything through the reporter, this is for callers
// that want to log or measure.
struct UploadResult {
    enum class Outcome { NoPayload, PortFailure, Success, Failure };
    Outcome outcome = Outcome::NoPayload;
    int passes = 0;
    int failures = 0;
};

using PayloadSource = std::function<std::optional<PayloadView>()>;

// One programming run: sends the payload record by record, repeating the whole transfer while
// the failure budget lasts, and reports the outcome. Only EComPort from Open is caught; anything
// that Write, Read or Close raise leaves this function with the port as it was.
UploadResult RunFirmwareUpload(UploadPort& port, UploadReporter& reporter,
                               const PayloadSource& source = LoadPayload);

// Lets the upload drive any port object with Open/Close/Read/Write of the usual signatures.
template <class Port> class PortAdapter final : public UploadPort {
public:
    explicit PortAdapter(Port& port) : port_(port) {}
    void Open() override { port_.Open(); }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        return port_.Write(buffer, count);
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        return port_.Read(buffer, count);
    }
    void DiscardInput() override { port_.DiscardInput(); }
    std::int32_t InputCount() override { return port_.InputCount(); }
    std::int32_t InputLeftByRead() override {
        if constexpr (requires { port_.InputLeftByRead(); })
            return port_.InputLeftByRead();
        else
            return port_.InputCount();
    }
    void Close() override { port_.Close(); }
    std::string OpenFailureHint(std::int32_t osErrorCode) const override {
        if constexpr (requires { port_.Port(); })
            return PortAccessHint(port_.Port(), osErrorCode);
        else
            return {};
    }

private:
    Port& port_;
};

} // namespace tolvar
