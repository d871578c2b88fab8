// The form: built from its description, shown with the focus where Enter presses the default
// button, closed, and the Return and Escape that no control took.
#include "framework/Controls.h"
#include "framework/FormReader.h"
#include "framework/StdControls.h"

#include <algorithm>

namespace tolvar {

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

} // namespace tolvar
