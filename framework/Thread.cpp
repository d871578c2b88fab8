#include "framework/Thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace tolvar {

namespace {

const std::thread::id g_mainThread = std::this_thread::get_id();

struct QueuedCall {
    const std::function<void()>* call = nullptr;
    bool done = false;
    std::exception_ptr error;
};

// One queue for the program. `changed` wakes the main thread (a call queued, a thread ended);
// `served` wakes the threads waiting for their calls.
struct SyncQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::condition_variable served;
    std::deque<QueuedCall*> calls;
    std::function<void()> wakeUp;
    int holds = 0;   // TSynchronizeHold objects alive
    int waiters = 0; // threads in WaitFor, which lift the holds
};

SyncQueue& Queue() {
    static SyncQueue q;
    return q;
}

} // namespace

bool IsMainThread() {
    return std::this_thread::get_id() == g_mainThread;
}

std::function<void()> SetSynchronizeWakeUp(std::function<void()> wakeUp) {
    auto& q = Queue();
    std::lock_guard lock(q.mutex);
    std::swap(q.wakeUp, wakeUp);
    return wakeUp;
}

namespace {

// Wakes the main thread if calls wait; `change` runs under the queue's lock first.
void ChangeHoldAndWake(const std::function<void(SyncQueue&)>& change) {
    auto& q = Queue();
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(q.mutex);
        change(q);
        if (!q.calls.empty())
            wakeUp = q.wakeUp;
    }
    q.changed.notify_all();
    if (wakeUp)
        wakeUp();
}

} // namespace

TSynchronizeHold::TSynchronizeHold() {
    std::lock_guard lock(Queue().mutex);
    ++Queue().holds;
}

TSynchronizeHold::~TSynchronizeHold() {
    ChangeHoldAndWake([](SyncQueue& q) { --q.holds; });
}

bool CheckSynchronize() {
    auto& q = Queue();
    bool ran = false;
    for (;;) {
        QueuedCall* entry = nullptr;
        {
            std::lock_guard lock(q.mutex);
            if (q.calls.empty() || (q.holds > 0 && q.waiters == 0))
                return ran;
            entry = q.calls.front();
            q.calls.pop_front();
        }
        std::exception_ptr error;
        try {
            (*entry->call)();
        } catch (...) {
            error = std::current_exception();
        }
        ran = true;
        {
            std::lock_guard lock(q.mutex);
            entry->error = error;
            entry->done = true;
        }
        q.served.notify_all();
    }
}

void TThread::Synchronize(const std::function<void()>& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    auto& q = Queue();
    QueuedCall entry;
    entry.call = &call;
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(q.mutex);
        q.calls.push_back(&entry);
        wakeUp = q.wakeUp;
    }
    q.changed.notify_all();
    if (wakeUp)
        wakeUp();
    std::unique_lock lock(q.mutex);
    q.served.wait(lock, [&] { return entry.done; });
    if (entry.error)
        std::rethrow_exception(entry.error);
}

TThread::~TThread() {
    if (thread_.joinable())
        WaitFor();
}

void TThread::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
    }
    auto& q = Queue();
    {
        std::lock_guard lock(q.mutex);
        finished_ = true;
    }
    q.changed.notify_all();
}

bool TThread::Finished() const {
    std::lock_guard lock(Queue().mutex);
    return finished_;
}

void TThread::WaitFor() {
    if (!thread_.joinable())
        return;
    auto& q = Queue();
    if (IsMainThread()) {
        std::lock_guard lock(q.mutex);
        ++q.waiters;
    } else {
        // The main thread may be holding the calls: it has to look again.
        ChangeHoldAndWake([](SyncQueue& queue) { ++queue.waiters; });
    }
    if (IsMainThread()) {
        for (;;) {
            {
                std::unique_lock lock(q.mutex);
                q.changed.wait(lock, [&] { return finished_ || !q.calls.empty(); });
                if (finished_)
                    break;
            }
            CheckSynchronize();
        }
    }
    thread_.join();
    std::lock_guard lock(q.mutex);
    --q.waiters;
}

} // namespace tolvar
