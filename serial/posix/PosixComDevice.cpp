#include "serial/posix/PosixComDevice.h"

#include "serial/EComPort.h"
#include "serial/Platform.h"
#include "serial/posix/PosixKernel.h"
#include "serial/posix/PosixLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tolvar {

namespace {

using Clock = TComClock;

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

int TPosixComDevice::ClaimAgainstOthers(int fd, const std::string& path) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && ProcessHoldingDevice(st.st_rdev) != 0)
        return EBUSY;
    return lock_.Take(path) == TPortLock::Result::Held ? EBUSY : 0;
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
    // Claims made after another program opened the device do not stop that program: it would
    // read the controller's replies too. Refuse such a port, and one that a lock file names.
    if (const int err = ClaimAgainstOthers(fd, path); err != 0) {
        ::close(fd);
        throw EComPort(CError_OpenFailed, err);
    }
    // The driver raises DTR and RTS on open; the line starts with both inactive.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
        const int err = errno;
        lock_.Release();
        ::close(fd);
        throw EComPort(CError_OpenFailed, err);
    }
    fd_ = fd;
    // A driver or a pseudo-terminal without low latency, or a user who may not change it,
    // leaves the port as it was; a flag that was already set stays set on close.
    clearLowLatency_ = RequestLowLatency(fd_);
}

void TPosixComDevice::Close() noexcept {
    if (fd_ < 0)
        return;
    if (clearLowLatency_)
        RestoreLatency(fd_);
    clearLowLatency_ = false;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also drops the flock
    fd_ = -1;
    lock_.Release();
}

void TPosixComDevice::SetQueueSizes(std::int32_t input, std::int32_t output) {
    // The kernel's tty queues have a fixed size; the sizes are only a recommendation.
    if (input < 0 || output < 0)
        throw EComPort(CError_SetupComFailed, EINVAL);
}

void TPosixComDevice::SetLine(const TComLineSettings& s) {
    termios current{};
    if (::tcgetattr(fd_, &current) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    // Settings that termios cannot carry are refused rather than silently dropped.
    const auto wanted = LineAttributes(current, s);
    if (!wanted)
        throw EComPort(CError_SetStateFailed, EINVAL);
    if (::tcsetattr(fd_, TCSANOW, &wanted->attr) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    if (wanted->customSpeed) {
        if (const int err = SetCustomLineSpeed(fd_, s.baudRate); err != 0)
            throw EComPort(CError_SetStateFailed, err);
    }

    // tcsetattr succeeds when any part was taken: what the device holds decides.
    termios held{};
    if (::tcgetattr(fd_, &held) != 0)
        throw EComPort(CError_SetStateFailed, errno);
    std::uint32_t input = 0;
    std::uint32_t output = 0;
    if (const int err = LineSpeeds(fd_, input, output); err != 0)
        throw EComPort(CError_SetStateFailed, err);
    const auto rate = static_cast<std::uint32_t>(s.baudRate);
    if (!LineHolds(wanted->attr, held) || input != rate || output != rate)
        throw EComPort(CError_SetStateFailed, EINVAL);

    SetModemLine(TIOCM_DTR, s.dtrControl == 1);
    if (s.rtsControl != 2) // with handshake the driver drives RTS
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
    std::optional<Clock::time_point> deadline;
    if (const auto total = WriteTotalMs(timeouts_, count))
        deadline = DeadlineAfter(Clock::now(), *total);
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
    const TReadRule rule = ReadRule(timeouts_, count);
    const auto start = Clock::now();
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
        if (rule.queuedOnly || (rule.firstByte && got > 0))
            break;
        const auto deadline = ReadDeadline(rule, start, got, lastByte);
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
    // A device that hung up (an adapter pulled out, the far end of a pseudo-terminal gone) has
    // no queues left and answers EIO: nothing to discard, and Close must still release it.
    if (::tcflush(fd_, TCIOFLUSH) != 0 && errno != EIO)
        throw EComPort(CError_PurgeFailed, errno);
}

void TPosixComDevice::PurgeInput() {
    if (::tcflush(fd_, TCIFLUSH) != 0)
        throw EComPort(CError_PurgeFailed, errno);
}

std::string PortDeviceKey(const std::string& portName) {
    return portName.empty() ? std::string() : PosixDevicePath(portName);
}

std::unique_ptr<TComDevice> CreateComDevice() {
    return std::make_unique<TPosixComDevice>();
}

} // namespace tolvar
