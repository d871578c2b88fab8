#pragma once

// Which control of the model a widget stands for: set by the control's peer when it makes the
// widget, read wherever Qt hands over a widget (events, accessibility, focus).

class QWidget;

namespace tolvar {

class TControl;

void SetQtControl(QWidget* widget, TControl& control);
// The control whose widget this is, or nullptr.
TControl* QtControl(const QWidget* widget);

} // namespace tolvar
