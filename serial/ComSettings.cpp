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

void TComParity::SetBits(TParityBits value) {
    if (StoreChanged(bits_, value))
        port_->ApplyDCB();
}
void TComParity::SetCheck(bool value) {
    if (StoreChanged(check_, value))
        port_->ApplyDCB();
}
void TComParity::SetReplace(bool value) {
    if (StoreChanged(replace_, value))
        port_->ApplyDCB();
}
void TComParity::SetReplaceChar(char value) {
    if (StoreChanged(replaceChar_, value))
        port_->ApplyDCB();
}

void TComFlowControl::SetOutCTSFlow(bool value) {
    if (StoreChanged(outCTSFlow_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetOutDSRFlow(bool value) {
    if (StoreChanged(outDSRFlow_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetControlDTR(TDTRFlowControl value) {
    if (StoreChanged(controlDTR_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetControlRTS(TRTSFlowControl value) {
    if (StoreChanged(controlRTS_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonXoffOut(bool value) {
    if (StoreChanged(xonXoffOut_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonXoffIn(bool value) {
    if (StoreChanged(xonXoffIn_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetDSRSensitivity(bool value) {
    if (StoreChanged(dsrSensitivity_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetTxContinueOnXoff(bool value) {
    if (StoreChanged(txContinueOnXoff_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXonChar(char value) {
    if (StoreChanged(xonChar_, value))
        port_->ApplyDCB();
}
void TComFlowControl::SetXoffChar(char value) {
    if (StoreChanged(xoffChar_, value))
        port_->ApplyDCB();
}

void TComTimeouts::Set(std::int32_t& field, std::int32_t value) {
    if (StoreChanged(field, value))
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
    if (StoreChanged(field, value))
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
