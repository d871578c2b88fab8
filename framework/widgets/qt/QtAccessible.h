#pragma once

// The bridge from the model's accessible description to Qt's accessibility interface (AT-SPI on
// Linux). It knows widgets and the model's description, never the peers.

#include "framework/WidgetSet.h"

#include <QAccessible>

class QWidget;

namespace tolvar {

// Widgets of our own get the role the model gives them through Qt's accessibility interface.
void InstallAccessibleFactory();
// Hands the model's accessible name, description and, for a widget of our own, role to Qt;
// labelWidget is the widget of the label that stands for it (info.labelledBy), or nullptr.
void ApplyAccessible(QWidget* widget, const TAccessibleInfo& info, bool ownWidget,
                     QWidget* labelWidget);
// A widget of our own with a role that no control of the model has (the announcer).
void SetOwnAccessibleRole(QWidget* widget, QAccessible::Role role);

} // namespace tolvar
