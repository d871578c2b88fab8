#include "serial/ComPort.h"

#include "framework/TextLookup.h"
#include "serial/ComPortStartup.h"
#include "serial/Platform.h"

namespace tolvar {

void ComPortModuleStartup() {
    static const bool done = [] {
        AddResourceTextDomain("cport");
        return true;
    }();
    (void)done;
}

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

// --- settings groups ----------------------------------------------------------------------

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

// --- the port object ----------------------------------------------------------------------

TCustomComPort::TCustomComPort(TComponent* owner) : TCustomComPort(owner, CreateComDevice()) {}

TCustomComPort::TCustomComPort(TComponent* owner, std::unique_ptr<TComDevice> device)
    : TComponent(owner), device_(std::move(device)) {
    ComPortModuleStartup();
}

TCustomComPort::~TCustomComPort() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the device is released all the same, after the watcher.
        watcher_.reset();
        device_->Close();
    }
}

std::intptr_t TCustomComPort::Handle() const {
    return device_->Handle();
}

bool TCustomComPort::Connected() const {
    return device_->IsOpen();
}

void TCustomComPort::Open() {
    if (Connected())
        return;
    DoBeforeOpen();
    CreateHandle();
    try {
        SetupComPort();
    } catch (...) {
        DestroyHandle();
        throw;
    }
    // The event watcher, where the platform has one.
    if (!events_.Empty())
        watcher_ = StartComWatcher(*this);
    DoAfterOpen();
    DoCTSChange(device_->ModemStatus().cts);
    DoDSRChange(device_->ModemStatus().dsr);
    DoRLSDChange(device_->ModemStatus().rlsd);
}

void TCustomComPort::Close() {
    if (!Connected())
        return;
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    device_->Purge();
    watcher_.reset();
    DestroyHandle();
    DoAfterClose();
}

std::int32_t TCustomComPort::Write(const void* buf, std::int32_t count) {
    return device_->Write(buf, count);
}

std::int32_t TCustomComPort::Read(void* buf, std::int32_t count) {
    const std::int32_t got = device_->Read(buf, count);
    // Checks the device after the transfer, as the receive-idle report needs the queue size.
    device_->InputCount();
    return got;
}

std::int32_t TCustomComPort::InputCount() {
    return device_->InputCount();
}

void TCustomComPort::BeginUpdate() {
    ++updateCount_;
}

void TCustomComPort::EndUpdate() {
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ == 0)
        SetupComPort();
}

void TCustomComPort::Loaded() {
    TComponent::Loaded();
    if (storedConnected_) {
        storedConnected_ = false;
        Open();
    }
}

void TCustomComPort::SetPort(const std::string& value) {
    if (value == port_)
        return;
    port_ = value;
    if (Connected()) {
        Close();
        Open();
    }
}

void TCustomComPort::SetConnected(bool value) {
    if (IsLoading()) {
        storedConnected_ = value;
        return;
    }
    if (value)
        Open();
    else
        Close();
}

template <typename T> void TCustomComPort::SetLineValue(T& field, T value) {
    if (Store(field, value))
        ApplyDCB();
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
    SetLineValue(baudRate_, value);
}
void TCustomComPort::SetCustomBaudRate(std::int32_t value) {
    SetLineValue(customBaudRate_, value);
}
void TCustomComPort::SetDataBits(TDataBits value) {
    SetLineValue(dataBits_, value);
}
void TCustomComPort::SetStopBits(TStopBits value) {
    SetLineValue(stopBits_, value);
}
void TCustomComPort::SetDiscardNull(bool value) {
    SetLineValue(discardNull_, value);
}
void TCustomComPort::SetEventChar(char value) {
    SetLineValue(eventChar_, value);
}

void TCustomComPort::SetEvents(TComEvents value) {
    events_ = value;
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == syncMethod_)
        return;
    if (Connected())
        throw EComPort(CError_ConnChangeProp);
    syncMethod_ = value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority value) {
    if (value == eventThreadPriority_)
        return;
    if (Connected())
        throw EComPort(CError_ConnChangeProp);
    eventThreadPriority_ = value;
}

bool TCustomComPort::CanApply() const {
    return Connected() && updateCount_ == 0 && !IsLoading();
}

void TCustomComPort::CreateHandle() {
    device_->Open(port_);
}

void TCustomComPort::DestroyHandle() {
    device_->Close();
}

void TCustomComPort::SetupComPort() {
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

TComLineSettings TCustomComPort::LineSettings() const {
    TComLineSettings s;
    s.baudRate = baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
    s.byteSize = static_cast<std::uint8_t>(5 + dataBits_);
    s.parity = parity_.Bits();
    s.stopBits = stopBits_;
    s.parityCheck = parity_.Check();
    s.outCtsFlow = flowControl_.OutCTSFlow();
    s.outDsrFlow = flowControl_.OutDSRFlow();
    s.dtrControl = flowControl_.ControlDTR();
    s.rtsControl = flowControl_.ControlRTS();
    s.dsrSensitivity = flowControl_.DSRSensitivity();
    s.txContinueOnXoff = flowControl_.TxContinueOnXoff();
    s.outX = flowControl_.XonXoffOut();
    s.inX = flowControl_.XonXoffIn();
    s.errorCharOn = parity_.Check() && parity_.Replace();
    s.discardNull = discardNull_;
    const auto lim = static_cast<std::uint16_t>(buffer_.InputSize() / 4);
    s.xonLim = lim;
    s.xoffLim = lim;
    s.xonChar = flowControl_.XonChar();
    s.xoffChar = flowControl_.XoffChar();
    s.errorChar = s.errorCharOn ? parity_.ReplaceChar() : char(0);
    s.eventChar = eventChar_;
    return s;
}

TComTimeoutValues TCustomComPort::TimeoutValues() const {
    TComTimeoutValues t;
    t.readInterval = static_cast<std::uint32_t>(timeouts_.ReadInterval());
    t.readTotalMultiplier = static_cast<std::uint32_t>(timeouts_.ReadTotalMultiplier());
    t.readTotalConstant = static_cast<std::uint32_t>(timeouts_.ReadTotalConstant());
    t.writeTotalMultiplier = static_cast<std::uint32_t>(timeouts_.WriteTotalMultiplier());
    t.writeTotalConstant = static_cast<std::uint32_t>(timeouts_.WriteTotalConstant());
    return t;
}

void TCustomComPort::ApplyBuffer() {
    if (CanApply())
        device_->SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize());
}

void TCustomComPort::ApplyDCB() {
    if (CanApply())
        device_->SetLine(LineSettings());
}

void TCustomComPort::ApplyTimeouts() {
    if (CanApply())
        device_->SetTimeouts(TimeoutValues());
}

namespace {
template <typename F, typename... A> void Call(const F& handler, A&&... args) {
    if (handler)
        handler(std::forward<A>(args)...);
}
} // namespace

void TCustomComPort::DoAfterClose() {
    Call(OnAfterClose);
}
void TCustomComPort::DoAfterOpen() {
    Call(OnAfterOpen);
}
void TCustomComPort::DoBeforeClose() {
    Call(OnBeforeClose);
}
void TCustomComPort::DoBeforeOpen() {
    Call(OnBeforeOpen);
}
void TCustomComPort::DoRxChar(std::int32_t count) {
    Call(OnRxChar, count);
}
void TCustomComPort::DoRxBuf(const void* buf, std::int32_t count) {
    Call(OnRxBuf, buf, count);
}
void TCustomComPort::DoTxEmpty() {
    Call(OnTxEmpty);
}
void TCustomComPort::DoBreak() {
    Call(OnBreak);
}
void TCustomComPort::DoRing() {
    Call(OnRing);
}
void TCustomComPort::DoRxFlag() {
    Call(OnRxFlag);
}
void TCustomComPort::DoCTSChange(bool on) {
    Call(OnCTSChange, on);
}
void TCustomComPort::DoDSRChange(bool on) {
    Call(OnDSRChange, on);
}
void TCustomComPort::DoError(TComErrors errors) {
    Call(OnError, errors);
}
void TCustomComPort::DoRLSDChange(bool on) {
    Call(OnRLSDChange, on);
}
void TCustomComPort::DoRx80Full() {
    Call(OnRx80Full);
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
