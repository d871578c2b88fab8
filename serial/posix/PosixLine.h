#pragma once

#include "serial/ComDevice.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <termios.h>

namespace tolvar {

// What tcsetattr is given for a port's line settings, built on the device's current attributes.
struct TLineAttributes {
    termios attr;
    // The rate has no termios constant: it is set through SetCustomLineSpeed afterwards.
    bool customSpeed = false;
};

// Nothing when termios cannot carry the settings (DSR flow, DTR handshake, RTS toggle, null
// stripping, error-character replacement, sizes out of range).
std::optional<TLineAttributes> LineAttributes(const termios& current,
                                              const TComLineSettings& settings);

// True when `held` carries every field that LineAttributes sets in `asked`, the speed apart
// (a custom rate reads back in other bits; the caller compares rates in numbers).
bool LineHolds(const termios& asked, const termios& held);

using TComClock = std::chrono::steady_clock;

// `from` plus `ms`, or nothing when the clock cannot hold the sum: a bound that far is none.
std::optional<TComClock::time_point> DeadlineAfter(TComClock::time_point from, std::uint64_t ms);

// The time-out rules of one read.
struct TReadRule {
    bool queuedOnly = false;                 // returns at once with whatever is queued
    bool firstByte = false;                  // returns as soon as anything has arrived
    std::optional<std::uint64_t> totalMs;    // bound of the whole read
    std::optional<std::uint32_t> intervalMs; // bound of a gap once a byte has arrived
};

TReadRule ReadRule(const TComTimeoutValues& timeouts, std::int32_t count);

// When a read that began at `start` ends unless more arrives, with `got` bytes so far, the last
// of them at `lastByte`. Nothing: no bound.
std::optional<TComClock::time_point> ReadDeadline(const TReadRule& rule,
                                                  TComClock::time_point start, std::int32_t got,
                                                  TComClock::time_point lastByte);

// Bound of a write of `count` bytes; nothing when both write values are 0.
std::optional<std::uint64_t> WriteTotalMs(const TComTimeoutValues& timeouts, std::int32_t count);

} // namespace tolvar
