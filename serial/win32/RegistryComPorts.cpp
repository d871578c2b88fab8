#include "serial/EComPort.h"
#include "serial/Platform.h"

#include <algorithm>
#include <windows.h>

namespace tolvar {

namespace {

// Closes the key on every way out.
struct KeyGuard {
    HKEY key;
    ~KeyGuard() { RegCloseKey(key); }
};

} // namespace

// The ports that the system registered: the data of every value of the SERIALCOMM key.
std::vector<std::string> SystemComPorts() {
    HKEY key = nullptr;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS)
        throw EComPort(CError_RegError, static_cast<std::int32_t>(opened));
    KeyGuard guard{key};
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[256];
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data;
        const LONG result =
            RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            throw EComPort(CError_RegError, static_cast<std::int32_t>(result));
        // The data ends in its terminating zero; a value without data gives an empty name.
        const DWORD length = dataLength > 0 ? dataLength - 1 : 0;
        names.emplace_back(reinterpret_cast<const char*>(data), length);
    }
    return names;
}

// Names are the only key: the list matches them as they are.
std::string PortDeviceKey(const std::string&) {
    return std::string();
}

void SortComPortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                              static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size())) == CSTR_LESS_THAN;
    });
}

} // namespace tolvar
