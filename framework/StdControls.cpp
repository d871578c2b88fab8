#include "framework/StdControls.h"

#include "framework/Application.h"
#include "framework/PictureTexts.h"

#include <algorithm>
#include <utility>

namespace tolvar {

namespace {

const TColor kLinkColor = clBlue;
const TColor kVisitedColor = clPurple;

void Notify(const TNotifyEvent& event, TComponent* sender) {
    if (event)
        event(sender);
}

} // namespace

TGroupBox::TGroupBox(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TGroupBox::CreatePeer() {
    return WidgetSet().CreateGroupBoxPeer(*this);
}

TRect TGroupBox::ClientRect() const {
    // The frame's own width, so a client-aligned child stays inside it.
    return {2, 2, std::max(0, Width() - 4), std::max(0, Height() - 4)};
}

TCheckBox::TCheckBox(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TCheckBox::CreatePeer() {
    return KeepPeer(WidgetSet().CreateCheckBoxPeer(*this), checkBoxPeer_);
}

void TCheckBox::PeerCreated() {
    if (checked_)
        checkBoxPeer_->SetChecked(true);
}

void TCheckBox::SetChecked(bool value) {
    checked_ = value;
    if (checkBoxPeer_ != nullptr)
        checkBoxPeer_->SetChecked(value);
}

void TCheckBox::PeerToggled(bool checked) {
    checked_ = checked;
    Notify(OnClick, this);
}

TButton::TButton(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TButton::CreatePeer() {
    return KeepPeer(WidgetSet().CreateButtonPeer(*this), buttonPeer_);
}

void TButton::PeerCreated() {
    if (default_)
        buttonPeer_->SetDefault(true);
}

void TButton::SetDefault(bool value) {
    default_ = value;
    if (buttonPeer_ != nullptr)
        buttonPeer_->SetDefault(value);
}

void TButton::Click() {
    Notify(OnClick, this);
}

TProgressBar::TProgressBar(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TProgressBar::CreatePeer() {
    return KeepPeer(WidgetSet().CreateProgressBarPeer(*this), barPeer_);
}

void TProgressBar::PeerCreated() {
    barPeer_->SetRange(min_, max_);
    barPeer_->SetPosition(position_);
}

void TProgressBar::SetMin(int value) {
    min_ = value;
    max_ = std::max(max_, min_);
    if (barPeer_ != nullptr)
        barPeer_->SetRange(min_, max_);
    SetPosition(position_);
}

void TProgressBar::SetMax(int value) {
    max_ = value;
    min_ = std::min(min_, max_);
    if (barPeer_ != nullptr)
        barPeer_->SetRange(min_, max_);
    SetPosition(position_);
}

void TProgressBar::SetPosition(int value) {
    position_ = std::clamp(value, min_, max_);
    if (barPeer_ != nullptr)
        barPeer_->SetPosition(position_);
}

TImage::TImage(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TImage::CreatePeer() {
    return KeepPeer(WidgetSet().CreateImagePeer(*this), imagePeer_);
}

void TImage::SetPicture(const std::string& name) {
    std::optional<TSize> size;
    if (!name.empty() && name.find('/') == std::string::npos &&
        name.find('\\') == std::string::npos)
        size = WidgetSet().PictureSize(name);
    if (!size)
        throw Exception("Picture '" + name + "' is not among the program's pictures");
    picture_ = name;
    pictureSize_ = *size;
    Update();
    UpdateAccessible();
}

std::string TImage::AccessibleNameOfKind() const {
    return PictureText(picture_);
}

void TImage::SetTransparent(bool value) {
    transparent_ = value;
    Update();
}

void TImage::SetStretch(bool value) {
    stretch_ = value;
    Update();
}

void TImage::SetProportional(bool value) {
    proportional_ = value;
    Update();
}

void TImage::SetCenter(bool value) {
    center_ = value;
    Update();
}

TRect TImage::PictureRect() const {
    if (picture_.empty())
        return {};
    TSize size = pictureSize_;
    const TSize frame{Width(), Height()};
    if (proportional_) {
        // Shrinks to fit; grows only when stretching is asked for too.
        if ((stretch_ || size.width > frame.width || size.height > frame.height) &&
            size.width > 0 && size.height > 0) {
            // Keeps the aspect ratio: the full height if the width then fits, else the width.
            const long long widthAtFullHeight =
                static_cast<long long>(frame.height) * size.width / size.height;
            if (widthAtFullHeight <= frame.width)
                size = {static_cast<int>(widthAtFullHeight), frame.height};
            else
                size = {frame.width, static_cast<int>(static_cast<long long>(frame.width) *
                                                      size.height / size.width)};
        }
    } else if (stretch_) {
        size = frame;
    }
    int left = 0;
    int top = 0;
    if (center_) {
        left = (frame.width - size.width) / 2;
        top = (frame.height - size.height) / 2;
    }
    return {left, top, size.width, size.height};
}

void TImage::Update() {
    if (!picture_.empty() && imagePeer_ != nullptr)
        imagePeer_->SetPicture(picture_, transparent_, PictureRect());
}

TLinkLabel::TLinkLabel(TComponent* owner, TWinControl* parent) : TLabel(owner, parent) {
    // Made at once on a shown form, the window got the label's state without the link's.
    PeerCreated();
    TFont f = Font();
    f.color = kLinkColor;
    SetFont(f);
    UpdateAccessible();
}

void TLinkLabel::PeerCreated() {
    TLabel::PeerCreated();
    if (LabelPeer() != nullptr)
        LabelPeer()->SetHandCursor(true);
}

bool TLinkLabel::PeerKey(TKey key) {
    if (key != TKey::Return && key != TKey::Space)
        return false;
    Follow();
    return true;
}

void TLinkLabel::Follow() {
    if (!Enabled())
        return;
    visited_ = true;
    TFont f = Font();
    f.color = kVisitedColor;
    SetFont(f);
    if (!WidgetSet().OpenUrl(Caption())) {
        // No longer a link: drawn in the grey of disabled text.
        f.color = clGrayText;
        SetFont(f);
        SetEnabled(false);
    }
}

void TLinkLabel::PeerMouse(bool down, bool left, bool inside) {
    if (!left || !Enabled())
        return;
    if (down) {
        pressed_ = true;
        visited_ = true;
        TFont f = Font();
        f.color = kVisitedColor;
        SetFont(f);
        return;
    }
    if (!pressed_)
        return;
    pressed_ = false;
    if (inside)
        Follow();
}

TComboBox::TComboBox(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TComboBox::CreatePeer() {
    return KeepPeer(WidgetSet().CreateComboBoxPeer(*this), comboPeer_);
}

void TComboBox::PeerCreated() {
    comboPeer_->SetItems(items_);
    if (!itemDetails_.empty())
        comboPeer_->SetItemDetails(itemDetails_);
    comboPeer_->SetItemIndex(itemIndex_);
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
    items_ = items;
    itemIndex_ = -1;
    if (comboPeer_ != nullptr) {
        comboPeer_->SetItems(items_);
        comboPeer_->SetItemIndex(-1);
    }
}

void TComboBox::SetItemDetails(std::vector<std::string> details) {
    itemDetails_ = std::move(details);
    if (comboPeer_ != nullptr)
        comboPeer_->SetItemDetails(itemDetails_);
}

void TComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size()))
        index = -1;
    itemIndex_ = index;
    if (comboPeer_ != nullptr)
        comboPeer_->SetItemIndex(index);
}

void TComboBox::PeerSelected(int index) {
    itemIndex_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
    Change();
}

} // namespace tolvar
