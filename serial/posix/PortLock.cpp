#include "serial/posix/PortLock.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace tolvar {

namespace {

std::string& Folder() {
    static std::string folder = "/run/lock";
    return folder;
}

// The PID in a lock file, or 0 when it holds none.
int ReadLockPid(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char buf[32] = {};
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    long pid = 0;
    // Some programs write the PID as a binary int; the convention is ASCII.
    if (std::sscanf(buf, "%ld", &pid) != 1 || pid <= 0 || pid > 0x3FFFFFFF)
        return 0;
    return static_cast<int>(pid);
}

bool Alive(int pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

void SetPortLockFolder(const std::string& folder) {
    Folder() = folder.empty() ? std::string("/run/lock") : folder;
}

const std::string& PortLockFolder() {
    return Folder();
}

std::string PortLockPath(const std::string& devicePath) {
    const auto slash = devicePath.rfind('/');
    const std::string name = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    return Folder() + "/LCK.." + name;
}

int LivingLockOwner(const std::string& lockPath) {
    const int pid = ReadLockPid(lockPath);
    return pid != 0 && pid != ::getpid() && Alive(pid) ? pid : 0;
}

TPortLock::Result TPortLock::Take(const std::string& devicePath) {
    Release();
    heldBy_ = 0;
    const std::string path = PortLockPath(devicePath);
    // Two tries: the second after removing a stale lock.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char line[16];
            const int n = std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(::getpid()));
            const bool written = ::write(fd, line, static_cast<std::size_t>(n)) == n;
            ::close(fd);
            if (!written) {
                ::unlink(path.c_str());
                return Result::Unavailable;
            }
            path_ = path;
            return Result::Taken;
        }
        if (errno != EEXIST)
            return Result::Unavailable; // no folder, no write access, read-only
        if (const int owner = LivingLockOwner(path); owner != 0) {
            heldBy_ = owner;
            return Result::Held;
        }
        // Its process is gone (or it names none, or it is ours from before): stale.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return Result::Unavailable;
    }
    return Result::Unavailable;
}

void TPortLock::Release() noexcept {
    if (path_.empty())
        return;
    ::unlink(path_.c_str());
    path_.clear();
}

} // namespace tolvar
