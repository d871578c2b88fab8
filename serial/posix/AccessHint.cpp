#include "serial/posix/AccessHint.h"

#include "serial/Platform.h"
#include "serial/posix/PortLock.h"
#include "serial/posix/PosixComDevice.h"
#include "serial/posix/PosixKernel.h"

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

std::string HolderHintText(const std::string& name, int pid) {
    return "PORT JEST UŻYWANY PRZEZ PROGRAM " + name + " (PID " + std::to_string(pid) +
           ").\r\nZAMKNIJ GO I SPRÓBUJ PONOWNIE.";
}

std::string PortAccessHint(const std::string& portName, std::int32_t osErrorCode) {
    const std::string path = PosixDevicePath(portName);
    if (osErrorCode == EACCES || osErrorCode == EPERM)
        return AccessHintText(OwningGroup(path));
    if (osErrorCode != EBUSY)
        return std::string();
    // Who holds it: a process with the device open, else the living owner of its lock file.
    int pid = 0;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
        pid = ProcessHoldingDevice(st.st_rdev);
    if (pid == 0)
        pid = LivingLockOwner(PortLockPath(path));
    const std::string name = pid != 0 ? ProcessName(pid) : std::string();
    return name.empty() ? std::string() : HolderHintText(name, pid);
}

} // namespace tolvar
