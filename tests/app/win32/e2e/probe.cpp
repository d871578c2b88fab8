// Reads a running program's window from outside, the way an accessibility tool would, and prints
// what it finds for the end-to-end driver. It only asks: it never sends input, moves, or changes
// anything.
//
//   tolvar-e2e-probe [--wait SECONDS] CAPTION
//
// Finds the visible top-level window whose caption is CAPTION (waiting up to SECONDS for it)
// and prints, one record a line, tab-separated, UTF-8, text last with \n, \r, \t, \\ escaped:
//   window  <hwnd> <class> <client x> <client y> <client w> <client h> <outer x> <outer y>
//           <outer w> <outer h> <dpi> <focus hwnd> <active> <caption>
//   control <hwnd> <class> <enabled> <x> <y> <w> <h> <focused> <style> <state> <text>
// Client x/y is the client origin and outer x/y the frame's corner in screen coordinates (where
// a click lands, what a screenshot crops); <dpi> is the screen's. A control's
// rectangle is in the window's client coordinates. <state> is push or default for a push button,
// group for a group box, checked or unchecked for a check box (either with "+pushed" while the
// mouse holds it down), position/maximum for a progress bar, and - otherwise. Only visible controls
// are listed. Exit status: 0 found, 1 not found, 2 usage.

#include <windows.h>
// The common-control and shell declarations need the types of windows.h first.
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Escaped(const std::wstring& text) {
    std::string out;
    for (const char c : Utf8(text)) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// A message that only reads, with a time-out so that a busy program cannot hang the probe.
bool Ask(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR& result) {
    return SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000,
                               &result) != 0;
}

std::wstring TextOf(HWND hwnd) {
    // A drop-down list keeps its shown text in its list, so it is asked; other controls keep
    // theirs in the window, which can be read without a message.
    if (ClassOf(hwnd) == L"ComboBox") {
        std::vector<wchar_t> buffer(1024);
        DWORD_PTR n = 0;
        if (Ask(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), n))
            return std::wstring(buffer.data(), n);
        return {};
    }
    const int length = GetWindowTextLengthW(hwnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
    const int n = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<size_t>(n < 0 ? 0 : n));
}

std::string StateOf(HWND hwnd) {
    const std::wstring cls = ClassOf(hwnd);
    DWORD_PTR a = 0;
    DWORD_PTR b = 0;
    if (cls == PROGRESS_CLASSW && Ask(hwnd, PBM_GETPOS, 0, 0, a) &&
        Ask(hwnd, PBM_GETRANGE, FALSE, 0, b))
        return std::to_string(static_cast<int>(a)) + "/" + std::to_string(static_cast<int>(b));
    if (cls == L"Button") {
        // A button held down by the mouse reads as pushed until it is released.
        const std::string held =
            Ask(hwnd, BM_GETSTATE, 0, 0, b) && (b & BST_PUSHED) ? "+pushed" : "";
        switch (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
            return "push" + held;
        case BS_DEFPUSHBUTTON:
            return "default" + held;
        case BS_GROUPBOX:
            return "group";
        default:
            if (Ask(hwnd, BM_GETCHECK, 0, 0, a))
                return (a == BST_CHECKED ? "checked" : "unchecked") + held;
        }
    }
    return "-";
}

unsigned long long Id(HWND hwnd) {
    return static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd));
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// Reads physical pixels, not coordinates scaled for a program that knows no DPI.
void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32"), "SetProcessDpiAwarenessContext")));
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(-4))) // per monitor, version 2
        SetProcessDPIAware();
}

struct Search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTop(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(hwnd) && TextOf(hwnd) == search->caption) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Dump {
    HWND top;
    HWND focus;
};

BOOL CALLBACK PrintControl(HWND hwnd, LPARAM param) {
    const auto* dump = reinterpret_cast<const Dump*>(param);
    if (!IsWindowVisible(hwnd))
        return TRUE;
    RECT r = {};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, dump->top, reinterpret_cast<POINT*>(&r), 2);
    std::printf("control\t%#llx\t%s\t%d\t%ld\t%ld\t%ld\t%ld\t%d\t%#lx\t%s\t%s\n", Id(hwnd),
                Utf8(ClassOf(hwnd)).c_str(), IsWindowEnabled(hwnd) ? 1 : 0, r.left, r.top,
                r.right - r.left, r.bottom - r.top, hwnd == dump->focus ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)), StateOf(hwnd).c_str(),
                Escaped(TextOf(hwnd)).c_str());
    return TRUE;
}

} // namespace

int main() {
    // Lines end in "\n" alone, as the shell reading them expects.
    _setmode(_fileno(stdout), _O_BINARY);
    BecomeDpiAware();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    double wait = 0;
    int i = 1;
    if (argc > 2 && std::wstring(argv[1]) == L"--wait") {
        wait = _wtof(argv[2]);
        i = 3;
    }
    if (argc != i + 1) {
        std::fputs("usage: tolvar-e2e-probe [--wait SECONDS] CAPTION\n", stderr);
        return 2;
    }
    Search search;
    search.caption = argv[i];
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait * 1000);
    for (;;) {
        EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount64() >= deadline)
            break;
        Sleep(50);
    }
    if (!search.found) {
        std::printf("none\n");
        return 1;
    }
    const HWND top = search.found;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info);
    RECT client = {};
    GetClientRect(top, &client);
    POINT origin = {0, 0};
    ClientToScreen(top, &origin);
    RECT outer = {};
    GetWindowRect(top, &outer);
    std::printf("window\t%#llx\t%s\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%d\t%#llx\t%d\t%s\n",
                Id(top), Utf8(ClassOf(top)).c_str(), origin.x, origin.y, client.right,
                client.bottom, outer.left, outer.top, outer.right - outer.left,
                outer.bottom - outer.top, ScreenDpi(), Id(info.hwndFocus),
                info.hwndActive == top ? 1 : 0, Escaped(TextOf(top)).c_str());
    Dump dump{top, info.hwndFocus};
    EnumChildWindows(top, PrintControl, reinterpret_cast<LPARAM>(&dump));
    LocalFree(argv);
    return 0;
}
