// Where the frame puts its pages and buttons, and how it paints itself.

#include "wizard/Assist.h"

namespace tolvar {

void TLMDAssist::ParentResized() {
    // The frame fills its parent's client area.
    if (TWinControl* parent = Parent())
        SetBounds(parent->ClientRect());
}

void TLMDAssist::AlignControls() {
    if (aligning_)
        return;
    aligning_ = true;
    const int l = 0;
    const int t = 0;
    const int r = Width();
    const int b = Height();
    const int pageBottom = b - (2 * btnMargin_ + btnHeight_);
    pageArea_ = TRect::FromEdges(l + 2, t + 2, r - 2, pageBottom);
    for (TLMDAssistPage* page : pages_)
        page->SetBounds(pageArea_);
    int right = r - 6;
    const int top = pageBottom + 1 + btnMargin_ + 2;
    const int bottom = b - btnMargin_ + 2;
    for (int i = btnCancel; i >= btnCustom; --i) {
        TLMDAssistBtn* button = buttonWidgets_[static_cast<std::size_t>(i)];
        if (!button->Visible()) {
            button->SetBounds({-20, 0, 20, 0});
            continue;
        }
        const int left = right - btnWidth_;
        button->SetBounds(TRect::FromEdges(left, top, right, bottom));
        right = left;
        if (i == btnCancel || i == btnPrev || i == btnhelp)
            right -= btnGap_;
    }
    aligning_ = false;
}

void TLMDAssist::PeerPaint(TCanvas& canvas) {
    const TRect all = ClientRect();
    const TRect themed{all.left - 4, all.top - 4, all.width + 8, all.height + 8};
    if (!ctlXP_ || !canvas.DrawThemedTabBackground(themed))
        canvas.FillRect(all, Color());
    if (showLine_) {
        const int left = pageArea_.left + lineMargin_;
        const int right = pageArea_.Right() - lineMargin_;
        if (right > left)
            canvas.DrawEtchedLine({left, pageArea_.Bottom() + 1, right - left, 2});
    }
}

} // namespace tolvar
