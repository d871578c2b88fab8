#pragma once

#include "framework/Component.h"
#include "serial/ComDevice.h"
#include "serial/ComSettings.h"
#include "serial/EComPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tolvar {

class TComThread;
class TComWatcher;
class TClassRegistry;

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
    // The bytes that were waiting behind the last Read when it returned: known without asking
    // the device again.
    std::int32_t InputLeftByRead() const { return inputLeftByRead_; }
    // Drops what has arrived and not been read, so that the next Read sees only newer bytes.
    void DiscardInput();

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
    std::int32_t inputLeftByRead_ = 0;
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

// Registers "TComPort" with its published settings for stored descriptions.
void RegisterComPortClass(TClassRegistry& registry);

} // namespace tolvar
