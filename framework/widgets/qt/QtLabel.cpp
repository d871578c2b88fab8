#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

namespace tolvar {

namespace {

// The button-highlight colour of the classic scheme.
const QColor kRaisedHighlight(255, 255, 255);

Qt::Alignment QtAlignment(TAlignment alignment) {
    switch (alignment) {
    case TAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignTop;
    case TAlignment::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case TAlignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

class TLabelWidget : public QLabel {
public:
    TLabelWidget(QWidget* parent, TControl& control) : QLabel(parent), control_(control) {
        setTextFormat(Qt::PlainText);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    void SetEffect(TTextEffect effect) {
        effect_ = effect;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (effect_ == TTextEffect::None) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
        // Raised: a highlight edge above left that stands out from the button face. A dark copy
        // below right would read as a drop shadow on the light page, so there is none.
        painter.setPen(kRaisedHighlight);
        painter.drawText(area.translated(-1, -1), flags, text());
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        painter.drawText(area, flags, text());
    }

    void mousePressEvent(QMouseEvent* event) override {
        Report(true, *event);
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        Report(false, *event);
        QLabel::mouseReleaseEvent(event);
    }

private:
    void Report(bool down, const QMouseEvent& event) {
        const bool left = event.button() == Qt::LeftButton;
        const bool inside = rect().contains(event.position().toPoint());
        RunHandler([&] { control_.PeerMouse(down, left, inside); });
    }

    TControl& control_;
    TTextEffect effect_ = TTextEffect::None;
};

class TQtLabelPeer final : public TQtPeer, public TLabelPeer {
public:
    explicit TQtLabelPeer(TLabel& label)
        : TQtPeer(label, new TLabelWidget(ParentWidget(label), label), false) {
        ownAccessible_ = true;
    }

    void SetAccessible(const TAccessibleInfo& info) override {
        TQtPeer::SetAccessible(info);
        // A link is a tab stop; plain text never takes the focus.
        widget_->setFocusPolicy(control_.TabStop() ? Qt::StrongFocus : Qt::NoFocus);
    }

    void SetEnabled(bool enabled) override {
        TQtPeer::SetEnabled(enabled);
        UpdateCursor(enabled);
    }
    void SetCaption(const std::string& caption) override {
        // Line breaks are stored as "\r\n".
        Label()->setText(QtText(caption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    void SetTextStyle(const TTextStyle& style) override {
        Label()->setAlignment(QtAlignment(style.alignment));
        Label()->setWordWrap(style.wordWrap);
        Label()->setMargin(style.margin);
        Label()->SetEffect(style.effect);
    }
    void SetHandCursor(bool hand) override {
        hand_ = hand;
        UpdateCursor(control_.Enabled());
    }

private:
    TLabelWidget* Label() const { return static_cast<TLabelWidget*>(widget_.data()); }
    // A link shows the hand only while it can be followed.
    void UpdateCursor(bool enabled) {
        if (hand_ && enabled)
            widget_->setCursor(Qt::PointingHandCursor);
        else
            widget_->unsetCursor();
    }

    bool hand_ = false;
};

} // namespace

TSize MeasureQtLabel(const TLabel& label, int width) {
    // What the label's widget needs, its margin included, as its own size hint has it.
    const int margin = label.TextStyle().margin;
    int flags = static_cast<int>(QtAlignment(label.TextStyle().alignment));
    QRect area(0, 0, 2000, 2000);
    if (width >= 0) {
        flags |= Qt::TextWordWrap;
        area = QRect(0, 0, std::max(0, width - 2 * margin), INT_MAX / 4);
    }
    const QString text =
        QtText(label.Caption()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QRect bounds = QFontMetrics(QtFont(label.Font())).boundingRect(area, flags, text);
    return {bounds.width() + 2 * margin, bounds.height() + 2 * margin};
}

std::unique_ptr<TLabelPeer> CreateQtLabelPeer(TLabel& label) {
    return std::make_unique<TQtLabelPeer>(label);
}

} // namespace tolvar
