#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/qt/QtPeer.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScreen>

namespace tolvar {

namespace {

// The top-level window of a form. Return and Escape that no control took go to the form; the
// title bar's close ends it, unless the input is blocked.
class TFormWindow : public QWidget {
public:
    // Made while the form is still being constructed; it is only kept until then.
    TFormWindow(TQtWidgetSet& widgetSet, TCustomForm& form) : widgetSet_(widgetSet), form_(form) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const TKey key = KeyOf(*event);
        const bool plain =
            event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
        bool taken = false;
        if (plain && (key == TKey::Return || key == TKey::Escape))
            RunHandler([&] { taken = form_.PeerDialogKey(key); });
        if (taken)
            event->accept();
        else
            QWidget::keyPressEvent(event);
    }

    // While the input is blocked the close never gets here: the input guard refuses it.
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        RunHandler([&] { form_.PeerClosed(); });
        widgetSet_.FormClosed(form_);
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        RunHandler([&] { form_.PeerResized({width(), height()}); });
    }

private:
    TQtWidgetSet& widgetSet_;
    TCustomForm& form_;
};

class TQtFormPeer final : public TQtPeer, public TFormPeer {
public:
    TQtFormPeer(TQtWidgetSet& widgetSet, TCustomForm& form)
        : TQtPeer(form, new TFormWindow(widgetSet, form), true), widgetSet_(widgetSet),
          form_(form) {
        ownAccessible_ = true;
        // What is announced: a notification that shows with the text as its name, over the
        // window, drawing nothing and taking neither the mouse nor the focus.
        announcer_ = new QWidget(widget_);
        announcer_->setAttribute(Qt::WA_TransparentForMouseEvents);
        announcer_->setFocusPolicy(Qt::NoFocus);
        announcer_->hide();
        SetOwnAccessibleRole(announcer_, QAccessible::Notification);
    }

    void Announce(const std::string& text) override {
        announcer_->hide();
        announcer_->setAccessibleName(
            QtText(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        announcer_->setGeometry(widget_->rect());
        announcer_->raise();
        announcer_->show();
    }

    void SetBounds(const TRect& rect) override {
        // The position is the window's, frame included; the size is the client area's. At a
        // scale that makes the window too large for its place, it moves onto the screen.
        widget_->resize(rect.width, rect.height);
        const QSize frame = widget_->frameGeometry().size() - widget_->geometry().size();
        const TRect outer{rect.left, rect.top, rect.width + frame.width(),
                          rect.height + frame.height()};
        QScreen* screen = QGuiApplication::screenAt(
            QPoint(outer.left + outer.width / 2, outer.top + outer.height / 2));
        if (screen == nullptr)
            screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            widget_->move(rect.left, rect.top);
            return;
        }
        // Fitted in device pixels, where the screen's edges are.
        const QRect work = screen->availableGeometry();
        const QPoint origin = screen->geometry().topLeft();
        const TRect placed =
            FitIntoScaled(outer, {work.left(), work.top(), work.width(), work.height()}, origin.x(),
                          origin.y(), screen->devicePixelRatio());
        widget_->move(placed.left, placed.top);
    }
    void SetVisible(bool visible) override {
        // A form is shown by ShowWindow only; until then its Visible is remembered.
        if (windowShown_)
            widget_->setVisible(visible);
    }
    void SetCaption(const std::string& caption) override {
        widget_->setWindowTitle(QtText(caption));
    }
    void SetTabOrder(const std::vector<TControl*>& chain) override {
        std::vector<QWidget*> stops;
        for (TControl* c : chain)
            if (QWidget* w = QtWidget(*c); w != nullptr && (w->focusPolicy() & Qt::TabFocus))
                stops.push_back(w);
        for (std::size_t i = 1; i < stops.size(); ++i)
            QWidget::setTabOrder(stops[i - 1], stops[i]);
    }
    void ShowWindow() override {
        windowShown_ = true;
        widget_->show();
        // As the Win32 window does: the new window takes the keyboard, so that a screen reader
        // starts on the focused button.
        widget_->activateWindow();
    }
    void CloseWindow() override {
        // The program's own close: no close event, which a blocked input would refuse.
        widget_->hide();
        widgetSet_.FormClosed(form_);
    }

private:
    TQtWidgetSet& widgetSet_;
    TCustomForm& form_;
    QWidget* announcer_ = nullptr;
    bool windowShown_ = false;
};

} // namespace

std::unique_ptr<TFormPeer> CreateQtFormPeer(TQtWidgetSet& widgetSet, TCustomForm& form) {
    return std::make_unique<TQtFormPeer>(widgetSet, form);
}

} // namespace tolvar
