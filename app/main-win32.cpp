// The Windows entry point: the same start-up as on Linux, over the Win32 widget set.

#include "app/Form1.h"
#include "app/RunLog.h"
#include "framework/TextLookup.h"
#include "framework/Thread.h"
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32SingleInstance.h"
#include "framework/widgets/win32/Win32WidgetSet.h"

#include <string>
#include <windows.h>

namespace {

// The program has no console of its own (a window program): what it prints goes to where its
// output was sent, else to the console of the prompt that started it.
void Print(const std::string& utf8) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) &&
        AttachConsole(ATTACH_PARENT_PROCESS))
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console shows UTF-16 whatever its code page; the prompt is already on its line.
        const std::string text = "\r\n" + utf8;
        const int length =
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

bool AsksForLog(const char* commandLine) {
    std::string arguments = commandLine != nullptr ? commandLine : "";
    const auto first = arguments.find_first_not_of(" \t");
    const auto last = arguments.find_last_not_of(" \t");
    return first != std::string::npos && arguments.substr(first, last - first + 1) == "--log";
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // For support: where the log is and what the last run did; no window, no port.
    if (AsksForLog(commandLine)) {
        Print(tolvar::RunLogReport());
        return 0;
    }
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
