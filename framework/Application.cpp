#include "framework/Application.h"

#include "framework/Exception.h"
#include "framework/FrameworkTexts.h"
#include "framework/MessageBoxes.h"
#include "framework/Thread.h"
#include "framework/WidgetSet.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tolvar {

namespace {

std::string& TitleStorage() {
    static std::string title;
    return title;
}

// Whether RunBesideTheWindow holds the input block now (UI thread only).
bool& InputBlocked() {
    static bool blocked = false;
    return blocked;
}

} // namespace

const std::string& ApplicationTitle() {
    return TitleStorage();
}

void SetApplicationTitle(std::string title) {
    TitleStorage() = std::move(title);
}

std::string ExceptionDisplayText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

void ShowException(const std::exception_ptr& error) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return;
    } catch (const Exception& e) {
        message = e.Message();
    } catch (...) {
        // Not one of ours: shown with an empty message.
    }
    TMessageRequest request;
    request.caption = ApplicationTitle();
    request.text = ExceptionDisplayText(message);
    request.icon = TMsgIcon::Error;
    request.buttons = {{FrameworkText(kSMsgDlgOK), mrOk}};
    request.defaultResult = mrOk;
    request.escapeResult = mrOk;
    MessageBoxes().Show(request);
}

void HandleException() {
    try {
        ShowException(std::current_exception());
    } catch (...) {
        // A failing display must not take the message loop down with it.
    }
}

namespace {

// Holds the input block of RunBesideTheWindow and lifts it on every way out, also when the
// worker cannot be started, so the window can always be closed afterwards.
class TInputBlock {
public:
    explicit TInputBlock(TWidgetSet& ws) : ws_(ws), was_(InputBlocked()) {
        InputBlocked() = true;
        ws_.SetInputBlocked(true);
    }
    ~TInputBlock() {
        InputBlocked() = was_;
        ws_.SetInputBlocked(was_);
    }
    TInputBlock(const TInputBlock&) = delete;
    TInputBlock& operator=(const TInputBlock&) = delete;

private:
    TWidgetSet& ws_;
    bool was_;
};

} // namespace

void RunBesideTheWindow(const std::function<void()>& work) {
    TWidgetSet& ws = WidgetSet();
    std::exception_ptr error;
    std::atomic<bool> done{false};
    {
        const TInputBlock block(ws);
        const TSynchronizeHold busy;
        std::thread worker([&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
            // Wakes the loop below.
            ws.Post([] {});
        });
        while (!done)
            ws.ProcessMessages(true);
        worker.join();
        // Input made during the work must not act afterwards either (a click on Cancel's place
        // would land on Finish): drop what is still queued while the block stands.
        ws.DrainInput();
    }
    if (error)
        std::rethrow_exception(error);
}

void RunOnUiThread(const std::function<void()>& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool finished = false;
    std::exception_ptr error;
    WidgetSet().Post([&] {
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        ran.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    ran.wait(lock, [&] { return finished; });
    if (error)
        std::rethrow_exception(error);
}

TSessionHold::TSessionHold(const std::string& reason) {
    WidgetSet().HoldSession(true, reason);
}

TSessionHold::~TSessionHold() {
    WidgetSet().HoldSession(false, {});
}

TInputUnblock::TInputUnblock() : was_(InputBlocked()) {
    if (was_)
        WidgetSet().SetInputBlocked(false);
}

TInputUnblock::~TInputUnblock() {
    if (was_)
        WidgetSet().SetInputBlocked(true);
}

} // namespace tolvar
