#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Paint.h"

namespace tolvar::win32 {

namespace {

UINT TextFormat(const TTextStyle& style) {
    UINT format = DT_NOPREFIX | DT_EXPANDTABS;
    if (style.alignment == TAlignment::Center)
        format |= DT_CENTER;
    else if (style.alignment == TAlignment::Right)
        format |= DT_RIGHT;
    if (style.wordWrap)
        format |= DT_WORDBREAK;
    return format;
}

class TWin32LabelPeer final : public TWin32Peer, public TLabelPeer {
public:
    explicit TWin32LabelPeer(TLabel& label)
        : TWin32Peer(label, MakeWindow(0, kLabelClass, WS_CLIPSIBLINGS, label)) {
        AnswerForAccessibility();
    }

    void SetTextStyle(const TTextStyle& style) override {
        style_ = style;
        InvalidateRect(window_, nullptr, TRUE);
    }

    UINT Format() const { return TextFormat(style_); }

    std::wstring Text() const {
        const int length = GetWindowTextLengthW(window_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(window_, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        return text;
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
            SetTextColor(dc, enabled ? ResolveColor(TextColorFor(font_.color, HighContrast()))
                                     : GetSysColor(COLOR_GRAYTEXT));
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

    void SetHandCursor(bool hand) override { hand_ = hand; }
    // The hand over a link that can be followed; a disabled window gets no cursor request.
    bool SetCursorHere() const {
        if (!hand_)
            return false;
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return true;
    }

private:
    TTextStyle style_;
    bool hand_ = false;
};

} // namespace

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* label = dynamic_cast<TWin32LabelPeer*>(PeerOf(window));
    if (LRESULT answer = 0; AccessibleMessage(window, message, wParam, lParam, answer))
        return answer;
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
        if (PaintMessage<TWin32LabelPeer>(window, message, wParam))
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
    case WM_SETCURSOR:
        if (label != nullptr && LOWORD(lParam) == HTCLIENT && label->SetCursorHere())
            return TRUE;
        break;
    case WM_NCDESTROY:
        RemovePropW(window, L"TolvarFont");
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TSize MeasureLabel(const TLabel& label, int width) {
    // The screen's context: the label may have no window yet, and our fonts are made at the
    // widget set's DPI.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font(label.Font()));
    std::wstring text = Wide(label.Caption());
    // An empty line still has a height.
    if (text.empty())
        text = L" ";
    RECT r{0, 0, width < 0 ? 0 : Scale(width), 0};
    UINT format = TextFormat(label.TextStyle()) | DT_CALCRECT;
    if (width < 0)
        format &= ~static_cast<UINT>(DT_WORDBREAK);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int dpi = Dpi();
    // Rounded up, so that the text fits again once scaled.
    return {static_cast<int>((static_cast<long long>(r.right - r.left) * 96 + dpi - 1) / dpi),
            static_cast<int>((static_cast<long long>(r.bottom - r.top) * 96 + dpi - 1) / dpi)};
}

std::unique_ptr<TLabelPeer> CreateWin32LabelPeer(TLabel& label) {
    return std::make_unique<TWin32LabelPeer>(label);
}

} // namespace tolvar::win32
