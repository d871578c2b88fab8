#include "framework/win32/SystemLibrary.h"

namespace tolvar {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return module;
    // Systems without the flag refuse it (ERROR_INVALID_PARAMETER): name the full path.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return LoadLibraryExW(path, nullptr, 0);
}

} // namespace tolvar
