#include "framework/widgets/win32/Win32Peer.h"

#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/widgets/win32/Win32Accessible.h"

#include <oleacc.h>

namespace tolvar::win32 {

namespace {

// What a control of ours is, from what the model told its peer.
class TPeerAccessible final : public TAccessibleSource {
public:
    explicit TPeerAccessible(TWin32Peer& peer) : peer_(peer) {}
    TAccessibleFacts AccessibleFacts() const override {
        const TAccessibleInfo& info = peer_.AccessibleInfo();
        TAccessibleFacts facts;
        facts.role = MsaaRole(info.role);
        facts.name = Wide(info.name);
        facts.description = Wide(info.description);
        switch (info.role) {
        case TAccessibleRole::Link:
            facts.defaultAction = L"Przejdź";
            facts.states = STATE_SYSTEM_LINKED | STATE_SYSTEM_READONLY;
            break;
        case TAccessibleRole::Heading:
        case TAccessibleRole::Text:
            facts.states = STATE_SYSTEM_READONLY;
            break;
        default:
            break;
        }
        return facts;
    }
    void DoDefaultAction() override {
        TControl& control = peer_.Control();
        RunHandler([&control] { control.PeerClicked(); });
    }
    std::wstring Announcement() const override { return announcement; }

    std::wstring announcement;

private:
    TWin32Peer& peer_;
};
// Child identifiers start above the dialog ones (IDOK, IDCANCEL, ...), so a command from a
// control is never taken for a dialog key.
int nextChildId = 1000;

} // namespace

TWin32Peer* PeerOf(HWND window) {
    const auto& peers = State().peers;
    const auto found = peers.find(window);
    return found == peers.end() ? nullptr : found->second;
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
    State().peers[window_] = this;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font_)), FALSE);
}

TWin32Peer::~TWin32Peer() {
    State().peers.erase(window_);
    if (window_ != nullptr && IsWindow(window_)) {
        SetAccessibleSource(window_, nullptr);
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

void TWin32Peer::AnswerForAccessibility() {
    ownAccessible_ = std::make_unique<TPeerAccessible>(*this);
    SetAccessibleSource(window_, ownAccessible_.get());
}

void TWin32Peer::SetAccessible(const TAccessibleInfo& info) {
    const bool nameChanged = info.name != accessible_.name;
    accessible_ = info;
    if (ownAccessible_ == nullptr) {
        // A standard control's text is its name already, its mnemonic marker left out.
        const int length = GetWindowTextLengthW(window_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(window_, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        AnnotateStandardControl(
            window_, info, Narrow(text) == info.name || WithoutMnemonic(Narrow(text)) == info.name);
        return;
    }
    if (nameChanged)
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, CHILDID_SELF);
}

void TWin32Peer::AnnounceText(const std::string& text) {
    if (auto* own = dynamic_cast<TPeerAccessible*>(ownAccessible_.get())) {
        own->announcement = Wide(text);
        NotifyWinEvent(EVENT_SYSTEM_ALERT, window_, OBJID_CLIENT, kAnnouncementChild);
    }
}

HBRUSH TWin32Peer::ControlColor(HDC dc) {
    SetTextColor(dc, ResolveColor(TextColorFor(font_.color, HighContrast())));
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
