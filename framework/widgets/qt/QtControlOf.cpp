#include "framework/widgets/qt/QtControlOf.h"

#include <QVariant>
#include <QWidget>

namespace tolvar {

namespace {

constexpr const char* kControlProperty = "tolvarControl";

} // namespace

void SetQtControl(QWidget* widget, TControl& control) {
    widget->setProperty(kControlProperty,
                        QVariant::fromValue(reinterpret_cast<quintptr>(&control)));
}

TControl* QtControl(const QWidget* widget) {
    if (widget == nullptr)
        return nullptr;
    const QVariant v = widget->property(kControlProperty);
    return v.isValid() ? reinterpret_cast<TControl*>(v.value<quintptr>()) : nullptr;
}

} // namespace tolvar
