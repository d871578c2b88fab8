#pragma once

#include "update/Upload.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>

namespace tolvar {

// Carries the upload's reports from its worker thread to the UI thread. Progress steps do not
// wait for the window: the latest position is handed over and the window shows it when it gets
// to it, at most about twenty times a second, skipping the steps in between. Every other report
// (result text, advice, page change, hidden buttons, the missing-payload box) waits until it has
// been carried out, after the progress handed over before it, so the order against the window's
// state stays as it is. An exception raised by a report on the UI thread is raised again in the
// worker, at the next report at the latest.
class TUiThreadReporter final : public UploadReporter {
public:
    // Steps of a few pixels at line speed: smooth enough for a bar that fills in six seconds.
    // Each hand-over wakes the window thread and repaints the bar and the group box behind it;
    // at thirty a second that cost the transfer measurably (its wake-ups then wait for a core).
    static constexpr std::chrono::milliseconds kProgressInterval{50};

    explicit TUiThreadReporter(UploadReporter& target) : target_(target) {}
    // Waits for progress still on its way.
    ~TUiThreadReporter() override;
    TUiThreadReporter(const TUiThreadReporter&) = delete;
    TUiThreadReporter& operator=(const TUiThreadReporter&) = delete;

    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetResultText(const std::string& text) override;
    void ShowAdvice() override;
    void AdvanceWizard() override;
    void HideBackAndCancel() override;
    void ShowMissingPayload() override;
    void ShowAdviceText(const std::string& text) override;

    // Waits until the window has carried out every report handed over so far; raises what a
    // report raised there.
    void Flush();
    // The same without raising: for the way out of a failed upload.
    void Settle();

private:
    void OnUiThread(const std::function<void()>& call);
    void ThrowIfFailed();
    // On the UI thread: shows the latest position handed over.
    void ShowProgress();
    // The same, unless the window shows it already.
    void ShowPendingProgress();

    UploadReporter& target_;
    std::atomic<int> position_{0};
    std::atomic<int> shown_{0};
    std::chrono::steady_clock::time_point lastHandOver_{};
    std::atomic<bool> progressPosted_{false};
    std::atomic<bool> failed_{false};
    std::mutex errorMutex_;
    std::exception_ptr error_;
};

} // namespace tolvar
