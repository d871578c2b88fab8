#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Internal.h"

#include <algorithm>
#include <commctrl.h>
#include <uxtheme.h>

namespace tolvar::win32 {

const wchar_t kFormClass[] = L"TolvarForm";
const wchar_t kPanelClass[] = L"TolvarPanel";
const wchar_t kLabelClass[] = L"TolvarLabel";
const wchar_t kImageClass[] = L"TolvarImage";
const wchar_t kApplicationClass[] = L"TolvarApplication";
const wchar_t kMessageClass[] = L"TolvarMessages";
const wchar_t kBoxClass[] = L"TolvarMessageBox";

namespace {

const wchar_t kPeerProperty[] = L"TolvarPeer";
// Child identifiers start above the dialog ones (IDOK, IDCANCEL, ...), so a command from a
// control is never taken for a dialog key.
int nextChildId = 1000;

// Theme drawing from uxtheme, where the system has it.
struct TTheme {
    using OpenFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    using CloseFn = HRESULT(WINAPI*)(HTHEME);
    using DrawFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    using BoolFn = BOOL(WINAPI*)();
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    DrawFn draw = nullptr;
    BoolFn active = nullptr;
    BoolFn themed = nullptr;
    TTheme() {
        HMODULE module = LoadLibraryW(L"uxtheme.dll");
        if (module == nullptr)
            return;
        open = reinterpret_cast<OpenFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "OpenThemeData")));
        close = reinterpret_cast<CloseFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "CloseThemeData")));
        draw = reinterpret_cast<DrawFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeBackground")));
        active = reinterpret_cast<BoolFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsThemeActive")));
        themed = reinterpret_cast<BoolFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsAppThemed")));
    }
    bool Usable() const {
        return open && close && draw && active && themed && active() && themed();
    }
};

const TTheme& Theme() {
    static TTheme theme;
    return theme;
}

// Painting of a control that paints itself, in its stored coordinates.
class THdcCanvas : public TCanvas {
public:
    THdcCanvas(HDC dc, HWND window) : dc_(dc), window_(window) {}
    void FillRect(const TRect& rect, TColor color) override {
        const RECT r = ScaleRect(rect);
        ::FillRect(dc_, &r, Brush(color));
    }
    void DrawEtchedLine(const TRect& rect) override {
        RECT r = ScaleRect(rect);
        DrawEdge(dc_, &r, EDGE_ETCHED, BF_TOP);
    }
    bool DrawThemedTabBackground(const TRect& rect) override {
        const TTheme& theme = Theme();
        if (!theme.Usable())
            return false;
        HTHEME handle = theme.open(window_, L"Tab");
        if (handle == nullptr)
            return false;
        const RECT r = ScaleRect(rect);
        const bool drawn = SUCCEEDED(theme.draw(handle, dc_, 2, 0, &r, nullptr));
        theme.close(handle);
        return drawn;
    }

private:
    HDC dc_;
    HWND window_;
};

// Paints through an off-screen bitmap, so a repaint does not flicker.
template <class F> void BufferedPaint(HWND window, F&& paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap =
        CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory, client);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

LRESULT CALLBACK ContainerSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR);

HWND MakeWindow(DWORD exStyle, const wchar_t* windowClass, DWORD style, const TControl& control) {
    HWND parent = ParentWindow(control);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextChildId++));
    return CreateWindowExW(exStyle, windowClass, L"", style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           parent, id, GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TWin32Peer* PeerOf(HWND window) {
    return window ? static_cast<TWin32Peer*>(GetPropW(window, kPeerProperty)) : nullptr;
}

TWin32Peer* PeerAround(HWND window) {
    for (; window != nullptr; window = GetParent(window))
        if (TWin32Peer* peer = PeerOf(window))
            return peer;
    return nullptr;
}

HWND ParentWindow(const TControl& control) {
    if (control.Parent() == nullptr)
        return nullptr;
    auto* peer = dynamic_cast<TWin32Peer*>(&control.Parent()->Peer());
    return peer ? peer->Handle() : nullptr;
}

TWin32Peer::TWin32Peer(TControl& control, HWND window) : control_(control), window_(window) {
    if (window_ == nullptr)
        throw Exception("Cannot create a window (error " + std::to_string(GetLastError()) + ")");
    SetPropW(window_, kPeerProperty, this);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font_)), FALSE);
}

TWin32Peer::~TWin32Peer() {
    if (window_ != nullptr && IsWindow(window_)) {
        RemovePropW(window_, kPeerProperty);
        DestroyWindow(window_);
    }
}

void TWin32Peer::SetBounds(const TRect& rect) {
    const RECT r = ScaleRect(rect);
    SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Peer::SetVisible(bool visible) {
    ::ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
}

void TWin32Peer::SetEnabled(bool enabled) {
    EnableWindow(window_, enabled);
    InvalidateRect(window_, nullptr, TRUE);
}

void TWin32Peer::SetCaption(const std::string& caption) {
    SetWindowTextW(window_, Wide(caption).c_str());
}

void TWin32Peer::SetFont(const TFont& font) {
    font_ = font;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font)), TRUE);
    InvalidateRect(window_, nullptr, TRUE);
}

void TWin32Peer::SetColor(TColor color) {
    color_ = color;
    InvalidateRect(window_, nullptr, TRUE);
}

void TWin32Peer::SetFocus() {
    ::SetFocus(window_);
}

bool TWin32Peer::Focused() const {
    HWND focus = GetFocus();
    return focus != nullptr && (focus == window_ || IsChild(window_, focus));
}

void TWin32Peer::BringToFront() {
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Tab follows the order of the windows: keep the container's tab order.
    if (control_.Parent() != nullptr)
        if (auto* parent = dynamic_cast<TWin32Peer*>(&control_.Parent()->Peer()))
            if (!parent->tabChain_.empty())
                parent->SetTabOrder(std::vector<TControl*>(parent->tabChain_));
}

void TWin32Peer::Invalidate() {
    InvalidateRect(window_, nullptr, TRUE);
}

void TWin32Peer::SetTabOrder(const std::vector<TControl*>& chain) {
    tabChain_ = chain;
    // The dialog manager walks sibling windows in their order, so each one in the chain goes
    // to the bottom in turn; the ones that take Tab get WS_TABSTOP.
    for (TControl* control : chain) {
        auto* peer = dynamic_cast<TWin32Peer*>(&control->Peer());
        if (peer == nullptr || peer->window_ == nullptr)
            continue;
        SetWindowPos(peer->window_, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        LONG_PTR style = GetWindowLongPtrW(peer->window_, GWL_STYLE);
        style = control->TabStop() ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
        SetWindowLongPtrW(peer->window_, GWL_STYLE, style);
    }
}

HBRUSH TWin32Peer::ControlColor(HDC dc) {
    SetTextColor(dc, ResolveColor(font_.color));
    SetBkColor(dc, ResolveColor(color_));
    return Brush(color_);
}

bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        if (TWin32Peer* peer = PeerOf(reinterpret_cast<HWND>(lParam))) {
            peer->Command(HIWORD(wParam));
            result = 0;
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (TWin32Peer* peer = PeerOf(reinterpret_cast<HWND>(lParam))) {
            result = reinterpret_cast<LRESULT>(peer->ControlColor(reinterpret_cast<HDC>(wParam)));
            return true;
        }
        return false;
    default:
        return false;
    }
}

namespace {

// ---- Form

class TFormPeer : public TWin32Peer {
public:
    explicit TFormPeer(TControl& control)
        : TWin32Peer(control, CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, L"",
                                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                              CW_USEDEFAULT, 0, 0, State().applicationWindow,
                                              nullptr, GetModuleHandleW(nullptr), nullptr)) {
        if (State().mainForm == nullptr)
            State().mainForm = window_;
        HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
        if (icon != nullptr)
            SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    ~TFormPeer() override {
        if (State().mainForm == window_)
            State().mainForm = nullptr;
    }

    void SetBounds(const TRect& rect) override {
        // The stored size is the client area's; the frame comes on top.
        RECT outer{Scale(rect.left), Scale(rect.top), Scale(rect.Right()), Scale(rect.Bottom())};
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
        AdjustWindowRectEx(&outer, style, FALSE, exStyle);
        const int dx = Scale(rect.left) - outer.left;
        const int dy = Scale(rect.top) - outer.top;
        settingBounds_ = true;
        SetWindowPos(window_, nullptr, outer.left + dx, outer.top + dy, outer.right - outer.left,
                     outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
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

    TCustomForm& Form() { return static_cast<TCustomForm&>(control_); }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        switch (message) {
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
    bool shown_ = false;
    bool settingBounds_ = false;
    HWND lastFocus_ = nullptr;
};

// ---- Panel: a container that the model paints

class TPanelPeer : public TWin32Peer {
public:
    explicit TPanelPeer(TControl& control)
        : TWin32Peer(control, MakeWindow(WS_EX_CONTROLPARENT, kPanelClass,
                                         WS_CLIPCHILDREN | WS_CLIPSIBLINGS, control)) {}

    void Draw(HDC dc, const RECT& client) {
        ::FillRect(dc, &client, Brush(color_));
        THdcCanvas canvas(dc, window_);
        RunHandler([this, &canvas] { control_.PeerPaint(canvas); });
    }
};

// ---- Group box: a standard frame whose children report through it

class TGroupBoxPeer : public TWin32Peer {
public:
    explicit TGroupBoxPeer(TControl& control)
        : TWin32Peer(control,
                     MakeWindow(WS_EX_CONTROLPARENT, L"BUTTON",
                                BS_GROUPBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, control)) {
        SetWindowSubclass(window_, ContainerSubclass, 1, 0);
    }
    ~TGroupBoxPeer() override {
        if (window_ != nullptr && IsWindow(window_))
            RemoveWindowSubclass(window_, ContainerSubclass, 1);
    }
};

// ---- Label: drawn by us for the raised effect, the margin and the colours

class TLabelPeer : public TWin32Peer {
public:
    explicit TLabelPeer(TControl& control)
        : TWin32Peer(control, MakeWindow(0, kLabelClass, WS_CLIPSIBLINGS, control)) {}

    void SetTextStyle(const TTextStyle& style) override {
        style_ = style;
        InvalidateRect(window_, nullptr, TRUE);
    }

    UINT Format() const {
        UINT format = DT_NOPREFIX | DT_EXPANDTABS;
        if (style_.alignment == TAlignment::Center)
            format |= DT_CENTER;
        else if (style_.alignment == TAlignment::Right)
            format |= DT_RIGHT;
        if (style_.wordWrap)
            format |= DT_WORDBREAK;
        return format;
    }

    std::wstring Text() const {
        const int length = GetWindowTextLengthW(window_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(window_, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        return text;
    }

    TSize MeasureText(int width) const override {
        HDC dc = GetDC(window_);
        HGDIOBJ old = SelectObject(dc, Font(font_));
        std::wstring text = Text();
        // An empty line still has a height.
        if (text.empty())
            text = L" ";
        RECT r{0, 0, width < 0 ? 0 : Scale(width), 0};
        UINT format = Format() | DT_CALCRECT;
        if (width < 0)
            format &= ~static_cast<UINT>(DT_WORDBREAK);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        const int dpi = Dpi();
        // Rounded up, so that the text fits again once scaled.
        return {static_cast<int>((static_cast<long long>(r.right - r.left) * 96 + dpi - 1) / dpi),
                static_cast<int>((static_cast<long long>(r.bottom - r.top) * 96 + dpi - 1) / dpi)};
    }

    void Draw(HDC dc, const RECT& client) {
        {
            ::FillRect(dc, &client, Brush(color_));
            RECT area = client;
            const int margin = Scale(style_.margin);
            InflateRect(&area, -margin, -margin);
            const std::wstring text = Text();
            HGDIOBJ old = SelectObject(dc, Font(font_));
            SetBkMode(dc, TRANSPARENT);
            const bool enabled = IsWindowEnabled(window_);
            if (style_.effect == TTextEffect::Raised) {
                // A highlight edge above left; no dark copy, which would read as a shadow.
                const int step = std::max(1, Dpi() / 96);
                RECT raised = area;
                OffsetRect(&raised, -step, -step);
                SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &raised, Format());
            }
            SetTextColor(dc, enabled ? ResolveColor(font_.color) : GetSysColor(COLOR_GRAYTEXT));
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, Format());
            SelectObject(dc, old);
        }
    }

    void Mouse(UINT message, LPARAM lParam) {
        const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
        const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
        if (down)
            SetCapture(window_);
        else if (GetCapture() == window_)
            ReleaseCapture();
        RECT client;
        GetClientRect(window_, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool inside = PtInRect(&client, at) != 0;
        RunHandler([this, down, left, inside] { control_.PeerMouse(down, left, inside); });
    }

private:
    TTextStyle style_;
};

// ---- Check box

class TCheckBoxPeer : public TWin32Peer {
public:
    explicit TCheckBoxPeer(TControl& control)
        : TWin32Peer(control,
                     MakeWindow(0, L"BUTTON", BS_AUTOCHECKBOX | WS_CLIPSIBLINGS, control)) {}
    void SetChecked(bool checked) override {
        SendMessageW(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void Command(WORD code) override {
        if (code != BN_CLICKED)
            return;
        const bool checked = SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        RunHandler([this, checked] { control_.PeerToggled(checked); });
    }
};

// ---- Push button

class TButtonPeer : public TWin32Peer {
public:
    explicit TButtonPeer(TControl& control)
        : TWin32Peer(control, MakeWindow(0, L"BUTTON", BS_PUSHBUTTON | WS_CLIPSIBLINGS, control)) {}
    void SetDefault(bool isDefault) override {
        SendMessageW(window_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    void Command(WORD code) override {
        if (code == BN_CLICKED)
            RunHandler([this] { control_.PeerClicked(); });
    }
};

// ---- Progress bar

class TProgressBarPeer : public TWin32Peer {
public:
    explicit TProgressBarPeer(TControl& control)
        : TWin32Peer(control, MakeWindow(0, PROGRESS_CLASSW, WS_CLIPSIBLINGS, control)) {
        SendMessageW(window_, PBM_SETRANGE32, 0, 100);
    }
    void SetRange(int minimum, int maximum) override {
        SendMessageW(window_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    }
    void SetPosition(int position) override {
        SendMessageW(window_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
};

// ---- Drop-down list

class TComboBoxPeer : public TWin32Peer {
public:
    explicit TComboBoxPeer(TControl& control)
        : TWin32Peer(control,
                     MakeWindow(0, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_CLIPSIBLINGS,
                                control)) {}
    void SetBounds(const TRect& rect) override {
        // The window's height includes the dropped list; the closed height follows the font.
        const RECT r = ScaleRect(rect);
        SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top + Scale(kListHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void SetItems(const std::vector<std::string>& items) override {
        SendMessageW(window_, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : items)
            SendMessageW(window_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
        reported_ = -1;
    }
    void SetItemIndex(int index) override {
        SendMessageW(window_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        reported_ = index;
    }
    void Command(WORD code) override {
        // Arrow keys and the wheel change a closed list at once; in an open one only the
        // choice that closes it counts. Each change is reported once.
        const bool dropped = SendMessageW(window_, CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (code == CBN_SELENDOK || (code == CBN_SELCHANGE && !dropped)) {
            const int index = static_cast<int>(SendMessageW(window_, CB_GETCURSEL, 0, 0));
            if (index == reported_)
                return;
            reported_ = index;
            RunHandler([this, index] { control_.PeerSelected(index); });
        }
    }

private:
    static constexpr int kListHeight = 160;
    int reported_ = -1;
};

// ---- Image

class TImagePeer : public TWin32Peer {
public:
    explicit TImagePeer(TControl& control)
        : TWin32Peer(control, MakeWindow(0, kImageClass, WS_CLIPSIBLINGS, control)) {}
    void SetPicture(const std::string& name, bool transparent, const TRect& target) override {
        picture_ = name;
        transparent_ = transparent;
        target_ = target;
        InvalidateRect(window_, nullptr, TRUE);
    }
    void Draw(HDC dc, const RECT& client) {
        ::FillRect(dc, &client, Brush(color_));
        if (const TPicture* picture = picture_.empty() ? nullptr : Picture(picture_))
            DrawPicture(dc, *picture, transparent_, ScaleRect(target_));
    }

private:
    std::string picture_;
    bool transparent_ = false;
    TRect target_;
};

LRESULT CALLBACK ContainerSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR) {
    LRESULT result = 0;
    if (HandleChildMessage(message, wParam, lParam, result))
        return result;
    if (message == WM_ERASEBKGND) {
        // The frame of a group box leaves its inside to the parent, which clips its children.
        if (TWin32Peer* peer = PeerOf(window)) {
            RECT client;
            GetClientRect(window, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, Brush(peer->ColorSpec()));
            return 1;
        }
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(window, ContainerSubclass, 1);
    return DefSubclassProc(window, message, wParam, lParam);
}

template <class P> P* PeerAs(HWND window) {
    return dynamic_cast<P*>(PeerOf(window));
}

// WM_PAINT through an off-screen bitmap, WM_PRINTCLIENT straight into the given context.
template <class P> bool PaintMessage(HWND window, UINT message, WPARAM wParam) {
    P* peer = PeerAs<P>(window);
    if (peer == nullptr)
        return false;
    if (message == WM_PAINT) {
        BufferedPaint(window, [peer](HDC dc, const RECT& client) { peer->Draw(dc, client); });
        return true;
    }
    if (message == WM_PRINTCLIENT) {
        RECT client;
        GetClientRect(window, &client);
        peer->Draw(reinterpret_cast<HDC>(wParam), client);
        return true;
    }
    return false;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* form = PeerAs<TFormPeer>(window))
        return form->Handle(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleChildMessage(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (PaintMessage<TPanelPeer>(window, message, wParam))
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* label = PeerAs<TLabelPeer>(window);
    switch (message) {
    case WM_SETFONT:
        SetPropW(window, L"TolvarFont", reinterpret_cast<HANDLE>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(window, L"TolvarFont"));
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (PaintMessage<TLabelPeer>(window, message, wParam))
            return 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (label != nullptr) {
            label->Mouse(message, lParam);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemovePropW(window, L"TolvarFont");
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (PaintMessage<TImagePeer>(window, message, wParam))
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

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
    switch (message) {
    case WM_ACTIVATE:
    case WM_SETFOCUS:
        // The task bar entry hands the activation to the main window.
        if ((message == WM_SETFOCUS || LOWORD(wParam) != WA_INACTIVE) && State().mainForm &&
            IsWindowVisible(State().mainForm) && IsWindowEnabled(State().mainForm)) {
            SetActiveWindow(State().mainForm);
            return 0;
        }
        break;
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
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    Register(kFormClass, FormProc);
    Register(kPanelClass, PanelProc);
    Register(kLabelClass, LabelProc);
    Register(kImageClass, ImageProc);
    Register(kApplicationClass, ApplicationProc);
    Register(kBoxClass, MessageBoxProc, GetSysColorBrush(COLOR_BTNFACE));
}

std::unique_ptr<TControlPeer> CreateWin32Peer(TControl& control) {
    switch (control.Kind()) {
    case TControlKind::Form:
        return std::make_unique<TFormPeer>(control);
    case TControlKind::Panel:
        return std::make_unique<TPanelPeer>(control);
    case TControlKind::GroupBox:
        return std::make_unique<TGroupBoxPeer>(control);
    case TControlKind::Label:
        return std::make_unique<TLabelPeer>(control);
    case TControlKind::CheckBox:
        return std::make_unique<TCheckBoxPeer>(control);
    case TControlKind::Button:
        return std::make_unique<TButtonPeer>(control);
    case TControlKind::ProgressBar:
        return std::make_unique<TProgressBarPeer>(control);
    case TControlKind::ComboBox:
        return std::make_unique<TComboBoxPeer>(control);
    case TControlKind::Image:
        return std::make_unique<TImagePeer>(control);
    }
    return nullptr;
}

} // namespace tolvar::win32
