// The frame's buttons and pages.

#include "wizard/Assist.h"

namespace tolvar {

TLMDAssistBtn::TLMDAssistBtn(TLMDAssist* frame, TLMDInternalButtons index)
    : TButton(nullptr, frame), frame_(frame), index_(index),
      captionIndex_(static_cast<TLMDInternalButtonStrings>(index)) {
    // The frame's buttons come first in the window's tab order, in index order.
    SetTabOrder(static_cast<int>(index));
    OnClick = [this](TComponent*) { frame_->OnBtnsClick(this); };
}

void TLMDAssistBtn::SetCaptionIndex(TLMDInternalButtonStrings index) {
    captionIndex_ = index;
    SetCaption(frame_->GetButtonCaption(index));
}

void TLMDAssistBtn::VisibleChanged() {
    frame_->AlignControls();
}

// ---------------------------------------------------------------------------------------------

TLMDAssistPage::TLMDAssistPage(TComponent* owner, TWinControl* parent)
    : TCustomPanel(owner, parent) {
    UpdateAccessible();
    Hide();
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

void TLMDAssistPage::SetHeading(TLabel* heading) {
    heading_ = heading;
    if (heading_ != nullptr)
        heading_->SetAccessibleRole(TAccessibleRole::Heading);
    UpdateAccessible();
}

std::string TLMDAssistPage::AccessibleNameOfKind() const {
    return heading_ != nullptr ? heading_->Accessible().name : std::string();
}

std::string TLMDAssistPage::Announcement() const {
    const std::string name = Accessible().name;
    const std::string text = AccessibleText(*this);
    // The heading is the name and the first line of the text; it is said once.
    if (name.empty() || text.compare(0, name.size(), name) == 0)
        return text;
    return text.empty() ? name : name + "\n" + text;
}

} // namespace tolvar
