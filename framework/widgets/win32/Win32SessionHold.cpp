// The hold on the session while a transfer runs: Windows' counterpart of the logind lock.
#include "framework/widgets/win32/Win32Peer.h"
#include "framework/widgets/win32/Win32WidgetSet.h"

namespace tolvar {

using namespace win32;

void TWin32WidgetSet::HoldSession(bool hold, const std::string& reason) {
    if (hold == State().sessionHeld)
        return;
    State().sessionHeld = hold;
    HWND owner = State().applicationWindow;
    if (hold) {
        // The reason is what Windows lists beside the program when the user logs off or shuts
        // down; the machine stays awake for the transfer.
        if (owner != nullptr)
            ShutdownBlockReasonCreate(owner, Wide(reason).c_str());
        SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    } else {
        if (owner != nullptr)
            ShutdownBlockReasonDestroy(owner);
        SetThreadExecutionState(ES_CONTINUOUS);
    }
}

} // namespace tolvar
