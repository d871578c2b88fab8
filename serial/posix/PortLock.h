#pragma once

#include <string>

namespace tolvar {

// The lock-file convention of serial programs: LCK..<device name> in the lock folder, holding
// the owner's PID as ten ASCII columns and a line feed.
class TPortLock {
public:
    enum class Result { Taken, Held, Unavailable };

    TPortLock() = default;
    ~TPortLock() { Release(); }
    TPortLock(const TPortLock&) = delete;
    TPortLock& operator=(const TPortLock&) = delete;

    // Takes the lock of a device path. Held: a living process owns it (its PID in heldBy).
    // Unavailable: the folder cannot be written; the port goes on without a lock file. A lock
    // of a process that is gone is removed first.
    Result Take(const std::string& devicePath);
    // Removes our lock file, if we made one.
    void Release() noexcept;

    int HeldBy() const { return heldBy_; }

private:
    std::string path_; // our lock file while we hold it
    int heldBy_ = 0;
};

// The lock file of a device path.
std::string PortLockPath(const std::string& devicePath);

// The PID a lock file names when that process is alive; 0 otherwise.
int LivingLockOwner(const std::string& lockPath);

// The folder of the lock files: /run/lock unless replaced (tests). An empty text restores it.
void SetPortLockFolder(const std::string& folder);
const std::string& PortLockFolder();

} // namespace tolvar
