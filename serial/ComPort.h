#pragma once

#include "framework/Component.h"
#include "serial/ComDevice.h"
#include "serial/EComPort.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace tolvar {

enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

enum TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full,
};

enum TComError : std::uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull,
};

// A small set over an enumeration of at most 16 values.
template <typename E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> items) {
        for (E e : items)
            bits_ |= Bit(e);
    }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(E e) { bits_ |= Bit(e); }
    constexpr void Exclude(E e) { bits_ &= static_cast<std::uint16_t>(~Bit(e)); }
    constexpr std::uint16_t Bits() const { return bits_; }
    friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

private:
    static constexpr std::uint16_t Bit(E e) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(e));
    }
    std::uint16_t bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent>;
using TComErrors = TEnumSet<TComError>;

// Every event the port object knows of.
constexpr TComEvents AllComEvents() {
    return {evRxChar, evTxEmpty, evRxFlag, evRing, evBreak,
            evCTS,    evDSR,     evError,  evRLSD, evRx80Full};
}

// Bits per second named by a rate; 0 for brCustom.
std::int32_t BaudRateValue(TBaudRate rate);

class TCustomComPort;
class TComThread;
class TComWatcher;

class TComParity {
public:
    explicit TComParity(TCustomComPort* port) : port_(port) {}
    TCustomComPort* ComPort() const { return port_; }

    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits value);
    bool Check() const { return check_; }
    void SetCheck(bool value);
    bool Replace() const { return replace_; }
    void SetReplace(bool value);
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char value);

private:
    TCustomComPort* port_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl {
public:
    explicit TComFlowControl(TCustomComPort* port) : port_(port) {}
    TCustomComPort* ComPort() const { return port_; }

    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool value);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool value);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool value);
    char XonChar() const { return xonChar_; }
    void SetXonChar(char value);
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char value);

private:
    TCustomComPort* port_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 0x11;
    char xoffChar_ = 0x13;
};

class TComTimeouts {
public:
    explicit TComTimeouts(TCustomComPort* port) : port_(port) {}
    TCustomComPort* ComPort() const { return port_; }

    std::int32_t ReadInterval() const { return readInterval_; }
    void SetReadInterval(std::int32_t value);
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(std::int32_t value);
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(std::int32_t value);
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(std::int32_t value);
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(std::int32_t value);

private:
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* port_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

class TComBuffer {
public:
    explicit TComBuffer(TCustomComPort* port) : port_(port) {}
    TCustomComPort* ComPort() const { return port_; }

    std::int32_t InputSize() const { return inputSize_; }
    void SetInputSize(std::int32_t value);
    std::int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(std::int32_t value);

private:
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* port_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

// One serial device: its name and line settings, an exclusive open, blocking reads and writes
// bounded by time-outs, and every failure as EComPort. Calls come from one thread.
class TCustomComPort : public TComponent {
public:
    explicit TCustomComPort(TComponent* owner = nullptr);
    ~TCustomComPort() override;

    void Open();
    void Close();
    std::int32_t Write(const void* buf, std::int32_t count);
    std::int32_t Read(void* buf, std::int32_t count);
    std::int32_t InputCount();

    // While updates are pending the apply operations do nothing; the last EndUpdate applies
    // everything at once.
    void BeginUpdate();
    void EndUpdate();

    void Loaded() override;

    // The platform's device handle; -1 while closed.
    std::intptr_t Handle() const;

    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    // Whether the device is open; a value stored while loading only records the wish.
    bool Connected() const;
    void SetConnected(bool value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);
    TThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TThreadPriority value);
    bool TriggersOnRxChar() const { return triggersOnRxChar_; }
    void SetTriggersOnRxChar(bool value) { triggersOnRxChar_ = value; }

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }

    // Plain setters for a reader of stored descriptions that sets properties by name.
    void SetParityBits(TParityBits v) { parity_.SetBits(v); }
    void SetParityCheck(bool v) { parity_.SetCheck(v); }
    void SetParityReplace(bool v) { parity_.SetReplace(v); }
    void SetParityReplaceChar(char v) { parity_.SetReplaceChar(v); }
    void SetFlowControlOutCTSFlow(bool v) { flowControl_.SetOutCTSFlow(v); }
    void SetFlowControlOutDSRFlow(bool v) { flowControl_.SetOutDSRFlow(v); }
    void SetFlowControlControlDTR(TDTRFlowControl v) { flowControl_.SetControlDTR(v); }
    void SetFlowControlControlRTS(TRTSFlowControl v) { flowControl_.SetControlRTS(v); }
    void SetFlowControlXonXoffOut(bool v) { flowControl_.SetXonXoffOut(v); }
    void SetFlowControlXonXoffIn(bool v) { flowControl_.SetXonXoffIn(v); }
    void SetFlowControlDSRSensitivity(bool v) { flowControl_.SetDSRSensitivity(v); }
    void SetFlowControlTxContinueOnXoff(bool v) { flowControl_.SetTxContinueOnXoff(v); }
    void SetFlowControlXonChar(char v) { flowControl_.SetXonChar(v); }
    void SetFlowControlXoffChar(char v) { flowControl_.SetXoffChar(v); }
    void SetTimeoutsReadInterval(std::int32_t v) { timeouts_.SetReadInterval(v); }
    void SetTimeoutsReadTotalMultiplier(std::int32_t v) { timeouts_.SetReadTotalMultiplier(v); }
    void SetTimeoutsReadTotalConstant(std::int32_t v) { timeouts_.SetReadTotalConstant(v); }
    void SetTimeoutsWriteTotalMultiplier(std::int32_t v) { timeouts_.SetWriteTotalMultiplier(v); }
    void SetTimeoutsWriteTotalConstant(std::int32_t v) { timeouts_.SetWriteTotalConstant(v); }
    void SetBufferInputSize(std::int32_t v) { buffer_.SetInputSize(v); }
    void SetBufferOutputSize(std::int32_t v) { buffer_.SetOutputSize(v); }

    // The line settings that ApplyDCB hands to the device, built from the current values.
    TComLineSettings LineSettings() const;
    TComTimeoutValues TimeoutValues() const;

    std::function<void()> OnAfterClose;
    std::function<void()> OnAfterOpen;
    std::function<void()> OnBeforeClose;
    std::function<void()> OnBeforeOpen;
    std::function<void(std::int32_t count)> OnRxChar;
    std::function<void(const void* buf, std::int32_t count)> OnRxBuf;
    std::function<void()> OnTxEmpty;
    std::function<void()> OnBreak;
    std::function<void()> OnRing;
    std::function<void()> OnRxFlag;
    std::function<void(bool on)> OnCTSChange;
    std::function<void(bool on)> OnDSRChange;
    std::function<void(TComErrors errors)> OnError;
    std::function<void(bool on)> OnRLSDChange;
    std::function<void()> OnRx80Full;

protected:
    // For tests and other platforms: use this device instead of the platform's own.
    TCustomComPort(TComponent* owner, std::unique_ptr<TComDevice> device);

    // The steps of Open and Close.
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void SetupComPort();
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();
    virtual void ApplyBuffer();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(std::int32_t count);
    virtual void DoRxBuf(const void* buf, std::int32_t count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool on);
    virtual void DoDSRChange(bool on);
    virtual void DoError(TComErrors errors);
    virtual void DoRLSDChange(bool on);
    virtual void DoRx80Full();

    TComDevice& Device() { return *device_; }

private:
    friend class TComThread; // runs the notification operations for line events
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;

    // The apply operations act only on an open port, outside updates and loading.
    bool CanApply() const;
    template <typename T> void SetLineValue(T& field, T value);

    std::unique_ptr<TComDevice> device_;
    std::unique_ptr<TComWatcher> watcher_;
    std::string port_ = "COM1";
    bool storedConnected_ = false; // stored while loading, acted on by Loaded
    int updateCount_ = 0;
    TBaudRate baudRate_ = br9600;
    std::int32_t customBaudRate_ = 9600;
    TDataBits dataBits_ = dbEight;
    TStopBits stopBits_ = sbOneStopBit;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = AllComEvents();
    TSyncMethod syncMethod_ = smThreadSync;
    TThreadPriority eventThreadPriority_ = tpNormal;
    bool triggersOnRxChar_ = true;
    TComParity parity_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TComBuffer buffer_{this};
};

// Publishes the settings; adds no behaviour.
class TComPort : public TCustomComPort {
public:
    explicit TComPort(TComponent* owner = nullptr) : TCustomComPort(owner) {}

protected:
    TComPort(TComponent* owner, std::unique_ptr<TComDevice> device)
        : TCustomComPort(owner, std::move(device)) {}
};

// The settings this program uses for the controller: "COM1", 115200 baud, 8 data bits, no
// parity, 2 stop bits, no flow control, DTR and RTS off, time-outs 30/1000/500/100/1000.
void SetProgramComSettings(TCustomComPort& port);

} // namespace tolvar
