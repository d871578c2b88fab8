#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <algorithm>
#include <commctrl.h>

namespace tolvar::win32 {

namespace {

class TWin32ComboBoxPeer final : public TWin32Peer, public TComboBoxPeer {
public:
    // Owner-drawn for the details beside the names; the names stay the list's own strings, so
    // reading, matching and typing the start of a name work as in a plain list.
    explicit TWin32ComboBoxPeer(TComboBox& comboBox)
        : TWin32Peer(comboBox, MakeWindow(0, L"COMBOBOX",
                                          CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS |
                                              WS_VSCROLL | WS_CLIPSIBLINGS,
                                          comboBox)) {
        MatchPlainHeights();
    }
    ~TWin32ComboBoxPeer() override {
        if (tip_ != nullptr && IsWindow(tip_))
            DestroyWindow(tip_);
    }
    void SetBounds(const TRect& rect) override {
        // The window's height includes the dropped list; the closed height follows the font.
        const RECT r = ScaleRect(rect);
        SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top + Scale(kListHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void SetFont(const TFont& font) override {
        TWin32Peer::SetFont(font);
        MatchPlainHeights();
        FitDroppedWidth();
    }
    void SetItems(const std::vector<std::string>& items) override {
        SendMessageW(window_, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : items)
            SendMessageW(window_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
        reported_ = -1;
        FitDroppedWidth();
        ShowSelectedDetail();
    }
    void SetItemDetails(const std::vector<std::string>& details) override {
        details_.clear();
        for (const std::string& detail : details)
            details_.push_back(Wide(detail));
        FitDroppedWidth();
        InvalidateRect(window_, nullptr, TRUE);
        ShowSelectedDetail();
    }
    void SetItemIndex(int index) override {
        SendMessageW(window_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        reported_ = index;
        ShowSelectedDetail();
    }
    bool TakesDialogKeys() const override {
        return SendMessageW(window_, CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    void Command(WORD code) override {
        ShowSelectedDetail();
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
    bool DrawItem(const DRAWITEMSTRUCT& item) override {
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        const bool field = (item.itemState & ODS_COMBOBOXEDIT) != 0;
        const bool disabled = (item.itemState & ODS_DISABLED) != 0;
        HDC dc = item.hDC;
        RECT line = item.rcItem;
        FillRect(dc, &line, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        if (item.itemID != static_cast<UINT>(-1)) {
            const std::wstring name = ItemText(static_cast<int>(item.itemID));
            const COLORREF nameColor = GetSysColor(disabled   ? COLOR_GRAYTEXT
                                                   : selected ? COLOR_HIGHLIGHTTEXT
                                                              : COLOR_WINDOWTEXT);
            const int mode = SetBkMode(dc, TRANSPARENT);
            const COLORREF oldColor = SetTextColor(dc, nameColor);
            RECT text = line;
            text.left += Scale(kPadding);
            DrawTextW(dc, name.c_str(), -1, &text, kTextFlags);
            // The closed field shows the name alone.
            const std::wstring& detail = Detail(static_cast<int>(item.itemID));
            if (!field && !detail.empty()) {
                text.left += Extent(dc, name) + Scale(kGap);
                // The system's grey, darkened where it would read at less than 4.5:1.
                SetTextColor(dc, selected ? nameColor
                                          : ReadableSecondary(GetSysColor(COLOR_GRAYTEXT),
                                                              GetSysColor(COLOR_WINDOWTEXT),
                                                              GetSysColor(COLOR_WINDOW)));
                DrawTextW(dc, detail.c_str(), -1, &text, kTextFlags);
            }
            SetTextColor(dc, oldColor);
            SetBkMode(dc, mode);
        }
        if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0)
            DrawFocusRect(dc, &line);
        return true;
    }

private:
    static constexpr int kListHeight = 160;
    // Stored units: before the name and between name and detail.
    static constexpr int kPadding = 1;
    static constexpr int kGap = 12;
    static constexpr UINT kTextFlags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT;

    std::wstring ItemText(int index) const {
        const LRESULT length =
            SendMessageW(window_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length <= 0)
            return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(window_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        return text;
    }
    const std::wstring& Detail(int index) const {
        static const std::wstring none;
        return index >= 0 && static_cast<std::size_t>(index) < details_.size()
                   ? details_[static_cast<std::size_t>(index)]
                   : none;
    }
    static int Extent(HDC dc, const std::wstring& text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    static int ClosedHeight(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r.bottom - r.top;
    }

    // An owner-drawn list asks its heights once, while it is made and before it has a peer;
    // it gets those of a plain list of the same font, so the closed box looks as before.
    void MatchPlainHeights() {
        HWND plain =
            CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 100, 100,
                            GetParent(window_), nullptr, GetModuleHandleW(nullptr), nullptr);
        if (plain == nullptr)
            return;
        SendMessageW(plain, WM_SETFONT, SendMessageW(window_, WM_GETFONT, 0, 0), FALSE);
        const auto fieldHeight =
            static_cast<int>(SendMessageW(plain, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        const auto lineHeight = static_cast<int>(SendMessageW(plain, CB_GETITEMHEIGHT, 0, 0));
        const int closed = ClosedHeight(plain);
        DestroyWindow(plain);
        if (lineHeight > 0)
            SendMessageW(window_, CB_SETITEMHEIGHT, 0, lineHeight);
        if (fieldHeight <= 0)
            return;
        SendMessageW(window_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight);
        // Where the owner-drawn field adds its own margin to that height, it is taken back.
        const int ours = ClosedHeight(window_);
        if (ours > 0 && closed > 0 && ours != closed)
            SendMessageW(window_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                         fieldHeight + closed - ours);
    }

    // The field keeps its size; the dropped list is as wide as its widest line.
    void FitDroppedWidth() {
        const int count = static_cast<int>(SendMessageW(window_, CB_GETCOUNT, 0, 0));
        HDC dc = GetDC(window_);
        const HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
        int widest = 0;
        for (int i = 0; i < count; ++i) {
            int width = Extent(dc, ItemText(i));
            if (!Detail(i).empty())
                width += Scale(kGap) + Extent(dc, Detail(i));
            widest = std::max(widest, width);
        }
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        widest += 2 * Scale(kPadding) + 2 * GetSystemMetrics(SM_CXEDGE);
        const auto line = static_cast<int>(SendMessageW(window_, CB_GETITEMHEIGHT, 0, 0));
        if (count * line > Scale(kListHeight))
            widest += GetSystemMetrics(SM_CXVSCROLL);
        SendMessageW(window_, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest), 0);
    }

    // The field's tooltip gives the selected item's detail; without one there is no tooltip.
    void ShowSelectedDetail() {
        const int index = static_cast<int>(SendMessageW(window_, CB_GETCURSEL, 0, 0));
        std::wstring detail = Detail(index);
        if (tipAdded_ && detail == tipText_)
            return;
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = GetParent(window_);
        tool.uId = reinterpret_cast<UINT_PTR>(window_);
        if (detail.empty()) {
            if (tipAdded_)
                SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            tipAdded_ = false;
            tipText_.clear();
            return;
        }
        if (tip_ == nullptr)
            tip_ = CreateWindowExW(
                WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                GetAncestor(window_, GA_ROOT), nullptr, GetModuleHandleW(nullptr), nullptr);
        if (tip_ == nullptr)
            return;
        tipText_ = std::move(detail);
        tool.lpszText = tipText_.data();
        SendMessageW(tip_, tipAdded_ ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                     reinterpret_cast<LPARAM>(&tool));
        tipAdded_ = true;
    }

    int reported_ = -1;
    std::vector<std::wstring> details_;
    HWND tip_ = nullptr;
    bool tipAdded_ = false;
    std::wstring tipText_;
};

} // namespace

std::unique_ptr<TComboBoxPeer> CreateWin32ComboBoxPeer(TComboBox& comboBox) {
    return std::make_unique<TWin32ComboBoxPeer>(comboBox);
}

} // namespace tolvar::win32
