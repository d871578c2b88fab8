#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <commctrl.h>

namespace tolvar::win32 {

namespace {

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

class TWin32GroupBoxPeer final : public TWin32Peer, public TGroupBoxPeer {
public:
    explicit TWin32GroupBoxPeer(TGroupBox& groupBox)
        : TWin32Peer(groupBox,
                     MakeWindow(WS_EX_CONTROLPARENT, L"BUTTON",
                                BS_GROUPBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, groupBox)) {
        SetWindowSubclass(window_, ContainerSubclass, 1, 0);
    }
    ~TWin32GroupBoxPeer() override {
        if (window_ != nullptr && IsWindow(window_))
            RemoveWindowSubclass(window_, ContainerSubclass, 1);
    }
};

} // namespace

std::unique_ptr<TGroupBoxPeer> CreateWin32GroupBoxPeer(TGroupBox& groupBox) {
    return std::make_unique<TWin32GroupBoxPeer>(groupBox);
}

} // namespace tolvar::win32
