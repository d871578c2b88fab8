#pragma once

namespace tolvar {

// The event watcher of an open port. Destroying it stops the watcher and waits for its end,
// serving the queued synchronised calls meanwhile, so it never deadlocks with a notification
// that waits for the main thread.
class TComWatcher {
public:
    virtual ~TComWatcher() = default;
};

} // namespace tolvar
