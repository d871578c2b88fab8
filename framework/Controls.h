#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"
#include "framework/Graphics.h"
#include "framework/WidgetSet.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

class TWinControl;
class TCustomForm;

using TNotifyEvent = std::function<void(TComponent* sender)>;

enum class TAlign { None, Client };

// A visible control of the toolkit-neutral model. It holds the state (geometry in stored
// 96-dpi units, caption, visibility, enabled state, font, colour, tab order) and mirrors every
// change to its peer, the real window that the installed widget set gives it. User actions come
// back from the peer through the Peer... operations.
// A control gets its window when it first shows on a shown form, or when something asks for it:
// the pages the user has not reached yet cost nothing before the window first paints. The new
// window is handed the whole state at once.
class TControl : public TComponent {
public:
    TControl(TComponent* owner, TWinControl* parent);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    // The top-level form this control sits in, or nullptr.
    TCustomForm* Form() const;
    // The real window, made now if the control has none yet (its parent's first).
    TControlPeer& Peer() const;
    bool HandleAllocated() const { return peer_ != nullptr; }

    const TRect& BoundsRect() const { return bounds_; }
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.width; }
    int Height() const { return bounds_.height; }
    void SetBounds(const TRect& rect);
    // Hands the window the edges read from the description.
    void Loaded() override;
    void SetLeft(int value) { SetBounds({value, bounds_.top, bounds_.width, bounds_.height}); }
    void SetTop(int value) { SetBounds({bounds_.left, value, bounds_.width, bounds_.height}); }
    void SetWidth(int value) { SetBounds({bounds_.left, bounds_.top, value, bounds_.height}); }
    void SetHeight(int value) { SetBounds({bounds_.left, bounds_.top, bounds_.width, value}); }
    // The area children are laid out in, in this control's coordinates.
    virtual TRect ClientRect() const { return {0, 0, bounds_.width, bounds_.height}; }
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all the controls around it.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Enabled, and so are all the controls around it.
    bool EnabledInTree() const;

    const std::string& Caption() const { return caption_; }
    virtual void SetCaption(const std::string& caption);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    // Stored tab position; -1 when none was stored (creation order then decides).
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order) { tabOrder_ = order; }
    long long CreationSerial() const { return serial_; }
    // Whether Tab stops here, and whether the control takes the focus at all.
    virtual bool TabStop() const { return false; }
    virtual bool Focusable() const { return TabStop(); }
    // Whether the focus may land here when its page shows (a link is reached by Tab only, so
    // Enter keeps pressing the default button).
    virtual bool TakesFirstFocus() const { return true; }
    bool CanFocus() const { return Focusable() && Showing() && EnabledInTree(); }
    bool Focused() const { return peer_ != nullptr && peer_->Focused(); }
    // Gives the keyboard focus to this control (any control may hold it).
    void SetFocus();
    void BringToFront() {
        if (peer_ != nullptr)
            peer_->BringToFront();
    }
    void Invalidate() {
        if (peer_ != nullptr)
            peer_->Invalidate();
    }

    // Reports from the peer (UI thread). Each runs through the exception display.
    virtual void PeerClicked() {}
    virtual void PeerToggled(bool) {}
    virtual void PeerSelected(int) {}
    // A key for the focused control before the widget set acts on it; true swallows it.
    virtual bool PeerKey(TKey) { return false; }
    virtual void PeerMouse(bool /*down*/, bool /*left*/, bool /*inside*/) {}
    virtual void PeerPaint(TCanvas&) {}
    // The platform resized the control (the user resized the window).
    void PeerResized(const TSize& size);

    // What a screen reader is told of the control: its kind's role and name (the caption),
    // unless the form gives others. Every change reaches the peer at once.
    TAccessibleInfo Accessible() const;
    void SetAccessibleRole(TAccessibleRole role);
    void SetAccessibleName(const std::string& name);
    void SetAccessibleDescription(const std::string& description);
    // Labelled by the text that stands for it on the screen, and named by it (its colon left
    // out) unless given a name.
    void SetLabelledBy(const TControl& label);

protected:
    virtual TAccessibleRole AccessibleRoleOfKind() const { return TAccessibleRole::None; }
    // The caption as read: line breaks as "\n".
    virtual std::string AccessibleNameOfKind() const;
    // Tells the peer what changed.
    void UpdateAccessible();

    // The parent's client area changed.
    virtual void ParentResized();
    // This control's size changed.
    virtual void Resized() {}
    virtual void FontChanged() {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}

    // The window of this kind, from the widget set.
    virtual std::unique_ptr<TControlPeer> CreatePeer() = 0;
    // A kind's CreatePeer keeps its peer's own type too, for the calls only that kind has.
    template <class P>
    static std::unique_ptr<TControlPeer> KeepPeer(std::unique_ptr<P> peer, P*& typed) {
        typed = peer.get();
        return peer;
    }
    // A new window got the state every control has; each kind hands it its own.
    virtual void PeerCreated() {}
    // Each kind's constructor ends with this, once its fields are there: a control made on a
    // form that is on the screen, where it shows, gets its window at once.
    void Constructed();

private:
    friend class TWinControl;
    friend class TCustomForm;
    TControlPeer& HandleNeeded();
    // Gives every control from this one down that shows a window.
    void CreateShowingHandles();
    // The same for the children, as if this control showed.
    void CreateChildHandles();

    TWinControl* parent_ = nullptr;
    std::unique_ptr<TControlPeer> peer_;
    TRect bounds_;
    TAlign align_ = TAlign::None;
    bool visible_ = true;
    bool enabled_ = true;
    std::string caption_;
    TFont font_;
    bool parentFont_ = true;
    TColor color_ = clBtnFace;
    bool colorSet_ = false;
    int tabOrder_ = -1;
    long long serial_ = 0;
    std::optional<TAccessibleRole> accessibleRole_;
    std::optional<std::string> accessibleName_;
    std::string accessibleDescription_;
    const TControl* labelledBy_ = nullptr;
    std::optional<TAccessibleInfo> toldPeer_;
    // Edges the window has not been told yet (while the description is read).
    bool boundsPending_ = false;
};

// A caption as a screen reader reads it: "&" mnemonic markers left out ("&&" is one "&").
std::string WithoutMnemonic(const std::string& caption);

// What a screen reader reads of a container's showing contents: the text of its headings,
// texts and pictures in tab order, one to a line.
std::string AccessibleText(const TWinControl& container);

// A control that holds other controls. Destroying it destroys its children first.
class TWinControl : public TControl {
public:
    TWinControl(TComponent* owner, TWinControl* parent);
    ~TWinControl() override;

    const std::vector<TControl*>& Controls() const { return controls_; }
    // Every control below this one, depth first, each container's children in tab order.
    std::vector<TControl*> TabChain() const;
    // The first control of the tab chain below this one that can take the focus, preferring tab
    // stops; nullptr when there is none.
    TControl* FindFirstFocusable() const;
    bool ContainsControl(const TControl* control) const;

protected:
    void Resized() override;

private:
    friend class TControl;
    std::vector<TControl*> controls_;
};

// Controls that act on Return and Escape for the whole form (the wizard frame) register with it.
class TDialogKeyHandler {
public:
    virtual ~TDialogKeyHandler() = default;
    virtual bool DialogKey(TKey key) = 0;
};

// A form built from a stored description: owns every stored object, offers its event handlers
// by name, and keeps the modal result that buttons set.
class TCustomForm : public TWinControl {
public:
    TCustomForm();
    ~TCustomForm() override;

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    const THandlerTable& Handlers() const { return handlers_; }

    void ReadDescription(std::string_view description, const std::string& rootClass,
                         const TClassRegistry& registry);
    void Loaded() override;

    // Shows the window with the focus on its default button (else on the first tab stop).
    void ShowWindow();
    // Closes the window; the message loop that runs it ends.
    void Close();
    // Has a screen reader speak the text while the window is open, the focus staying put.
    void Announce(const std::string& text);
    bool Closed() const { return closed_; }
    // Shown once: from then on a control gets its window as it shows.
    bool WindowShown() const { return shown_; }
    // The control that has the keyboard focus, when it is in this form.
    TControl* ActiveControl() const;

    // Return and Escape that no control took: a focused push button takes Return, else the
    // form's handlers get the key, else Return presses the default button.
    bool PeerDialogKey(TKey key);
    void AddDialogKeyHandler(TDialogKeyHandler* handler) { dialogKeyHandlers_.push_back(handler); }
    void RemoveDialogKeyHandler(TDialogKeyHandler* handler);
    // The window was closed by the platform (title bar, session end).
    void PeerClosed() { closed_ = true; }

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Window; }
    std::unique_ptr<TControlPeer> CreatePeer() override;

    THandlerTable handlers_;

private:
    friend class TControl;
    // The order Tab visits the controls that have windows; again after new windows came.
    void ApplyTabOrder();

    TFormPeer* formPeer_ = nullptr;
    bool tabOrderStale_ = false;
    int modalResult_ = 0;
    bool shown_ = false;
    bool closed_ = false;
    std::vector<TDialogKeyHandler*> dialogKeyHandlers_;
};

// A plain container that paints itself through OnPaint-like overrides (wizard frame, pages).
class TCustomPanel : public TWinControl {
public:
    TCustomPanel(TComponent* owner, TWinControl* parent);
    void PeerPaint(TCanvas& canvas) override;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Pane; }
    std::unique_ptr<TControlPeer> CreatePeer() override;
};

// One line or word-wrapped text. Line breaks are stored as "\r\n".
class TLabel : public TControl {
public:
    TLabel(TComponent* owner, TWinControl* parent);
    void SetCaption(const std::string& caption) override;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    const TTextStyle& TextStyle() const { return style_; }
    void SetAlignment(TAlignment alignment);
    void SetWordWrap(bool wrap);
    bool WordWrap() const { return style_.wordWrap; }
    void SetBorderWidth(int width);
    TTextEffect TextEffect() const { return style_.effect; }
    void SetTextEffect(TTextEffect effect);
    // Sized once the description gave its caption, font and style.
    void Loaded() override;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Text; }
    void FontChanged() override { AdjustSize(); }
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override { ApplyStyle(); }
    void ApplyStyle();
    void AdjustSize();
    // The label's window, or nullptr while it has none.
    TLabelPeer* LabelPeer() const { return labelPeer_; }

private:
    TLabelPeer* labelPeer_ = nullptr;
    bool autoSize_ = true;
    TTextStyle style_;
};

// Registers "TControl" (geometry, Align, Visible, Enabled, TabOrder, Color, Font.*), "TForm"
// (Caption, ClientWidth, ClientHeight) and the labels "TLabel" and "TLMDLabel".
void RegisterControlClasses(TClassRegistry& registry);

// Factory for a stored control class T constructed as T(owner, parent).
template <class T> TClassInfo::Factory ControlFactory() {
    return [](TComponent* owner, TComponent* parent) -> TComponent* {
        auto* container = dynamic_cast<TWinControl*>(parent);
        if (container == nullptr)
            throw Exception("Control has no parent window");
        return new T(owner, container);
    };
}

// Stored colour names ("clBtnFace", "clRed", "$00BBGGRR", ...).
TColor ParseColor(const TStoredValue& value);

} // namespace tolvar
