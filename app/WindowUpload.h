#pragma once

#include "update/Upload.h"

#include <QObject>
#include <functional>

class QWidget;

namespace tolvar {

// While it lives, user input anywhere in the application is dropped and the window refuses
// to close; painting, timers and the window manager's requests go on. Paused, it lets
// everything through (a box that needs the user).
class TInputGuard : public QObject {
public:
    explicit TInputGuard(QWidget& window);
    ~TInputGuard() override;
    TInputGuard(const TInputGuard&) = delete;
    TInputGuard& operator=(const TInputGuard&) = delete;

    void SetPaused(bool paused) { paused_ = paused; }
    // Delivers (and so drops) whatever input is still queued.
    void Drain();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    bool paused_ = false;
};

// Runs work on a worker thread while this (the UI) thread runs a local message loop, so the
// window keeps painting. An exception that leaves work is raised again here.
void RunBesideTheWindow(TInputGuard& guard, const std::function<void()>& work);

// Hands every report to the UI thread and waits until it has been carried out there, so the
// upload's order of reports and its timing stay as they are. An exception raised by a report
// on the UI thread is raised again in the calling (worker) thread.
class TUiThreadReporter final : public UploadReporter {
public:
    TUiThreadReporter(QObject& uiContext, UploadReporter& target)
        : context_(uiContext), target_(target) {}

    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetResultText(const std::string& text) override;
    void ShowAdvice() override;
    void AdvanceWizard() override;
    void HideBackAndCancel() override;
    void ShowMissingPayload() override;

private:
    void OnUiThread(const std::function<void()>& call);

    QObject& context_;
    UploadReporter& target_;
};

} // namespace tolvar
