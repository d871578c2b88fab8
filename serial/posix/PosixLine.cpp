#include "serial/posix/PosixLine.h"

#include <algorithm>

namespace tolvar {

namespace {

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

// The fields that LineAttributes decides; everything else stays the driver's.
constexpr tcflag_t kIflags = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                             IXOFF | IXANY | INPCK | IGNPAR;
constexpr tcflag_t kOflags = OPOST;
constexpr tcflag_t kCflags = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CLOCAL | CREAD;
constexpr tcflag_t kLflags = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
constexpr int kChars[] = {VSTART, VSTOP, VMIN, VTIME};

} // namespace

std::optional<TLineAttributes> LineAttributes(const termios& current, const TComLineSettings& s) {
    if (s.outDsrFlow || s.dsrSensitivity || s.discardNull || s.errorCharOn || s.dtrControl > 1 ||
        s.rtsControl > 2 || s.byteSize < 5 || s.byteSize > 8 || s.parity > 4 || s.stopBits > 2 ||
        (s.stopBits == 1 && s.byteSize != 5) || s.baudRate <= 0)
        return std::nullopt;

    TLineAttributes out{current, false};
    termios& t = out.attr;
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
        t.c_cflag |= PARENB | PARODD | CMSPAR; // stick parity: PARODD makes it 1
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

    // A separate input rate left from an earlier custom rate would outlive this one.
    t.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
    const auto speed = TermiosSpeed(s.baudRate);
    if (speed) {
        ::cfsetispeed(&t, *speed);
        ::cfsetospeed(&t, *speed);
    }
    out.customSpeed = !speed;
    return out;
}

bool LineHolds(const termios& asked, const termios& held) {
    if (((asked.c_iflag ^ held.c_iflag) & kIflags) != 0 ||
        ((asked.c_oflag ^ held.c_oflag) & kOflags) != 0 ||
        ((asked.c_cflag ^ held.c_cflag) & kCflags) != 0 ||
        ((asked.c_lflag ^ held.c_lflag) & kLflags) != 0)
        return false;
    return std::all_of(std::begin(kChars), std::end(kChars),
                       [&](int i) { return asked.c_cc[i] == held.c_cc[i]; });
}

std::optional<TComClock::time_point> DeadlineAfter(TComClock::time_point from, std::uint64_t ms) {
    const auto top = TComClock::time_point::max().time_since_epoch();
    const auto since = std::max(from.time_since_epoch(), TComClock::duration::zero());
    const auto room = std::chrono::floor<std::chrono::milliseconds>(top - since).count();
    if (ms > static_cast<std::uint64_t>(room))
        return std::nullopt;
    return from + std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

TReadRule ReadRule(const TComTimeoutValues& t, std::int32_t count) {
    TReadRule rule;
    const std::uint64_t n = count > 0 ? static_cast<std::uint64_t>(count) : 0;
    if (t.readInterval == kMaxTimeout && t.readTotalMultiplier == 0 && t.readTotalConstant == 0) {
        rule.queuedOnly = true;
        return rule;
    }
    if (t.readInterval == kMaxTimeout && t.readTotalMultiplier == kMaxTimeout &&
        t.readTotalConstant != 0 && t.readTotalConstant != kMaxTimeout) {
        // The first byte, waited for up to the constant, plus whatever came with it.
        rule.firstByte = true;
        rule.totalMs = t.readTotalConstant;
        return rule;
    }
    if (t.readTotalMultiplier != 0 || t.readTotalConstant != 0)
        rule.totalMs = std::uint64_t{t.readTotalMultiplier} * n + t.readTotalConstant;
    if (t.readInterval != 0 && t.readInterval != kMaxTimeout)
        rule.intervalMs = t.readInterval;
    return rule;
}

std::optional<TComClock::time_point> ReadDeadline(const TReadRule& rule,
                                                  TComClock::time_point start, std::int32_t got,
                                                  TComClock::time_point lastByte) {
    std::optional<TComClock::time_point> deadline;
    if (rule.totalMs)
        deadline = DeadlineAfter(start, *rule.totalMs);
    if (rule.intervalMs && got > 0) {
        if (const auto gapEnd = DeadlineAfter(lastByte, *rule.intervalMs))
            deadline = deadline ? std::min(*deadline, *gapEnd) : *gapEnd;
    }
    return deadline;
}

std::optional<std::uint64_t> WriteTotalMs(const TComTimeoutValues& t, std::int32_t count) {
    if (t.writeTotalMultiplier == 0 && t.writeTotalConstant == 0)
        return std::nullopt;
    const std::uint64_t n = count > 0 ? static_cast<std::uint64_t>(count) : 0;
    return std::uint64_t{t.writeTotalMultiplier} * n + t.writeTotalConstant;
}

} // namespace tolvar
