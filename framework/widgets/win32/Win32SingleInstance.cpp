#include "framework/widgets/win32/Win32SingleInstance.h"

#include "framework/widgets/win32/Win32Peer.h"

namespace tolvar {

namespace {

const wchar_t kInstanceMutex[] = L"Local\\TolvarUpdate.Running";

} // namespace

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

} // namespace tolvar
