// The Win32 records that the port object's settings turn into, checked field by field.

#include "serial/ComPort.h"
#include "serial/win32/ComThread.h"
#include "serial/win32/Win32ComDevice.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tolvar {
namespace {

// The flag word of a DCB: the bit fields that follow BaudRate.
DWORD FlagWord(const DCB& dcb) {
    DWORD word = 0;
    std::memcpy(&word, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + 4, 4);
    return word;
}

TEST(Dcb, ProgramSettingsGiveTheTableValues) {
    TComPort port;
    SetProgramComSettings(port);
    const DCB dcb = MakeDcb(port.LineSettings());
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(sizeof(DCB), 28u);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(FlagWord(dcb), 0x0001u) << "only fBinary";
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.wReserved1, 0);
}

TEST(Dcb, EverySettingReachesItsField) {
    TComPort port;
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbOne5StopBits);
    port.Parity().SetBits(prMark);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    auto& flow = port.FlowControl();
    flow.SetOutCTSFlow(true);
    flow.SetOutDSRFlow(true);
    flow.SetControlDTR(dtrHandshake);
    flow.SetControlRTS(rtsToggle);
    flow.SetXonXoffOut(true);
    flow.SetXonXoffIn(true);
    flow.SetDSRSensitivity(true);
    flow.SetTxContinueOnXoff(true);
    flow.SetXonChar('A');
    flow.SetXoffChar('B');
    port.SetDiscardNull(true);
    port.SetEventChar('\r');
    port.Buffer().SetInputSize(1025); // held as 1024

    const DCB dcb = MakeDcb(port.LineSettings());
    EXPECT_EQ(dcb.BaudRate, 250000u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fDsrSensitivity, 1u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    EXPECT_EQ(dcb.fErrorChar, 1u);
    EXPECT_EQ(dcb.fNull, 1u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.XonChar, 'A');
    EXPECT_EQ(dcb.XoffChar, 'B');
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '\r');

    // The replacement character needs both parity check and replace.
    port.Parity().SetCheck(false);
    const DCB plain = MakeDcb(port.LineSettings());
    EXPECT_EQ(plain.fErrorChar, 0u);
    EXPECT_EQ(plain.ErrorChar, 0);
    EXPECT_EQ(plain.fParity, 0u);
}

TEST(CommTimeouts, ValuesPassUnchangedWithMinusOneAsAllBitsSet) {
    TComPort port;
    SetProgramComSettings(port);
    COMMTIMEOUTS ct = MakeCommTimeouts(port.TimeoutValues());
    EXPECT_EQ(ct.ReadIntervalTimeout, 30u);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier, 1000u);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(ct.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(ct.WriteTotalTimeoutConstant, 1000u);

    TComPort defaults;
    ct = MakeCommTimeouts(defaults.TimeoutValues());
    EXPECT_EQ(ct.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 0u);
}

TEST(ComEvents, AllTenGive05FFAndEachMapsBothWays) {
    EXPECT_EQ(ComEventMask(AllComEvents()), 0x05FFu);
    EXPECT_EQ(ComEventMask(TComEvents{}), 0u);
    const std::pair<TComEvent, DWORD> pairs[] = {
        {evRxChar, 0x0001}, {evRxFlag, 0x0002},   {evTxEmpty, 0x0004}, {evCTS, 0x0008},
        {evDSR, 0x0010},    {evRLSD, 0x0020},     {evBreak, 0x0040},   {evError, 0x0080},
        {evRing, 0x0100},   {evRx80Full, 0x0400},
    };
    for (const auto& [event, bit] : pairs) {
        EXPECT_EQ(ComEventMask(TComEvents{event}), bit);
        EXPECT_EQ(ComEventsFromMask(bit), TComEvents{event});
    }
    EXPECT_EQ(ComEventsFromMask(0x05FF), AllComEvents());
    // Bits the port knows nothing of are dropped.
    EXPECT_EQ(ComEventsFromMask(0x0200 | 0x0800), TComEvents{});
}

} // namespace
} // namespace tolvar
