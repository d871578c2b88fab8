// What a screen reader is told of a control (role, name, description, the label it stands by),
// and what it reads of a container's contents.
#include "framework/Controls.h"

#include <utility>

namespace tolvar {

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

} // namespace tolvar
