// Static text: its style, and its size measured by the widget set once the description gave its
// caption, font and style.
#include "framework/Controls.h"

namespace tolvar {

TLabel::TLabel(TComponent* owner, TWinControl* parent) : TControl(owner, parent) {
    Constructed();
}

std::unique_ptr<TControlPeer> TLabel::CreatePeer() {
    return KeepPeer(WidgetSet().CreateLabelPeer(*this), labelPeer_);
}

void TLabel::SetCaption(const std::string& caption) {
    TControl::SetCaption(caption);
    AdjustSize();
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetAlignment(TAlignment alignment) {
    style_.alignment = alignment;
    ApplyStyle();
}

void TLabel::SetWordWrap(bool wrap) {
    style_.wordWrap = wrap;
    ApplyStyle();
    AdjustSize();
}

void TLabel::SetBorderWidth(int width) {
    style_.margin = width;
    ApplyStyle();
    AdjustSize();
}

void TLabel::SetTextEffect(TTextEffect effect) {
    style_.effect = effect;
    ApplyStyle();
}

void TLabel::ApplyStyle() {
    if (labelPeer_ != nullptr)
        labelPeer_->SetTextStyle(style_);
}

void TLabel::Loaded() {
    TControl::Loaded();
    AdjustSize();
}

void TLabel::AdjustSize() {
    // A description gives the caption and each part of the font one by one.
    if (!autoSize_ || Align() == TAlign::Client || IsLoading())
        return;
    const TSize size = WidgetSet().MeasureText(*this, style_.wordWrap ? Width() : -1);
    SetBounds({Left(), Top(), style_.wordWrap ? Width() : size.width, size.height});
}

} // namespace tolvar
