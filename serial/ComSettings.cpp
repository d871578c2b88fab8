#include "serial/ComSettings.h"

#include "serial/ComPort.h"

namespace tolvar {

std::int32_t BaudRateValue(TBaudRate rate) {
    switch (rate) {
    case brCustom:
        return 0;
    case br110:
        return 110;
    case br300:
        return 300;
    case br600:
        return 600;
    case br1200:
        return 1200;
    case br2400:
        return 2400;
    case br4800:
        return 4800;
    case br9600:
        return 9600;
    case br14400:
        return 14400;
    case br19200:
        return 19200;
    case br38400:
        return 38400;
    case br56000:
        return 56000;
    case br57600:
        return 57600;
    case br115200:
        return 115200;
    case br128000:
        return 128000;
    case br256000:
        return 256000;
    }
    return 0;
}

namespace {
template <typename T> bool Store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void TComParity::SetBits(TParityBits value) {
    if (Store(bits_, value))
        port_->ApplyDCB();
}
void TComParity::SetCheck(bool value) {
    if (Store(check_, value))
        port_->ApplyDCB();
}
void TComParity::SetReplace(bool value) {
    if (Store(replace_, value))
        port_->ApplyDCB();
}
void TComParity::SetReplaceChar(char value) {
    if (Store(replaceChar_, value))
        port_->ApplyDCB();
}

void TComFlowControl::SetOutCTSFlow(bool value) {
    if (Store(outCTSFlow_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetOutDSRFlow(bool value) {
    if (Store(outDSRFlow_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetControlDTR(TDTRFlowControl value) {
    if (Store(controlDTR_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetControlRTS(TRTSFlowControl value) {
    if (Store(controlRTS_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonXoffOut(bool value) {
    if (Store(xonXoffOut_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonXoffIn(bool value) {
    if (Store(xonXoffIn_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetDSRSensitivity(bool value) {
    if (Store(dsrSensitivity_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetTxContinueOnXoff(bool value) {
    if (Store(txContinueOnXoff_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonChar(char value) {
    if (Store(xonChar_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXoffChar(char value) {
    if (Store(xoffChar_, value))
        port_->ApplyDCB();
}

void TComTimeouts::Set(std::int32_t& field, std::int32_t value) {
    if (Store(field, value))
        port_->ApplyTimeouts();
}
void TComTimeouts::SetReadInterval(std::int32_t value) {
    Set(readInterval_, value);
}
void TComTimeouts::SetReadTotalMultiplier(std::int32_t value) {
    Set(readTotalMultiplier_, value);
}
void TComTimeouts::SetReadTotalConstant(std::int32_t value) {
    Set(readTotalConstant_, value);
}
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t value) {
    Set(writeTotalMultiplier_, value);
}
void TComTimeouts::SetWriteTotalConstant(std::int32_t value) {
    Set(writeTotalConstant_, value);
}

void TComBuffer::Set(std::int32_t& field, std::int32_t value) {
    // The queues take even sizes: an odd positive size is rounded down.
    if (value > 0 && value % 2 != 0)
        --value;
    if (Store(field, value))
        port_->ApplyBuffer();
}
void TComBuffer::SetInputSize(std::int32_t value) {
    Set(inputSize_, value);
}
void TComBuffer::SetOutputSize(std::int32_t value) {
    Set(outputSize_, value);
}

void SetProgramComSettings(TCustomComPort& port) {
    port.SetPort("COM1");
    port.SetBaudRate(br115200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prNone);
    port.Parity().SetCheck(false);
    port.Parity().SetReplace(false);
    port.Parity().SetReplaceChar(0);
    auto& flow = port.FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    flow.SetDSRSensitivity(false);
    flow.SetTxContinueOnXoff(false);
    flow.SetXonChar(0x11);
    flow.SetXoffChar(0x13);
    auto& t = port.Timeouts();
    t.SetReadInterval(30);
    t.SetReadTotalMultiplier(1000);
    t.SetReadTotalConstant(500);
    t.SetWriteTotalMultiplier(100);
    t.SetWriteTotalConstant(1000);
    port.Buffer().SetInputSize(1024);
    port.Buffer().SetOutputSize(1024);
    port.SetDiscardNull(false);
    port.SetEventChar(0);
    port.SetEvents(AllComEvents());
    port.SetSyncMethod(smThreadSync);
}

} // namespace tolvar
