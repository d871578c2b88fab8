#pragma once

#include <memory>

namespace tolvar {

class TCustomComPort;

// The event watcher of an open port. Destroying it stops the watcher and waits for its end,
// serving the queued synchronised calls meanwhile, so it never deadlocks with a notification
// that waits for the main thread.
class TComWatcher {
public:
    virtual ~TComWatcher() = default;
};

// Starts the watcher for an open port. Platforms that leave the watcher out return nothing.
std::unique_ptr<TComWatcher> StartComWatcher(TCustomComPort& port);

} // namespace tolvar
