#include "serial/posix/PosixKernel.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tolvar {

namespace {

bool IsPid(const char* name) {
    if (*name == '\0')
        return false;
    for (const char* c = name; *c != '\0'; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

// The index of the pseudo-terminal a master descriptor leads to (its fdinfo says), or -1.
long MasterIndex(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("tty-index:", 0) == 0)
            return std::strtol(line.c_str() + 10, nullptr, 10);
    return -1;
}

// Whether a process has the character device `device` open as a rival: a process that also
// holds the master of that pseudo-terminal is the far end of the line, not a rival.
bool HoldsDevice(const std::string& procFolder, dev_t device) {
    const std::string fdFolder = procFolder + "/fd";
    DIR* dir = ::opendir(fdFolder.c_str());
    if (dir == nullptr)
        return false; // another user's process, or gone meanwhile
    // Unix98 pseudo-terminal slaves have the majors 136 to 143.
    const bool ptySlave = major(device) >= 136 && major(device) <= 143;
    const long ptyIndex = static_cast<long>((major(device) - 136) * 256 + minor(device));
    bool holds = false;
    bool peer = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsPid(entry->d_name))
            continue;
        struct stat st {};
        if (::stat((fdFolder + "/" + entry->d_name).c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            continue;
        if (st.st_rdev == device)
            holds = true;
        else if (ptySlave && st.st_rdev == makedev(5, 2) &&
                 MasterIndex(procFolder + "/fdinfo/" + entry->d_name) == ptyIndex)
            peer = true;
    }
    ::closedir(dir);
    return holds && !peer;
}

} // namespace

int ProcessHoldingDevice(unsigned long long device) noexcept {
    try {
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr)
            return 0;
        const pid_t self = ::getpid();
        int holder = 0;
        while (const dirent* entry = ::readdir(proc)) {
            if (!IsPid(entry->d_name))
                continue;
            const int pid = std::atoi(entry->d_name);
            if (pid == self)
                continue;
            if (HoldsDevice(std::string("/proc/") + entry->d_name, static_cast<dev_t>(device))) {
                holder = pid;
                break;
            }
        }
        ::closedir(proc);
        return holder;
    } catch (...) {
        return 0; // out of memory while scanning: nothing known
    }
}

std::string ProcessName(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace tolvar
