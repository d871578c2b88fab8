#pragma once

#include <windows.h>

namespace tolvar::test {

// True when the tests run under Wine, which differs from Windows in a few known places.
inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace tolvar::test
