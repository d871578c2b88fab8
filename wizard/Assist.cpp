#include "wizard/Assist.h"

#include "framework/widgets/Application.h"
#include "framework/widgets/Controls.h"
#include "framework/widgets/MessageBoxes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace tolvar {

namespace {

const char* const kDefaultCaptions[] = {"",       "&Help",   "< &Back", "Ne&xt >",
                                        "Cancel", "&Finish", "&Close"};

} // namespace

// ---------------------------------------------------------------------------------------------

TLMDAssistBtn::TLMDAssistBtn(TLMDAssist* frame, TLMDInternalButtons index)
    : QPushButton(frame), frame_(frame), index_(index),
      captionIndex_(static_cast<TLMDInternalButtonStrings>(index)) {
    // The frame's buttons come first in the window's tab order, in index order.
    setProperty("tolvarTabOrder", static_cast<int>(index));
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this,
            [this] { RunHandler([this] { frame_->OnBtnsClick(this); }); });
}

void TLMDAssistBtn::SetCaptionIndex(TLMDInternalButtonStrings index) {
    captionIndex_ = index;
    setText(QString::fromStdString(frame_->GetButtonCaption(index)));
}

void TLMDAssistBtn::SetDefault(bool value) {
    default_ = value;
    setDefault(value);
}

// ---------------------------------------------------------------------------------------------

TLMDAssistPage::TLMDAssistPage(TComponent* owner, QWidget* parent)
    : QWidget(parent), TComponent(owner) {
    hide();
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    if (auto* frame = dynamic_cast<TLMDAssist*>(parent))
        frame->InsertPage(this);
}

TLMDAssistPage::~TLMDAssistPage() {
    // Leaving the list quietly: a page going away raises no page change and no event.
    if (assist_ != nullptr) {
        auto& pages = assist_->pages_;
        pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
        if (assist_->activePage_ == this)
            assist_->activePage_ = nullptr;
        assist_ = nullptr;
    }
}

int TLMDAssistPage::PageIndex() const {
    return assist_ == nullptr ? -1 : assist_->IndexOf(this);
}

void TLMDAssistPage::SetPageIndex(int index) {
    if (assist_ != nullptr)
        assist_->MovePage(PageIndex(), index);
}

// ---------------------------------------------------------------------------------------------

TLMDAssist::TLMDAssist(TComponent* owner, QWidget* parent) : QWidget(parent), TComponent(owner) {
    for (int i = btnCustom; i <= btnCancel; ++i) {
        auto* button = new TLMDAssistBtn(this, static_cast<TLMDInternalButtons>(i));
        button->installEventFilter(this);
        buttonWidgets_[static_cast<std::size_t>(i)] = button;
    }
    for (std::size_t i = 1; i < buttonWidgets_.size(); ++i)
        QWidget::setTabOrder(buttonWidgets_[i - 1], buttonWidgets_[i]);
    buttonWidgets_[btnCustom]->hide();
    buttonWidgets_[btnhelp]->hide();
    buttonWidgets_[btnNext]->SetDefault(true);
    buttonWidgets_[btnCancel]->SetCancel(true);
    buttonWidgets_[btnCancel]->SetModalResult(mrCancel);
    AssignBtnCaptions();
    if (parent != nullptr) {
        // The frame fills its parent's client area and serves as the window's default and
        // cancel button handler.
        parent->installEventFilter(this);
        if (window() != parent)
            window()->installEventFilter(this);
        setGeometry(parent->rect());
    }
    AlignControls();
}

TLMDAssist::~TLMDAssist() {
    if (QWidget* parent = parentWidget()) {
        parent->removeEventFilter(this);
        window()->removeEventFilter(this);
    }
    // The page list goes first, so destroying the pages raises no page change or event.
    for (TLMDAssistPage* page : pages_)
        page->assist_ = nullptr;
    pages_.clear();
    activePage_ = nullptr;
    for (TLMDAssistBtn*& button : buttonWidgets_) {
        button->removeEventFilter(this);
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
    if (page->parentWidget() != this) {
        page->setParent(this);
        page->hide();
    }
    pages_.push_back(page);
    page->assist_ = this;
    page->setGeometry(pageArea_);
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
    if (!page->isVisible() || !page->isEnabled())
        return;
    QWidget* firstFocusable = nullptr;
    for (QWidget* w = page->nextInFocusChain(); w != nullptr && w != page;
         w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w) || !w->isVisible() || !w->isEnabled() ||
            w->focusPolicy() == Qt::NoFocus)
            continue;
        if (w->focusPolicy() & Qt::TabFocus) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        if (firstFocusable == nullptr)
            firstFocusable = w;
    }
    if (firstFocusable != nullptr)
        firstFocusable->setFocus(Qt::OtherFocusReason);
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
    page->setGeometry(pageArea_);
    page->show();
    page->raise();
    FocusFirstControl(page);
    if (TLMDAssistPage* previous = activePage_) {
        // A page with nothing to focus leaves the focus where it was; hiding the old page must
        // not hand it on to the next tab stop (Back), so the frame holds it instead, and Enter
        // still reaches the default button.
        if (QWidget* focused = QApplication::focusWidget();
            focused != nullptr && previous->isAncestorOf(focused))
            setFocus(Qt::OtherFocusReason);
        if (previous->OnAfterShowPage)
            previous->OnAfterShowPage(previous);
        previous->hide();
    }
    if (page->OnBeforeShowPage)
        page->OnBeforeShowPage(page);
    activePage_ = page;
    SetMoveBtnState();
    if (OnChange)
        OnChange(this);
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
    buttonWidgets_[btnCustom]->setVisible(buttons.Contains(abCustom));
    buttonWidgets_[btnhelp]->setVisible(buttons.Contains(abHelp));
    buttonWidgets_[btnCancel]->setVisible(buttons.Contains(abCancel));
    if (!IsLoading())
        AlignControls();
}

void TLMDAssist::SetGeometryValue(int& field, int value) {
    if (field == value)
        return;
    field = value;
    if (!IsLoading())
        AssignBtnProperties();
    update();
    AlignControls();
}

void TLMDAssist::SetShowLine(bool value) {
    if (showLine_ == value)
        return;
    showLine_ = value;
    update();
}

void TLMDAssist::AssignBtnProperties() {
    for (TLMDAssistBtn* button : buttonWidgets_)
        button->resize(btnWidth_, btnHeight_);
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
    const bool enabled = isEnabled();
    TLMDAssistBtn* back = buttonWidgets_[btnPrev];
    TLMDAssistBtn* next = buttonWidgets_[btnNext];
    back->setEnabled(enabled && !finished_ && activePage_ != nullptr &&
                     FindNextPage(activePage_, false, true) != nullptr);
    next->setEnabled(enabled && !(finished_ && buttons_.Contains(abCancel)) &&
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
        buttonWidgets_[btnPrev]->setEnabled(false);
        next->setEnabled(!buttons_.Contains(abCancel));
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
    if (auto* form = dynamic_cast<TCustomForm*>(window()))
        form->SetModalResult(button->ModalResult());
    switch (button->Index()) {
    case btnhelp: {
        int context = 0;
        for (QWidget* w = activePage_; w != nullptr && context == 0; w = w->parentWidget())
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

bool TLMDAssist::DialogKey(int key) {
    auto pressable = [](QPushButton* b) { return !b->isHidden() && b->isEnabled(); };
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A push button with the focus takes Enter itself.
        if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            focused != nullptr && window()->isAncestorOf(focused)) {
            if (pressable(focused))
                focused->click();
            return true;
        }
        for (TLMDAssistBtn* b : buttonWidgets_)
            if (b->Default() && pressable(b)) {
                b->click();
                return true;
            }
        return false;
    }
    if (key == Qt::Key_Escape) {
        for (TLMDAssistBtn* b : buttonWidgets_)
            if (b->Cancel() && pressable(b)) {
                b->click();
                return true;
            }
    }
    return false;
}

void TLMDAssist::Loaded() {
    TComponent::Loaded();
    if (QWidget* parent = parentWidget())
        setGeometry(parent->rect());
    AssignBtnProperties();
    AssignBtnCaptions();
    InitPages();
    AlignControls();
}

void TLMDAssist::AlignControls() {
    if (aligning_)
        return;
    aligning_ = true;
    const int l = 0;
    const int t = 0;
    const int r = width();
    const int b = height();
    const int pageBottom = b - (2 * btnMargin_ + btnHeight_);
    pageArea_ = QRect(QPoint(l + 2, t + 2), QPoint(r - 2 - 1, pageBottom - 1));
    for (TLMDAssistPage* page : pages_)
        page->setGeometry(pageArea_);
    int right = r - 6;
    const int top = pageBottom + 1 + btnMargin_ + 2;
    const int bottom = b - btnMargin_ + 2;
    for (int i = btnCancel; i >= btnCustom; --i) {
        TLMDAssistBtn* button = buttonWidgets_[static_cast<std::size_t>(i)];
        if (button->isHidden()) {
            button->setGeometry(-20, 0, 20, 0);
            continue;
        }
        const int left = right - btnWidth_;
        button->setGeometry(left, top, right - left, bottom - top);
        right = left;
        if (i == btnCancel || i == btnPrev || i == btnhelp)
            right -= btnGap_;
    }
    aligning_ = false;
}

void TLMDAssist::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Plain panel: there is no "Tab" theme class to draw with on this platform.
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (showLine_) {
        const int left = pageArea_.left() + lineMargin_;
        const int right = pageArea_.right() + 1 - lineMargin_; // exclusive
        const int y = pageArea_.bottom() + 2; // one below the area's exclusive bottom
        if (right > left) {
            painter.fillRect(QRect(left, y, right - left, 1), palette().color(QPalette::Dark));
            painter.fillRect(QRect(left, y + 1, right - left, 1), palette().color(QPalette::Light));
        }
    }
}

void TLMDAssist::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    AlignControls();
}

void TLMDAssist::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        const bool enabled = isEnabled();
        buttonWidgets_[btnCancel]->setEnabled(enabled);
        buttonWidgets_[btnhelp]->setEnabled(enabled);
        buttonWidgets_[btnCustom]->setEnabled(enabled);
        SetMoveBtnState();
    }
}

void TLMDAssist::keyPressEvent(QKeyEvent* event) {
    if (DialogKey(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TLMDAssist::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == parentWidget() && type == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    } else if ((type == QEvent::ShowToParent || type == QEvent::HideToParent) &&
               std::find(buttonWidgets_.begin(), buttonWidgets_.end(), watched) !=
                   buttonWidgets_.end()) {
        AlignControls();
    }
    if (watched == window() && watched != this && type == QEvent::KeyPress) {
        // Keys nobody below took reach the window: Enter and Escape go to the frame.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier)
            if (DialogKey(key->key()))
                return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

void RegisterWizardClasses(TClassRegistry& registry) {
    registry.Register("TLMDAssist", "TControl", WidgetFactory<TLMDAssist>())
        .Ref("ActivePage", &TLMDAssist::SetActivePage)
        .Property("CustomStrings",
                  [](TComponent& c, const TStoredValue& v) {
                      TClassInfo::As<TLMDAssist>(c).SetCustomStrings(
                          v.isList ? v.items : std::vector<std::string>{});
                  })
        .Property(
            "Buttons",
            [](TComponent& c, const TStoredValue& v) {
                TLMDAssistButtons set;
                for (const std::string& n : ParseSetNames(v))
                    set.Include(static_cast<TLMDAssistButton>(ParseEnumName(
                        n, {{"abCustom", abCustom}, {"abHelp", abHelp}, {"abCancel", abCancel}})));
                TClassInfo::As<TLMDAssist>(c).SetButtons(set);
            })
        .Int("BtnWidth", &TLMDAssist::SetBtnWidth, 0, kMaxCoord)
        .Int("BtnHeight", &TLMDAssist::SetBtnHeight, 0, kMaxCoord)
        .Int("BtnMargin", &TLMDAssist::SetBtnMargin, 0, kMaxCoord)
        .Int("BtnGap", &TLMDAssist::SetBtnGap, 0, kMaxCoord)
        .Int("LineMargin", &TLMDAssist::SetLineMargin, 0, kMaxCoord)
        .Bool("ShowLine", &TLMDAssist::SetShowLine)
        .Bool("CtlXP", &TLMDAssist::SetCtlXP)
        .EventMember("OnChanging", &TLMDAssist::OnChanging)
        .EventMember("OnChange", &TLMDAssist::OnChange)
        .EventMember("OnCancelClick", &TLMDAssist::OnCancelClick)
        .EventMember("OnCompleted", &TLMDAssist::OnCompleted)
        .EventMember("OnCustomClick", &TLMDAssist::OnCustomClick);

    registry.Register("TLMDAssistPage", "TControl", WidgetFactory<TLMDAssistPage>())
        .Bool("Included", &TLMDAssistPage::SetIncluded)
        .Int("HelpContext", &TLMDAssistPage::SetHelpContext)
        .EventMember("OnCompleted", &TLMDAssistPage::OnCompleted)
        .EventMember("OnNextPage", &TLMDAssistPage::OnNextPage)
        .EventMember("OnPrevPage", &TLMDAssistPage::OnPrevPage)
        .EventMember("OnBeforeShowPage", &TLMDAssistPage::OnBeforeShowPage)
        .EventMember("OnAfterShowPage", &TLMDAssistPage::OnAfterShowPage);
}

} // namespace tolvar
