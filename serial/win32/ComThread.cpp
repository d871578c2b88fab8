#include "serial/win32/ComThread.h"

#include "serial/EComPort.h"
#include "serial/Platform.h"

#include <array>
#include <utility>

namespace tolvar {

namespace {

constexpr std::array<std::pair<TComEvent, DWORD>, 10> kEventBits = {{
    {evRxChar, EV_RXCHAR},
    {evRxFlag, EV_RXFLAG},
    {evTxEmpty, EV_TXEMPTY},
    {evCTS, EV_CTS},
    {evDSR, EV_DSR},
    {evRLSD, EV_RLSD},
    {evBreak, EV_BREAK},
    {evError, EV_ERR},
    {evRing, EV_RING},
    {evRx80Full, EV_RX80FULL},
}};

constexpr std::array<std::pair<TComError, DWORD>, 8> kErrorBits = {{
    {ceFrame, CE_FRAME},
    {ceRxParity, CE_RXPARITY},
    {ceOverrun, CE_OVERRUN},
    {ceBreak, CE_BREAK},
    {ceIO, CE_IOE},
    {ceMode, CE_MODE},
    {ceRxOver, CE_RXOVER},
    {ceTxFull, CE_TXFULL},
}};

int ThreadPriority(TThreadPriority priority) {
    switch (priority) {
    case tpIdle:
        return THREAD_PRIORITY_IDLE;
    case tpLowest:
        return THREAD_PRIORITY_LOWEST;
    case tpLower:
        return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal:
        return THREAD_PRIORITY_NORMAL;
    case tpHigher:
        return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest:
        return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical:
        return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

// Closes a signal when the scope ends.
struct SignalGuard {
    HANDLE handle;
    ~SignalGuard() {
        if (handle != nullptr)
            CloseHandle(handle);
    }
};

} // namespace

DWORD ComEventMask(TComEvents events) {
    DWORD mask = 0;
    for (const auto& [event, bit] : kEventBits)
        if (events.Contains(event))
            mask |= bit;
    return mask;
}

TComEvents ComEventsFromMask(DWORD mask) {
    TComEvents events;
    for (const auto& [event, bit] : kEventBits)
        if ((mask & bit) != 0)
            events.Include(event);
    return events;
}

TComErrors ComErrorsFromFlags(DWORD flags) {
    TComErrors errors;
    for (const auto& [error, bit] : kErrorBits)
        if ((flags & bit) != 0)
            errors.Include(error);
    return errors;
}

TComThread::TComThread(TCustomComPort& port, TComEventCalls calls)
    : port_(port), handle_(reinterpret_cast<HANDLE>(port.Handle())),
      stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      priority_(ThreadPriority(port.EventThreadPriority())), calls_(calls) {
    if (stopEvent_ == nullptr)
        throw EComPort(CError_InvalidAsync, static_cast<std::int32_t>(GetLastError()));
    calls_.setCommMask(handle_, ComEventMask(port.Events()));
    Start();
}

TComThread::~TComThread() {
    Stop();
    WaitFor();
    // After the last notification, however the watcher ended: Close discards both queues.
    PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (stopEvent_ != nullptr)
        CloseHandle(stopEvent_);
}

void TComThread::Stop() {
    SetEvent(stopEvent_);
    Sleep(0);
}

void TComThread::Execute() {
    // Set first thing, before the thread does any work of its own.
    SetThreadPriority(GetCurrentThread(), priority_);
    SignalGuard completion{CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    OVERLAPPED overlapped{};
    overlapped.hEvent = completion.handle;
    DWORD mask = 0; // written when a pending wait completes, so it lives as long as the wait
    bool pending = false;
    const HANDLE signals[2] = {stopEvent_, completion.handle};
    for (;;) {
        pending = true;
        if (!calls_.waitCommEvent(handle_, &mask, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return; // the device takes no event waits; nothing is pending, nothing to undo
        // The stop signal comes first, so it wins when both are set.
        if (WaitForMultipleObjects(2, signals, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        pending = false;
        DWORD unused = 0;
        // A failed wait ends the watcher, as a failed notification does: a pulled adapter
        // fails the next wait at once, and the one after.
        if (!calls_.getOverlappedResult(handle_, &overlapped, &unused, FALSE))
            return;
        events_ = ComEventsFromMask(mask);
        DispatchComMsg();
    }
    calls_.setCommMask(handle_, 0);
    if (pending) {
        // A zero mask ends the pending wait; let it finish before its record goes away.
        DWORD unused = 0;
        calls_.getOverlappedResult(handle_, &overlapped, &unused, TRUE);
    }
}

void TComThread::DispatchComMsg() {
    if (port_.SyncMethod() == smNone) {
        DoEvents(events_);
        return;
    }
    // There is no hidden message window: window-synchronised delivery goes the same way.
    const TComEvents events = events_;
    Synchronize([this, events] { DoEvents(events); });
}

bool TComThread::ModemLine(DWORD bit) {
    DWORD status = 0;
    if (!GetCommModemStatus(handle_, &status))
        throw EComPort(CError_ModemStatFailed, static_cast<std::int32_t>(GetLastError()));
    return (status & bit) != 0;
}

void TComThread::DoEvents(TComEvents events) {
    if (events.Contains(evError)) {
        DWORD flags = 0;
        COMSTAT stat{};
        if (!ClearCommError(handle_, &flags, &stat))
            throw EComPort(CError_ClearComFailed, static_cast<std::int32_t>(GetLastError()));
        const TComErrors errors = ComErrorsFromFlags(flags);
        if (!errors.Empty())
            port_.DoError(errors);
    }
    if (events.Contains(evRxChar)) {
        // With TriggersOnRxChar and no link that wants data, nothing is read here.
        port_.DoRxChar(port_.InputCount());
    }
    if (events.Contains(evTxEmpty))
        port_.DoTxEmpty();
    if (events.Contains(evBreak))
        port_.DoBreak();
    if (events.Contains(evRing))
        port_.DoRing();
    if (events.Contains(evCTS))
        port_.DoCTSChange(ModemLine(MS_CTS_ON));
    if (events.Contains(evDSR))
        port_.DoDSRChange(ModemLine(MS_DSR_ON));
    if (events.Contains(evRxFlag))
        port_.DoRxFlag();
    if (events.Contains(evRLSD))
        port_.DoRLSDChange(ModemLine(MS_RLSD_ON));
    if (events.Contains(evRx80Full))
        port_.DoRx80Full();
}

std::unique_ptr<TComWatcher> StartComWatcher(TCustomComPort& port) {
    return std::make_unique<TComThread>(port);
}

} // namespace tolvar
