#pragma once

#include <QLocalServer>
#include <functional>
#include <string>

namespace tolvar {

// One running program per user: the first start holds a lock in the user's runtime folder and
// listens on a local socket beside it; a later start finds the lock taken, asks the running
// program through the socket to raise its window, and ends without touching a port.
class TQtSingleInstance {
public:
    // `folder` holds the lock and the socket; `raise` is what the first start does when a
    // later one asks.
    explicit TQtSingleInstance(const std::string& folder = RuntimeFolder(),
                               std::function<void()> raise = RaiseApplicationWindows);
    ~TQtSingleInstance();
    TQtSingleInstance(const TQtSingleInstance&) = delete;
    TQtSingleInstance& operator=(const TQtSingleInstance&) = delete;

    // True for the start that runs the wizard.
    bool First() const { return first_; }
    // From a later start: asks the first to raise its window; false when it could not be reached.
    bool AskFirstToRaise() const;

    // $XDG_RUNTIME_DIR, else a private folder of the user's under the temporary folder; empty
    // when that folder is not the user's alone.
    static std::string RuntimeFolder();
    // Brings the application's windows to the front, restored from the task bar; a modal box
    // last, so that it keeps the focus.
    static void RaiseApplicationWindows();

private:
    std::string socket_;
    bool first_ = false;
    int lock_ = -1;
    QLocalServer server_;
    std::function<void()> raise_;
};

} // namespace tolvar
