#include "framework/widgets/qt/QtPeer.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/qt/QtControlOf.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPalette>

namespace tolvar {

namespace {

// Offers a key on the focused control to the model before the widget acts on it.
class TKeyFilter : public QObject {
public:
    TKeyFilter(QWidget* widget, TControl& control, bool container)
        : QObject(widget), control_(control), container_(container) {
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

} // namespace

TQtPeer::TQtPeer(TControl& control, QWidget* widget, bool container)
    : control_(control), widget_(widget), container_(container) {
    SetQtControl(widget_, control);
    new TKeyFilter(widget_, control, container);
}

TQtPeer::~TQtPeer() {
    delete widget_.data();
}

QWidget* TQtPeer::ParentWidget(const TControl& control) {
    return control.Parent() != nullptr ? QtWidget(*control.Parent()) : nullptr;
}

QWidget* QtWidget(const TControl& control) {
    auto* peer = dynamic_cast<TQtPeer*>(&control.Peer());
    return peer != nullptr ? peer->Widget() : nullptr;
}

void TQtPeer::SetBounds(const TRect& rect) {
    widget_->setGeometry(QtRect(rect));
}

void TQtPeer::SetVisible(bool visible) {
    widget_->setVisible(visible);
}

void TQtPeer::SetEnabled(bool enabled) {
    widget_->setEnabled(enabled);
}

void TQtPeer::SetFont(const TFont& font) {
    widget_->setFont(QtFont(font));
    QPalette p = widget_->palette();
    const QPalette app = QApplication::palette();
    const TColor color = TextColorFor(font.color, HighContrast());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        if (color == clWindowText || color == clBtnText) {
            // The platform's text colours, the grey of disabled text among them.
            for (QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                p.setColor(group, role, app.color(group, role));
        } else {
            // Disabled text keeps the platform's grey.
            p.setColor(QPalette::Active, role, QtColor(color));
            p.setColor(QPalette::Inactive, role, QtColor(color));
        }
    }
    widget_->setPalette(p);
}

void TQtPeer::SetColor(TColor color) {
    // Labels, check boxes and the like are drawn on their parent's background; only a window or
    // a container of another colour than the button face fills its own.
    if (!container_ && color == clBtnFace)
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

void TQtPeer::SetAccessible(const TAccessibleInfo& info) {
    ApplyAccessible(widget_, info, ownAccessible_,
                    info.labelledBy != nullptr ? QtWidget(*info.labelledBy) : nullptr);
}

} // namespace tolvar
