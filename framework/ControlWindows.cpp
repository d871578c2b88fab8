// Windows made on demand: a control gets its window when it first shows on a shown form (or when
// something asks for it), handed the whole state at once; and the tab order that the form's
// window gets again whenever new windows came.
#include "framework/Controls.h"

#include <algorithm>
#include <climits>

namespace tolvar {

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

void TControl::SetFocus() {
    HandleNeeded().SetFocus();
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

void TCustomForm::ApplyTabOrder() {
    std::vector<TControl*> chain = TabChain();
    std::erase_if(chain, [](const TControl* c) { return !c->HandleAllocated(); });
    formPeer_->SetTabOrder(chain);
    tabOrderStale_ = false;
}

} // namespace tolvar
