#include "serial/posix/PosixKernel.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace tolvar {

// USB adapters hold received bytes until their latency timer runs out (16 ms by default); the
// low-latency flag has the driver pass each reply byte on at once.
bool RequestLowLatency(int fd) noexcept {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0)
        return false;
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
}

void RestoreLatency(int fd) noexcept {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return;
    info.flags &= ~ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &info);
}

} // namespace tolvar
