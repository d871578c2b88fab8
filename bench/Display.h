#pragma once

// What the benchmark needs of a real display: an X server of its own, start-up timed from the
// exec to the first paint of the program's window, and the CPU time of other processes.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tolvar::bench {

// An Xvfb started for the benchmark, stopped with it. Its root is black, so that the first
// pixels a window shows are its own.
class Xvfb {
public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    // ":N", or empty when no server could be started (no Xvfb installed).
    const std::string& Display() const { return display_; }
    pid_t Pid() const { return pid_; }

private:
    std::string display_;
    pid_t pid_ = -1;
};

// CPU time (user + system) a process has used so far, children that it waited for included;
// 0 when it is gone.
double ProcessCpuSeconds(pid_t pid);
// The Wine server of a prefix, or -1.
pid_t FindWineServer(const std::string& prefix);

struct Exec {
    std::vector<std::string> argv;
    std::vector<std::string> env; // NAME=value, added to the benchmark's own environment
};

// Runs the program and waits on the display for its first top-level window to be mapped and
// show its first pixels; then ends the program. Seconds from the exec, negative when no window
// was painted within the time-out.
double TimeToFirstPaint(const std::string& display, const Exec& program, double timeout = 20);

// Starts a program in the background with its standard output going to a file.
pid_t StartWithOutput(const Exec& program, const std::string& outFile);

// Runs a program to its end and returns what it printed on its standard output; the CPU time
// of the program (its waited-for children included) in cpu.
std::string RunForOutput(const Exec& program, double& cpu);

} // namespace tolvar::bench
