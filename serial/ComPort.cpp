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
    inputLeftByRead_ = 0;
    watcher_.reset();
    DestroyHandle();
    DoAfterClose();
}

std::int32_t TCustomComPort::Write(const void* buf, std::int32_t count) {
    return device_->Write(buf, count);
}

std::int32_t TCustomComPort::Read(void* buf, std::int32_t count) {
    const std::int32_t got = device_->Read(buf, count);
    // Checks the device after the transfer, as the receive-idle report needs the queue size;
    // the caller may want it too.
    inputLeftByRead_ = device_->InputCount();
    return got;
}

void TCustomComPort::DiscardInput() {
    device_->PurgeInput();
    inputLeftByRead_ = 0;
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
    if (StoreChanged(field, value))
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

} // namespace tolvar
