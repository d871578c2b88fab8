#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Paint.h"

namespace tolvar::win32 {

namespace {

class TWin32PanelPeer final : public TWin32Peer, public TPanelPeer {
public:
    explicit TWin32PanelPeer(TCustomPanel& panel)
        : TWin32Peer(panel, MakeWindow(WS_EX_CONTROLPARENT, kPanelClass,
                                       WS_CLIPCHILDREN | WS_CLIPSIBLINGS, panel)) {
        AnswerForAccessibility();
    }

    void Draw(HDC dc, const RECT& client) {
        ::FillRect(dc, &client, Brush(color_));
        THdcCanvas canvas(dc, window_);
        RunHandler([this, &canvas] { control_.PeerPaint(canvas); });
    }
};

} // namespace

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (AccessibleMessage(window, message, wParam, lParam, result))
        return result;
    if (HandleChildMessage(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (PaintMessage<TWin32PanelPeer>(window, message, wParam))
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::unique_ptr<TPanelPeer> CreateWin32PanelPeer(TCustomPanel& panel) {
    return std::make_unique<TWin32PanelPeer>(panel);
}

} // namespace tolvar::win32
