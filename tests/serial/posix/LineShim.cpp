#include "LineShim.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tolvar::test {

LineShim& Shim() {
    // Never destroyed: reads and writes at exit still pass through here.
    static auto* shim = new LineShim;
    return *shim;
}

namespace {

bool IsPty(int fd) {
    char link[64];
    char path[128];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    return std::strncmp(path, "/dev/pts/", 9) == 0;
}

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool Interrupt(int fd, int& left) {
    if (fd != Shim().eintrFd || left <= 0)
        return false;
    --left;
    errno = EINTR;
    return true;
}

} // namespace
} // namespace tolvar::test

using tolvar::test::Shim;

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    static const auto real = tolvar::test::Next<int (*)(int, unsigned long, ...)>("ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    auto& shim = Shim();
    if ((request == TIOCGSERIAL || request == TIOCSSERIAL) && shim.serial &&
        tolvar::test::IsPty(fd)) {
        auto* info = static_cast<serial_struct*>(arg);
        shim.calls.push_back({request, request == TIOCSSERIAL ? info->flags : 0});
        const int err = request == TIOCGSERIAL ? shim.serialGetErrno : shim.serialSetErrno;
        if (err != 0) {
            errno = err;
            return -1;
        }
        if (request == TIOCGSERIAL) {
            *info = serial_struct{};
            info->flags = shim.serialFlags;
        } else {
            shim.serialFlags = info->flags;
        }
        return 0;
    }
    const bool modem =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (!modem || !tolvar::test::IsPty(fd))
        return real(fd, request, arg);
    int* bits = static_cast<int*>(arg);
    shim.calls.push_back({request, request == TIOCMGET ? 0 : *bits});
    if (request == shim.failRequest) {
        errno = shim.failErrno;
        return -1;
    }
    switch (request) {
    case TIOCMGET:
        *bits = shim.lines;
        break;
    case TIOCMSET:
        shim.lines = *bits;
        break;
    case TIOCMBIS:
        shim.lines |= *bits;
        break;
    default:
        shim.lines &= ~*bits;
        break;
    }
    return 0;
}

extern "C" ssize_t read(int fd, void* buf, size_t n) {
    static const auto real = tolvar::test::Next<ssize_t (*)(int, void*, size_t)>("read");
    if (tolvar::test::Interrupt(fd, Shim().eintrReads))
        return -1;
    return real(fd, buf, n);
}

extern "C" ssize_t write(int fd, const void* buf, size_t n) {
    static const auto real = tolvar::test::Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (tolvar::test::Interrupt(fd, Shim().eintrWrites))
        return -1;
    return real(fd, buf, n);
}

extern "C" int poll(pollfd* fds, nfds_t n, int timeout) {
    static const auto real = tolvar::test::Next<int (*)(pollfd*, nfds_t, int)>("poll");
    if (n == 1 && tolvar::test::Interrupt(fds[0].fd, Shim().eintrPolls))
        return -1;
    if (n == 1 && fds[0].fd == Shim().eintrFd && Shim().earlyPolls > 0) {
        --Shim().earlyPolls;
        fds[0].revents = 0;
        return 0;
    }
    return real(fds, n, timeout);
}

extern "C" int tcflush(int fd, int queue) noexcept {
    static const auto real = tolvar::test::Next<int (*)(int, int)>("tcflush");
    if (tolvar::test::IsPty(fd))
        Shim().flushes.push_back(queue);
    return real(fd, queue);
}
