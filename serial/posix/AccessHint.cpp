#include "serial/posix/AccessHint.h"

#include "serial/Platform.h"
#include "serial/posix/PosixComDevice.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvar {

namespace {

// The name of the group that owns the device; its number when the system has no name for it.
std::string OwningGroup(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return "dialout";
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    while (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found != nullptr ? std::string(found->gr_name) : std::to_string(st.st_gid);
}

} // namespace

std::string AccessHintText(const std::string& group) {
    return "BRAK UPRAWNIEŃ DO PORTU SZEREGOWEGO.\r\nUŻYTKOWNIK MUSI NALEŻEĆ DO GRUPY " + group +
           ".\r\nDODAJ GO DO TEJ GRUPY I ZALOGUJ SIĘ PONOWNIE.";
}

std::string PortAccessHint(const std::string& portName, std::int32_t osErrorCode) {
    if (osErrorCode != EACCES && osErrorCode != EPERM)
        return std::string();
    return AccessHintText(OwningGroup(PosixDevicePath(portName)));
}

} // namespace tolvar
