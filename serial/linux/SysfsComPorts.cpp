#include "serial/linux/SysfsComPorts.h"

#include "serial/EComPort.h"
#include "serial/Platform.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace tolvar {

namespace fs = std::filesystem;

namespace {

// A legacy 8250 port exists for every configured slot; type 0 means no UART answered there.
bool IsAbsentUart(const fs::path& ttyDir) {
    std::ifstream in(ttyDir / "type");
    std::string type;
    if (!(in >> type))
        return false; // unknown: keep it
    return type == "0";
}

} // namespace

std::vector<std::string> SysfsComPorts(const std::string& sysfsRoot) {
    const fs::path classDir = fs::path(sysfsRoot) / "class" / "tty";
    std::error_code ec;
    fs::directory_iterator it(classDir, ec);
    if (ec)
        throw EComPort(CError_RegError, ec.value());
    std::vector<std::string> names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().string();
        std::error_code existsEc;
        if (!fs::exists(it->path() / "device" / "driver", existsEc))
            continue; // virtual terminals, pseudo-terminals and the like
        if (name.rfind("ttyS", 0) == 0 && IsAbsentUart(it->path()))
            continue;
        names.push_back("/dev/" + name);
    }
    if (ec)
        throw EComPort(CError_RegError, ec.value());
    return names;
}

std::vector<std::string> SystemComPorts() {
    return SysfsComPorts("/sys");
}

} // namespace tolvar
