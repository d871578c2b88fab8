#include "framework/widgets/win32/Win32Peer.h"

#include "framework/Exception.h"

namespace tolvar::win32 {

namespace {

const wchar_t kPeerProperty[] = L"TolvarPeer";
// Child identifiers start above the dialog ones (IDOK, IDCANCEL, ...), so a command from a
// control is never taken for a dialog key.
int nextChildId = 1000;

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

HWND MakeWindow(DWORD exStyle, const wchar_t* windowClass, DWORD style, const TControl& control) {
    HWND parent = ParentWindow(control);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextChildId++));
    return CreateWindowExW(exStyle, windowClass, L"", style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           parent, id, GetModuleHandleW(nullptr), nullptr);
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
    if (TWin32Peer* parent = PeerOf(GetParent(window_)))
        parent->ChildBroughtToFront();
}

void TWin32Peer::Invalidate() {
    InvalidateRect(window_, nullptr, TRUE);
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
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (TWin32Peer* peer = PeerOf(item->hwndItem); peer != nullptr && peer->DrawItem(*item)) {
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace tolvar::win32
