#include "framework/Controls.h"

#include "framework/Application.h"
#include "framework/FormReader.h"
#include "framework/StdControls.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace tolvar {

// ---------------------------------------------------------------------------------------------

TControl::TControl(TComponent* owner, TWinControl* parent) : TComponent(owner), parent_(parent) {
    static long long serial = 0;
    serial_ = ++serial;
    if (parent_ != nullptr) {
        parent_->controls_.push_back(this);
        font_ = parent_->font_;
    }
}

TControl::~TControl() {
    peer_.reset();
    if (parent_ != nullptr) {
        auto& siblings = parent_->controls_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

TCustomForm* TControl::Form() const {
    const TControl* c = this;
    while (c->parent_ != nullptr)
        c = c->parent_;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TControlPeer& TControl::Peer() const {
    // Making the window is not a change of the model's state.
    return const_cast<TControl&>(*this).HandleNeeded();
}

TControlPeer& TControl::HandleNeeded() {
    if (peer_ != nullptr)
        return *peer_;
    if (parent_ != nullptr)
        parent_->HandleNeeded();
    peer_ = CreatePeer();
    // First: a platform may make up its mind about what the window is at the first change.
    toldPeer_.reset();
    UpdateAccessible();
    peer_->SetFont(font_);
    if (colorSet_)
        peer_->SetColor(color_);
    if (!caption_.empty())
        peer_->SetCaption(caption_);
    if (!enabled_)
        peer_->SetEnabled(false);
    // Edges never set stay the window's own, as they did for a window made at once.
    if (bounds_ != TRect{})
        peer_->SetBounds(bounds_);
    boundsPending_ = false;
    // A form's window shows when the form is shown; a child's goes with its parent's.
    if (parent_ != nullptr)
        peer_->SetVisible(visible_);
    PeerCreated();
    if (TCustomForm* form = Form(); form != nullptr && form != this)
        form->tabOrderStale_ = true;
    return *peer_;
}

void TControl::CreateShowingHandles() {
    if (!Showing())
        return;
    HandleNeeded();
    CreateChildHandles();
}

void TControl::CreateChildHandles() {
    if (auto* container = dynamic_cast<TWinControl*>(this))
        for (TControl* child : container->Controls())
            if (child->visible_) {
                child->HandleNeeded();
                child->CreateChildHandles();
            }
}

void TControl::Constructed() {
    if (TCustomForm* form = Form(); form != nullptr && form->WindowShown() && Showing()) {
        HandleNeeded();
        form->ApplyTabOrder();
    }
}

void TControl::SetBounds(const TRect& rect) {
    const TRect r{rect.left, rect.top, std::max(0, rect.width), std::max(0, rect.height)};
    if (r == bounds_)
        return;
    const bool resized = r.width != bounds_.width || r.height != bounds_.height;
    bounds_ = r;
    // A description gives the edges one by one, and a window move costs a round trip to the
    // window system: the window gets them once, when the control is loaded.
    if (peer_ != nullptr) {
        if (IsLoading())
            boundsPending_ = true;
        else
            peer_->SetBounds(bounds_);
    }
    if (resized)
        Resized();
}

void TControl::Loaded() {
    TComponent::Loaded();
    if (std::exchange(boundsPending_, false) && peer_ != nullptr)
        peer_->SetBounds(bounds_);
}

void TControl::PeerResized(const TSize& size) {
    if (size.width == bounds_.width && size.height == bounds_.height)
        return;
    bounds_.width = size.width;
    bounds_.height = size.height;
    Resized();
}

void TControl::SetAlign(TAlign align) {
    align_ = align;
    if (align_ == TAlign::Client) {
        if (parent_ == nullptr)
            throw Exception("Control has no parent window");
        ParentResized();
    }
}

void TControl::ParentResized() {
    if (align_ == TAlign::Client && parent_ != nullptr)
        SetBounds(parent_->ClientRect());
}

void TControl::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    // What is about to show on a shown form gets its windows while it is still hidden, so that
    // it appears whole, at once.
    TCustomForm* form = Form();
    if (visible && form != nullptr && form->WindowShown() &&
        (parent_ == nullptr || parent_->Showing())) {
        HandleNeeded();
        CreateChildHandles();
    }
    visible_ = visible;
    if (peer_ != nullptr)
        peer_->SetVisible(visible);
    if (form != nullptr && form->tabOrderStale_ && form->WindowShown())
        form->ApplyTabOrder();
    VisibleChanged();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c != nullptr; c = c->parent_)
        if (!c->visible_)
            return false;
    return true;
}

void TControl::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    if (peer_ != nullptr)
        peer_->SetEnabled(enabled);
    EnabledChanged();
}

bool TControl::EnabledInTree() const {
    for (const TControl* c = this; c != nullptr; c = c->parent_)
        if (!c->enabled_)
            return false;
    return true;
}

void TControl::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (peer_ != nullptr)
        peer_->SetCaption(caption);
    UpdateAccessible();
}

std::string TControl::AccessibleNameOfKind() const {
    std::string name;
    for (std::size_t i = 0; i < caption_.size(); ++i)
        if (caption_.compare(i, 2, "\r\n") != 0)
            name += caption_[i];
    return name;
}

TAccessibleInfo TControl::Accessible() const {
    TAccessibleInfo info;
    info.role = accessibleRole_ ? *accessibleRole_ : AccessibleRoleOfKind();
    if (accessibleName_) {
        info.name = *accessibleName_;
    } else if (labelledBy_ != nullptr) {
        info.name = labelledBy_->Accessible().name;
        while (!info.name.empty() && (info.name.back() == ':' || info.name.back() == ' '))
            info.name.pop_back();
    } else {
        info.name = AccessibleNameOfKind();
    }
    info.description = accessibleDescription_;
    info.labelledBy = labelledBy_;
    return info;
}

void TControl::SetAccessibleRole(TAccessibleRole role) {
    accessibleRole_ = role;
    UpdateAccessible();
}

void TControl::SetAccessibleName(const std::string& name) {
    accessibleName_ = name;
    UpdateAccessible();
}

void TControl::SetAccessibleDescription(const std::string& description) {
    accessibleDescription_ = description;
    UpdateAccessible();
}

void TControl::SetLabelledBy(const TControl& label) {
    labelledBy_ = &label;
    UpdateAccessible();
}

void TControl::UpdateAccessible() {
    if (peer_ == nullptr)
        return;
    TAccessibleInfo info = Accessible();
    if (toldPeer_ && *toldPeer_ == info)
        return;
    peer_->SetAccessible(info);
    toldPeer_ = std::move(info);
}

std::string WithoutMnemonic(const std::string& caption) {
    std::string plain;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        plain += caption[i];
    }
    return plain;
}

std::string AccessibleText(const TWinControl& container) {
    std::string text;
    for (const TControl* c : container.TabChain()) {
        if (!c->Showing())
            continue;
        const TAccessibleInfo info = c->Accessible();
        if (info.role != TAccessibleRole::Heading && info.role != TAccessibleRole::Text &&
            info.role != TAccessibleRole::Graphic)
            continue;
        if (info.name.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += info.name;
    }
    return text;
}

void TControl::SetFont(const TFont& font) {
    parentFont_ = false;
    if (font_ == font)
        return;
    font_ = font;
    if (peer_ != nullptr)
        peer_->SetFont(font_);
    FontChanged();
    // Children that never got a font of their own follow.
    if (auto* container = dynamic_cast<TWinControl*>(this))
        for (TControl* child : container->Controls())
            if (child->parentFont_) {
                child->SetFont(font_);
                child->parentFont_ = true;
            }
}

void TControl::SetColor(TColor color) {
    color_ = color;
    colorSet_ = true;
    if (peer_ != nullptr)
        peer_->SetColor(color);
}

void TControl::SetFocus() {
    HandleNeeded().SetFocus();
}

// ---------------------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {}

TWinControl::~TWinControl() {
    // Children go first, each before its own children's parent window disappears.
    while (!controls_.empty())
        delete controls_.back();
}

void TWinControl::Resized() {
    for (TControl* child : std::vector<TControl*>(controls_))
        child->ParentResized();
}

std::vector<TControl*> TWinControl::TabChain() const {
    std::vector<TControl*> ordered = controls_;
    // A stored tab order first, then the rest in the order they were created.
    auto key = [](const TControl* c) {
        return c->TabOrder() >= 0 ? static_cast<long long>(c->TabOrder())
                                  : LLONG_MAX / 2 + c->CreationSerial();
    };
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&](const TControl* a, const TControl* b) { return key(a) < key(b); });
    std::vector<TControl*> chain;
    for (TControl* c : ordered) {
        chain.push_back(c);
        if (auto* container = dynamic_cast<TWinControl*>(c)) {
            const auto below = container->TabChain();
            chain.insert(chain.end(), below.begin(), below.end());
        }
    }
    return chain;
}

TControl* TWinControl::FindFirstFocusable() const {
    TControl* firstFocusable = nullptr;
    for (TControl* c : TabChain()) {
        if (!c->CanFocus() || !c->TakesFirstFocus())
            continue;
        if (c->TabStop())
            return c;
        if (firstFocusable == nullptr)
            firstFocusable = c;
    }
    return firstFocusable;
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c != nullptr; c = c->Parent())
        if (c == this)
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------------

TCustomForm::TCustomForm() : TWinControl(nullptr, nullptr) {
    // The form's own window is there from the start: the description sizes it and sets its
    // caption.
    HandleNeeded();
}

std::unique_ptr<TControlPeer> TCustomForm::CreatePeer() {
    return KeepPeer(WidgetSet().CreateFormPeer(*this), formPeer_);
}

TCustomForm::~TCustomForm() {
    // Controls go first, each before its children, as the window hierarchy tears down; the
    // non-visual components go afterwards with the owner's list.
    while (!Controls().empty())
        delete Controls().back();
}

void TCustomForm::ReadDescription(std::string_view description, const std::string& rootClass,
                                  const TClassRegistry& registry) {
    tolvar::ReadDescription(description, *this, rootClass, registry, handlers_);
}

void TCustomForm::Loaded() {
    ApplyTabOrder();
    TWinControl::Loaded();
}

void TCustomForm::ApplyTabOrder() {
    std::vector<TControl*> chain = TabChain();
    std::erase_if(chain, [](const TControl* c) { return !c->HandleAllocated(); });
    formPeer_->SetTabOrder(chain);
    tabOrderStale_ = false;
}

void TCustomForm::ShowWindow() {
    closed_ = false;
    shown_ = true;
    SetVisible(true);
    CreateShowingHandles();
    if (tabOrderStale_)
        ApplyTabOrder();
    formPeer_->ShowWindow();
    // A screen reader starts on the button that Enter presses, not on the bare window (nor on
    // a container that only holds the focus for it).
    if (TControl* active = ActiveControl();
        active != nullptr && active != this && active->Focusable())
        return;
    for (TControl* c : TabChain())
        if (auto* button = dynamic_cast<TButton*>(c);
            button != nullptr && button->Default() && button->CanFocus()) {
            button->SetFocus();
            return;
        }
    if (TControl* first = FindFirstFocusable())
        first->SetFocus();
}

void TCustomForm::Announce(const std::string& text) {
    if (shown_ && !closed_ && !text.empty())
        formPeer_->Announce(text);
}

void TCustomForm::Close() {
    closed_ = true;
    formPeer_->CloseWindow();
}

TControl* TCustomForm::ActiveControl() const {
    TControl* focused = WidgetSet().FocusedControl();
    return focused != nullptr && ContainsControl(focused) ? focused : nullptr;
}

bool TCustomForm::PeerDialogKey(TKey key) {
    // A push button with the focus takes Return itself, even when it cannot be pressed now.
    if (key == TKey::Return)
        if (auto* focused = dynamic_cast<TButton*>(ActiveControl())) {
            if (focused->Pressable())
                focused->Click();
            return true;
        }
    // A copy: a handler may close the form.
    const std::vector<TDialogKeyHandler*> handlers = dialogKeyHandlers_;
    for (TDialogKeyHandler* h : handlers)
        if (h->DialogKey(key))
            return true;
    // Otherwise Enter presses the form's default button, as in any dialog.
    if (key == TKey::Return)
        for (TControl* c : TabChain())
            if (auto* button = dynamic_cast<TButton*>(c);
                button != nullptr && button->Default() && button->Pressable()) {
                button->Click();
                return true;
            }
    return false;
}

void TCustomForm::RemoveDialogKeyHandler(TDialogKeyHandler* handler) {
    dialogKeyHandlers_.erase(
        std::remove(dialogKeyHandlers_.begin(), dialogKeyHandlers_.end(), handler),
        dialogKeyHandlers_.end());
}

// ---------------------------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TCustomPanel::CreatePeer() {
    return WidgetSet().CreatePanelPeer(*this);
}

void TCustomPanel::PeerPaint(TCanvas& canvas) {
    canvas.FillRect(ClientRect(), Color());
}

// ---------------------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TLabel::CreatePeer() {
    return KeepPeer(WidgetSet().CreateLabelPeer(*this), labelPeer_);
}

void TLabel::SetCaption(const std::string& caption) {
    TControl::SetCaption(caption);
    AdjustSize();
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetAlignment(TAlignment alignment) {
    style_.alignment = alignment;
    ApplyStyle();
}

void TLabel::SetWordWrap(bool wrap) {
    style_.wordWrap = wrap;
    ApplyStyle();
    AdjustSize();
}

void TLabel::SetBorderWidth(int width) {
    style_.margin = width;
    ApplyStyle();
    AdjustSize();
}

void TLabel::SetTextEffect(TTextEffect effect) {
    style_.effect = effect;
    ApplyStyle();
}

void TLabel::ApplyStyle() {
    if (labelPeer_ != nullptr)
        labelPeer_->SetTextStyle(style_);
}

void TLabel::Loaded() {
    TControl::Loaded();
    AdjustSize();
}

void TLabel::AdjustSize() {
    // A description gives the caption and each part of the font one by one.
    if (!autoSize_ || Align() == TAlign::Client || IsLoading())
        return;
    const TSize size = WidgetSet().MeasureText(*this, style_.wordWrap ? Width() : -1);
    SetBounds({Left(), Top(), style_.wordWrap ? Width() : size.width, size.height});
}

} // namespace tolvar
