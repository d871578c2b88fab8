#include "framework/widgets/qt/QtAccessible.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/qt/QtControlOf.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace tolvar {

namespace {

constexpr const char* kRoleProperty = "tolvarAccessibleRole";

QAccessible::Role QtRole(TAccessibleRole role) {
    switch (role) {
    case TAccessibleRole::Window:
        return QAccessible::Dialog;
    case TAccessibleRole::Pane:
        return QAccessible::Pane;
    case TAccessibleRole::Page:
        return QAccessible::PropertyPage;
    case TAccessibleRole::Grouping:
        return QAccessible::Grouping;
    case TAccessibleRole::Heading:
        return QAccessible::Heading;
    case TAccessibleRole::Text:
        return QAccessible::StaticText;
    case TAccessibleRole::Graphic:
        return QAccessible::Graphic;
    case TAccessibleRole::Link:
        return QAccessible::Link;
    case TAccessibleRole::CheckBox:
        return QAccessible::CheckBox;
    case TAccessibleRole::Button:
        return QAccessible::PushButton;
    case TAccessibleRole::ComboBox:
        return QAccessible::ComboBox;
    case TAccessibleRole::ProgressBar:
        return QAccessible::ProgressBar;
    case TAccessibleRole::None:
        break;
    }
    return QAccessible::Client;
}

// The interface of a widget of our own (form, panel, label, picture, the announcer): the role
// the model gave it; a link also offers the press that follows it.
class TOwnAccessible : public QAccessibleWidget {
public:
    explicit TOwnAccessible(QWidget* widget) : QAccessibleWidget(widget) {}

    QAccessible::Role role() const override {
        return static_cast<QAccessible::Role>(widget()->property(kRoleProperty).toInt());
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        const QAccessible::Role r = role();
        if (r == QAccessible::StaticText || r == QAccessible::Heading || r == QAccessible::Link)
            s.readOnly = true;
        if (r == QAccessible::Link)
            s.linked = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        // Qt leaves a window's name empty when no accessible name was set.
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        if (role() == QAccessible::Link && widget()->isEnabled())
            return {pressAction()};
        return QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (role() == QAccessible::Link && action == pressAction()) {
            if (TControl* control = QtControl(widget()))
                RunHandler([control] { control->PeerClicked(); });
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* OwnAccessibleFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !widget->property(kRoleProperty).isValid())
        return nullptr;
    return new TOwnAccessible(widget);
}

} // namespace

void InstallAccessibleFactory() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(OwnAccessibleFactory);
}

void SetOwnAccessibleRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(kRoleProperty, static_cast<int>(role));
}

void ApplyAccessible(QWidget* widget, const TAccessibleInfo& info, bool ownWidget,
                     QWidget* labelWidget) {
    if (ownWidget)
        SetOwnAccessibleRole(widget, QtRole(info.role));
    widget->setAccessibleName(QString::fromStdString(info.name));
    widget->setAccessibleDescription(QString::fromStdString(info.description));
    // Qt relates a label to the widget it stands for through its buddy.
    if (auto* label = qobject_cast<QLabel*>(labelWidget))
        label->setBuddy(widget);
}

} // namespace tolvar
