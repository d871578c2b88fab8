#pragma once

#include <QApplication>
#include <exception>
#include <string>

namespace tolvar {

// The application title: what the exception display shows as its caption.
const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

// The text the exception display shows for a message: a "." is appended when the message
// is not empty and its last character's code is above that of ".".
std::string ExceptionDisplayText(const std::string& message);

// Shows one exception: the program's exceptions with their message, anything else with an
// empty one; the silent-abort kind is not shown.
void ShowException(const std::exception_ptr& error);

// Shows the exception being handled; for catch (...) blocks around event handlers.
void HandleException();

// Runs an event handler; an exception escaping it is shown and the program goes on.
template <class F> void RunHandler(F&& handler) {
    try {
        handler();
    } catch (...) {
        HandleException();
    }
}

// The application object: its message loop shows every exception that escapes an event
// handler and then goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tolvar
