#pragma once

#include <exception>
#include <functional>
#include <string>

namespace tolvar {

// The application title: what the task bar shows for the program and the caption of the
// exception display.
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

// Runs work on a worker thread while this (the UI) thread keeps serving the window, which
// paints but takes no input meanwhile; input made during the work is dropped, also what is still
// on its way when the work ends. Other threads' synchronised calls wait meanwhile, as for a UI
// thread doing the work itself (TSynchronizeHold). An exception that leaves work is raised again
// here.
void RunBesideTheWindow(const std::function<void()>& work);

// Runs a call on the UI thread from a worker thread and waits until it has run there; an
// exception it raises is raised again in the caller. On the UI thread it runs at once.
void RunOnUiThread(const std::function<void()>& call);

// While it lives, the session is held: no logout, shutdown or sleep cuts what runs.
class TSessionHold {
public:
    explicit TSessionHold(const std::string& reason);
    ~TSessionHold();
    TSessionHold(const TSessionHold&) = delete;
    TSessionHold& operator=(const TSessionHold&) = delete;
};

// While it lives, the input block of RunBesideTheWindow is lifted (a box that needs the user).
class TInputUnblock {
public:
    TInputUnblock();
    ~TInputUnblock();
    TInputUnblock(const TInputUnblock&) = delete;
    TInputUnblock& operator=(const TInputUnblock&) = delete;

private:
    bool was_;
};

} // namespace tolvar
