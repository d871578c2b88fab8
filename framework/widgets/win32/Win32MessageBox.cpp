// The modal box. MessageBoxW cannot take button texts of our own ("&Yes" through the text
// lookup), so the box is a small window of ours with standard controls.

#include "framework/MessageBoxes.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <algorithm>
#include <cstring>
#include <oleacc.h>

namespace tolvar::win32 {

namespace {

constexpr int kFirstButtonId = 2000;

struct TBoxState {
    const TMessageRequest* request = nullptr;
    HWND window = nullptr;
    HWND textWindow = nullptr;
    HICON icon = nullptr;
    RECT iconRect{};
    HFONT font = nullptr;
    // The button that had the focus when the box was last left for another window.
    HWND lastFocus = nullptr;
    bool done = false;
    int result = mrNone;
};

TBoxState* current = nullptr;

// A box is a dialog named by its caption whose description is its text, as a screen reader
// reads the system's own boxes; an error is an alert.
class TBoxAccessible final : public TAccessibleSource {
public:
    explicit TBoxAccessible(const TMessageRequest& request) : request_(request) {}
    TAccessibleFacts AccessibleFacts() const override {
        TAccessibleFacts facts;
        facts.role = request_.icon == TMsgIcon::Error ? ROLE_SYSTEM_ALERT : ROLE_SYSTEM_DIALOG;
        facts.name = Wide(request_.caption);
        facts.description = Wide(request_.text);
        return facts;
    }

private:
    const TMessageRequest& request_;
};

void Finish(int result) {
    if (current == nullptr || current->done)
        return;
    current->result = result;
    current->done = true;
}

int ResultOfButton(HWND button) {
    const int id = GetDlgCtrlID(button) - kFirstButtonId;
    if (current == nullptr || id < 0 || id >= static_cast<int>(current->request->buttons.size()))
        return -1;
    return current->request->buttons[static_cast<std::size_t>(id)].result;
}

LPCWSTR IconName(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Error:
        return reinterpret_cast<LPCWSTR>(IDI_ERROR);
    case TMsgIcon::Question:
        return reinterpret_cast<LPCWSTR>(IDI_QUESTION);
    case TMsgIcon::Warning:
        return reinterpret_cast<LPCWSTR>(IDI_WARNING);
    case TMsgIcon::Information:
        return reinterpret_cast<LPCWSTR>(IDI_INFORMATION);
    case TMsgIcon::None:
        break;
    }
    return nullptr;
}

std::wstring Lines(const std::string& text) {
    std::wstring wide = Wide(text);
    // A lone line feed breaks the line too.
    std::wstring out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r'))
            out += L'\r';
        out += wide[i];
    }
    return out;
}

UINT BeepType(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Error:
        return MB_ICONHAND;
    case TMsgIcon::Question:
        return MB_ICONQUESTION;
    case TMsgIcon::Warning:
        return MB_ICONEXCLAMATION;
    case TMsgIcon::Information:
        return MB_ICONASTERISK;
    case TMsgIcon::None:
        break;
    }
    return MB_OK;
}

std::wstring WithoutAccelerators(const std::wstring& caption) {
    std::wstring out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

} // namespace

std::wstring MessageBoxCopyText(const TMessageRequest& request) {
    // The layout of the system's boxes: caption, text and buttons between lines of dashes.
    const std::wstring rule = L"---------------------------\r\n";
    std::wstring buttons;
    for (const TMessageButton& button : request.buttons)
        buttons += WithoutAccelerators(Wide(button.caption)) + L"   ";
    return rule + Wide(request.caption) + L"\r\n" + rule + Lines(request.text) + L"\r\n" + rule +
           buttons + L"\r\n" + rule;
}

namespace {

void CopyToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* data = GlobalLock(memory)) {
            std::memcpy(data, text.c_str(), bytes);
            GlobalUnlock(memory);
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

bool ControlDown() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Keys of the box: Enter presses the focused button or the default one, Escape gives the escape
// result, Ctrl+C and Ctrl+Insert copy the box as text. True when the key was used up.
bool BoxKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || current == nullptr)
        return false;
    if ((message.wParam == 'C' || message.wParam == VK_INSERT) && ControlDown()) {
        CopyToClipboard(current->window, MessageBoxCopyText(*current->request));
        return true;
    }
    if (message.wParam == VK_ESCAPE) {
        Finish(current->request->escapeResult);
        return true;
    }
    if (message.wParam == VK_RETURN) {
        const int focused = ResultOfButton(GetFocus());
        if (focused >= 0)
            Finish(focused);
        else if (current->request->defaultResult != mrNone)
            Finish(current->request->defaultResult);
        return true;
    }
    return false;
}

} // namespace

LRESULT CALLBACK MessageBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT answer = 0; AccessibleMessage(window, message, wParam, lParam, answer))
        return answer;
    switch (message) {
    case WM_COMMAND: {
        const int result = ResultOfButton(reinterpret_cast<HWND>(lParam));
        if (result >= 0 && HIWORD(wParam) == BN_CLICKED) {
            Finish(result);
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL && current != nullptr) {
            Finish(current->request->escapeResult);
            return 0;
        }
        break;
    }
    case DM_GETDEFID:
        return 0;
    case WM_ACTIVATE:
        // Like a dialog: the focus comes back to the button that had it.
        if (current != nullptr && current->window == window) {
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window, focus))
                    current->lastFocus = focus;
            } else if (current->lastFocus != nullptr && IsWindow(current->lastFocus)) {
                SetFocus(current->lastFocus);
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        if (current != nullptr)
            Finish(current->request->escapeResult);
        return 0;
    case WM_PAINT:
        if (current != nullptr && current->icon != nullptr) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            DrawIconEx(dc, current->iconRect.left, current->iconRect.top, current->icon,
                       current->iconRect.right - current->iconRect.left,
                       current->iconRect.bottom - current->iconRect.top, 0, nullptr, DI_NORMAL);
            EndPaint(window, &ps);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunMessageBox(const TMessageRequest& request) {
    TBoxState state;
    state.request = &request;
    TBoxState* enclosing = current;
    current = &state;

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    // The system's message font, at our DPI.
    HDC dc = GetDC(nullptr);
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, Dpi(), GetDeviceCaps(dc, LOGPIXELSY));
    state.font = CreateFontIndirectW(&metrics.lfMessageFont);

    const std::wstring text = Lines(request.text);
    HGDIOBJ oldFont = SelectObject(dc, state.font);
    RECT textRect{0, 0, Scale(400), 0};
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), text.empty() ? 1 : -1, &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    std::vector<int> buttonWidths;
    for (const TMessageButton& button : request.buttons) {
        const std::wstring caption = Wide(button.caption);
        RECT r{0, 0, 0, 0};
        DrawTextW(dc, caption.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
        buttonWidths.push_back(std::max(Scale(75), static_cast<int>(r.right) + Scale(16)));
    }
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);

    const int margin = Scale(12);
    const int iconSize = request.icon == TMsgIcon::None ? 0 : Scale(32);
    const int buttonHeight = Scale(23);
    const int gap = Scale(6);
    int buttonsWidth = 0;
    for (int width : buttonWidths)
        buttonsWidth += width + gap;
    buttonsWidth = std::max(0, buttonsWidth - gap);
    const int textLeft = margin + (iconSize ? iconSize + margin : 0);
    const int contentHeight = std::max(iconSize, static_cast<int>(textRect.bottom));
    const int clientWidth =
        std::max(textLeft + static_cast<int>(textRect.right) + margin, buttonsWidth + 2 * margin);
    const int clientHeight = margin + contentHeight + margin + buttonHeight + margin;

    HWND owner = State().mainForm;
    if (owner != nullptr && !IsWindowVisible(owner))
        owner = State().applicationWindow;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    RECT around;
    if (request.centreOnScreen || owner == nullptr || !IsWindowVisible(owner)) {
        POINT origin{0, 0};
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &monitor);
        around = monitor.rcWork;
    } else {
        GetWindowRect(owner, &around);
    }
    const int left = around.left + (around.right - around.left - width) / 2;
    const int top = around.top + (around.bottom - around.top - height) / 2;

    state.window =
        CreateWindowExW(exStyle, kBoxClass, Wide(request.caption).c_str(), style, left, top, width,
                        height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    TBoxAccessible accessible(request);
    SetAccessibleSource(state.window, &accessible);
    if (iconSize) {
        state.icon = static_cast<HICON>(
            LoadImageW(nullptr, IconName(request.icon), IMAGE_ICON, iconSize, iconSize, LR_SHARED));
        state.iconRect = {margin, margin, margin + iconSize, margin + iconSize};
    }
    const int textTop = margin + (contentHeight - textRect.bottom) / 2;
    state.textWindow = CreateWindowExW(
        0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, textLeft,
        textTop, textRect.right, textRect.bottom, state.window, nullptr, nullptr, nullptr);
    SendMessageW(state.textWindow, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);

    HWND defaultButton = nullptr;
    int x = (clientWidth - buttonsWidth) / 2;
    const int y = clientHeight - margin - buttonHeight;
    for (std::size_t i = 0; i < request.buttons.size(); ++i) {
        const bool isDefault = request.buttons[i].result == request.defaultResult;
        HWND button = CreateWindowExW(
            0, L"BUTTON", Wide(request.buttons[i].caption).c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), x,
            y, buttonWidths[i], buttonHeight, state.window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + static_cast<int>(i))),
            nullptr, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
        if (isDefault)
            defaultButton = button;
        x += buttonWidths[i] + gap;
    }
    if (request.escapeResult == mrNone && request.buttons.size() > 1)
        EnableMenuItem(GetSystemMenu(state.window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    // Modal: the rest of the program takes no input until the box is answered.
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    HWND enclosingBox = State().openBox;
    State().openBox = state.window;
    State().messageBeep(BeepType(request.icon));
    ShowWindow(state.window, SW_SHOWNORMAL);
    SetForegroundWindow(state.window);
    // The system says so of its own dialogs; a screen reader reads the box's text on it.
    NotifyWinEvent(EVENT_SYSTEM_DIALOGSTART, state.window, OBJID_WINDOW, CHILDID_SELF);
    if (request.icon == TMsgIcon::Error)
        NotifyWinEvent(EVENT_SYSTEM_ALERT, state.window, OBJID_CLIENT, CHILDID_SELF);
    if (defaultButton != nullptr)
        SetFocus(defaultButton);
    else if (HWND first = GetDlgItem(state.window, kFirstButtonId))
        SetFocus(first);

    MSG message;
    while (!state.done) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(message.wParam));
            Finish(request.escapeResult);
            break;
        }
        const bool forBox =
            message.hwnd == state.window || IsChild(state.window, message.hwnd) != 0;
        if (forBox && BoxKey(message))
            continue;
        if (forBox && IsDialogMessageW(state.window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    State().openBox = enclosingBox;
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    NotifyWinEvent(EVENT_SYSTEM_DIALOGEND, state.window, OBJID_WINDOW, CHILDID_SELF);
    SetAccessibleSource(state.window, nullptr);
    DestroyWindow(state.window);
    if (ownerWasEnabled)
        SetActiveWindow(owner);
    DeleteObject(state.font);
    current = enclosing;
    return state.result;
}

} // namespace tolvar::win32
