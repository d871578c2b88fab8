#include "serial/win32/SetupApiPorts.h"

#include "framework/win32/SystemLibrary.h"
#include "serial/Platform.h"

#include <cctype>
#include <windows.h>

namespace tolvar {

namespace {

// What this file uses of SetupAPI, declared here: its header drags in the property-sheet and
// common-control headers, which have no place in the core.
using HDEVINFO = void*;
struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;
constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD SPDRP_MFG = 0xB;
constexpr DWORD SPDRP_FRIENDLYNAME = 0xC;
constexpr DWORD DICS_FLAG_GLOBAL = 0x1;
constexpr DWORD DIREG_DEV = 0x1;

// The device class of ports (COM and LPT).
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// SetupAPI is loaded from System32 only, when the list is read: never from the folder the
// program was started from.
struct TSetupApi {
    using GetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
    using EnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
    using GetProperty = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD,
                                      PDWORD);
    using GetInstanceId = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, PSTR, DWORD, PDWORD);
    using OpenDevRegKey = HKEY(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM);
    using DestroyList = BOOL(WINAPI*)(HDEVINFO);

    HMODULE module = nullptr;
    GetClassDevs getClassDevs = nullptr;
    EnumDeviceInfo enumDeviceInfo = nullptr;
    GetProperty getProperty = nullptr;
    GetInstanceId getInstanceId = nullptr;
    OpenDevRegKey openDevRegKey = nullptr;
    DestroyList destroyList = nullptr;

    TSetupApi() {
        module = LoadSystemLibrary(L"setupapi.dll");
        if (module == nullptr)
            return;
        Bind(getClassDevs, "SetupDiGetClassDevsA");
        Bind(enumDeviceInfo, "SetupDiEnumDeviceInfo");
        Bind(getProperty, "SetupDiGetDeviceRegistryPropertyA");
        Bind(getInstanceId, "SetupDiGetDeviceInstanceIdA");
        Bind(openDevRegKey, "SetupDiOpenDevRegKey");
        Bind(destroyList, "SetupDiDestroyDeviceInfoList");
    }
    ~TSetupApi() {
        if (module != nullptr)
            FreeLibrary(module);
    }
    TSetupApi(const TSetupApi&) = delete;
    TSetupApi& operator=(const TSetupApi&) = delete;

    bool Usable() const {
        return getClassDevs && enumDeviceInfo && getProperty && getInstanceId && openDevRegKey &&
               destroyList;
    }

private:
    template <typename F> void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
};

std::string Property(const TSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& info, DWORD property) {
    char buffer[512] = {};
    DWORD type = 0;
    if (!api.getProperty(set, &info, property, &type, reinterpret_cast<PBYTE>(buffer),
                         sizeof buffer - 1, nullptr) ||
        type != REG_SZ)
        return std::string();
    return std::string(buffer);
}

std::string PortName(const TSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& info) {
    HKEY key = api.openDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE || key == nullptr)
        return std::string();
    char buffer[256] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(buffer) : std::string();
}

// The four hex digits after a tag such as "VID_" in an instance id.
std::string IdAfter(const std::string& id, const char* tag) {
    const auto at = id.find(tag);
    if (at == std::string::npos)
        return std::string();
    const std::string digits = id.substr(at + 4, 4);
    if (digits.size() != 4)
        return std::string();
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::string();
    return digits;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::vector<TSetupApiPort> SetupApiPorts() {
    std::vector<TSetupApiPort> ports;
    const TSetupApi api;
    if (!api.Usable())
        return ports;
    HDEVINFO set = api.getClassDevs(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!api.enumDeviceInfo(set, index, &info))
            break; // ERROR_NO_MORE_ITEMS, or nothing more to be had
        TSetupApiPort port;
        port.portName = PortName(api, set, info);
        if (port.portName.empty())
            continue;
        port.friendlyName = Property(api, set, info, SPDRP_FRIENDLYNAME);
        port.maker = Property(api, set, info, SPDRP_MFG);
        char id[512] = {};
        if (api.getInstanceId(set, &info, id, sizeof id - 1, nullptr))
            port.instanceId = id;
        ports.push_back(std::move(port));
    }
    api.destroyList(set);
    return ports;
}

TPortFacts SetupApiPortFacts(const TSetupApiPort& port) {
    TPortFacts facts;
    facts.product = port.friendlyName;
    // The friendly name ends in the port's name, which the list shows anyway.
    if (const auto open = facts.product.rfind(" (");
        open != std::string::npos && !facts.product.empty() && facts.product.back() == ')')
        facts.product.erase(open);
    facts.manufacturer = port.maker;
    const std::string& id = port.instanceId;
    facts.vendorId = IdAfter(id, "VID_");
    facts.productId = IdAfter(id, "PID_");
    // The machine's own UARTs are ACPI devices.
    facts.onBoard = id.compare(0, 5, "ACPI\\") == 0;
    if (facts.vendorId.empty() || facts.productId.empty())
        return facts;
    // USB\VID_0403&PID_6001\A5XK3RJT: the last part is the device's serial number unless
    // Windows made it up (then it holds '&').
    const auto first = id.find('\\');
    const auto last = id.rfind('\\');
    if (id.compare(0, 4, "USB\\") == 0 && last != first) {
        const std::string tail = id.substr(last + 1);
        if (!tail.empty() && tail.find('&') == std::string::npos)
            facts.serialNumber = tail;
    }
    // FTDIBUS\VID_0403+PID_6001+A5XK3RJTA\0000: the serial number with the channel letter.
    if (id.compare(0, 8, "FTDIBUS\\") == 0) {
        const std::string middle = id.substr(first + 1, last - first - 1);
        const auto plus = middle.rfind('+');
        if (plus != std::string::npos && middle.size() > plus + 2)
            facts.serialNumber = middle.substr(plus + 1, middle.size() - plus - 2);
    }
    return facts;
}

std::vector<std::string> SetupApiPortDetails(const std::vector<std::string>& names,
                                             const std::vector<TSetupApiPort>& ports) {
    std::vector<std::string> lines;
    lines.reserve(names.size());
    for (const std::string& name : names) {
        std::string line;
        for (const TSetupApiPort& port : ports)
            if (!name.empty() && SameIgnoringCase(port.portName, name)) {
                line = PortDetailText(SetupApiPortFacts(port));
                break;
            }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> SystemComPortDetails(const std::vector<std::string>& names) {
    return SetupApiPortDetails(names, SetupApiPorts());
}

} // namespace tolvar
