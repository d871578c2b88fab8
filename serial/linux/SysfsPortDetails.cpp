#include "serial/Platform.h"
#include "serial/linux/SysfsComPorts.h"
#include "serial/posix/PosixComDevice.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tolvar {

namespace fs = std::filesystem;

namespace {

// The first line of an attribute file, without trailing blanks; empty when there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
        line.pop_back();
    return line;
}

} // namespace

TPortFacts SysfsPortFacts(const std::string& sysfsRoot, const std::string& devicePath) {
    TPortFacts facts;
    const std::string name = fs::path(devicePath).filename().string();
    std::error_code ec;
    const fs::path root = fs::canonical(sysfsRoot, ec);
    if (ec || name.empty())
        return facts;
    const fs::path device =
        fs::canonical(fs::path(sysfsRoot) / "class" / "tty" / name / "device", ec);
    if (ec)
        return facts;
    // The USB device is an ancestor of the tty's device (its interface, or the adapter's port
    // below the interface); it is the one that has the ids.
    for (fs::path dir = device; dir != root && dir.has_relative_path() && dir != dir.parent_path();
         dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            facts.vendorId = Attribute(dir / "idVendor");
            facts.productId = Attribute(dir / "idProduct");
            facts.product = Attribute(dir / "product");
            facts.manufacturer = Attribute(dir / "manufacturer");
            facts.serialNumber = Attribute(dir / "serial");
            return facts;
        }
    }
    facts.onBoard = true;
    return facts;
}

std::vector<std::string> SystemComPortDetails(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    lines.reserve(names.size());
    for (const std::string& name : names)
        lines.push_back(name.empty()
                            ? std::string()
                            : PortDetailText(SysfsPortFacts("/sys", PosixDevicePath(name))));
    return lines;
}

} // namespace tolvar
