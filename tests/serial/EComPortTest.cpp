#include "serial/EComPort.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(EComPortMessage, PlatformFailuresCarryTheSuffix) {
    const EComPort open(CError_OpenFailed, 2);
    EXPECT_EQ(open.Message(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(open.PortErrorCode(), 1);
    EXPECT_EQ(open.OsErrorCode(), 2);
    EXPECT_STREQ(open.what(), "Unable to open com port (win error code: 2)");

    EXPECT_EQ(EComPort(CError_RegError, 234).Message(), "Registry error (win error code: 234)");
    EXPECT_EQ(EComPort(CError_PurgeFailed, -5).Message(),
              "PurgeComm function failed (win error code: -5)");
    EXPECT_EQ(EComPort(CError_TimeoutsFailed, 0).Message(),
              "SetCommTimeouts failed (win error code: 0)");
    EXPECT_EQ(EComPort(CError_ModemStatFailed, 31).Message(),
              "GetCommModemStatus function failed (win error code: 31)");
}

TEST(EComPortMessage, OtherFailuresAreTheBareText) {
    const EComPort e(CError_ConnChangeProp);
    EXPECT_EQ(e.Message(), "Cannot set property while connected");
    EXPECT_EQ(e.OsErrorCode(), -1);
    EXPECT_EQ(e.PortErrorCode(), 14);
    EXPECT_EQ(EComPort(CError_HasLink).Message(), "A component is linked to OnRxBuf event");
    EXPECT_EQ(EComPort(CError_InvalidAsync).Message(), "Invalid Async parameter");
    EXPECT_EQ(EComPort(CError_RegFailed).Message(), "Link (un)registration failed");

    // It is caught as the framework's exception as well.
    try {
        throw EComPort(CError_WriteFailed, 5);
    } catch (const Exception& ex) {
        EXPECT_EQ(ex.Message(), "WriteFile function failed (win error code: 5)");
    }
}

TEST(EComPortMessage, NumberOutsideTheTableStillGivesAMessage) {
    EXPECT_FALSE(EComPort(0).Message().empty());
    EXPECT_FALSE(EComPort(24, 1).Message().empty());
}

} // namespace
} // namespace tolvar
