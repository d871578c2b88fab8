#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Peer.h"

namespace tolvar::win32 {

namespace {

class TWin32FormPeer final : public TWin32Peer, public TFormPeer {
public:
    explicit TWin32FormPeer(TCustomForm& form)
        : TWin32Peer(form, CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, L"",
                                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                           CW_USEDEFAULT, 0, 0, State().applicationWindow, nullptr,
                                           GetModuleHandleW(nullptr), nullptr)),
          form_(form) {
        if (State().mainForm == nullptr)
            State().mainForm = window_;
        HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
        if (icon != nullptr)
            SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        AnswerForAccessibility();
    }
    ~TWin32FormPeer() override {
        if (State().mainForm == window_)
            State().mainForm = nullptr;
    }

    void SetBounds(const TRect& rect) override {
        // The stored size is the client area's; the frame comes on top. The stored position is
        // the window's, scaled; at a scale that makes the window too large for its place, it
        // moves into the work area of the monitor it opens on.
        RECT outer{Scale(rect.left), Scale(rect.top), Scale(rect.Right()), Scale(rect.Bottom())};
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
        AdjustWindowRectEx(&outer, style, FALSE, exStyle);
        OffsetRect(&outer, Scale(rect.left) - outer.left, Scale(rect.top) - outer.top);
        TRect placed{outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top};
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromRect(&outer, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& work = monitor.rcWork;
            placed =
                FitInto(placed, TRect::FromEdges(work.left, work.top, work.right, work.bottom));
        }
        settingBounds_ = true;
        SetWindowPos(window_, nullptr, placed.left, placed.top, placed.width, placed.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        settingBounds_ = false;
    }
    void SetVisible(bool visible) override {
        if (!visible)
            ::ShowWindow(window_, SW_HIDE);
        else if (shown_)
            ::ShowWindow(window_, SW_SHOW);
    }
    void ShowWindow() override {
        shown_ = true;
        ::ShowWindow(window_, SW_SHOWNORMAL);
        SetForegroundWindow(window_);
    }
    void CloseWindow() override {
        ::ShowWindow(window_, SW_HIDE);
        // Wakes a message loop that waits, so it sees that the form closed.
        PostMessageW(State().messageWindow, WM_NULL, 0, 0);
    }

    void Announce(const std::string& text) override { AnnounceText(text); }

    void SetTabOrder(const std::vector<TControl*>& chain) override {
        tabChain_ = chain;
        // The dialog manager walks sibling windows in their order, so each one in the chain
        // goes to the bottom in turn; the ones that take Tab get WS_TABSTOP.
        for (TControl* control : chain) {
            auto* peer = dynamic_cast<TWin32Peer*>(&control->Peer());
            if (peer == nullptr || peer->Handle() == nullptr)
                continue;
            SetWindowPos(peer->Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            LONG_PTR style = GetWindowLongPtrW(peer->Handle(), GWL_STYLE);
            style = control->TabStop() ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
            SetWindowLongPtrW(peer->Handle(), GWL_STYLE, style);
        }
    }
    void ChildBroughtToFront() override {
        if (!tabChain_.empty())
            SetTabOrder(std::vector<TControl*>(tabChain_));
    }

    TCustomForm& Form() { return form_; }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        if (AccessibleMessage(window_, message, wParam, lParam, result))
            return result;
        switch (message) {
        case WM_QUERYENDSESSION:
            // Logging off or shutting down waits while a transfer runs.
            return State().sessionHeld ? FALSE : TRUE;
        case WM_CLOSE:
            // While the upload runs the window stays; otherwise closing asks nothing.
            if (!State().inputBlocked) {
                RunHandler([this] { Form().PeerClosed(); });
                ::ShowWindow(window_, SW_HIDE);
                PostMessageW(State().messageWindow, WM_NULL, 0, 0);
            }
            return 0;
        case WM_COMMAND:
            if (lParam == 0 || PeerOf(reinterpret_cast<HWND>(lParam)) == nullptr) {
                if (LOWORD(wParam) == IDOK) {
                    RunHandler([this] { Form().PeerDialogKey(TKey::Return); });
                    return 0;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    RunHandler([this] { Form().PeerDialogKey(TKey::Escape); });
                    return 0;
                }
            }
            // A control placed on the form itself reports through it as through any container.
            if (HandleChildMessage(message, wParam, lParam, result))
                return result;
            break;
        case DM_GETDEFID:
            // The model picks the button for Enter (IDOK reaches it as Return).
            return 0;
        case WM_SIZE:
            if (!settingBounds_ && wParam != SIZE_MINIMIZED)
                RunHandler([this, lParam] {
                    control_.PeerResized({Unscale(LOWORD(lParam)), Unscale(HIWORD(lParam))});
                });
            return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            // A high-contrast scheme or the theme switched: every colour is asked again, the
            // themed background drawn again.
            ForgetSystemSettings();
            RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            break;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(window_, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, Brush(color_));
            return 1;
        }
        case WM_ACTIVATE:
            // Like a dialog: the focus comes back to where it was.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus))
                    lastFocus_ = focus;
            } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) &&
                       IsChild(window_, lastFocus_)) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            // Minimising goes through the application window, which owns the task bar entry.
            if ((wParam & 0xFFF0) == SC_MINIMIZE && State().applicationWindow != nullptr) {
                ::ShowWindow(State().applicationWindow, SW_MINIMIZE);
                return 0;
            }
            break;
        default:
            if (HandleChildMessage(message, wParam, lParam, result))
                return result;
        }
        return DefWindowProcW(window_, message, wParam, lParam);
    }

private:
    TCustomForm& form_;
    std::vector<TControl*> tabChain_;
    bool shown_ = false;
    bool settingBounds_ = false;
    HWND lastFocus_ = nullptr;
};

} // namespace

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* form = dynamic_cast<TWin32FormPeer*>(PeerOf(window)))
        return form->Handle(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

std::unique_ptr<TFormPeer> CreateWin32FormPeer(TCustomForm& form) {
    return std::make_unique<TWin32FormPeer>(form);
}

} // namespace tolvar::win32
