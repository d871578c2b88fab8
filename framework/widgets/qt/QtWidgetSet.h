#pragma once

#include "framework/WidgetSet.h"
#include "framework/widgets/qt/QtControlOf.h"

#include <QApplication>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace tolvar {

class TQtInputGuard;
class TLogindInhibitor;

// The control model on Qt 6 Widgets (Linux).
//
// Units: stored geometry and font heights are 96-dpi pixels, and they are used as Qt's logical
// pixels unchanged. Qt 6 always scales logical pixels by the screen's device pixel ratio (from
// the desktop's DPI setting, Xft.dpi on X11, or QT_SCALE_FACTOR), fonts set in pixels included,
// so the window grows with the DPI by itself; scaling here as well would scale twice.
class TQtWidgetSet final : public TWidgetSet {
public:
    TQtWidgetSet();
    ~TQtWidgetSet() override;
    TQtWidgetSet(const TQtWidgetSet&) = delete;
    TQtWidgetSet& operator=(const TQtWidgetSet&) = delete;

    std::unique_ptr<TFormPeer> CreateFormPeer(TCustomForm& form) override;
    std::unique_ptr<TPanelPeer> CreatePanelPeer(TCustomPanel& panel) override;
    std::unique_ptr<TGroupBoxPeer> CreateGroupBoxPeer(TGroupBox& groupBox) override;
    std::unique_ptr<TLabelPeer> CreateLabelPeer(TLabel& label) override;
    std::unique_ptr<TCheckBoxPeer> CreateCheckBoxPeer(TCheckBox& checkBox) override;
    std::unique_ptr<TButtonPeer> CreateButtonPeer(TButton& button) override;
    std::unique_ptr<TProgressBarPeer> CreateProgressBarPeer(TProgressBar& bar) override;
    std::unique_ptr<TComboBoxPeer> CreateComboBoxPeer(TComboBox& comboBox) override;
    std::unique_ptr<TImagePeer> CreateImagePeer(TImage& image) override;
    void Run(TCustomForm& mainForm) override;
    void ProcessMessages(bool wait) override;
    void Post(std::function<void()> call) override;
    void SetInputBlocked(bool blocked) override;
    void DrainInput() override;
    void HoldSession(bool hold, const std::string& reason) override;
    int ShowMessageBox(const TMessageRequest& request) override;
    bool OpenUrl(const std::string& url) override;
    TSize MeasureText(const TLabel& label, int width) override;
    std::optional<TSize> PictureSize(const std::string& name) override;
    TControl* FocusedControl() override;

    bool InputBlocked() const { return guard_ != nullptr; }
    // Between HoldSession(true) and HoldSession(false), whether or not logind took the lock.
    bool SessionHeld() const { return session_ != nullptr; }
    // A form's window went away: ends the message loop that runs it.
    void FormClosed(const TCustomForm& form);

private:
    std::unique_ptr<TLogindInhibitor> session_;
    std::unique_ptr<TQtInputGuard> guard_;
    const TCustomForm* running_ = nullptr;
};

// The real widget of a control of the Qt widget set (tests send it real events and read its
// real state).
QWidget* QtWidget(const TControl& control);

// The application object of the Qt entry points: the widget set is installed for its lifetime,
// the window icon and desktop entry are set, calls handed over by other threads are run from
// the message loop, and an exception that escapes an event handler is shown and the loop goes on.
class TQtApplication : public QApplication {
public:
    TQtApplication(int& argc, char** argv);
    ~TQtApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    TQtWidgetSet widgetSet_;
    TWidgetSet* previous_ = nullptr;
    std::function<void()> previousWakeUp_;
};

} // namespace tolvar
