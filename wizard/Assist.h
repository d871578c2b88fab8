#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tolvar {

class TLMDAssist;
class TLMDAssistPage;

enum TLMDInternalButtons { btnCustom, btnhelp, btnPrev, btnNext, btnCancel };
enum TLMDInternalButtonStrings { asCustom, asHelp, asPrev, asNext, asCancel, asFinish, asClose };
enum TLMDAssistButton { abCustom, abHelp, abCancel };

// A set of TLMDAssistButton values.
class TLMDAssistButtons {
public:
    TLMDAssistButtons() = default;
    TLMDAssistButtons(std::initializer_list<TLMDAssistButton> items) {
        for (TLMDAssistButton b : items)
            bits_ |= 1u << b;
    }
    bool Contains(TLMDAssistButton b) const { return (bits_ & (1u << b)) != 0; }
    void Include(TLMDAssistButton b) { bits_ |= 1u << b; }
    bool operator==(const TLMDAssistButtons&) const = default;

private:
    unsigned bits_ = 0;
};

using TLMDStandardEvent = std::function<void(TComponent* sender, bool& cancel)>;
using TLMDAssistPageChangeEvent =
    std::function<void(TComponent* sender, TLMDAssistPage* newPage, bool& cancel)>;

// One of the frame's five push buttons.
class TLMDAssistBtn : public TButton {
public:
    TLMDAssistBtn(TLMDAssist* frame, TLMDInternalButtons index);

    TLMDInternalButtons Index() const { return index_; }
    TLMDInternalButtonStrings CaptionIndex() const { return captionIndex_; }
    // Stores the index and shows its caption at once.
    void SetCaptionIndex(TLMDInternalButtonStrings index);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // Enter presses the default button (TButton::Default), Escape the cancel button.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }

protected:
    // Showing or hiding a button lays the bar out again at once.
    void VisibleChanged() override;

private:
    TLMDAssist* frame_;
    TLMDInternalButtons index_;
    TLMDInternalButtonStrings captionIndex_;
    int modalResult_ = 0;
    bool cancel_ = false;
};

// A page of the wizard: a container that the frame shows one at a time.
class TLMDAssistPage : public TCustomPanel {
public:
    // A page created inside a frame joins the frame's page list.
    TLMDAssistPage(TComponent* owner, TWinControl* parent);
    ~TLMDAssistPage() override;

    TLMDAssist* Assist() const { return assist_; }
    bool Included() const { return included_; }
    void SetIncluded(bool value) { included_ = value; }
    int PageIndex() const;
    void SetPageIndex(int index);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    // The label that heads the page: a heading for a screen reader, and the page's name.
    TLabel* Heading() const { return heading_; }
    void SetHeading(TLabel* heading);
    // What a screen reader says when the page comes: its name, then its text.
    std::string Announcement() const;

    TLMDStandardEvent OnCompleted;
    TLMDStandardEvent OnNextPage;
    TLMDStandardEvent OnPrevPage;
    TNotifyEvent OnBeforeShowPage;
    TNotifyEvent OnAfterShowPage;

protected:
    TAccessibleRole AccessibleRoleOfKind() const override { return TAccessibleRole::Page; }
    std::string AccessibleNameOfKind() const override;

private:
    friend class TLMDAssist;
    TLMDAssist* assist_ = nullptr;
    TLabel* heading_ = nullptr;
    bool included_ = true;
    int helpContext_ = 0;
};

// The wizard frame: an ordered list of pages shown one at a time above a bar of navigation
// buttons (custom, Help, Back, Next/Finish, Cancel/Close). It fills its parent.
class TLMDAssist : public TCustomPanel, private TDialogKeyHandler {
public:
    TLMDAssist(TComponent* owner, TWinControl* parent);
    ~TLMDAssist() override;

    // Page list.
    int GetCount() const { return static_cast<int>(pages_.size()); }
    TLMDAssistPage* GetPage(int index) const;
    int IndexOf(const TLMDAssistPage* page) const;
    void InsertPage(TLMDAssistPage* page);
    void RemovePage(TLMDAssistPage* page);
    void MovePage(int oldIndex, int newIndex);

    TLMDAssistPage* ActivePage() const { return activePage_; }
    void SetActivePage(TLMDAssistPage* page);
    TLMDAssistPage* FindNextPage(TLMDAssistPage* page, bool forward, bool includedOnly) const;

    void NextPage();
    void PrevPage();
    void FirstPage();
    void LastPage();

    TLMDAssistBtn* GetButton(TLMDInternalButtons index) const;
    std::string GetButtonCaption(TLMDInternalButtonStrings index) const;
    void VerifyNext() { SetMoveBtnState(); }

    const std::vector<std::string>& CustomStrings() const { return customStrings_; }
    void SetCustomStrings(const std::vector<std::string>& strings);
    TLMDAssistButtons Buttons() const { return buttons_; }
    void SetButtons(TLMDAssistButtons buttons);
    int BtnWidth() const { return btnWidth_; }
    void SetBtnWidth(int value) { SetGeometryValue(btnWidth_, value); }
    int BtnHeight() const { return btnHeight_; }
    void SetBtnHeight(int value) { SetGeometryValue(btnHeight_, value); }
    int BtnMargin() const { return btnMargin_; }
    void SetBtnMargin(int value) { SetGeometryValue(btnMargin_, value); }
    int BtnGap() const { return btnGap_; }
    void SetBtnGap(int value) { SetGeometryValue(btnGap_, value); }
    int LineMargin() const { return lineMargin_; }
    void SetLineMargin(int value) { SetGeometryValue(lineMargin_, value); }
    bool ShowLine() const { return showLine_; }
    void SetShowLine(bool value);
    // Background in the platform's visual style where it has one, else the plain panel.
    bool CtlXP() const { return ctlXP_; }
    void SetCtlXP(bool value);

    bool Finished() const { return finished_; }
    void SetFinished(bool value);
    TRect PageArea() const { return pageArea_; }

    // The common press handling of the five buttons.
    void OnBtnsClick(TLMDAssistBtn* button);
    // Enter and Escape, as the window's default and cancel buttons; true when handled.
    bool DialogKey(TKey key) override;

    void Loaded() override;

    TLMDAssistPageChangeEvent OnChanging;
    TNotifyEvent OnChange;
    TNotifyEvent OnCancelClick;
    TLMDStandardEvent OnCompleted;
    TNotifyEvent OnCustomClick;
    // Called with the help context of a Help press; this program has no help system.
    std::function<void(int context)> OnHelp;

    void PeerPaint(TCanvas& canvas) override;

protected:
    void Resized() override { AlignControls(); }
    void ParentResized() override;
    void EnabledChanged() override;

private:
    friend class TLMDAssistPage;
    friend class TLMDAssistBtn;
    void SetGeometryValue(int& field, int value);
    void AssignBtnProperties();
    void AssignBtnCaptions();
    void AlignControls();
    void SetMoveBtnState();
    bool CheckCompleted(TLMDAssistPage* page);
    void InitPages();
    void FocusFirstControl(TLMDAssistPage* page);

    std::vector<TLMDAssistPage*> pages_;
    TLMDAssistPage* activePage_ = nullptr;
    std::array<TLMDAssistBtn*, 5> buttonWidgets_{};
    std::vector<std::string> customStrings_;
    TLMDAssistButtons buttons_{abCancel};
    int btnWidth_ = 75;
    int btnHeight_ = 25;
    int btnMargin_ = 12;
    int btnGap_ = 8;
    int lineMargin_ = 4;
    bool showLine_ = true;
    bool ctlXP_ = false;
    bool finished_ = false;
    bool aligning_ = false;
    TRect pageArea_;
    TCustomForm* form_ = nullptr;
};

// Registers "TLMDAssist" and "TLMDAssistPage" (needs RegisterControlClasses first).
void RegisterWizardClasses(TClassRegistry& registry);

} // namespace tolvar
