#pragma once

#include "framework/Exception.h"

#include <cstdint>

namespace tolvar {

// Error numbers of the serial port object, 1 to 23.
enum ComPortError : std::int32_t {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23,
};

// Failure of the serial port object: its own error number and the platform's error code.
class EComPort : public Exception {
public:
    // With the platform's code: the message carries the " (win error code: %d)" suffix.
    EComPort(std::int32_t portErrorCode, std::int32_t osErrorCode);
    // Not a platform failure: OsErrorCode is -1 and the message is the bare text.
    explicit EComPort(std::int32_t portErrorCode);

    std::int32_t OsErrorCode() const { return osErrorCode_; }
    std::int32_t PortErrorCode() const { return portErrorCode_; }

private:
    std::int32_t osErrorCode_;
    std::int32_t portErrorCode_;
};

} // namespace tolvar
