#include "serial/Platform.h"

namespace tolvar {

// Readiness here is level-triggered: a watcher that must not consume data would spin while a
// reply waits to be read, and nothing in the program listens to it anyway.
std::unique_ptr<TComWatcher> StartComWatcher(TCustomComPort&) {
    return nullptr;
}

} // namespace tolvar
