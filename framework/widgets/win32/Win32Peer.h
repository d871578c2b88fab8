#pragma once

// Shared by the pieces of the Win32 widget set; nothing outside this folder includes it.

#include "framework/Controls.h"
#include "framework/WidgetSet.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>
#include <windows.h>

namespace tolvar::win32 {

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// Stored units (96 dpi) to pixels and back, at the widget set's DPI.
int Dpi();
int Scale(int stored);
int Unscale(int pixels);
// Edges scaled one by one, so that neighbouring rectangles stay neighbours.
RECT ScaleRect(const TRect& rect);

COLORREF ResolveColor(TColor color);
// Whether the user runs Windows in a high-contrast scheme: asked once, and again after the
// system announces changed settings or theme (ForgetSystemSettings, which also lets the themed
// background be drawn again).
bool HighContrast();
void ForgetSystemSettings();
// Solid brushes live as long as the widget set.
HBRUSH Brush(TColor color);
// Fonts at the widget set's DPI; they live as long as the widget set.
HFONT Font(const TFont& font);

// One decoded picture of the program's resources: 32-bit rows, top-down, alpha premultiplied
// (the magenta key is fully transparent when asked).
struct TPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> opaque;
    std::vector<std::uint32_t> keyed;
};
const TPicture* Picture(const std::string& name);
// A picture's size from its resource's headers, without decoding it; nothing when the
// resource is missing or malformed.
std::optional<TSize> PictureFileSize(const std::string& name);
// A 32-bit top-down bitmap of the size, and where its rows are; nullptr when none was made.
HBITMAP CreateDib32(HDC dc, int width, int height, void*& bits);
// Draws a picture scaled into `target` (pixels).
void DrawPicture(HDC dc, const TPicture& picture, bool transparent, const RECT& target);

class TWin32Peer;

// The peer of a window of ours, or nullptr.
TWin32Peer* PeerOf(HWND window);
// The peer of the window or of the nearest enclosing one of ours.
TWin32Peer* PeerAround(HWND window);

// Messages that child controls send to their parent: commands, notifications, colours.
bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

class TAccessibleSource;

// What every control's window does, and the state a peer holds besides its window.
class TWin32Peer : public virtual TControlPeer {
public:
    TWin32Peer(TControl& control, HWND window);
    ~TWin32Peer() override;
    TWin32Peer(const TWin32Peer&) = delete;
    TWin32Peer& operator=(const TWin32Peer&) = delete;

    TControl& Control() const { return control_; }
    HWND Handle() const { return window_; }

    void SetBounds(const TRect& rect) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetCaption(const std::string& caption) override;
    void SetFont(const TFont& font) override;
    void SetColor(TColor color) override;
    void SetFocus() override;
    bool Focused() const override;
    void BringToFront() override;
    void Invalidate() override;
    void SetAccessible(const TAccessibleInfo& info) override;
    const TAccessibleInfo& AccessibleInfo() const { return accessible_; }

    // A command or notification of this control reached its parent.
    virtual void Command(WORD) {}
    // Text and background of a standard control, asked by WM_CTLCOLOR...
    virtual HBRUSH ControlColor(HDC dc);
    // Draws an item of an owner-drawn control; false where the control draws nothing itself.
    virtual bool DrawItem(const DRAWITEMSTRUCT&) { return false; }
    // An open drop-down list takes Enter and Escape itself.
    virtual bool TakesDialogKeys() const { return false; }
    // A child was brought to the front: a container that set the tab order sets it again.
    virtual void ChildBroughtToFront() {}

    const TFont& FontSpec() const { return font_; }
    TColor ColorSpec() const { return color_; }

protected:
    // Our own window classes answer for themselves (WM_GETOBJECT); standard ones keep
    // Windows' objects.
    void AnswerForAccessibility();
    // The text as the alert child of the window's object, and the system told of it.
    void AnnounceText(const std::string& text);

    TControl& control_;
    HWND window_;
    TFont font_;
    TColor color_ = clBtnFace;

private:
    TAccessibleInfo accessible_;
    std::unique_ptr<TAccessibleSource> ownAccessible_;
};

// The window that children of a control are created in.
HWND ParentWindow(const TControl& control);
// A child window of ours for a control, inside its parent's window.
HWND MakeWindow(DWORD exStyle, const wchar_t* windowClass, DWORD style, const TControl& control);

std::unique_ptr<TFormPeer> CreateWin32FormPeer(TCustomForm& form);
std::unique_ptr<TPanelPeer> CreateWin32PanelPeer(TCustomPanel& panel);
std::unique_ptr<TGroupBoxPeer> CreateWin32GroupBoxPeer(TGroupBox& groupBox);
std::unique_ptr<TLabelPeer> CreateWin32LabelPeer(TLabel& label);
// What a label's text needs, as its window would draw it.
TSize MeasureLabel(const TLabel& label, int width);
std::unique_ptr<TCheckBoxPeer> CreateWin32CheckBoxPeer(TCheckBox& checkBox);
std::unique_ptr<TButtonPeer> CreateWin32ButtonPeer(TButton& button);
std::unique_ptr<TProgressBarPeer> CreateWin32ProgressBarPeer(TProgressBar& bar);
std::unique_ptr<TComboBoxPeer> CreateWin32ComboBoxPeer(TComboBox& comboBox);
std::unique_ptr<TImagePeer> CreateWin32ImagePeer(TImage& image);

// Widget set state the peers need.
struct TWin32State {
    int dpi = 96;
    bool inputBlocked = false;
    // A transfer runs: the end of the session is refused.
    bool sessionHeld = false;
    HWND applicationWindow = nullptr;
    HWND messageWindow = nullptr;
    HWND mainForm = nullptr;
    // The modal box that is open, which takes the activation while it is.
    HWND openBox = nullptr;
    // The sound of a box's icon.
    std::function<void(UINT)> messageBeep = [](UINT type) { MessageBeep(type); };
    std::map<std::string, HFONT> fonts;
    std::map<TColor, HBRUSH> brushes;
    std::map<std::string, std::unique_ptr<TPicture>> pictures;
    // Every message to our windows looks its peer up: a window property would cost a round trip
    // to the window server under Wine, for each message.
    std::unordered_map<HWND, TWin32Peer*> peers;
    // Asked once, again after the system says its settings changed (each paint needs it).
    std::optional<bool> highContrast;
    // The themed page background as last drawn, and its size: drawing the theme's part takes
    // milliseconds, and each themed child asks its parent for the background again.
    HBITMAP themedBackground = nullptr;
    SIZE themedBackgroundSize{};
};
TWin32State& State();

// Our window classes, registered once, and their window procedures.
void RegisterWindowClasses();
LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern const wchar_t kFormClass[];
extern const wchar_t kPanelClass[];
extern const wchar_t kLabelClass[];
extern const wchar_t kImageClass[];
extern const wchar_t kApplicationClass[];
extern const wchar_t kMessageClass[];
extern const wchar_t kBoxClass[];

LRESULT CALLBACK MessageBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int RunMessageBox(const TMessageRequest& request);
// What Ctrl+C in a box puts on the clipboard.
std::wstring MessageBoxCopyText(const TMessageRequest& request);

} // namespace tolvar::win32
