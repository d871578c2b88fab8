// Kept apart: the kernel's termios2 header clashes with <termios.h>.
#include "serial/posix/PosixKernel.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstdint>
#include <sys/ioctl.h>

namespace tolvar {

int SetCustomLineSpeed(int fd, std::int32_t bitsPerSecond) {
    if (bitsPerSecond <= 0)
        return EINVAL;
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(bitsPerSecond);
    t.c_ospeed = static_cast<speed_t>(bitsPerSecond);
    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int LineSpeeds(int fd, std::uint32_t& input, std::uint32_t& output) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    input = t.c_ispeed;
    output = t.c_ospeed;
    return 0;
}

} // namespace tolvar
