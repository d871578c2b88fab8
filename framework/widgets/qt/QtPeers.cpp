#include "framework/widgets/qt/QtPeers.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <climits>

namespace tolvar {

namespace {

constexpr const char* kControlProperty = "tolvarControl";
const QColor kTransparentKey(255, 0, 255);
// The button-highlight colour of the classic scheme.
const QColor kRaisedHighlight(255, 255, 255);

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QRect QtRect(const TRect& r) {
    return {r.left, r.top, r.width, r.height};
}

TKey KeyOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return TKey::Return;
    case Qt::Key_Escape:
        return TKey::Escape;
    case Qt::Key_Backspace:
        return TKey::Backspace;
    default:
        return TKey::Other;
    }
}

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

// Offers a key on the focused control to the model before the widget acts on it.
class TKeyFilter : public QObject {
public:
    TKeyFilter(QWidget* widget, TControl& control)
        : QObject(widget), control_(control), container_(control.Kind() == TControlKind::Form ||
                                                         control.Kind() == TControlKind::Panel ||
                                                         control.Kind() == TControlKind::GroupBox) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || watched != parent())
            return false;
        // A container also sees the keys its children passed on; those are not its own.
        if (container_ && !static_cast<QWidget*>(watched)->hasFocus())
            return false;
        const TKey key = KeyOf(*static_cast<QKeyEvent*>(event));
        bool swallowed = false;
        RunHandler([&] { swallowed = control_.PeerKey(key); });
        if (swallowed)
            event->accept();
        return swallowed;
    }

private:
    TControl& control_;
    bool container_;
};

// The top-level window of a form. Return and Escape that no control took go to the form; the
// title bar's close ends it, unless the input is blocked.
class TFormWindow : public QWidget {
public:
    // Made while the form is still being constructed: it is taken for a form only later.
    TFormWindow(TQtWidgetSet& widgetSet, TControl& form) : widgetSet_(widgetSet), control_(form) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const TKey key = KeyOf(*event);
        const bool plain =
            event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
        if (!plain || (key != TKey::Return && key != TKey::Escape)) {
            QWidget::keyPressEvent(event);
            return;
        }
        if (key == TKey::Return) {
            // A push button with the focus takes Return itself.
            auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
            if (button != nullptr && isAncestorOf(button)) {
                if (button->isVisible() && button->isEnabled())
                    button->click();
                event->accept();
                return;
            }
        }
        bool taken = false;
        RunHandler([&] { taken = Form().PeerDialogKey(key); });
        if (taken)
            event->accept();
        else
            QWidget::keyPressEvent(event);
    }

    // While the input is blocked the close never gets here: the input guard refuses it.
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        RunHandler([&] { Form().PeerClosed(); });
        widgetSet_.FormClosed(Form());
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        RunHandler([&] { control_.PeerResized({width(), height()}); });
    }

private:
    TCustomForm& Form() const { return static_cast<TCustomForm&>(control_); }

    TQtWidgetSet& widgetSet_;
    TControl& control_;
};

// Draws for a control that paints itself.
class TQtCanvas final : public TCanvas {
public:
    explicit TQtCanvas(QPainter& painter) : painter_(painter) {}

    void FillRect(const TRect& rect, TColor color) override {
        painter_.fillRect(QtRect(rect), QtColor(color));
    }
    void DrawEtchedLine(const TRect& rect) override {
        painter_.fillRect(QRect(rect.left, rect.top, rect.width, 1), QtColor(clBtnShadow));
        painter_.fillRect(QRect(rect.left, rect.top + 1, rect.width, 1), QtColor(clBtnHighlight));
    }
    // There is no "Tab" theme class to draw with on this platform.
    bool DrawThemedTabBackground(const TRect&) override { return false; }

private:
    QPainter& painter_;
};

class TPanelWidget : public QWidget {
public:
    TPanelWidget(QWidget* parent, TControl& control) : QWidget(parent), control_(control) {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Button);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        TQtCanvas canvas(painter);
        RunHandler([&] { control_.PeerPaint(canvas); });
    }

private:
    TControl& control_;
};

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

class TImageWidget : public QWidget {
public:
    using QWidget::QWidget;

    void SetPicture(const std::string& name, bool transparent, const QRect& target) {
        if (name != name_) {
            name_ = name;
            source_ = QPixmap();
            LoadPicture(name, source_);
        }
        picture_ = source_;
        if (transparent && !picture_.isNull())
            picture_.setMask(source_.createMaskFromColor(kTransparentKey, Qt::MaskInColor));
        target_ = target;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (picture_.isNull() || target_.isEmpty())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // Scaling the masked pixmap itself keeps the left-out colour out of the blend.
        painter.drawPixmap(target_.topLeft(), picture_.scaled(target_.size(), Qt::IgnoreAspectRatio,
                                                              Qt::SmoothTransformation));
    }

private:
    std::string name_;
    QPixmap source_;
    QPixmap picture_;
    QRect target_;
};

QWidget* CreateWidget(TQtWidgetSet& widgetSet, TControl& control) {
    QWidget* parent = control.Parent() != nullptr ? QtWidget(*control.Parent()) : nullptr;
    switch (control.Kind()) {
    case TControlKind::Form:
        return new TFormWindow(widgetSet, control);
    case TControlKind::Panel:
        return new TPanelWidget(parent, control);
    case TControlKind::GroupBox:
        return new QGroupBox(parent);
    case TControlKind::Label:
        return new TLabelWidget(parent, control);
    case TControlKind::CheckBox: {
        auto* box = new QCheckBox(parent);
        // clicked: only the user's changes, never the program's.
        QObject::connect(box, &QCheckBox::clicked, box, [box, &control] {
            RunHandler([&] { control.PeerToggled(box->isChecked()); });
        });
        return box;
    }
    case TControlKind::Button: {
        auto* button = new QPushButton(parent);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button,
                         [&control] { RunHandler([&] { control.PeerClicked(); }); });
        return button;
    }
    case TControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        return bar;
    }
    case TControlKind::ComboBox: {
        auto* list = new QComboBox(parent);
        list->setEditable(false);
        // Picks by mouse, arrow keys, wheel or typing the start of a name all arrive here.
        QObject::connect(list, &QComboBox::activated, list, [&control](int index) {
            RunHandler([&] { control.PeerSelected(index); });
        });
        return list;
    }
    case TControlKind::Image:
        return new TImageWidget(parent);
    }
    throw Exception("Unknown control kind");
}

} // namespace

void InstallFontSubstitutes() {
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

QColor QtColor(TColor color) {
    if (!IsSystemColor(color))
        return QColor(RedOf(color), GreenOf(color), BlueOf(color));
    const QPalette p = QApplication::palette();
    switch (color) {
    case clBtnFace:
        return p.color(QPalette::Button);
    case clWindow:
        return p.color(QPalette::Base);
    case clBtnHighlight:
        return p.color(QPalette::Light);
    case clBtnShadow:
        return p.color(QPalette::Dark);
    case clGrayText:
        return p.color(QPalette::Disabled, QPalette::WindowText);
    default:
        return p.color(QPalette::Active, QPalette::WindowText);
    }
}

QFont QtFont(const TFont& font) {
    QFont f = QApplication::font();
    f.setFamily(Text(font.name));
    f.setPixelSize(std::max(1, font.PixelHeight()));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    return f;
}

bool LoadPicture(const std::string& name, QPixmap& picture) {
    if (name.empty() || name.find('/') != std::string::npos)
        return false;
    const QString path = QStringLiteral(":/pictures/") + Text(name);
    return QFile::exists(path) && picture.load(path);
}

TQtPeer::TQtPeer(TQtWidgetSet& widgetSet, TControl& control)
    : widgetSet_(widgetSet), control_(control), kind_(control.Kind()),
      widget_(CreateWidget(widgetSet, control)) {
    widget_->setProperty(kControlProperty,
                         QVariant::fromValue(reinterpret_cast<quintptr>(&control)));
    new TKeyFilter(widget_, control);
}

TQtPeer::~TQtPeer() {
    delete widget_.data();
}

TControl* QtControl(const QWidget* widget) {
    if (widget == nullptr)
        return nullptr;
    const QVariant v = widget->property(kControlProperty);
    return v.isValid() ? reinterpret_cast<TControl*>(v.value<quintptr>()) : nullptr;
}

void TQtPeer::SetBounds(const TRect& rect) {
    if (kind_ == TControlKind::Form) {
        // The position is the window's, frame included; the size is the client area's.
        widget_->move(rect.left, rect.top);
        widget_->resize(rect.width, rect.height);
        return;
    }
    widget_->setGeometry(QtRect(rect));
}

void TQtPeer::SetVisible(bool visible) {
    if (kind_ == TControlKind::Form && !windowShown_)
        return;
    widget_->setVisible(visible);
}

void TQtPeer::SetEnabled(bool enabled) {
    widget_->setEnabled(enabled);
    // A link shows the hand only while it can be followed.
    if (dynamic_cast<TLinkLabel*>(&control_) != nullptr) {
        if (enabled)
            widget_->setCursor(Qt::PointingHandCursor);
        else
            widget_->unsetCursor();
    }
}

void TQtPeer::SetCaption(const std::string& caption) {
    const QString text = Text(caption);
    switch (kind_) {
    case TControlKind::Form:
        widget_->setWindowTitle(text);
        break;
    case TControlKind::Label:
        // Line breaks are stored as "\r\n".
        static_cast<QLabel*>(widget_.data())
            ->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        break;
    case TControlKind::CheckBox:
    case TControlKind::Button:
        static_cast<QAbstractButton*>(widget_.data())->setText(text);
        break;
    case TControlKind::GroupBox:
        static_cast<QGroupBox*>(widget_.data())->setTitle(text);
        break;
    default:
        break;
    }
}

void TQtPeer::SetFont(const TFont& font) {
    widget_->setFont(QtFont(font));
    QPalette p = widget_->palette();
    const QPalette app = QApplication::palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        if (font.color == clWindowText || font.color == clBtnText) {
            // The platform's text colours, the grey of disabled text among them.
            for (QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                p.setColor(group, role, app.color(group, role));
        } else {
            // Disabled text keeps the platform's grey.
            p.setColor(QPalette::Active, role, QtColor(font.color));
            p.setColor(QPalette::Inactive, role, QtColor(font.color));
        }
    }
    widget_->setPalette(p);
    if (dynamic_cast<TLinkLabel*>(&control_) != nullptr && control_.Enabled())
        widget_->setCursor(Qt::PointingHandCursor);
}

void TQtPeer::SetColor(TColor color) {
    // Labels, check boxes and the like are drawn on their parent's background; only a window or
    // a container of another colour than the button face fills its own.
    const bool container = kind_ == TControlKind::Form || kind_ == TControlKind::Panel ||
                           kind_ == TControlKind::GroupBox;
    if (!container && color == clBtnFace)
        return;
    QPalette p = widget_->palette();
    p.setColor(QPalette::Window, QtColor(color));
    widget_->setPalette(p);
    widget_->setBackgroundRole(QPalette::Window);
    widget_->setAutoFillBackground(true);
}

void TQtPeer::SetFocus() {
    // Focus that lands on a tab stop is keyboard focus, and is drawn as such.
    widget_->setFocus(control_.TabStop() ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

bool TQtPeer::Focused() const {
    return widget_->hasFocus();
}

void TQtPeer::BringToFront() {
    widget_->raise();
}

void TQtPeer::Invalidate() {
    widget_->update();
}

void TQtPeer::SetTabOrder(const std::vector<TControl*>& chain) {
    std::vector<QWidget*> stops;
    for (TControl* c : chain)
        if (QWidget* w = QtWidget(*c); w != nullptr && (w->focusPolicy() & Qt::TabFocus))
            stops.push_back(w);
    for (std::size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

void TQtPeer::SetTextStyle(const TTextStyle& style) {
    auto* label = dynamic_cast<TLabelWidget*>(widget_.data());
    if (label == nullptr)
        return;
    label->setAlignment(QtAlignment(style.alignment));
    label->setWordWrap(style.wordWrap);
    label->setMargin(style.margin);
    label->SetEffect(style.effect);
}

TSize TQtPeer::MeasureText(int width) const {
    const auto* label = qobject_cast<const QLabel*>(widget_.data());
    if (label == nullptr)
        return {};
    // What the label needs, its margin included, as its own size hint has it.
    const int margin = label->margin();
    int flags = static_cast<int>(label->alignment());
    QRect area(0, 0, 2000, 2000);
    if (width >= 0) {
        flags |= Qt::TextWordWrap;
        area = QRect(0, 0, std::max(0, width - 2 * margin), INT_MAX / 4);
    }
    const QRect text = label->fontMetrics().boundingRect(area, flags, label->text());
    return {text.width() + 2 * margin, text.height() + 2 * margin};
}

void TQtPeer::SetChecked(bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(widget_.data())) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
}

void TQtPeer::SetDefault(bool isDefault) {
    if (auto* button = qobject_cast<QPushButton*>(widget_.data()))
        button->setDefault(isDefault);
}

void TQtPeer::SetRange(int minimum, int maximum) {
    if (auto* bar = qobject_cast<QProgressBar*>(widget_.data()))
        bar->setRange(minimum, maximum);
}

void TQtPeer::SetPosition(int position) {
    if (auto* bar = qobject_cast<QProgressBar*>(widget_.data()))
        bar->setValue(position);
}

void TQtPeer::SetItems(const std::vector<std::string>& items) {
    auto* list = qobject_cast<QComboBox*>(widget_.data());
    if (list == nullptr)
        return;
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& item : items)
        list->addItem(Text(item));
    // The list selects nothing by itself; the selection is the model's to make.
    list->setCurrentIndex(-1);
}

void TQtPeer::SetItemIndex(int index) {
    if (auto* list = qobject_cast<QComboBox*>(widget_.data())) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
    }
}

void TQtPeer::SetPicture(const std::string& name, bool transparent, const TRect& target) {
    if (auto* image = dynamic_cast<TImageWidget*>(widget_.data()))
        image->SetPicture(name, transparent, QtRect(target));
}

void TQtPeer::ShowWindow() {
    windowShown_ = true;
    widget_->show();
}

void TQtPeer::CloseWindow() {
    if (kind_ != TControlKind::Form)
        return;
    // The program's own close: no close event, which a blocked input would refuse.
    widget_->hide();
    widgetSet_.FormClosed(static_cast<TCustomForm&>(control_));
}

} // namespace tolvar
