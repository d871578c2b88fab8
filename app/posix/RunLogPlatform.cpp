#include "app/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace tolvar {

// The state folder of the XDG base directories: it must be an absolute path to count.
std::filesystem::path RunLogFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return std::filesystem::path(state) / "tolvar-update";
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] == '/')
        home = value;
    else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir)
        home = user->pw_dir;
    if (home.empty())
        return {};
    return std::filesystem::path(home) / ".local" / "state" / "tolvar-update";
}

// The kernel, then the distribution's own name for itself where it gives one.
std::string SystemText() {
    std::string text;
    struct utsname names {};
    if (::uname(&names) == 0)
        text = std::string(names.sysname) + " " + names.release + " " + names.machine;
    std::ifstream release("/etc/os-release");
    std::string line;
    while (std::getline(release, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0)
            continue;
        std::string name = line.substr(12);
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\''))
            name = name.substr(1, name.size() - 2);
        text += (text.empty() ? "" : ", ") + name;
        break;
    }
    return text;
}

std::tm LocalTime(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    return local;
}

bool RunLocked(const std::filesystem::path& lockFile, std::chrono::milliseconds wait,
               const std::function<void()>& work) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool locked = false;
    while (!(locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0) &&
           (errno == EWOULDBLOCK || errno == EINTR) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (locked) {
        try {
            work();
        } catch (...) {
            ::close(fd); // closing releases the lock
            throw;
        }
    }
    ::close(fd);
    return locked;
}

} // namespace tolvar
