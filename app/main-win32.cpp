// The Windows entry point: the same start-up as on Linux, over the Win32 widget set.

#include "app/Form1.h"
#include "framework/TextLookup.h"
#include "framework/Thread.h"
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32SingleInstance.h"
#include "framework/widgets/win32/Win32WidgetSet.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a library at run time.
    tolvar::RestrictLibrarySearch();
    // A second start brings the running wizard to the front and ends; it never touches a port.
    const tolvar::TSingleInstance instance;
    if (!instance.First()) {
        tolvar::TSingleInstance::RaiseRunning();
        return 0;
    }
    // The shell (the welcome page's link) wants COM on the thread that calls it.
    const tolvar::TComApartment com;
    // Before any other thread runs: the first port error may be worded on the upload's thread.
    tolvar::InitTextLookup();
    tolvar::TWin32WidgetSet widgets;
    tolvar::SetWidgetSet(&widgets);
    widgets.SetTitle(tolvar::kApplicationTitle);
    // Calls that other threads (the port's event watcher) hand over run from the message loop.
    tolvar::SetSynchronizeWakeUp([&widgets] { widgets.Post([] { tolvar::CheckSynchronize(); }); });
    const int result = tolvar::StartWizard();
    tolvar::SetSynchronizeWakeUp(nullptr);
    tolvar::SetWidgetSet(nullptr);
    return result;
}
