#pragma once

#include <cstdint>
#include <string>

// What the POSIX device needs of the kernel beyond POSIX: rates without a termios constant, the
// drivers' low-latency flag and who else holds a device. Supplied by the kernel's folder
// (serial/linux/).
namespace tolvar {

// Sets a rate that has no termios constant; returns 0 or an errno value.
int SetCustomLineSpeed(int fd, std::int32_t bitsPerSecond);

// Reads the input and output rates in bits per second; 0 or an errno value.
int LineSpeeds(int fd, std::uint32_t& input, std::uint32_t& output);

// Asks the driver to pass each received byte on at once; true when this call set the flag
// (so that RestoreLatency clears it again on close).
bool RequestLowLatency(int fd) noexcept;
void RestoreLatency(int fd) noexcept;

// A process other than this one that has the character device (its device number) open, as
// far as this user may look; 0 when none is seen.
int ProcessHoldingDevice(unsigned long long device) noexcept;

// The command name of a process; empty when it cannot be read.
std::string ProcessName(int pid);

} // namespace tolvar
