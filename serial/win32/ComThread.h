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

// Waits for line events of an open port and hands each set to the port's notification
// operations on the main thread. Runs from the port's Open until its Close.
class TComThread final : public TThread, public TComWatcher {
public:
    // Sets the event mask from the port's Events and lets the thread run.
    explicit TComThread(TCustomComPort& port);
    // Stops the thread and waits for its end, serving synchronised calls meanwhile.
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
};

} // namespace tolvar
