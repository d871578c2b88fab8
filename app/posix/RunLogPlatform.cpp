#include "app/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace tolvar {

// The state folder of the XDG base directories: it must be an absolute path to count.
std::string RunLogPath() {
    const char* name = "/tolvar-update/tolvar-update.log";
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return state + std::string(name);
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] == '/')
        home = value;
    else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir)
        home = user->pw_dir;
    return home.empty() ? home : home + "/.local/state" + name;
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

bool RunLocked(const std::string& lockFile, std::chrono::milliseconds wait,
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

TFileRead ReadWholeFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? TFileRead::Missing : TFileRead::Failed;
    char buffer[16384];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        text.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    ::close(fd);
    return got == 0 ? TFileRead::Read : TFileRead::Failed;
}

bool WriteWholeFile(const std::string& path, const std::string& text, bool append) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    return ::close(fd) == 0 && done == text.size();
}

bool PutFileInPlace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

bool MakeFolderFor(const std::string& path) {
    // Each folder in turn; what cannot be made shows in the check below.
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        ::mkdir(path.substr(0, at).c_str(), 0700);
    struct stat st {};
    const std::size_t last = path.rfind('/');
    return last != std::string::npos && ::stat(path.substr(0, last).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

} // namespace tolvar
