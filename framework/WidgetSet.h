#pragma once

#include "framework/Graphics.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvar {

class TButton;
class TCheckBox;
class TComboBox;
class TControl;
class TCustomForm;
class TCustomPanel;
class TGroupBox;
class TImage;
class TLabel;
class TProgressBar;
struct TMessageRequest;

// Keys the control model acts on; everything else stays with the widget set.
enum class TKey { Return, Escape, Backspace, Space, Other };

// What a control is for assistive technology (screen readers); each widget set gives it the
// nearest role its platform has.
enum class TAccessibleRole {
    None,
    Window,
    Pane,
    Page,
    Grouping,
    Heading,
    Text,
    Graphic,
    Link,
    CheckBox,
    Button,
    ComboBox,
    ProgressBar,
};

struct TAccessibleInfo {
    TAccessibleRole role = TAccessibleRole::None;
    std::string name;
    std::string description;
    // The text on the screen that stands for the control, where one does.
    const TControl* labelledBy = nullptr;
    bool operator==(const TAccessibleInfo&) const = default;
};

// Drawing for a control that paints itself, in stored (96 dpi) coordinates of that control.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // One row in the shadow colour over one in the highlight colour.
    virtual void DrawEtchedLine(const TRect& rect) = 0;
    // The platform's visual style of theme class "Tab", part 2, state 0; false where visual
    // styles are off or missing, and nothing was drawn.
    virtual bool DrawThemedTabBackground(const TRect& rect) = 0;
};

// A control's real window: what every kind supplies. Geometry is in stored units (96 dpi); the
// peer scales to the screen. Each call mirrors the model's state at once; reads come from the
// real window. A widget set implements this and the interface of each kind below completely.
class TControlPeer {
public:
    virtual ~TControlPeer() = default;

    virtual void SetBounds(const TRect& rect) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetFont(const TFont& font) = 0;
    virtual void SetColor(TColor color) = 0;
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
    virtual void BringToFront() = 0;
    // Paint again (controls that paint themselves, labels whose style changed).
    virtual void Invalidate() = 0;
    // What assistive technology is told of the control; nothing a sighted user sees changes.
    virtual void SetAccessible(const TAccessibleInfo& info) = 0;
};

// The top-level window; its caption is the form's and it has the application's task bar entry.
class TFormPeer : public virtual TControlPeer {
public:
    // The order in which Tab visits the form's controls that have windows, depth first; given
    // again when more of them got windows.
    virtual void SetTabOrder(const std::vector<TControl*>& chain) = 0;
    virtual void ShowWindow() = 0;
    virtual void CloseWindow() = 0;
    // Has a screen reader speak the text without moving the focus.
    virtual void Announce(const std::string& text) = 0;
};

// A plain container that the control paints (wizard frame and pages).
class TPanelPeer : public virtual TControlPeer {};

// A frame around controls.
class TGroupBoxPeer : public virtual TControlPeer {};

// Static text.
class TLabelPeer : public virtual TControlPeer {
public:
    virtual void SetTextStyle(const TTextStyle& style) = 0;
    // The hand cursor over the text while the label is enabled (a link).
    virtual void SetHandCursor(bool hand) = 0;
};

// A box the user ticks.
class TCheckBoxPeer : public virtual TControlPeer {
public:
    virtual void SetChecked(bool checked) = 0;
};

// A push button.
class TButtonPeer : public virtual TControlPeer {
public:
    // Drawn as the window's default button.
    virtual void SetDefault(bool isDefault) = 0;
};

// A bar without text.
class TProgressBarPeer : public virtual TControlPeer {
public:
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
};

// A drop-down list that takes no typing.
class TComboBoxPeer : public virtual TControlPeer {
public:
    virtual void SetItems(const std::vector<std::string>& items) = 0;
    // What is known of each item, drawn beside its name in the dropped list and given as the
    // field's tooltip while it is selected; may be shorter or longer than the items (an item
    // without one shows its name alone). Comes before or after the items it belongs to.
    virtual void SetItemDetails(const std::vector<std::string>& details) = 0;
    virtual void SetItemIndex(int index) = 0;
};

// A picture of the program's resources.
class TImagePeer : public virtual TControlPeer {
public:
    // The picture drawn into `target` (stored units, inside the control).
    virtual void SetPicture(const std::string& name, bool transparent, const TRect& target) = 0;
};

// Gives a control model real windows on one platform.
class TWidgetSet {
public:
    virtual ~TWidgetSet() = default;

    // The real window of each kind of control; called when the control first needs one, after
    // its parent got its own.
    virtual std::unique_ptr<TFormPeer> CreateFormPeer(TCustomForm& form) = 0;
    virtual std::unique_ptr<TPanelPeer> CreatePanelPeer(TCustomPanel& panel) = 0;
    virtual std::unique_ptr<TGroupBoxPeer> CreateGroupBoxPeer(TGroupBox& groupBox) = 0;
    virtual std::unique_ptr<TLabelPeer> CreateLabelPeer(TLabel& label) = 0;
    virtual std::unique_ptr<TCheckBoxPeer> CreateCheckBoxPeer(TCheckBox& checkBox) = 0;
    virtual std::unique_ptr<TButtonPeer> CreateButtonPeer(TButton& button) = 0;
    virtual std::unique_ptr<TProgressBarPeer> CreateProgressBarPeer(TProgressBar& bar) = 0;
    virtual std::unique_ptr<TComboBoxPeer> CreateComboBoxPeer(TComboBox& comboBox) = 0;
    virtual std::unique_ptr<TImagePeer> CreateImagePeer(TImage& image) = 0;
    // Runs the message loop until the form is closed.
    virtual void Run(TCustomForm& mainForm) = 0;
    // Handles what is queued; with wait, waits for at least one message first.
    virtual void ProcessMessages(bool wait) = 0;
    // Hands a call to the UI thread; safe from any thread. The message loop runs it.
    virtual void Post(std::function<void()> call) = 0;
    // While blocked, user input to the application's windows is dropped and the main form
    // refuses to close; painting goes on.
    virtual void SetInputBlocked(bool blocked) = 0;
    // Delivers, and so drops while blocked, the input that is queued or on its way.
    virtual void DrainInput() = 0;
    // While held, the system may neither end the user's session nor go to sleep: a transfer
    // runs that must not be cut. `reason` is what the system tells the user where it asks.
    // Where the system offers no such hold, nothing happens.
    virtual void HoldSession(bool hold, const std::string& reason) = 0;
    // The modal box; returns the result of the button chosen.
    virtual int ShowMessageBox(const TMessageRequest& request) = 0;
    // Asks the shell to open an address with its default handler.
    virtual bool OpenUrl(const std::string& url) = 0;
    // The size a label's text needs in the label's font and style, for a width (word wrap) or,
    // with width < 0, on one line; stored units. Needs no window: a label is sized before it
    // has one.
    virtual TSize MeasureText(const TLabel& label, int width) = 0;
    // Size of a picture of the program's resources, or nothing when there is no such picture.
    virtual std::optional<TSize> PictureSize(const std::string& name) = 0;
    // The control that has the keyboard focus, if it is one of ours.
    virtual TControl* FocusedControl() = 0;
};

// The widget set in use; the entry point installs one.
TWidgetSet& WidgetSet();
// Installs a widget set (the caller keeps ownership); returns the previous one.
TWidgetSet* SetWidgetSet(TWidgetSet* widgetSet);

} // namespace tolvar
