#include "wizard/Assist.h"

#include "framework/Application.h"
#include "framework/MessageBoxes.h"

#include <algorithm>

namespace tolvar {

namespace {

const char* const kDefaultCaptions[] = {"",       "&Help",   "< &Back", "Ne&xt >",
                                        "Cancel", "&Finish", "&Close"};

} // namespace

TLMDAssist::TLMDAssist(TComponent* owner, TWinControl* parent) : TCustomPanel(owner, parent) {
    for (int i = btnCustom; i <= btnCancel; ++i)
        buttonWidgets_[static_cast<std::size_t>(i)] =
            new TLMDAssistBtn(this, static_cast<TLMDInternalButtons>(i));
    buttonWidgets_[btnCustom]->Hide();
    buttonWidgets_[btnhelp]->Hide();
    buttonWidgets_[btnNext]->SetDefault(true);
    buttonWidgets_[btnCancel]->SetCancel(true);
    buttonWidgets_[btnCancel]->SetModalResult(mrCancel);
    AssignBtnCaptions();
    if (parent != nullptr) {
        // The frame fills its parent's client area and serves as the window's default and
        // cancel button handler.
        form_ = Form();
        if (form_ != nullptr)
            form_->AddDialogKeyHandler(this);
        SetBounds(parent->ClientRect());
    }
    AlignControls();
}

TLMDAssist::~TLMDAssist() {
    if (form_ != nullptr)
        form_->RemoveDialogKeyHandler(this);
    // The page list goes first, so destroying the pages raises no page change or event.
    for (TLMDAssistPage* page : pages_)
        page->assist_ = nullptr;
    pages_.clear();
    activePage_ = nullptr;
    for (TLMDAssistBtn*& button : buttonWidgets_) {
        delete button;
        button = nullptr;
    }
}

TLMDAssistPage* TLMDAssist::GetPage(int index) const {
    if (index < 0 || index >= GetCount())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    return pages_[static_cast<std::size_t>(index)];
}

int TLMDAssist::IndexOf(const TLMDAssistPage* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

void TLMDAssist::InsertPage(TLMDAssistPage* page) {
    if (page == nullptr || IndexOf(page) >= 0)
        return;
    if (page->assist_ != nullptr)
        page->assist_->RemovePage(page);
    if (page->Parent() != this)
        return;
    pages_.push_back(page);
    page->assist_ = this;
    page->SetBounds(pageArea_);
    if (!IsLoading())
        SetActivePage(page);
}

void TLMDAssist::RemovePage(TLMDAssistPage* page) {
    const int index = IndexOf(page);
    if (index < 0)
        return;
    pages_.erase(pages_.begin() + index);
    page->assist_ = nullptr;
    if (activePage_ == page)
        activePage_ = nullptr;
    if (!IsDestroying())
        SetMoveBtnState();
}

void TLMDAssist::MovePage(int oldIndex, int newIndex) {
    if (oldIndex < 0 || oldIndex >= GetCount() || newIndex < 0 || newIndex >= GetCount() ||
        oldIndex == newIndex)
        return;
    TLMDAssistPage* page = pages_[static_cast<std::size_t>(oldIndex)];
    pages_.erase(pages_.begin() + oldIndex);
    pages_.insert(pages_.begin() + newIndex, page);
    if (!IsLoading())
        SetMoveBtnState();
}

TLMDAssistPage* TLMDAssist::FindNextPage(TLMDAssistPage* page, bool forward,
                                         bool includedOnly) const {
    int index = IndexOf(page);
    if (index < 0)
        return nullptr;
    while (true) {
        index += forward ? 1 : -1;
        if (index < 0 || index >= GetCount())
            return nullptr;
        TLMDAssistPage* candidate = pages_[static_cast<std::size_t>(index)];
        if (!includedOnly || candidate->Included())
            return candidate;
    }
}

void TLMDAssist::FocusFirstControl(TLMDAssistPage* page) {
    if (!page->Showing() || !page->EnabledInTree())
        return;
    if (TControl* first = page->FindFirstFocusable())
        first->SetFocus();
}

void TLMDAssist::SetActivePage(TLMDAssistPage* page) {
    if (page == nullptr) {
        if (TLMDAssistPage* current = activePage_) {
            if (current->OnAfterShowPage)
                current->OnAfterShowPage(current);
        }
        activePage_ = nullptr;
        return;
    }
    if (page == activePage_ || IndexOf(page) < 0)
        return;
    bool cancel = false;
    if (OnChanging)
        OnChanging(this, page, cancel);
    if (cancel)
        return;
    page->SetBounds(pageArea_);
    page->Show();
    page->BringToFront();
    FocusFirstControl(page);
    if (TLMDAssistPage* previous = activePage_) {
        // A page with nothing to focus leaves the focus where it was; hiding the old page must
        // not hand it on to the next tab stop (Back), so the frame holds it instead, and Enter
        // still reaches the default button.
        if (TControl* focused = WidgetSet().FocusedControl();
            focused != nullptr && previous->ContainsControl(focused))
            SetFocus();
        if (previous->OnAfterShowPage)
            previous->OnAfterShowPage(previous);
        previous->Hide();
    }
    if (page->OnBeforeShowPage)
        page->OnBeforeShowPage(page);
    activePage_ = page;
    SetMoveBtnState();
    if (OnChange)
        OnChange(this);
    // The focus stays where it was (on "Next" mostly), so the new page is read out.
    if (form_ != nullptr) {
        page->UpdateAccessible();
        form_->Announce(page->Announcement());
    }
}

void TLMDAssist::NextPage() {
    if (activePage_ == nullptr)
        return;
    bool cancel = false;
    if (activePage_->OnNextPage)
        activePage_->OnNextPage(this, cancel);
    if (cancel)
        return;
    if (TLMDAssistPage* next = FindNextPage(activePage_, true, true))
        SetActivePage(next);
}

void TLMDAssist::PrevPage() {
    if (activePage_ == nullptr)
        return;
    bool cancel = false;
    if (activePage_->OnPrevPage)
        activePage_->OnPrevPage(this, cancel);
    if (cancel)
        return;
    if (TLMDAssistPage* previous = FindNextPage(activePage_, false, true))
        SetActivePage(previous);
}

void TLMDAssist::FirstPage() {
    for (TLMDAssistPage* page : pages_)
        if (page->Included()) {
            SetActivePage(page);
            return;
        }
}

void TLMDAssist::LastPage() {
    for (auto it = pages_.rbegin(); it != pages_.rend(); ++it)
        if ((*it)->Included()) {
            SetActivePage(*it);
            return;
        }
}

TLMDAssistBtn* TLMDAssist::GetButton(TLMDInternalButtons index) const {
    if (index < btnCustom || index > btnCancel)
        throw Exception("Invalid button index " + std::to_string(static_cast<int>(index)));
    return buttonWidgets_[static_cast<std::size_t>(index)];
}

std::string TLMDAssist::GetButtonCaption(TLMDInternalButtonStrings index) const {
    const auto i = static_cast<std::size_t>(index);
    if (i < customStrings_.size() && !customStrings_[i].empty())
        return customStrings_[i];
    if (index != asCustom && index >= asCustom && index <= asClose)
        return kDefaultCaptions[i];
    return std::string();
}

void TLMDAssist::SetCustomStrings(const std::vector<std::string>& strings) {
    customStrings_ = strings;
    AssignBtnCaptions();
}

void TLMDAssist::SetButtons(TLMDAssistButtons buttons) {
    buttons_ = buttons;
    aligning_ = true; // one layout below, not one per button
    buttonWidgets_[btnCustom]->SetVisible(buttons.Contains(abCustom));
    buttonWidgets_[btnhelp]->SetVisible(buttons.Contains(abHelp));
    buttonWidgets_[btnCancel]->SetVisible(buttons.Contains(abCancel));
    aligning_ = false;
    if (!IsLoading())
        AlignControls();
}

void TLMDAssist::SetGeometryValue(int& field, int value) {
    if (field == value)
        return;
    field = value;
    if (!IsLoading())
        AssignBtnProperties();
    Invalidate();
    AlignControls();
}

void TLMDAssist::SetShowLine(bool value) {
    if (showLine_ == value)
        return;
    showLine_ = value;
    Invalidate();
}

void TLMDAssist::SetCtlXP(bool value) {
    ctlXP_ = value;
    Invalidate();
}

void TLMDAssist::AssignBtnProperties() {
    for (TLMDAssistBtn* button : buttonWidgets_)
        button->SetBounds({button->Left(), button->Top(), btnWidth_, btnHeight_});
    for (int i = btnhelp; i <= btnCancel; ++i)
        buttonWidgets_[static_cast<std::size_t>(i)]->SetCaptionIndex(
            static_cast<TLMDInternalButtonStrings>(i));
    buttonWidgets_[btnNext]->SetDefault(true);
    buttonWidgets_[btnCancel]->SetCancel(true);
    buttonWidgets_[btnCancel]->SetModalResult(mrCancel);
    AssignBtnCaptions();
}

void TLMDAssist::AssignBtnCaptions() {
    for (TLMDAssistBtn* button : buttonWidgets_)
        button->SetCaptionIndex(button->CaptionIndex());
}

bool TLMDAssist::CheckCompleted(TLMDAssistPage* page) {
    bool cancel = false;
    if (page->OnCompleted)
        page->OnCompleted(page, cancel);
    return !cancel;
}

void TLMDAssist::SetMoveBtnState() {
    const bool enabled = Enabled();
    TLMDAssistBtn* back = buttonWidgets_[btnPrev];
    TLMDAssistBtn* next = buttonWidgets_[btnNext];
    back->SetEnabled(enabled && !finished_ && activePage_ != nullptr &&
                     FindNextPage(activePage_, false, true) != nullptr);
    next->SetEnabled(enabled && !(finished_ && buttons_.Contains(abCancel)) &&
                     activePage_ != nullptr && CheckCompleted(activePage_));
    next->SetCaptionIndex(FindNextPage(activePage_, true, true) != nullptr ? asNext : asFinish);
}

void TLMDAssist::InitPages() {
    FirstPage();
    SetMoveBtnState();
}

void TLMDAssist::SetFinished(bool value) {
    if (finished_ == value)
        return;
    finished_ = value;
    TLMDAssistBtn* next = buttonWidgets_[btnNext];
    TLMDAssistBtn* cancel = buttonWidgets_[btnCancel];
    if (value) {
        buttonWidgets_[btnPrev]->SetEnabled(false);
        next->SetEnabled(!buttons_.Contains(abCancel));
        if (buttons_.Contains(abCancel)) {
            cancel->SetCancel(false);
            cancel->SetCaptionIndex(asClose);
            cancel->SetDefault(true);
            cancel->SetModalResult(mrOk);
            next->SetCaptionIndex(asFinish);
        } else {
            next->SetCaptionIndex(asClose);
        }
    } else {
        SetMoveBtnState();
        cancel->SetCancel(true);
        cancel->SetCaptionIndex(asCancel);
        cancel->SetDefault(false);
        cancel->SetModalResult(mrCancel);
    }
}

void TLMDAssist::OnBtnsClick(TLMDAssistBtn* button) {
    if (TCustomForm* form = Form())
        form->SetModalResult(button->ModalResult());
    switch (button->Index()) {
    case btnhelp: {
        int context = 0;
        for (TControl* w = activePage_; w != nullptr && context == 0; w = w->Parent())
            if (auto* page = dynamic_cast<TLMDAssistPage*>(w))
                context = page->HelpContext();
        if (OnHelp)
            OnHelp(context);
        break;
    }
    case btnPrev:
        PrevPage();
        break;
    case btnCancel:
        if (OnCancelClick)
            OnCancelClick(this);
        break;
    case btnCustom:
        if (OnCustomClick)
            OnCustomClick(this);
        break;
    case btnNext: {
        if (activePage_ == nullptr)
            return;
        if (!finished_ && !CheckCompleted(activePage_))
            return;
        if (!finished_ && FindNextPage(activePage_, true, true) != nullptr) {
            NextPage();
            return;
        }
        bool cancel = false;
        if (OnCompleted)
            OnCompleted(this, cancel);
        SetFinished(!cancel);
        break;
    }
    }
}

bool TLMDAssist::DialogKey(TKey key) {
    if (key == TKey::Return) {
        for (TLMDAssistBtn* b : buttonWidgets_)
            if (b->Default() && b->Pressable()) {
                b->Click();
                return true;
            }
        return false;
    }
    if (key == TKey::Escape) {
        for (TLMDAssistBtn* b : buttonWidgets_)
            if (b->Cancel() && b->Pressable()) {
                b->Click();
                return true;
            }
    }
    return false;
}

void TLMDAssist::Loaded() {
    TCustomPanel::Loaded();
    if (TWinControl* parent = Parent())
        SetBounds(parent->ClientRect());
    AssignBtnProperties();
    AssignBtnCaptions();
    InitPages();
    AlignControls();
}

void TLMDAssist::EnabledChanged() {
    const bool enabled = Enabled();
    buttonWidgets_[btnCancel]->SetEnabled(enabled);
    buttonWidgets_[btnhelp]->SetEnabled(enabled);
    buttonWidgets_[btnCustom]->SetEnabled(enabled);
    SetMoveBtnState();
}

} // namespace tolvar
