#include "app/Platform.h"

#include <thread>
#include <vector>
#include <windows.h>

namespace tolvar {

namespace {

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::vector<wchar_t> value(size);
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    return length > 0 && length < size ? std::wstring(value.data(), length) : std::wstring();
}

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
using WineGetVersionFunction = const char*(CDECL*)();

} // namespace

std::filesystem::path RunLogFolder() {
    std::wstring folder = Environment(L"LOCALAPPDATA");
    if (folder.empty()) {
        const std::wstring profile = Environment(L"USERPROFILE");
        if (profile.empty())
            return {};
        folder = profile + L"\\AppData\\Local";
    }
    return std::filesystem::path(folder) / L"TOLVAR";
}

// The version the system itself reports (GetVersionEx answers what the manifest claims), and
// Wine's own version where Wine stands in for Windows.
std::string SystemText() {
    std::string text = "Windows";
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr)
        return text;
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion != nullptr && rtlGetVersion(&info) == 0)
        text += " " + std::to_string(info.dwMajorVersion) + "." +
                std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber);
    const auto wineGetVersion = reinterpret_cast<WineGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wineGetVersion != nullptr)
        text += std::string(" (Wine ") + wineGetVersion() + ")";
    return text;
}

std::tm LocalTime(std::time_t time) {
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

bool RunLocked(const std::filesystem::path& lockFile, std::chrono::milliseconds wait,
               const std::function<void()>& work) {
    const HANDLE file = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    OVERLAPPED whole{};
    bool locked = false;
    while (!(locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                                 &whole) != FALSE) &&
           GetLastError() == ERROR_LOCK_VIOLATION && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (locked) {
        try {
            work();
        } catch (...) {
            CloseHandle(file); // closing releases the lock
            throw;
        }
    }
    CloseHandle(file);
    return locked;
}

} // namespace tolvar
