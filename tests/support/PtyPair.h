#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tolvar::test {

// A pseudo-terminal: the test talks through the master, the port object opens the slave path.
class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ptsname(master_);
    }
    ~PtyPair() {
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    // The peer goes away: the slave side is hung up.
    void CloseMaster() {
        close(master_);
        master_ = -1;
    }
    const std::string& SlavePath() const { return slavePath_; }

    // A second descriptor of the slave, held by the test, to look at the line from that side.
    int Slave() {
        if (slave_ < 0)
            slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return slave_;
    }

    void Send(std::string_view bytes) const {
        if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write");
    }

    // Reads up to `count` bytes from the master, waiting at most `timeoutMs` for each chunk.
    std::string Receive(std::size_t count, int timeoutMs = 2000) const {
        std::string out;
        while (out.size() < count) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                break;
            char buf[256];
            const ssize_t n = read(master_, buf, std::min(sizeof buf, count - out.size()));
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace tolvar::test
