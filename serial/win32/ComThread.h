#pragma once

#include "framework/Thread.h"
#include "serial/ComPort.h"
#include "serial/ComWatcher.h"

#include <windows.h>

namespace tolvar {

// The platform's event mask for a set of events, and back.
DWORD ComEventMask(TComEvents events);
TComEvents ComEventsFromMask(DWORD mask);
// The line errors that ClearCommError reports, as a set.
TComErrors ComErrorsFromFlags(DWORD flags);

// The calls through which the watcher waits for line events; a test puts a failing device's
// answers here.
struct TComEventCalls {
    BOOL(WINAPI* setCommMask)(HANDLE, DWORD) = ::SetCommMask;
    BOOL(WINAPI* waitCommEvent)(HANDLE, LPDWORD, LPOVERLAPPED) = ::WaitCommEvent;
    BOOL(WINAPI* getOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL) = ::GetOverlappedResult;
};

// Waits for line events of an open port and hands each set to the port's notification
// operations on the main thread. Runs from the port's Open until its Close, or until a wait
// fails: a device that fails its waits (an adapter pulled out) fails them again at once, and
// the watcher must not spin on it.
class TComThread final : public TThread, public TComWatcher {
public:
    // Sets the event mask from the port's Events and lets the thread run.
    explicit TComThread(TCustomComPort& port, TComEventCalls calls = {});
    // Stops the thread and waits for its end, serving synchronised calls meanwhile, then
    // discards both queues of the device.
    ~TComThread() override;

    void Stop();

protected:
    void Execute() override;

private:
    void DispatchComMsg();
    void DoEvents(TComEvents events);
    bool ModemLine(DWORD bit);

    TCustomComPort& port_;
    HANDLE handle_;
    HANDLE stopEvent_;
    int priority_;
    TComEvents events_;
    TComEventCalls calls_;
};

} // namespace tolvar
