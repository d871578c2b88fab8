// A minimal control model for the widget set's tests while the core's own is not built here:
// each control mirrors its state to its peer, as the core's model does. Only what the tests use.

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/StdControls.h"

#include <algorithm>
#include <map>

namespace tolvar {

namespace {
TWidgetSet* installed = nullptr;
std::string title;
long long serials = 0;
std::map<TCustomForm*, std::vector<TDialogKeyHandler*>> dialogKeyHandlers;
} // namespace

TWidgetSet& WidgetSet() {
    if (installed == nullptr)
        throw Exception("No widget set");
    return *installed;
}

TWidgetSet* SetWidgetSet(TWidgetSet* widgetSet) {
    return std::exchange(installed, widgetSet);
}

const std::string& ApplicationTitle() {
    return title;
}

void SetApplicationTitle(std::string value) {
    title = std::move(value);
}

void HandleException() {}

TControl::TControl(TComponent* owner, TWinControl* parent, TControlKind kind)
    : TComponent(owner), kind_(kind), parent_(parent), serial_(++serials) {
    if (parent_ != nullptr) {
        parent_->controls_.push_back(this);
        font_ = parent_->Font();
    }
    peer_ = WidgetSet().CreatePeer(*this);
}

TControl::~TControl() {
    peer_.reset();
    if (parent_ != nullptr)
        std::erase(parent_->controls_, this);
}

TCustomForm* TControl::Form() const {
    const TControl* control = this;
    while (control->parent_ != nullptr)
        control = control->parent_;
    return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(control));
}

void TControl::SetBounds(const TRect& rect) {
    bounds_ = rect;
    peer_->SetBounds(rect);
}

void TControl::SetAlign(TAlign align) {
    align_ = align;
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    peer_->SetVisible(visible);
}

bool TControl::Showing() const {
    return visible_ && (parent_ == nullptr || parent_->Showing());
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    peer_->SetEnabled(enabled);
}

bool TControl::EnabledInTree() const {
    return enabled_ && (parent_ == nullptr || parent_->EnabledInTree());
}

void TControl::SetCaption(const std::string& caption) {
    caption_ = caption;
    peer_->SetCaption(caption);
}

void TControl::SetFont(const TFont& font) {
    font_ = font;
    peer_->SetFont(font);
    FontChanged();
}

void TControl::SetColor(TColor color) {
    color_ = color;
    peer_->SetColor(color);
}

void TControl::SetFocus() {
    peer_->SetFocus();
}

void TControl::PeerResized(const TSize& size) {
    bounds_.width = size.width;
    bounds_.height = size.height;
}

void TControl::ParentResized() {}

TWinControl::TWinControl(TComponent* owner, TWinControl* parent, TControlKind kind)
    : TControl(owner, parent, kind) {}

TWinControl::~TWinControl() {
    while (!controls_.empty())
        delete controls_.back();
}

std::vector<TControl*> TWinControl::TabChain() const {
    std::vector<TControl*> chain;
    for (TControl* control : controls_) {
        chain.push_back(control);
        if (auto* container = dynamic_cast<TWinControl*>(control)) {
            const auto inner = container->TabChain();
            chain.insert(chain.end(), inner.begin(), inner.end());
        }
    }
    return chain;
}

TControl* TWinControl::FindFirstFocusable() const {
    for (TControl* control : TabChain())
        if (control->CanFocus())
            return control;
    return nullptr;
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (; control != nullptr; control = control->Parent())
        if (control == this)
            return true;
    return false;
}

void TWinControl::Resized() {}

TCustomForm::TCustomForm() : TWinControl(nullptr, nullptr, TControlKind::Form) {}

TCustomForm::~TCustomForm() {
    dialogKeyHandlers.erase(this);
}

void TCustomForm::ReadDescription(std::string_view, const std::string&, const TClassRegistry&) {
    throw Exception("Not in the test model");
}

void TCustomForm::Loaded() {
    TComponent::Loaded();
}

void TCustomForm::ShowWindow() {
    Peer().ShowWindow();
}

void TCustomForm::Close() {
    closed_ = true;
    Peer().CloseWindow();
}

TControl* TCustomForm::ActiveControl() const {
    TControl* focused = WidgetSet().FocusedControl();
    return focused != nullptr && ContainsControl(focused) ? focused : nullptr;
}

bool TCustomForm::PeerDialogKey(TKey key) {
    for (TDialogKeyHandler* handler : dialogKeyHandlers[this])
        if (handler->DialogKey(key))
            return true;
    if (key == TKey::Return)
        for (TControl* control : TabChain())
            if (auto* button = dynamic_cast<TButton*>(control);
                button != nullptr && button->Default() && button->Pressable()) {
                button->Click();
                return true;
            }
    return false;
}

void AddDialogKeyHandler(TCustomForm& form, TDialogKeyHandler* handler) {
    dialogKeyHandlers[&form].push_back(handler);
}

void RemoveDialogKeyHandler(TCustomForm& form, TDialogKeyHandler* handler) {
    std::erase(dialogKeyHandlers[&form], handler);
}

TCustomPanel::TCustomPanel(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, TControlKind::Panel) {}

void TCustomPanel::PeerPaint(TCanvas& canvas) {
    canvas.FillRect(ClientRect(), Color());
}

TLabel::TLabel(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::Label) {}

void TLabel::SetCaption(const std::string& caption) {
    TControl::SetCaption(caption);
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
}

void TLabel::SetAlignment(TAlignment alignment) {
    style_.alignment = alignment;
    ApplyStyle();
}

void TLabel::SetWordWrap(bool wrap) {
    style_.wordWrap = wrap;
    ApplyStyle();
}

void TLabel::SetBorderWidth(int width) {
    style_.margin = width;
    ApplyStyle();
}

void TLabel::SetTextEffect(TTextEffect effect) {
    style_.effect = effect;
    ApplyStyle();
}

void TLabel::ApplyStyle() {
    Peer().SetTextStyle(style_);
}

void TLabel::AdjustSize() {}

TGroupBox::TGroupBox(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, TControlKind::GroupBox) {}

TRect TGroupBox::ClientRect() const {
    return {2, 2, Width() - 4, Height() - 4};
}

TCheckBox::TCheckBox(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::CheckBox) {}

void TCheckBox::SetChecked(bool value) {
    checked_ = value;
    Peer().SetChecked(value);
}

void TCheckBox::PeerToggled(bool checked) {
    checked_ = checked;
    if (OnClick)
        OnClick(this);
}

TButton::TButton(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::Button) {}

void TButton::SetDefault(bool value) {
    default_ = value;
    Peer().SetDefault(value);
}

void TButton::Click() {
    if (OnClick)
        OnClick(this);
}

TProgressBar::TProgressBar(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::ProgressBar) {}

void TProgressBar::SetMin(int value) {
    min_ = value;
    Peer().SetRange(min_, max_);
}

void TProgressBar::SetMax(int value) {
    max_ = value;
    Peer().SetRange(min_, max_);
}

void TProgressBar::SetPosition(int value) {
    position_ = std::clamp(value, min_, max_);
    Peer().SetPosition(position_);
}

TComboBox::TComboBox(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::ComboBox) {}

void TComboBox::SetItems(const std::vector<std::string>& items) {
    items_ = items;
    itemIndex_ = -1;
    Peer().SetItems(items);
}

void TComboBox::SetItemIndex(int index) {
    itemIndex_ = index;
    Peer().SetItemIndex(index);
}

void TComboBox::PeerSelected(int index) {
    itemIndex_ = index;
    Change();
}

TImage::TImage(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, TControlKind::Image) {}

void TImage::SetPicture(const std::string& name) {
    const auto size = WidgetSet().PictureSize(name);
    if (!size)
        throw Exception("No picture " + name);
    picture_ = name;
    pictureSize_ = *size;
    Update();
}

void TImage::SetTransparent(bool value) {
    transparent_ = value;
    Update();
}

void TImage::SetStretch(bool value) {
    stretch_ = value;
    Update();
}

void TImage::SetProportional(bool) {}
void TImage::SetCenter(bool) {}

TRect TImage::PictureRect() const {
    return stretch_ ? ClientRect() : TRect{0, 0, pictureSize_.width, pictureSize_.height};
}

void TImage::Update() {
    Peer().SetPicture(picture_, transparent_, PictureRect());
}

} // namespace tolvar
