#pragma once

#include <windows.h>

namespace tolvar {

// A library of the system, loaded from System32 whatever the search order is, so that a DLL
// planted beside the program (a Downloads folder) is never the one used.
HMODULE LoadSystemLibrary(const wchar_t* name);

} // namespace tolvar
