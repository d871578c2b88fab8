#include "framework/widgets/win32/Win32Process.h"

#include "framework/widgets/win32/Win32Peer.h"

#include <objbase.h>

namespace tolvar {

namespace {

const wchar_t kInstanceMutex[] = L"Local\\TolvarUpdate.Running";

} // namespace

void RestrictLibrarySearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = kernel == nullptr ? nullptr
                                       : reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
                                             GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set == nullptr || !set(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryW(L"");
}

TSingleInstance::TSingleInstance() : mutex_(CreateMutexW(nullptr, FALSE, kInstanceMutex)) {
    first_ = !(mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

TSingleInstance::~TSingleInstance() {
    if (mutex_ != nullptr)
        CloseHandle(mutex_);
}

bool TSingleInstance::RaiseRunning() {
    HWND application = FindWindowW(win32::kApplicationClass, nullptr);
    if (application == nullptr)
        return false;
    if (IsIconic(application))
        ShowWindow(application, SW_RESTORE);
    // The window the user last worked in: the main form, or a box over it.
    HWND target = GetLastActivePopup(application);
    if (target == nullptr || target == application)
        target = FindWindowW(win32::kFormClass, nullptr);
    if (target == nullptr)
        return false;
    if (IsIconic(target))
        ShowWindow(target, SW_RESTORE);
    SetForegroundWindow(target);
    return true;
}

TComApartment::TComApartment() {
    const HRESULT result =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    initialised_ = SUCCEEDED(result);
}

TComApartment::~TComApartment() {
    if (initialised_)
        CoUninitialize();
}

} // namespace tolvar
