#pragma once

#include "framework/Controls.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tolvar {

// A frame around related controls; the stored ones carry no caption. Children are laid out
// inside its frame.
class TGroupBox : public TWinControl {
public:
    TGroupBox(TComponent* owner, TWinControl* parent);
    // The area inside the frame (a 2-pixel edge; the caption row on top when there is one).
    TRect ClientRect() const override;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Grouping; }
    std::unique_ptr<TControlPeer> CreatePeer() override;
};

// A box the user ticks; OnClick follows every change the user makes.
class TCheckBox : public TControl {
public:
    TCheckBox(TComponent* owner, TWinControl* parent);
    bool Checked() const { return checked_; }
    // A change by the program raises no OnClick.
    void SetChecked(bool value);
    bool TabStop() const override { return true; }

    TNotifyEvent OnClick;

    void PeerToggled(bool checked) override;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::CheckBox; }
    std::string AccessibleNameOfKind() const override { return WithoutMnemonic(Caption()); }
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override;

private:
    TCheckBoxPeer* checkBoxPeer_ = nullptr;
    bool checked_ = false;
};

class TButton : public TControl {
public:
    TButton(TComponent* owner, TWinControl* parent);
    bool TabStop() const override { return true; }
    bool Default() const { return default_; }
    void SetDefault(bool value);
    // What a press does: the click of the user, or Enter/Escape through the form.
    void Click();
    // Pressable now: visible and enabled, and so is everything around it.
    bool Pressable() const { return Showing() && EnabledInTree(); }

    TNotifyEvent OnClick;

    void PeerClicked() override { Click(); }

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Button; }
    std::string AccessibleNameOfKind() const override { return WithoutMnemonic(Caption()); }
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override;

private:
    TButtonPeer* buttonPeer_ = nullptr;
    bool default_ = false;
};

// A bar without a percentage text.
class TProgressBar : public TControl {
public:
    TProgressBar(TComponent* owner, TWinControl* parent);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetMin(int value);
    void SetMax(int value);
    // Kept inside [Min, Max].
    void SetPosition(int value);

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::ProgressBar; }
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override;

private:
    TProgressBarPeer* barPeer_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

// A picture of the program's resources drawn into its frame. With Transparent, pure magenta
// pixels are left out.
class TImage : public TControl {
public:
    TImage(TComponent* owner, TWinControl* parent);
    // Raises when the program has no picture of that name.
    void SetPicture(const std::string& name);
    const std::string& Picture() const { return picture_; }
    TSize PictureSize() const { return pictureSize_; }
    void SetTransparent(bool value);
    void SetStretch(bool value);
    void SetProportional(bool value);
    void SetCenter(bool value);
    // Where the picture lands inside the frame.
    TRect PictureRect() const;

protected:
    void Resized() override { Update(); }
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Graphic; }
    // The picture's text equivalent, kept with the pictures.
    std::string AccessibleNameOfKind() const override;
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override { Update(); }

private:
    void Update();

    TImagePeer* imagePeer_ = nullptr;
    std::string picture_;
    TSize pictureSize_;
    bool transparent_ = false;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
};

// A label whose caption is a web address that the shell opens. The text turns purple on the
// press and stays so; when the shell cannot open it, the link is disabled and looks it. Tab
// reaches it; Enter, Space and a screen reader's default action follow it as a click does.
class TLinkLabel : public TLabel {
public:
    TLinkLabel(TComponent* owner, TWinControl* parent);
    bool Visited() const { return visited_; }
    bool TabStop() const override { return true; }
    bool TakesFirstFocus() const override { return false; }
    // Opens the address as a click does.
    void Follow();

    void PeerMouse(bool down, bool left, bool inside) override;
    void PeerClicked() override { Follow(); }
    bool PeerKey(TKey key) override;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Link; }
    void PeerCreated() override;

private:
    bool visited_ = false;
    bool pressed_ = false;
};

// A drop-down list that takes no typing.
class TComboBox : public TControl {
public:
    TComboBox(TComponent* owner, TWinControl* parent);
    bool TabStop() const override { return true; }
    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(const std::vector<std::string>& items);
    // What is known of each item, drawn beside it in the dropped list; may be shorter than the
    // items (the rest have none).
    const std::vector<std::string>& ItemDetails() const { return itemDetails_; }
    void SetItemDetails(std::vector<std::string> details);
    int ItemIndex() const { return itemIndex_; }
    // -1 selects nothing; a change by the program raises no pick.
    void SetItemIndex(int index);

    void PeerSelected(int index) override;
    // Backspace does not pick: it must not write the name again, nor an empty one.
    bool PeerKey(TKey key) override { return key == TKey::Backspace; }

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::ComboBox; }
    std::unique_ptr<TControlPeer> CreatePeer() override;
    void PeerCreated() override;
    // A pick by the user; the selection is already updated.
    virtual void Change() {}

private:
    TComboBoxPeer* comboPeer_ = nullptr;
    std::vector<std::string> items_;
    std::vector<std::string> itemDetails_;
    int itemIndex_ = -1;
};

// Registers "TGroupBox", "TCheckBox", "TButton", "TProgressBar", "TImage" and the link label
// "TLMDSimpleLabel" (needs RegisterControlClasses first).
void RegisterStandardControls(TClassRegistry& registry);

} // namespace tolvar
