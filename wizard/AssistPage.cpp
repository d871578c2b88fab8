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

} // namespace tolvar
