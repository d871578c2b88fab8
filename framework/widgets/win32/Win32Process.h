#pragma once

#include <windows.h>

namespace tolvar {

// Libraries come from System32 only: a DLL planted beside the program (a Downloads folder) is
// never loaded. Where the system lacks the call that sets this (Windows 7 without its update),
// at least the current folder leaves the search.
void RestrictLibrarySearch();

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
