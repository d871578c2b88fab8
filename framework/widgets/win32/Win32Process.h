#pragma once

#include <windows.h>

namespace tolvar {

// Libraries come from System32 only: a DLL planted beside the program (a Downloads folder) is
// never loaded. Where the system lacks the call that sets this (Windows 7 without its update),
// at least the current folder leaves the search.
void RestrictLibrarySearch();

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

// COM on the window's thread, apartment-threaded, as the shell's functions ask.
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool initialised_ = false;
};

} // namespace tolvar
