// The control's state and its mirror on the peer: place in the tree, geometry, visibility,
// enabled state, caption, font and colour; the containers that hold controls.
#include "framework/Controls.h"

#include <algorithm>
#include <utility>

namespace tolvar {

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

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c != nullptr; c = c->Parent())
        if (c == this)
            return true;
    return false;
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

} // namespace tolvar
