// The termios settings and the time-out rules of the POSIX binding, as pure functions.
#include "serial/posix/PosixLine.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace tolvar {
namespace {

using namespace std::chrono_literals;
using TP = TComClock::time_point;

// What a terminal holds before we touch it: cooked, 7E1 with hardware flow, odd characters.
termios Cooked() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXANY | IMAXBEL | ISTRIP | IGNPAR | INPCK | BRKINT | IUTF8;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL | CIBAUD;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN | ECHONL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    t.c_cc[VSTART] = 1;
    t.c_cc[VSTOP] = 2;
    t.c_cc[VINTR] = 3;
    cfsetospeed(&t, B2400);
    cfsetispeed(&t, B2400);
    return t;
}

// The controller's line: 115200 8N2, no flow control.
TComLineSettings Program() {
    TComLineSettings s;
    s.baudRate = 115200;
    s.byteSize = 8;
    s.stopBits = 2;
    return s;
}

termios Built(const TComLineSettings& s) {
    const auto a = LineAttributes(Cooked(), s);
    EXPECT_TRUE(a.has_value());
    return a ? a->attr : termios{};
}

TEST(PosixLineAttributes, TheProgramsLineIsRaw8N2WithoutFlowControl) {
    const auto a = LineAttributes(Cooked(), Program());
    ASSERT_TRUE(a);
    const termios& t = a->attr;
    EXPECT_FALSE(a->customSpeed);
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(cfgetispeed(&t), B115200);
    EXPECT_EQ(t.c_cflag & CIBAUD, 0u); // input rate follows the output rate
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | IXANY | ISTRIP | IGNPAR | INPCK | BRKINT), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN | ECHONL), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_TRUE(LineHolds(t, t));
}

TEST(PosixLineAttributes, ParityDataBitsAndStopBits) {
    const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
    const std::vector<tcflag_t> parity{0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                       PARENB | CMSPAR}; // none, odd, even, mark, space
    for (std::uint8_t p = 0; p <= 4; ++p) {
        TComLineSettings s = Program();
        s.parity = p;
        EXPECT_EQ(Built(s).c_cflag & parityBits, parity[p]) << "parity " << int(p);
    }
    const std::vector<tcflag_t> sizes{CS5, CS6, CS7, CS8};
    for (std::uint8_t n = 5; n <= 8; ++n) {
        TComLineSettings s = Program();
        s.byteSize = n;
        s.stopBits = 0;
        const termios t = Built(s);
        EXPECT_EQ(t.c_cflag & CSIZE, sizes[n - 5]) << int(n) << " bits";
        EXPECT_FALSE(t.c_cflag & CSTOPB);
    }
    TComLineSettings s = Program();
    s.byteSize = 5;
    s.stopBits = 1; // one and a half: what a UART sends for CSTOPB with 5 bits
    EXPECT_TRUE(Built(s).c_cflag & CSTOPB);
}

TEST(PosixLineAttributes, FlowControlAndParityCheck) {
    struct Case {
        const char* name;
        void (*set)(TComLineSettings&);
        tcflag_t iflag;
        tcflag_t cflag;
    };
    const Case cases[] = {
        {"none", [](TComLineSettings&) {}, 0, 0},
        {"cts", [](TComLineSettings& s) { s.outCtsFlow = true; }, 0, CRTSCTS},
        {"rts handshake", [](TComLineSettings& s) { s.rtsControl = 2; }, 0, CRTSCTS},
        {"rts on", [](TComLineSettings& s) { s.rtsControl = 1; }, 0, 0},
        {"xon out", [](TComLineSettings& s) { s.outX = true; }, IXON, 0},
        {"xon in", [](TComLineSettings& s) { s.inX = true; }, IXOFF, 0},
        {"check", [](TComLineSettings& s) { s.parityCheck = true; }, INPCK, 0},
    };
    for (const Case& c : cases) {
        TComLineSettings s = Program();
        c.set(s);
        const termios t = Built(s);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | INPCK), c.iflag) << c.name;
        EXPECT_EQ(t.c_cflag & CRTSCTS, c.cflag) << c.name;
    }
    TComLineSettings s = Program();
    s.xonChar = 'q';
    s.xoffChar = 's';
    const termios t = Built(s);
    EXPECT_EQ(t.c_cc[VSTART], 'q');
    EXPECT_EQ(t.c_cc[VSTOP], 's');
}

TEST(PosixLineAttributes, WhatTermiosCannotCarryIsRefused) {
    const std::vector<void (*)(TComLineSettings&)> refused{
        [](TComLineSettings& s) { s.outDsrFlow = true; },
        [](TComLineSettings& s) { s.dsrSensitivity = true; },
        [](TComLineSettings& s) { s.discardNull = true; },
        [](TComLineSettings& s) { s.errorCharOn = true; },
        [](TComLineSettings& s) { s.dtrControl = 2; },
        [](TComLineSettings& s) { s.rtsControl = 3; },
        [](TComLineSettings& s) { s.byteSize = 4; },
        [](TComLineSettings& s) { s.byteSize = 9; },
        [](TComLineSettings& s) { s.parity = 5; },
        [](TComLineSettings& s) { s.stopBits = 3; },
        [](TComLineSettings& s) { s.stopBits = 1; }, // 1.5 needs 5 data bits
        [](TComLineSettings& s) { s.baudRate = 0; },
        [](TComLineSettings& s) { s.baudRate = -9600; },
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        TComLineSettings s = Program();
        refused[i](s);
        EXPECT_FALSE(LineAttributes(Cooked(), s)) << "case " << i;
    }
    // What a pty or a UART does carry.
    TComLineSettings s = Program();
    s.dtrControl = 1;
    s.txContinueOnXoff = true;
    s.eventChar = 'e';
    EXPECT_TRUE(LineAttributes(Cooked(), s));
}

TEST(PosixLineAttributes, ARateWithoutATermiosConstantGoesTheCustomWay) {
    TComLineSettings s = Program();
    s.baudRate = 56000;
    const auto a = LineAttributes(Cooked(), s);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->customSpeed);
    s.baudRate = 9600;
    const auto b = LineAttributes(Cooked(), s);
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->customSpeed);
    EXPECT_EQ(cfgetospeed(&b->attr), B9600);
}

TEST(PosixLineHolds, EveryFieldWeSetIsComparedAndNothingElse) {
    const termios asked = Built(Program());
    struct Flip {
        tcflag_t termios::*field;
        tcflag_t bit;
    };
    const Flip compared[] = {
        {&termios::c_cflag, CS7},    {&termios::c_cflag, CSTOPB}, {&termios::c_cflag, PARENB},
        {&termios::c_cflag, PARODD}, {&termios::c_cflag, CMSPAR}, {&termios::c_cflag, CRTSCTS},
        {&termios::c_cflag, CLOCAL}, {&termios::c_cflag, CREAD},  {&termios::c_iflag, IXON},
        {&termios::c_iflag, IXOFF},  {&termios::c_iflag, IXANY},  {&termios::c_iflag, INPCK},
        {&termios::c_iflag, IGNPAR}, {&termios::c_iflag, ICRNL},  {&termios::c_iflag, ISTRIP},
        {&termios::c_iflag, PARMRK}, {&termios::c_iflag, BRKINT}, {&termios::c_iflag, IGNBRK},
        {&termios::c_iflag, INLCR},  {&termios::c_iflag, IGNCR},  {&termios::c_oflag, OPOST},
        {&termios::c_lflag, ICANON}, {&termios::c_lflag, ECHO},   {&termios::c_lflag, ISIG},
        {&termios::c_lflag, IEXTEN}, {&termios::c_lflag, ECHONL},
    };
    for (const Flip& f : compared) {
        termios held = asked;
        held.*f.field ^= f.bit;
        EXPECT_FALSE(LineHolds(asked, held)) << std::oct << f.bit;
    }
    for (const int c : {VSTART, VSTOP, VMIN, VTIME}) {
        termios held = asked;
        held.c_cc[c] ^= 1;
        EXPECT_FALSE(LineHolds(asked, held)) << "c_cc " << c;
    }
    // What the driver may decide for itself.
    termios held = asked;
    held.c_cflag ^= HUPCL | CIBAUD;
    cfsetospeed(&held, B300);
    held.c_iflag ^= IUTF8 | IMAXBEL;
    held.c_oflag ^= ONLCR;
    held.c_lflag ^= ECHOE;
    held.c_cc[VINTR] ^= 1;
    EXPECT_TRUE(LineHolds(asked, held));
}

TEST(PosixLineHolds, APseudoTerminalDropsParityAndSmallSizes) {
    TComLineSettings s = Program();
    s.byteSize = 7;
    s.parity = 2;
    const termios asked = Built(s);
    termios held = asked; // what a pty makes of it
    held.c_cflag = (held.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
    EXPECT_FALSE(LineHolds(asked, held));
    s.byteSize = 8;
    held = Built(s);
    held.c_cflag &= ~static_cast<tcflag_t>(PARENB);
    EXPECT_FALSE(LineHolds(Built(s), held)); // the size alone was kept
}

TEST(PosixTimeouts, ReadRulesWithSmallFigures) {
    const TP start{100s};
    // The program's values: 30 ms gap, 1000 ms per byte plus 500.
    TReadRule r = ReadRule({30, 1000, 500, 100, 1000}, 1);
    EXPECT_FALSE(r.queuedOnly || r.firstByte);
    EXPECT_EQ(r.totalMs, 1500u);
    EXPECT_EQ(r.intervalMs, 30u);
    EXPECT_EQ(ReadRule({30, 1000, 500, 100, 1000}, 4).totalMs, 4500u);
    EXPECT_EQ(ReadDeadline(r, start, 0, start), start + 1500ms); // no gap before the first byte
    EXPECT_EQ(ReadDeadline(r, start, 1, start + 10ms), start + 40ms);
    EXPECT_EQ(ReadDeadline(r, start, 1, start + 1490ms), start + 1500ms); // the total comes first

    // Gap only: no bound until a byte has arrived.
    r = ReadRule({50, 0, 0, 0, 0}, 8);
    EXPECT_FALSE(r.totalMs);
    EXPECT_EQ(ReadDeadline(r, start, 0, start), std::nullopt);
    EXPECT_EQ(ReadDeadline(r, start, 2, start + 5ms), start + 55ms);

    // Total only, from the multiplier and the count.
    r = ReadRule({0, 10, 100, 0, 0}, 4);
    EXPECT_FALSE(r.intervalMs);
    EXPECT_EQ(ReadDeadline(r, start, 3, start + 120ms), start + 140ms);
    r = ReadRule({0, 10, 0, 0, 0}, 4);
    EXPECT_EQ(r.totalMs, 40u);
    r = ReadRule({0, 0, 100, 0, 0}, 4);
    EXPECT_EQ(r.totalMs, 100u);

    // Nothing set: the read waits for its count.
    r = ReadRule({0, 0, 0, 0, 0}, 4);
    EXPECT_FALSE(r.queuedOnly || r.firstByte || r.totalMs || r.intervalMs);

    // -1 / 0 / 0: whatever is queued, at once.
    r = ReadRule({0xFFFFFFFFu, 0, 0, 0, 0}, 4);
    EXPECT_TRUE(r.queuedOnly);
    EXPECT_FALSE(r.firstByte);
    EXPECT_FALSE(ReadRule({0xFFFFFFFFu, 0, 1, 0, 0}, 4).queuedOnly);
    EXPECT_FALSE(ReadRule({0xFFFFFFFFu, 1, 0, 0, 0}, 4).queuedOnly);

    // -1 / -1 / c: the first byte, waited for up to c; no gap rule.
    r = ReadRule({0xFFFFFFFFu, 0xFFFFFFFFu, 200, 0, 0}, 4);
    EXPECT_TRUE(r.firstByte);
    EXPECT_FALSE(r.queuedOnly);
    EXPECT_EQ(r.totalMs, 200u);
    EXPECT_FALSE(r.intervalMs);
    EXPECT_FALSE(ReadRule({0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0, 0}, 4).firstByte);
    EXPECT_FALSE(ReadRule({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0}, 4).firstByte);
    EXPECT_FALSE(ReadRule({30, 0xFFFFFFFFu, 200, 0, 0}, 4).firstByte);
    // A gap of -1 outside those two cases is no gap bound.
    EXPECT_FALSE(ReadRule({0xFFFFFFFFu, 10, 0, 0, 0}, 4).intervalMs);
}

TEST(PosixTimeouts, WriteRule) {
    EXPECT_EQ(WriteTotalMs({0, 0, 0, 100, 1000}, 12), 2200u);
    EXPECT_EQ(WriteTotalMs({0, 0, 0, 100, 1000}, 76), 8600u);
    EXPECT_EQ(WriteTotalMs({0, 0, 0, 0, 200}, 12), 200u);
    EXPECT_EQ(WriteTotalMs({0, 0, 0, 7, 0}, 3), 21u);
    EXPECT_EQ(WriteTotalMs({0, 0, 0, 0, 0}, 12), std::nullopt);
}

TEST(PosixTimeouts, TotalsBeyondTheClockAreNoDeadline) {
    const TP now = TComClock::now();
    const TReadRule r = ReadRule({0, 0xFFFFFFFFu, 0, 0, 0}, 5000);
    EXPECT_EQ(r.totalMs, std::uint64_t{0xFFFFFFFFu} * 5000);
    EXPECT_EQ(ReadDeadline(r, now, 0, now), std::nullopt);
    const TReadRule gap = ReadRule({0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0}, 0x7FFFFFFF);
    EXPECT_EQ(ReadDeadline(gap, now, 1, now), now + std::chrono::milliseconds(0xFFFFFFFEu));

    const auto most = WriteTotalMs({0, 0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu}, 0x7FFFFFFF);
    EXPECT_EQ(most, std::uint64_t{0xFFFFFFFFu} * 0x7FFFFFFF + 0xFFFFFFFFu);
    EXPECT_EQ(DeadlineAfter(now, *most), std::nullopt);
    EXPECT_EQ(DeadlineAfter(now, std::numeric_limits<std::uint64_t>::max()), std::nullopt);

    // Right at the clock's end.
    const TP top = TP::max();
    EXPECT_EQ(DeadlineAfter(top - 5ms, 5), top);
    EXPECT_EQ(DeadlineAfter(top - 5ms, 6), std::nullopt);
    EXPECT_EQ(DeadlineAfter(top, 0), top);
    EXPECT_EQ(DeadlineAfter(TP{}, 0), TP{});
    EXPECT_EQ(DeadlineAfter(TP{1s}, 250), TP{1250ms});
}

} // namespace
} // namespace tolvar
