#include "framework/widgets/StdControls.h"

#include "framework/widgets/Application.h"

#include <QApplication>
#include <QBitmap>
#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <utility>

namespace tolvar {

namespace {

const QColor kTransparentKey(255, 0, 255);
const QColor kLinkColor(0, 0, 255);
const QColor kVisitedColor(128, 0, 128);

void SetTextColor(QWidget& w, const QColor& color) {
    QPalette p = w.palette();
    p.setColor(QPalette::WindowText, color);
    w.setPalette(p);
}

TLinkLabel::TOpener& Opener() {
    static TLinkLabel::TOpener opener;
    return opener;
}

QString Text(const std::string& caption) {
    return QString::fromStdString(caption);
}

} // namespace

TGroupBox::TGroupBox(TComponent* owner, QWidget* parent) : QGroupBox(parent), TComponent(owner) {
    // The frame's own width, so a client-aligned child stays inside it.
    setContentsMargins(2, 2, 2, 2);
}

TCheckBox::TCheckBox(TComponent* owner, QWidget* parent) : QCheckBox(parent), TComponent(owner) {
    // clicked: only the user's changes, not the stored Checked value.
    connect(this, &QCheckBox::clicked, this, [this] {
        if (OnClick)
            RunHandler([this] { OnClick(this); });
    });
}

void TCheckBox::SetCaption(const std::string& caption) {
    setText(Text(caption));
}

TButton::TButton(TComponent* owner, QWidget* parent) : QPushButton(parent), TComponent(owner) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnClick)
            RunHandler([this] { OnClick(this); });
    });
}

void TButton::SetCaption(const std::string& caption) {
    setText(Text(caption));
}

TProgressBar::TProgressBar(TComponent* owner, QWidget* parent)
    : QProgressBar(parent), TComponent(owner) {
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
}

TImage::TImage(TComponent* owner, QWidget* parent) : QWidget(parent), TComponent(owner) {}

void TImage::SetPicture(const std::string& name) {
    const QString path = QStringLiteral(":/pictures/") + Text(name);
    QPixmap pixmap;
    if (name.empty() || name.find('/') != std::string::npos || !QFile::exists(path) ||
        !pixmap.load(path))
        throw Exception("Picture '" + name + "' is not among the program's pictures");
    source_ = pixmap;
    Rebuild();
}

void TImage::SetTransparent(bool value) {
    transparent_ = value;
    Rebuild();
}

void TImage::SetStretch(bool value) {
    stretch_ = value;
    update();
}

void TImage::SetProportional(bool value) {
    proportional_ = value;
    update();
}

void TImage::SetCenter(bool value) {
    center_ = value;
    update();
}

void TImage::Rebuild() {
    picture_ = source_;
    if (transparent_ && !picture_.isNull())
        picture_.setMask(source_.createMaskFromColor(kTransparentKey, Qt::MaskInColor));
    update();
}

QRect TImage::PictureRect() const {
    if (picture_.isNull())
        return {};
    QSize size = picture_.size();
    const QSize frame = this->size();
    if (proportional_) {
        // Shrinks to fit; grows only when stretching is asked for too.
        if (stretch_ || size.width() > frame.width() || size.height() > frame.height())
            size.scale(frame, Qt::KeepAspectRatio);
    } else if (stretch_) {
        size = frame;
    }
    QPoint at(0, 0);
    if (center_)
        at = QPoint((frame.width() - size.width()) / 2, (frame.height() - size.height()) / 2);
    return {at, size};
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = PictureRect();
    // Scaling the masked pixmap itself keeps the left-out colour out of the blend.
    painter.drawPixmap(target.topLeft(), picture_.scaled(target.size(), Qt::IgnoreAspectRatio,
                                                         Qt::SmoothTransformation));
}

TLinkLabel::TLinkLabel(TComponent* owner, QWidget* parent) : TLabel(owner, parent) {
    setCursor(Qt::PointingHandCursor);
    SetTextColor(*this, kLinkColor);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        TLabel::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    visited_ = true;
    SetTextColor(*this, kVisitedColor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        TLabel::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    if (!rect().contains(event->position().toPoint()))
        return;
    const QUrl url(Text(Caption()));
    const bool opened = Opener() ? Opener()(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        // No longer a link: drawn in the grey of disabled text, with the plain cursor.
        unsetCursor();
        SetTextColor(*this,
                     QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
        setEnabled(false);
    }
}

TLinkLabel::TOpener TLinkLabel::SetOpener(TOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

void RegisterStandardControls(TClassRegistry& registry) {
    registry.Register("TGroupBox", "TControl", WidgetFactory<TGroupBox>())
        .Property("Caption", [](TComponent& c, const TStoredValue& v) {
            TClassInfo::As<TGroupBox>(c).setTitle(Text(v.text));
        });

    registry.Register("TCheckBox", "TControl", WidgetFactory<TCheckBox>())
        .String("Caption", &TCheckBox::SetCaption)
        .Bool("Checked", &TCheckBox::SetChecked)
        .EventMember<TCheckBox, void(TComponent*)>("OnClick", &TCheckBox::OnClick);

    registry.Register("TButton", "TControl", WidgetFactory<TButton>())
        .String("Caption", &TButton::SetCaption)
        .EventMember<TButton, void(TComponent*)>("OnClick", &TButton::OnClick);

    auto bar = [](TComponent& c) -> QProgressBar& { return TClassInfo::As<TProgressBar>(c); };
    registry.Register("TProgressBar", "TControl", WidgetFactory<TProgressBar>())
        .Property("Min",
                  [bar](TComponent& c, const TStoredValue& v) { bar(c).setMinimum(ParseInt(v)); })
        .Property("Max",
                  [bar](TComponent& c, const TStoredValue& v) { bar(c).setMaximum(ParseInt(v)); })
        .Property("Position",
                  [bar](TComponent& c, const TStoredValue& v) { bar(c).setValue(ParseInt(v)); });

    registry.Register("TImage", "TControl", WidgetFactory<TImage>())
        .String("Picture", &TImage::SetPicture)
        .Bool("Transparent", &TImage::SetTransparent)
        .Bool("Stretch", &TImage::SetStretch)
        .Bool("Proportional", &TImage::SetProportional)
        .Bool("Center", &TImage::SetCenter);

    // The label's stored properties, its own behaviour.
    registry.Register("TLMDSimpleLabel", "TLabel", WidgetFactory<TLinkLabel>());
}

} // namespace tolvar
