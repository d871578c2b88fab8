#pragma once

#include <cstdint>

// What the POSIX device needs of the kernel beyond POSIX: rates without a termios constant and
// the drivers' low-latency flag. Supplied by the kernel's folder (serial/linux/).
namespace tolvar {

// Sets a rate that has no termios constant; returns 0 or an errno value.
int SetCustomLineSpeed(int fd, std::int32_t bitsPerSecond);

// Reads the input and output rates in bits per second; 0 or an errno value.
int LineSpeeds(int fd, std::uint32_t& input, std::uint32_t& output);

// Asks the driver to pass each received byte on at once; true when this call set the flag
// (so that RestoreLatency clears it again on close).
bool RequestLowLatency(int fd) noexcept;
void RestoreLatency(int fd) noexcept;

} // namespace tolvar
