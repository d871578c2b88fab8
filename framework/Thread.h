#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace tolvar {

// The thread that the program's objects live on: the one that started the program.
bool IsMainThread();

// Runs the synchronised calls that other threads have queued, in the order they were queued,
// on the calling (main) thread. Returns true if it ran any. The window side calls it when it is
// told that a call waits (SetSynchronizeWakeUp), or whenever it is idle.
bool CheckSynchronize();

// Called on the queuing thread each time a call is queued, so the window side can schedule a
// CheckSynchronize on the main thread. Returns the previous hook.
std::function<void()> SetSynchronizeWakeUp(std::function<void()> wakeUp);

// While one lives, the main thread counts as busy with work of its own (work that runs on a
// helper thread meanwhile, the window kept alive): other threads' synchronised calls wait, as
// they would for a main thread that did the work itself, until a thread waits for another's end
// (WaitFor) or the hold ends. So a port's event watcher sleeps in its first call through an
// upload instead of waking the main thread for every byte on the line.
class TSynchronizeHold {
public:
    TSynchronizeHold();
    // Wakes the main thread for the calls that waited.
    ~TSynchronizeHold();
    TSynchronizeHold(const TSynchronizeHold&) = delete;
    TSynchronizeHold& operator=(const TSynchronizeHold&) = delete;
};

// A worker thread, created suspended. Execute runs on it; Synchronize hands a call to the main
// thread and blocks until it has run there. An exception that leaves Execute ends the thread
// quietly and is kept in FatalException.
class TThread {
public:
    TThread() = default;
    // Waits for the end of a started thread.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Lets a suspended thread run (once).
    void Start();
    // Waits for the thread's end. The queued synchronised calls keep running meanwhile (on the
    // main thread, whatever holds them otherwise), so a thread blocked in Synchronize cannot
    // make this wait for ever.
    void WaitFor();
    bool Finished() const;
    std::exception_ptr FatalException() const { return fatal_; }

protected:
    virtual void Execute() = 0;
    // Runs `call` on the main thread and returns when it has run there; an exception from the
    // call is raised again here. On the main thread itself the call runs at once.
    static void Synchronize(const std::function<void()>& call);

private:
    void Run();

    std::thread thread_;
    bool finished_ = false; // guarded by the queue's mutex
    std::exception_ptr fatal_;
};

} // namespace tolvar
