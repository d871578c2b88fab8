#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"

#include <QPushButton>
#include <QWidget>
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

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TLMDStandardEvent = std::function<void(TComponent* sender, bool& cancel)>;
using TLMDAssistPageChangeEvent =
    std::function<void(TComponent* sender, TLMDAssistPage* newPage, bool& cancel)>;

// One of the frame's five push buttons.
class TLMDAssistBtn : public QPushButton {
public:
    TLMDAssistBtn(TLMDAssist* frame, TLMDInternalButtons index);

    TLMDInternalButtons Index() const { return index_; }
    TLMDInternalButtonStrings CaptionIndex() const { return captionIndex_; }
    // Stores the index and shows its caption at once.
    void SetCaptionIndex(TLMDInternalButtonStrings index);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // Enter presses the default button, Escape the cancel button (see TLMDAssist).
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }

private:
    TLMDAssist* frame_;
    TLMDInternalButtons index_;
    TLMDInternalButtonStrings captionIndex_;
    int modalResult_ = 0;
    bool default_ = false;
    bool cancel_ = false;
};

// A page of the wizard: a container that the frame shows one at a time.
class TLMDAssistPage : public QWidget, public TComponent {
public:
    // A page created inside a frame joins the frame's page list.
    TLMDAssistPage(TComponent* owner, QWidget* parent);
    ~TLMDAssistPage() override;

    TLMDAssist* Assist() const { return assist_; }
    bool Included() const { return included_; }
    void SetIncluded(bool value) { included_ = value; }
    int PageIndex() const;
    void SetPageIndex(int index);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }

    TLMDStandardEvent OnCompleted;
    TLMDStandardEvent OnNextPage;
    TLMDStandardEvent OnPrevPage;
    TNotifyEvent OnBeforeShowPage;
    TNotifyEvent OnAfterShowPage;

private:
    friend class TLMDAssist;
    TLMDAssist* assist_ = nullptr;
    bool included_ = true;
    int helpContext_ = 0;
};

// The wizard frame: an ordered list of pages shown one at a time above a bar of navigation
// buttons (custom, Help, Back, Next/Finish, Cancel/Close). It fills its parent.
class TLMDAssist : public QWidget, public TComponent {
public:
    TLMDAssist(TComponent* owner, QWidget* parent);
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
    // Visual-style background; there is no such theme class here, so the plain panel stays.
    bool CtlXP() const { return ctlXP_; }
    void SetCtlXP(bool value) { ctlXP_ = value; }

    bool Finished() const { return finished_; }
    void SetFinished(bool value);
    QRect PageArea() const { return pageArea_; }

    // The common press handling of the five buttons.
    void OnBtnsClick(TLMDAssistBtn* button);
    // Enter and Escape, as the window's default and cancel buttons; true when handled.
    bool DialogKey(int key);

    void Loaded() override;

    TLMDAssistPageChangeEvent OnChanging;
    TNotifyEvent OnChange;
    TNotifyEvent OnCancelClick;
    TLMDStandardEvent OnCompleted;
    TNotifyEvent OnCustomClick;
    // Called with the help context of a Help press; this program has no help system.
    std::function<void(int context)> OnHelp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TLMDAssistPage;
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
    QRect pageArea_;
};

// Registers "TLMDAssist" and "TLMDAssistPage" (needs RegisterControlClasses first).
void RegisterWizardClasses(TClassRegistry& registry);

} // namespace tolvar
