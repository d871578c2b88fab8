#include "app/WindowUpload.h"

#include "framework/Application.h"
#include "framework/Thread.h"
#include "framework/WidgetSet.h"

#include <utility>

namespace tolvar {

TUiThreadReporter::~TUiThreadReporter() {
    // A hand-over still queued refers to this object.
    if (IsMainThread()) {
        while (progressPosted_.load(std::memory_order_acquire))
            WidgetSet().ProcessMessages(false);
    } else {
        Settle();
    }
}

void TUiThreadReporter::Settle() {
    if (!IsMainThread())
        RunOnUiThread([this] { ShowPendingProgress(); });
}

void TUiThreadReporter::ThrowIfFailed() {
    if (!failed_.load(std::memory_order_acquire))
        return;
    const std::lock_guard<std::mutex> lock(errorMutex_);
    std::exception_ptr error = std::exchange(error_, nullptr);
    failed_ = false;
    if (error)
        std::rethrow_exception(error);
}

void TUiThreadReporter::OnUiThread(const std::function<void()>& call) {
    ThrowIfFailed();
    // A step the window has not shown yet goes first, so every later report finds the bar
    // where the upload left it.
    RunOnUiThread([&] {
        ShowPendingProgress();
        call();
    });
    ThrowIfFailed();
}

void TUiThreadReporter::Flush() {
    Settle();
    ThrowIfFailed();
}

void TUiThreadReporter::ShowPendingProgress() {
    if (shown_.load(std::memory_order_acquire) != position_.load(std::memory_order_acquire))
        ShowProgress();
}

void TUiThreadReporter::ShowProgress() {
    progressPosted_.store(false, std::memory_order_release);
    if (failed_.load(std::memory_order_acquire))
        return;
    try {
        const int position = position_.load(std::memory_order_acquire);
        shown_.store(position, std::memory_order_release);
        target_.SetProgressPosition(position);
    } catch (...) {
        const std::lock_guard<std::mutex> lock(errorMutex_);
        error_ = std::current_exception();
        failed_.store(true, std::memory_order_release);
    }
}

void TUiThreadReporter::SetProgressPosition(int position) {
    ThrowIfFailed();
    if (IsMainThread()) {
        target_.SetProgressPosition(position);
        return;
    }
    position_.store(position, std::memory_order_release);
    // One hand-over at a time, and no more often than kProgressInterval: a step made meanwhile
    // rides along with the next one. The bar's start always goes; its end goes with the
    // report that follows the last step, or when the reporter settles.
    const auto now = std::chrono::steady_clock::now();
    if (position != 0 && now - lastHandOver_ < kProgressInterval)
        return;
    if (!progressPosted_.exchange(true, std::memory_order_acq_rel)) {
        lastHandOver_ = now;
        WidgetSet().Post([this] { ShowProgress(); });
    }
}

void TUiThreadReporter::SetProgressMax(int maximum) {
    OnUiThread([&] { target_.SetProgressMax(maximum); });
}

void TUiThreadReporter::SetResultText(const std::string& text) {
    OnUiThread([&] { target_.SetResultText(text); });
}

void TUiThreadReporter::ShowAdvice() {
    OnUiThread([&] { target_.ShowAdvice(); });
}

void TUiThreadReporter::AdvanceWizard() {
    OnUiThread([&] { target_.AdvanceWizard(); });
}

void TUiThreadReporter::HideBackAndCancel() {
    OnUiThread([&] { target_.HideBackAndCancel(); });
}

void TUiThreadReporter::ShowAdviceText(const std::string& text) {
    OnUiThread([&] { target_.ShowAdviceText(text); });
}

void TUiThreadReporter::ShowMissingPayload() {
    OnUiThread([&] { target_.ShowMissingPayload(); });
}

} // namespace tolvar
