#pragma once

#include <windows.h>

namespace tolvar {

// One running program per user session: the first start holds a named mutex of the session; a
// later start brings the running program's window to the front and runs no wizard.
class TSingleInstance {
public:
    TSingleInstance();
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool First() const { return first_; }
    // From a later start: activates the running program's window (restored where it was
    // minimised, its box where one is open); false when no such window was found.
    static bool RaiseRunning();

private:
    HANDLE mutex_ = nullptr;
    bool first_ = true;
};

} // namespace tolvar
