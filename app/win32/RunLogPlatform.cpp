#include "app/Platform.h"
#include "framework/win32/WideText.h"

#include <thread>
#include <vector>
#include <windows.h>

namespace tolvar {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

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

std::string RunLogPath() {
    std::wstring folder = Environment(L"LOCALAPPDATA");
    if (folder.empty()) {
        const std::wstring profile = Environment(L"USERPROFILE");
        if (profile.empty())
            return std::string();
        folder = profile + L"\\AppData\\Local";
    }
    return Utf8FromWide(folder) + "\\TOLVAR\\tolvar-update.log";
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

bool RunLocked(const std::string& lockFile, std::chrono::milliseconds wait,
               const std::function<void()>& work) {
    const HANDLE file = CreateFileW(Wide(lockFile).c_str(), GENERIC_READ | GENERIC_WRITE,
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

TFileRead ReadWholeFile(const std::string& path, std::string& text) {
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? TFileRead::Missing : TFileRead::Failed;
    char buffer[16384];
    DWORD got = 0;
    BOOL ok = FALSE;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) != FALSE && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return ok != FALSE ? TFileRead::Read : TFileRead::Failed;
}

bool WriteWholeFile(const std::string& path, const std::string& text, bool append) {
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) &&
                    put == text.size();
    return CloseHandle(file) != FALSE && ok;
}

bool PutFileInPlace(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void RemoveFile(const std::string& path) {
    DeleteFileW(Wide(path).c_str());
}

bool MakeFolderFor(const std::string& path) {
    const std::wstring wide = Wide(path);
    const std::size_t last = wide.find_last_of(L"\\/");
    if (last == std::wstring::npos)
        return false;
    // Each folder in turn; what cannot be made shows in the check below.
    for (std::size_t at = wide.find_first_of(L"\\/", 1); at != std::wstring::npos && at <= last;
         at = wide.find_first_of(L"\\/", at + 1))
        CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wide.substr(0, last).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace tolvar
