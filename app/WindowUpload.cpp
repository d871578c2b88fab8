#include "app/WindowUpload.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>
#include <atomic>
#include <exception>
#include <thread>

namespace tolvar {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

} // namespace

TInputGuard::TInputGuard(QWidget& window) : window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
}

TInputGuard::~TInputGuard() {
    QCoreApplication::instance()->removeEventFilter(this);
}

void TInputGuard::Drain() {
    // Also what the window system has not handed over yet: sync asks it for everything made
    // so far and delivers it.
    QCoreApplication::sendPostedEvents();
    QGuiApplication::sync();
    QCoreApplication::sendPostedEvents();
}

bool TInputGuard::eventFilter(QObject* watched, QEvent* event) {
    if (paused_)
        return false;
    if (IsUserInput(event->type())) {
        event->accept();
        return true;
    }
    // The port object is in use on the worker thread: the window must outlive the transfer.
    if (event->type() == QEvent::Close && watched == &window_) {
        event->ignore();
        return true;
    }
    return false;
}

void RunBesideTheWindow(TInputGuard& guard, const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr error;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    // An application-wide exit ends every loop early (and keeps new ones from starting);
    // joining then would block this thread while the worker waits for it to carry out a
    // report. So go on serving events until the work is over.
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker.join();
    // Input made during the work must not act afterwards either (a click on Cancel's place
    // would land on Finish): drop what is still queued while the guard stands.
    guard.Drain();
    if (error)
        std::rethrow_exception(error);
}

void TUiThreadReporter::OnUiThread(const std::function<void()>& call) {
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        &context_,
        [&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void TUiThreadReporter::SetProgressMax(int maximum) {
    OnUiThread([&] { target_.SetProgressMax(maximum); });
}

void TUiThreadReporter::SetProgressPosition(int position) {
    OnUiThread([&] { target_.SetProgressPosition(position); });
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

void TUiThreadReporter::ShowMissingPayload() {
    OnUiThread([&] { target_.ShowMissingPayload(); });
}

} // namespace tolvar
