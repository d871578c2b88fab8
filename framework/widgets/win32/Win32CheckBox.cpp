#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

namespace tolvar::win32 {

namespace {

class TWin32CheckBoxPeer final : public TWin32Peer, public TCheckBoxPeer {
public:
    explicit TWin32CheckBoxPeer(TCheckBox& checkBox)
        : TWin32Peer(checkBox,
                     MakeWindow(0, L"BUTTON", BS_AUTOCHECKBOX | WS_CLIPSIBLINGS, checkBox)) {}
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

} // namespace

std::unique_ptr<TCheckBoxPeer> CreateWin32CheckBoxPeer(TCheckBox& checkBox) {
    return std::make_unique<TWin32CheckBoxPeer>(checkBox);
}

} // namespace tolvar::win32
