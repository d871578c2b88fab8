// The path between the upload's worker thread and the window, over a recording widget set.
#include "app/WindowUpload.h"
#include "framework/Application.h"
#include "framework/Thread.h"
#include "tests/support/FakeWidgetSet.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace tolvar;
using tolvar::test::FakeWidgetSet;

namespace {

// Records the reports in the order the window carries them out, on which thread.
class Recorder : public NullUploadReporter {
public:
    std::vector<std::string> log;
    int failAt = -1;
    bool offUiThread = false;
    void SetProgressPosition(int position) override {
        Check();
        if (position == failAt)
            throw Exception("report failed");
        log.push_back(std::to_string(position));
    }
    void SetProgressMax(int maximum) override {
        Check();
        log.push_back("max " + std::to_string(maximum));
    }
    void SetResultText(const std::string& text) override {
        Check();
        log.push_back(text);
    }
    void AdvanceWizard() override {
        Check();
        log.push_back("next page");
    }
    void HideBackAndCancel() override {
        Check();
        log.push_back("hide");
    }

private:
    void Check() { offUiThread = offUiThread || std::this_thread::get_id() != ui_; }
    std::thread::id ui_ = std::this_thread::get_id();
};

class WindowPath : public testing::Test {
protected:
    FakeWidgetSet set_;
    Recorder recorder_;
};

TEST_F(WindowPath, ReportsKeepTheirOrderAndProgressEndsOnItsLastStep) {
    RunBesideTheWindow([&] {
        TUiThreadReporter reporter(recorder_);
        reporter.SetProgressMax(836);
        for (int i = 1; i <= 836; ++i)
            reporter.SetProgressPosition(i);
        reporter.SetResultText("done");
        reporter.AdvanceWizard();
        reporter.Flush();
    });
    EXPECT_FALSE(recorder_.offUiThread);
    ASSERT_GE(recorder_.log.size(), 4u);
    EXPECT_EQ(recorder_.log.front(), "max 836");
    const std::vector<std::string> tail(recorder_.log.end() - 3, recorder_.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"836", "done", "next page"}));
    // Steps may be skipped, never reordered.
    int last = 0;
    for (std::size_t i = 1; i + 2 < recorder_.log.size(); ++i) {
        const int step = std::stoi(recorder_.log[i]);
        EXPECT_GT(step, last);
        last = step;
    }
    EXPECT_EQ(set_.inputBlocked, (std::vector<bool>{true, false}));
    EXPECT_EQ(set_.drains, 1);
}

// A step the window has not shown yet (made inside the interval, so not handed over on its own)
// reaches the window before the report that follows it.
TEST_F(WindowPath, ReportsFindTheBarWhereTheUploadLeftIt) {
    RunBesideTheWindow([&] {
        TUiThreadReporter reporter(recorder_);
        reporter.SetProgressPosition(1);
        reporter.Flush();
        reporter.SetProgressPosition(2);
        reporter.SetResultText("done");
        reporter.SetProgressPosition(3);
        reporter.AdvanceWizard();
        reporter.SetProgressPosition(4);
        reporter.HideBackAndCancel();
        reporter.Flush();
    });
    EXPECT_EQ(recorder_.log,
              (std::vector<std::string>{"1", "2", "done", "3", "next page", "4", "hide"}));
}

// The worker hands a progress step over and goes on: here the window carries the first step
// out only once the worker has made all of them.
TEST_F(WindowPath, ProgressNeverWaitsForTheWindow) {
    std::mutex mutex;
    std::condition_variable cv;
    bool workerDone = false;
    bool waited = false;
    struct Blocking : NullUploadReporter {
        std::function<void()> onStep;
        void SetProgressPosition(int) override { onStep(); }
    } target;
    target.onStep = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, std::chrono::seconds(10), [&] { return workerDone; }))
            waited = true; // the worker was stuck behind the window
    };
    RunBesideTheWindow([&] {
        TUiThreadReporter reporter(target);
        for (int i = 1; i <= 100; ++i)
            reporter.SetProgressPosition(i);
        {
            const std::lock_guard<std::mutex> lock(mutex);
            workerDone = true;
        }
        cv.notify_all();
        reporter.Flush();
    });
    EXPECT_FALSE(waited);
}

// Each hand-over wakes the window thread and repaints, so steps made faster than that go over
// once an interval, the latest then made; the last goes with the flush.
TEST_F(WindowPath, StepsGoOverOnceAnIntervalAtMost) {
    using Clock = std::chrono::steady_clock;
    Clock::duration took{};
    RunBesideTheWindow([&] {
        TUiThreadReporter reporter(recorder_);
        const auto start = Clock::now();
        for (int i = 1; i <= 400; ++i) {
            reporter.SetProgressPosition(i);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        took = Clock::now() - start;
        reporter.Flush();
    });
    const auto intervals = took / TUiThreadReporter::kProgressInterval;
    EXPECT_LE(recorder_.log.size(), static_cast<std::size_t>(intervals) + 2);
    ASSERT_FALSE(recorder_.log.empty());
    EXPECT_EQ(recorder_.log.back(), "400");
}

TEST_F(WindowPath, AReportThatThrowsOnTheWindowThreadEndsTheWork) {
    recorder_.failAt = 3;
    int reached = 0;
    try {
        RunBesideTheWindow([&] {
            TUiThreadReporter reporter(recorder_);
            for (int i = 1; i <= 50; ++i) {
                reached = i;
                reporter.SetProgressPosition(i);
                reporter.Flush(); // lets the window catch up before the next step
            }
        });
        ADD_FAILURE() << "the report's exception did not come back";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "report failed");
    }
    EXPECT_EQ(reached, 3);
    EXPECT_EQ(recorder_.log, (std::vector<std::string>{"1", "2"}));

    // Without waiting, it comes back at the next report at the latest.
    recorder_.log.clear();
    recorder_.failAt = 1;
    EXPECT_THROW(RunBesideTheWindow([&] {
                     TUiThreadReporter reporter(recorder_);
                     reporter.SetProgressPosition(1);
                     std::this_thread::sleep_for(std::chrono::milliseconds(50));
                     reporter.SetResultText("never shown");
                 }),
                 Exception);
    EXPECT_TRUE(recorder_.log.empty());
}

TEST_F(WindowPath, AnExceptionFromTheWorkComesBackAfterTheInputIsDrained) {
    EXPECT_THROW(RunBesideTheWindow([] { throw Exception("port failed"); }), Exception);
    EXPECT_EQ(set_.drains, 1);
    EXPECT_EQ(set_.inputBlocked, (std::vector<bool>{true, false}));
    // Lifted for a box that needs the user, and back afterwards.
    set_.inputBlocked.clear();
    RunBesideTheWindow([] { RunOnUiThread([] { const TInputUnblock answerable; }); });
    EXPECT_EQ(set_.inputBlocked, (std::vector<bool>{true, false, true, false}));
}

// A port's event watcher hands its notifications to the window thread. While the upload runs
// beside the window they wait, as they would for a window thread doing the upload itself; the
// port's Close (waiting for the watcher's end) lets them through.
TEST_F(WindowPath, AWatchersCallsWaitWhileTheWorkRunsUntilTheWorkWaitsForIt) {
    auto previous = SetSynchronizeWakeUp([this] { set_.Post([] { CheckSynchronize(); }); });
    class Watcher : public TThread {
    public:
        std::atomic<bool> queued{false};
        std::atomic<bool> ran{false};

    protected:
        void Execute() override {
            queued = true;
            Synchronize([this] { ran = true; });
        }
    } watcher;
    bool ranDuringWork = true;
    RunBesideTheWindow([&] {
        watcher.Start();
        while (!watcher.queued)
            std::this_thread::yield();
        // Time for the window thread to serve it, were it allowed to.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ranDuringWork = watcher.ran;
        watcher.WaitFor();
    });
    SetSynchronizeWakeUp(previous);
    EXPECT_FALSE(ranDuringWork);
    EXPECT_TRUE(watcher.ran);
}

} // namespace
