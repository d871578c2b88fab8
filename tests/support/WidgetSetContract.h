#pragma once

// What every widget set must do, one suite run against each of them (the Qt set, the Win32 set
// under Wine, the fake set). Each test program supplies the driver that acts as the user there.

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"

#include <memory>

namespace tolvar::test {

// Acts as the user on one widget set's windows, through that set's own input path.
class TUserDriver {
public:
    virtual ~TUserDriver() = default;
    // The widget set under test, installed while the driver lives.
    virtual TWidgetSet& Set() = 0;
    // Shows the form and makes it the active window.
    virtual void Show(TCustomForm& form) = 0;
    // Presses and releases a key on the focused control: Return, Escape, or Tab for TKey::Other.
    virtual void Press(TKey key) = 0;
    // A left click inside the control.
    virtual void Click(TControl& control) = 0;
    // The title bar's close button of the form.
    virtual void CloseFromTitleBar(TCustomForm& form) = 0;
    // Has the next modal box answered with the key (Return or Escape) once it is open.
    virtual void AnswerNextBox(TKey key) = 0;
};

// The Yes/No question the suite's box tests ask (Yes the default, Escape No).
TMessageRequest Confirmation();

// Defined by each program that runs the suite.
std::unique_ptr<TUserDriver> MakeUserDriver();

} // namespace tolvar::test
