#pragma once

#include <vector>

// Linked into a test program, this answers the modem-line requests for pseudo-terminals (which
// have no modem lines) from one line state, records them, and makes chosen calls fail.
namespace tolvar::test {

struct ModemCall {
    unsigned long request;
    int bits;
};

struct LineShim {
    int lines = 0; // TIOCM_* bits of every pseudo-terminal
    std::vector<ModemCall> calls;
    unsigned long failRequest = 0; // a modem request that fails with failErrno
    int failErrno = 0;
    // The next calls on this descriptor fail with EINTR, that many of each.
    int eintrFd = -1;
    int eintrReads = 0;
    int eintrWrites = 0;
    int eintrPolls = 0;
    int earlyPolls = 0; // polls on eintrFd that report nothing at once, as an early wake-up
    // A serial driver's flags behind TIOCGSERIAL/TIOCSSERIAL for pseudo-terminals (which have
    // none) while `serial` is on; the calls are recorded with the flags they carry.
    bool serial = false;
    int serialFlags = 0;
    int serialGetErrno = 0;   // TIOCGSERIAL fails with this, as on a driver without it
    int serialSetErrno = 0;   // TIOCSSERIAL fails with this, as for a user who may not
    std::vector<int> flushes; // the queue selector of every tcflush on a pseudo-terminal
};

LineShim& Shim();

} // namespace tolvar::test
