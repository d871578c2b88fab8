#include "serial/posix/PosixComDevice.h"

#include "serial/EComPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tolvar {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kMaxTimeout = 0xFFFFFFFFu;

std::optional<speed_t> TermiosSpeed(std::int32_t rate) {
    switch (rate) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    default:
        return std::nullopt;
    }
}

// Milliseconds until `deadline` for poll, rounded up so that a wake-up is never early.
int PollTimeout(std::optional<Clock::time_point> deadline) {
    if (!deadline)
        return -1;
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

// Waits for `events`; false on time-out. Raises `code` on a poll failure.
bool WaitFor(int fd, short events, std::optional<Clock::time_point> deadline, std::int32_t code,
             short& revents) {
    for (;;) {
        const int timeout = PollTimeout(deadline);
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, timeout);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            throw EComPort(code, errno);
        }
        if (rc == 0) {
            // poll may wake a little early; only a passed deadline ends the wait.
            if (timeout != 0 && deadline && Clock::now() < *deadline)
                continue;
            return false;
        }
        revents = p.revents;
        return true;
    }
}

} // namespace

std::string PosixDevicePath(const std::string& portName) {
    if (!portName.empty() && portName.front() == '/')
        return portName;
    // Windows port names ignore letter case, so "com1" is COM1 as well.
    if (portName.size() > 3 && portName.size() <= 12 &&
        (portName[0] == 'C' || portName[0] == 'c') && (portName[1] == 'O' || portName[1] == 'o') &&
        (portName[2] == 'M' || portName[2] == 'm') &&
        std::all_of(portName.begin() + 3, portName.end(),
                    [](char c) { return c >= '0' && c <= '9'; })) {
        const long long n = std::stoll(portName.substr(3));
        if (n >= 1)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

TPosixComDevice::~TPosixComDevice() {
    Close();
}

void TPosixComDevice::Open(const std::string& portName) {
    if (fd_ >= 0)
        return;
    const std::string path = PosixDevicePath(portName);
    // Non-blocking so that the open does not wait for a carrier; never our controlling tty.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EComPort(CError_OpenFailed, errno);
    // TIOCEXCL does not hold against root, the lock does (and also covers this process).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        throw EComPort(CError_OpenFailed, err);
    }
    // Also refuses anything that is not a terminal, such as a plain file.
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        ::close(fd);
        throw EComPort(CError_OpenFailed, err);
    }
    fd_ = fd;
}

void TPosixComDevice::Close() noexcept {
    if (fd_ < 0)
        return;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also drops the lock
    fd_ = -1;
}

void TPosixComDevice::SetQueueSizes(std::int32_t input, std::int32_t output) {
    // The kernel's tty queues have a fixed size; the sizes are only a recommendation.
    if (input < 0 || output < 0)
        throw EComPort(CError_SetupComFailed, EINVAL);
}

void TPosixComDevice::SetLine(const TComLineSettings& s) {
    // Settings that termios cannot carry are refused rather than silently dropped.
    if (s.outDsrFlow || s.dsrSensitivity || s.discardNull || s.dtrControl == 2 ||
        s.rtsControl == 3 || s.byteSize < 5 || s.byteSize > 8 || s.parity > 4 || s.stopBits > 2 ||
        (s.stopBits == 1 && s.byteSize != 5))
        throw EComPort(CError_SetStateFailed, EINVAL);

    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[s.byteSize - 5];
    if (s.stopBits != 0)
        t.c_cflag |= CSTOPB; // with 5 data bits a UART sends 1.5 stop bits for this
    switch (s.parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (s.parityCheck)
        t.c_iflag |= INPCK;
    if (s.outCtsFlow || s.rtsControl == 2)
        t.c_cflag |= CRTSCTS;
    if (s.outX)
        t.c_iflag |= IXON;
    if (s.inX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    // Reads never block in the driver: poll does the waiting.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    const auto speed = TermiosSpeed(s.baudRate);
    if (speed && (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0))
        throw EComPort(CError_SetStateFailed, errno);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    if (!speed) {
        if (const int err = SetCustomLineSpeed(fd_, s.baudRate); err != 0)
            throw EComPort(CError_SetStateFailed, err);
    }

    if (s.dtrControl != 2)
        SetModemLine(TIOCM_DTR, s.dtrControl == 1);
    if (s.rtsControl != 2)
        SetModemLine(TIOCM_RTS, s.rtsControl == 1);
}

void TPosixComDevice::SetModemLine(int line, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0)
        return;
    // A pseudo-terminal has no modem lines and answers so.
    if (errno == ENOTTY || errno == EINVAL)
        return;
    throw EComPort(CError_SetStateFailed, errno);
}

void TPosixComDevice::SetTimeouts(const TComTimeoutValues& timeouts) {
    if (fd_ < 0)
        throw EComPort(CError_TimeoutsFailed, EBADF);
    timeouts_ = timeouts;
}

std::int32_t TPosixComDevice::Write(const void* buf, std::int32_t count) {
    if (count < 0 || (count > 0 && buf == nullptr))
        throw EComPort(CError_WriteFailed, EINVAL);
    const auto* bytes = static_cast<const unsigned char*>(buf);
    const auto& t = timeouts_;
    std::optional<Clock::time_point> deadline;
    if (t.writeTotalMultiplier != 0 || t.writeTotalConstant != 0) {
        const std::uint64_t ms =
            std::uint64_t{t.writeTotalMultiplier} * static_cast<std::uint64_t>(count) +
            t.writeTotalConstant;
        deadline = Clock::now() + std::chrono::milliseconds(ms);
    }
    std::int32_t written = 0;
    bool hungUp = false;
    while (written < count) {
        const ssize_t r = ::write(fd_, bytes + written, static_cast<std::size_t>(count - written));
        if (r > 0) {
            written += static_cast<std::int32_t>(r);
            hungUp = false;
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            throw EComPort(CError_WriteFailed, errno);
        // The queue is full, or the line is gone (see below).
        if (hungUp)
            throw EComPort(CError_WriteFailed, EIO);
        if (deadline && Clock::now() >= *deadline)
            break; // the time-out ends the write with what was sent
        short revents = 0;
        if (!WaitFor(fd_, POLLOUT, deadline, CError_WriteFailed, revents))
            break;
        if (revents & POLLNVAL)
            throw EComPort(CError_WriteFailed, EBADF);
        hungUp = (revents & (POLLHUP | POLLERR)) != 0;
    }
    return written;
}

std::int32_t TPosixComDevice::Read(void* buf, std::int32_t count) {
    if (count < 0 || (count > 0 && buf == nullptr))
        throw EComPort(CError_ReadFailed, EINVAL);
    auto* bytes = static_cast<unsigned char*>(buf);
    const auto& t = timeouts_;
    const auto start = Clock::now();
    // -1 / 0 / 0: whatever is queued, at once.
    const bool queuedOnly =
        t.readInterval == kMaxTimeout && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    // -1 / -1 / c: the first byte, waited for up to c, plus whatever came with it.
    const bool firstByte = t.readInterval == kMaxTimeout && t.readTotalMultiplier == kMaxTimeout &&
                           t.readTotalConstant != 0 && t.readTotalConstant != kMaxTimeout;
    std::optional<Clock::time_point> totalDeadline;
    if (firstByte) {
        totalDeadline = start + std::chrono::milliseconds(t.readTotalConstant);
    } else if (t.readTotalMultiplier != 0 || t.readTotalConstant != 0) {
        const std::uint64_t ms =
            std::uint64_t{t.readTotalMultiplier} * static_cast<std::uint64_t>(count) +
            t.readTotalConstant;
        totalDeadline = start + std::chrono::milliseconds(ms);
    }
    const bool intervalOn = t.readInterval != 0 && t.readInterval != kMaxTimeout;

    std::int32_t got = 0;
    Clock::time_point lastByte = start;
    bool polledReady = false;
    while (got < count) {
        const ssize_t r = ::read(fd_, bytes + got, static_cast<std::size_t>(count - got));
        if (r > 0) {
            got += static_cast<std::int32_t>(r);
            lastByte = Clock::now();
            polledReady = false;
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            throw EComPort(CError_ReadFailed, errno);
        // Nothing queued now. If poll has just said otherwise, the line is gone (a hung-up tty
        // reports POLLIN and its reads return 0): waiting on would only spin.
        if (polledReady)
            throw EComPort(CError_ReadFailed, EIO);
        if (queuedOnly || (firstByte && got > 0))
            break;
        std::optional<Clock::time_point> deadline = totalDeadline;
        if (intervalOn && got > 0) {
            const auto gapEnd = lastByte + std::chrono::milliseconds(t.readInterval);
            deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
        }
        if (deadline && Clock::now() >= *deadline)
            break;
        short revents = 0;
        if (!WaitFor(fd_, POLLIN, deadline, CError_ReadFailed, revents))
            break;
        if (revents & POLLNVAL)
            throw EComPort(CError_ReadFailed, EBADF);
        polledReady = true;
    }
    return got;
}

std::int32_t TPosixComDevice::InputCount() {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0)
        throw EComPort(CError_ClearComFailed, errno);
    return n;
}

TComModemStatus TPosixComDevice::ModemStatus() {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
        // No modem lines (a pseudo-terminal): every signal reads as off.
        if (errno == ENOTTY || errno == EINVAL)
            return {};
        throw EComPort(CError_ModemStatFailed, errno);
    }
    return {(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_CAR) != 0};
}

void TPosixComDevice::Purge() {
    if (::tcflush(fd_, TCIOFLUSH) != 0)
        throw EComPort(CError_PurgeFailed, errno);
}

std::unique_ptr<TComDevice> CreateComDevice() {
    return std::make_unique<TPosixComDevice>();
}

} // namespace tolvar
