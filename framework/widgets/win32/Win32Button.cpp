#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

namespace tolvar::win32 {

namespace {

class TWin32ButtonPeer final : public TWin32Peer, public TButtonPeer {
public:
    explicit TWin32ButtonPeer(TButton& button)
        : TWin32Peer(button, MakeWindow(0, L"BUTTON", BS_PUSHBUTTON | WS_CLIPSIBLINGS, button)) {}
    void SetDefault(bool isDefault) override {
        SendMessageW(window_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    void Command(WORD code) override {
        if (code == BN_CLICKED)
            RunHandler([this] { control_.PeerClicked(); });
    }
};

} // namespace

std::unique_ptr<TButtonPeer> CreateWin32ButtonPeer(TButton& button) {
    return std::make_unique<TWin32ButtonPeer>(button);
}

} // namespace tolvar::win32
