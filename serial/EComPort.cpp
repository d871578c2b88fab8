#include "serial/EComPort.h"

#include "framework/TextLookup.h"
#include "serial/ComPortStartup.h"

#include <array>
#include <mutex>
#include <string>

namespace tolvar {

namespace {

constexpr const char* kDomain = "default";

constexpr std::array<const char*, 23> kTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

// The texts are looked up once; the suffix each time, as a catalogue may be added later.
const std::array<std::string, 23>& Texts() {
    static const std::array<std::string, 23> texts = [] {
        ComPortModuleStartup();
        std::array<std::string, 23> out;
        for (std::size_t i = 0; i < kTexts.size(); ++i)
            out[i] = TranslateText(kDomain, kTexts[i]);
        return out;
    }();
    return texts;
}

std::string ErrorText(std::int32_t portErrorCode) {
    if (portErrorCode >= 1 && portErrorCode <= 23)
        return Texts()[static_cast<std::size_t>(portErrorCode - 1)];
    return "Error " + std::to_string(portErrorCode);
}

// The suffix comes from a catalogue, so it is never used as a printf format: only the first
// "%d" is replaced by the number.
std::string Suffix(std::int32_t osErrorCode) {
    std::string suffix = TranslateText(kDomain, " (win error code: %d)");
    const auto at = suffix.find("%d");
    if (at != std::string::npos)
        suffix.replace(at, 2, std::to_string(osErrorCode));
    return suffix;
}

} // namespace

EComPort::EComPort(std::int32_t portErrorCode, std::int32_t osErrorCode)
    : Exception(ErrorText(portErrorCode) + Suffix(osErrorCode)), osErrorCode_(osErrorCode),
      portErrorCode_(portErrorCode) {}

EComPort::EComPort(std::int32_t portErrorCode)
    : Exception(ErrorText(portErrorCode)), osErrorCode_(-1), portErrorCode_(portErrorCode) {}

} // namespace tolvar
