#include "framework/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolvar {
namespace {

// Runs a function as its Execute.
class FnThread : public TThread {
public:
    explicit FnThread(std::function<void(FnThread&)> body) : body_(std::move(body)) {}
    ~FnThread() override { WaitFor(); }
    using TThread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(FnThread&)> body_;
};

TEST(Synchronize, CallsRunOnTheMainThreadInOrderAndBlockTheWorker) {
    std::vector<int> order;
    std::atomic<int> returned{0};
    FnThread worker([&](FnThread& self) {
        for (int i = 1; i <= 3; ++i) {
            self.Synchronize([&, i] {
                EXPECT_TRUE(IsMainThread());
                order.push_back(i);
            });
            returned = i;
        }
    });
    EXPECT_TRUE(IsMainThread());
    worker.Start();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (order.size() < 3 && std::chrono::steady_clock::now() < until) {
        CheckSynchronize();
        // The worker never gets past a call that the main thread has not run yet.
        EXPECT_LE(returned.load(), static_cast<int>(order.size()));
        std::this_thread::yield();
    }
    worker.WaitFor();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(worker.Finished());
    EXPECT_FALSE(CheckSynchronize());
}

TEST(Synchronize, WaitForServesTheQueueSoABlockedWorkerCannotDeadlock) {
    bool ran = false;
    FnThread worker([&](FnThread& self) { self.Synchronize([&] { ran = true; }); });
    worker.Start();
    // Nobody pumps the queue here: WaitFor has to, or it would wait for ever.
    worker.WaitFor();
    EXPECT_TRUE(ran);
}

TEST(Synchronize, ExceptionOfACallEndsTheWorkerQuietly) {
    bool after = false;
    FnThread worker([&](FnThread& self) {
        self.Synchronize([] { throw std::runtime_error("in the call"); });
        after = true;
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(after);
    ASSERT_TRUE(worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), std::runtime_error);
}

TEST(Synchronize, OnTheMainThreadACallRunsAtOnceAndTheWakeUpHookHearsOfQueuedOnes) {
    bool ran = false;
    FnThread::Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);

    std::atomic<int> wakeUps{0};
    auto previous = SetSynchronizeWakeUp([&] { ++wakeUps; });
    FnThread worker([](FnThread& self) { self.Synchronize([] {}); });
    worker.Start();
    worker.WaitFor();
    SetSynchronizeWakeUp(previous);
    EXPECT_EQ(wakeUps.load(), 1);
}

// Calls of several threads waiting together run in the order they were queued.
TEST(Synchronize, CallsOfSeveralThreadsRunInTheOrderQueued) {
    constexpr int kThreads = 4;
    std::vector<int> order;
    // A mutex and a condition rather than an atomic's wait, which the MinGW runtime can miss.
    std::mutex mutex;
    std::condition_variable changed;
    int queued = 0;
    auto previous = SetSynchronizeWakeUp([&] {
        const std::lock_guard lock(mutex);
        ++queued;
        changed.notify_all();
    });
    std::vector<std::unique_ptr<FnThread>> workers;
    for (int i = 0; i < kThreads; ++i) {
        workers.push_back(std::make_unique<FnThread>([&order, i](FnThread& self) {
            self.Synchronize([&order, i] { order.push_back(i); });
        }));
        workers.back()->Start();
        // The next thread queues only after this one has.
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return queued == i + 1; });
    }
    EXPECT_TRUE(CheckSynchronize());
    workers.clear();
    SetSynchronizeWakeUp(previous);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

// While the main thread is busy with work of its own, a watcher's call waits: it runs only once a
// thread waits for the watcher's end, or when the hold ends.
TEST(Synchronize, AHoldKeepsCallsWaitingUntilAThreadWaitsForTheCaller) {
    std::mutex mutex;
    std::condition_variable changed;
    int wakeUps = 0;
    auto previous = SetSynchronizeWakeUp([&] {
        const std::lock_guard lock(mutex);
        ++wakeUps;
        changed.notify_all();
    });
    auto waitForWakeUps = [&](int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return wakeUps >= count; });
    };
    auto serveUntil = [](const std::atomic<bool>& flag) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!flag && std::chrono::steady_clock::now() < until) {
            CheckSynchronize();
            std::this_thread::yield();
        }
    };
    std::atomic<bool> ran{false};
    std::atomic<bool> joined{false};
    std::unique_ptr<FnThread> late;
    {
        auto busy = std::make_unique<TSynchronizeHold>();
        FnThread watcher([&](FnThread& self) { self.Synchronize([&] { ran = true; }); });
        watcher.Start();
        ASSERT_TRUE(waitForWakeUps(1));
        EXPECT_FALSE(CheckSynchronize());
        EXPECT_FALSE(ran);
        // The worker closes the port: it waits for the watcher, which needs the main thread.
        std::thread worker([&] {
            watcher.WaitFor();
            joined = true;
        });
        serveUntil(joined);
        EXPECT_TRUE(ran);
        EXPECT_TRUE(joined);
        if (!joined) {
            // Rather than hang on the failure: without the hold the worker gets through.
            busy.reset();
            serveUntil(joined);
            busy = std::make_unique<TSynchronizeHold>();
        }
        worker.join();

        // A call queued later waits again, until the hold ends.
        ran = false;
        late = std::make_unique<FnThread>(
            [&](FnThread& self) { self.Synchronize([&] { ran = true; }); });
        late->Start();
        ASSERT_TRUE(waitForWakeUps(3));
        EXPECT_FALSE(CheckSynchronize());
    }
    // Ending the hold wakes the main thread for the call that waited.
    EXPECT_TRUE(waitForWakeUps(4));
    serveUntil(ran);
    EXPECT_TRUE(ran);
    late.reset();
    SetSynchronizeWakeUp(previous);
}

} // namespace
} // namespace tolvar
