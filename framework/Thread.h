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
    // Waits for the thread's end. On the main thread the queued synchronised calls keep running
    // meanwhile, so a thread blocked in Synchronize cannot make this wait for ever.
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
