#include "framework/widgets/qt/QtWidgetSet.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Thread.h"
#include "framework/widgets/qt/QtPeer.h"
#include "framework/widgets/qt/QtSessionHold.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QScreen>
#include <QThreadPool>
#include <QUrl>

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

// While it lives, user input anywhere in the application is dropped and the forms refuse to
// close; painting, timers and the window manager's other requests go on.
class TQtInputGuard : public QObject {
public:
    TQtInputGuard() { QCoreApplication::instance()->installEventFilter(this); }
    ~TQtInputGuard() override { QCoreApplication::instance()->removeEventFilter(this); }
    TQtInputGuard(const TQtInputGuard&) = delete;
    TQtInputGuard& operator=(const TQtInputGuard&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (IsUserInput(event->type())) {
            event->accept();
            return true;
        }
        // The port object is in use on a worker thread: the window must outlive the work.
        if (event->type() == QEvent::Close) {
            // Of our windows only the forms' are top-level.
            const auto* window = qobject_cast<QWidget*>(watched);
            if (window != nullptr && window->isWindow() && QtControl(window) != nullptr) {
                event->ignore();
                return true;
            }
        }
        return false;
    }
};

TQtWidgetSet::TQtWidgetSet() {
    InstallFontSubstitutes();
    InstallAccessibleFactory();
}

TQtWidgetSet::~TQtWidgetSet() = default;

std::unique_ptr<TFormPeer> TQtWidgetSet::CreateFormPeer(TCustomForm& form) {
    return CreateQtFormPeer(*this, form);
}

std::unique_ptr<TPanelPeer> TQtWidgetSet::CreatePanelPeer(TCustomPanel& panel) {
    return CreateQtPanelPeer(panel);
}

std::unique_ptr<TGroupBoxPeer> TQtWidgetSet::CreateGroupBoxPeer(TGroupBox& groupBox) {
    return CreateQtGroupBoxPeer(groupBox);
}

std::unique_ptr<TLabelPeer> TQtWidgetSet::CreateLabelPeer(TLabel& label) {
    return CreateQtLabelPeer(label);
}

std::unique_ptr<TCheckBoxPeer> TQtWidgetSet::CreateCheckBoxPeer(TCheckBox& checkBox) {
    return CreateQtCheckBoxPeer(checkBox);
}

std::unique_ptr<TButtonPeer> TQtWidgetSet::CreateButtonPeer(TButton& button) {
    return CreateQtButtonPeer(button);
}

std::unique_ptr<TProgressBarPeer> TQtWidgetSet::CreateProgressBarPeer(TProgressBar& bar) {
    return CreateQtProgressBarPeer(bar);
}

std::unique_ptr<TComboBoxPeer> TQtWidgetSet::CreateComboBoxPeer(TComboBox& comboBox) {
    return CreateQtComboBoxPeer(comboBox);
}

std::unique_ptr<TImagePeer> TQtWidgetSet::CreateImagePeer(TImage& image) {
    return CreateQtImagePeer(image);
}

void TQtWidgetSet::Run(TCustomForm& mainForm) {
    mainForm.ShowWindow();
    if (mainForm.Closed())
        return;
    running_ = &mainForm;
    QApplication::exec();
    running_ = nullptr;
}

void TQtWidgetSet::FormClosed(const TCustomForm& form) {
    if (&form == running_)
        QCoreApplication::exit(0);
}

void TQtWidgetSet::ProcessMessages(bool wait) {
    QCoreApplication::processEvents(wait ? QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents
                                         : QEventLoop::AllEvents);
}

void TQtWidgetSet::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [call = std::move(call)] { RunHandler(call); },
        Qt::QueuedConnection);
}

void TQtWidgetSet::SetInputBlocked(bool blocked) {
    if (blocked && guard_ == nullptr)
        guard_ = std::make_unique<TQtInputGuard>();
    else if (!blocked)
        guard_.reset();
}

void TQtWidgetSet::HoldSession(bool hold, const std::string& reason) {
    if (!hold) {
        session_.reset();
        return;
    }
    if (!session_)
        session_ = std::make_unique<TLogindInhibitor>();
    session_->Hold(ApplicationTitle(), reason);
}

void TQtWidgetSet::DrainInput() {
    // Also what the window system has not handed over yet: sync asks it for everything made so
    // far and delivers it.
    QCoreApplication::sendPostedEvents();
    QGuiApplication::sync();
    QCoreApplication::sendPostedEvents();
}

bool TQtWidgetSet::OpenUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

TSize TQtWidgetSet::MeasureText(const TLabel& label, int width) {
    return MeasureQtLabel(label, width);
}

std::optional<TSize> TQtWidgetSet::PictureSize(const std::string& name) {
    const QSize size = PictureFileSize(name);
    if (!size.isValid())
        return std::nullopt;
    return TSize{size.width(), size.height()};
}

TControl* TQtWidgetSet::FocusedControl() {
    // The focus may sit on a part of a control (a list's inner widget): its control counts.
    for (const QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget())
        if (TControl* control = QtControl(w))
            return control;
    return nullptr;
}

TQtApplication::TQtApplication(int& argc, char** argv) : QApplication(argc, argv) {
    previous_ = SetWidgetSet(&widgetSet_);
    // No display name: Qt would append it to the form's caption, which must stay exact.
    setDesktopFileName(QStringLiteral("tolvar-update"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/tolvar.png")));
    // Calls that other threads (the port's event watcher) hand over run from the message loop.
    previousWakeUp_ = SetSynchronizeWakeUp([this] { widgetSet_.Post([] { CheckSynchronize(); }); });
    // Qt's raster engine splits larger fills (the progress bar's) across its global thread
    // pool. For a window this small that gains nothing, and on a two-core machine two helpers
    // take both cores at every repaint, just when the transfer's thread wakes for a reply: one
    // helper leaves a core free.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
}

TQtApplication::~TQtApplication() {
    SetSynchronizeWakeUp(previousWakeUp_);
    SetWidgetSet(previous_);
}

bool TQtApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException();
        return false;
    }
}

} // namespace tolvar
