#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

namespace tolvar::win32 {

namespace {

class TWin32ComboBoxPeer final : public TWin32Peer, public TComboBoxPeer {
public:
    explicit TWin32ComboBoxPeer(TComboBox& comboBox)
        : TWin32Peer(comboBox,
                     MakeWindow(0, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_CLIPSIBLINGS,
                                comboBox)) {}
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
    bool TakesDialogKeys() const override {
        return SendMessageW(window_, CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    void Command(WORD code) override {
        // Arrow keys and the wheel change a closed list at once; in an open one the selection
        // counts once the list closes, however it closes (a choice, Tab, a click elsewhere):
        // what the field then shows is the pick. Each change is reported once.
        const bool dropped = SendMessageW(window_, CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (code == CBN_SELENDOK || code == CBN_SELENDCANCEL || code == CBN_CLOSEUP ||
            (code == CBN_SELCHANGE && !dropped)) {
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

} // namespace

std::unique_ptr<TComboBoxPeer> CreateWin32ComboBoxPeer(TComboBox& comboBox) {
    return std::make_unique<TWin32ComboBoxPeer>(comboBox);
}

} // namespace tolvar::win32
