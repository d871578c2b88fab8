#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <commctrl.h>

namespace tolvar::win32 {

const wchar_t kFormClass[] = L"TolvarForm";
const wchar_t kPanelClass[] = L"TolvarPanel";
const wchar_t kLabelClass[] = L"TolvarLabel";
const wchar_t kImageClass[] = L"TolvarImage";
const wchar_t kApplicationClass[] = L"TolvarApplication";
const wchar_t kMessageClass[] = L"TolvarMessages";
const wchar_t kBoxClass[] = L"TolvarMessageBox";

namespace {

void Register(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.style = CS_DBLCLKS;
    info.lpfnWndProc = proc;
    info.hInstance = GetModuleHandleW(nullptr);
    info.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    info.hbrBackground = background;
    info.lpszClassName = name;
    if (name == kFormClass || name == kApplicationClass)
        info.hIcon = LoadIconW(info.hInstance, L"MAINICON");
    RegisterClassExW(&info);
}

LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT answer = 0; AccessibleMessage(window, message, wParam, lParam, answer))
        return answer;
    switch (message) {
    case WM_ACTIVATE:
    case WM_SETFOCUS:
        // The task bar entry hands the activation to the open box, else to the main window.
        if (message == WM_SETFOCUS || LOWORD(wParam) != WA_INACTIVE) {
            if (State().openBox != nullptr && IsWindowVisible(State().openBox)) {
                SetActiveWindow(State().openBox);
                return 0;
            }
            if (State().mainForm && IsWindowVisible(State().mainForm) &&
                IsWindowEnabled(State().mainForm)) {
                SetActiveWindow(State().mainForm);
                return 0;
            }
        }
        break;
    case WM_QUERYENDSESSION:
        // Logging off or shutting down waits while a transfer runs.
        return State().sessionHeld ? FALSE : TRUE;
    case WM_CLOSE:
        if (State().mainForm != nullptr) {
            PostMessageW(State().mainForm, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void RegisterWindowClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    Register(kFormClass, FormProc);
    Register(kPanelClass, PanelProc);
    Register(kLabelClass, LabelProc);
    Register(kImageClass, ImageProc);
    Register(kApplicationClass, ApplicationProc);
    Register(kBoxClass, MessageBoxProc, GetSysColorBrush(COLOR_BTNFACE));
}

} // namespace tolvar::win32
