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

// Counts the calls of the wake-up hook while it lives. A mutex and a condition rather than an
// atomic's wait, which the MinGW runtime can miss.
class WakeUpCounter {
public:
    WakeUpCounter()
        : previous_(SetSynchronizeWakeUp([this] {
              const std::lock_guard lock(mutex_);
              ++count_;
              changed_.notify_all();
          })) {}
    ~WakeUpCounter() { SetSynchronizeWakeUp(previous_); }
    WakeUpCounter(const WakeUpCounter&) = delete;
    WakeUpCounter& operator=(const WakeUpCounter&) = delete;
    // Whether the hook has been called `count` times, within ten seconds.
    bool Reached(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
    std::function<void()> previous_;
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
    auto queued = std::make_unique<WakeUpCounter>();
    std::vector<std::unique_ptr<FnThread>> workers;
    for (int i = 0; i < kThreads; ++i) {
        workers.push_back(std::make_unique<FnThread>([&order, i](FnThread& self) {
            self.Synchronize([&order, i] { order.push_back(i); });
        }));
        workers.back()->Start();
        // The next thread queues only after this one has.
        ASSERT_TRUE(queued->Reached(i + 1));
    }
    EXPECT_TRUE(CheckSynchronize());
    workers.clear();
    queued.reset();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

// While the main thread is busy with work of its own, a watcher's call waits: it runs only once a
// thread waits for the watcher's end, or when the hold ends.
TEST(Synchronize, AHoldKeepsCallsWaitingUntilAThreadWaitsForTheCaller) {
    WakeUpCounter wakeUps;
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
        ASSERT_TRUE(wakeUps.Reached(1));
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
        ASSERT_TRUE(wakeUps.Reached(3));
        EXPECT_FALSE(CheckSynchronize());
    }
    // Ending the hold wakes the main thread for the call that waited.
    EXPECT_TRUE(wakeUps.Reached(4));
    serveUntil(ran);
    EXPECT_TRUE(ran);
    late.reset();
}

} // namespace
} // namespace tolvar
