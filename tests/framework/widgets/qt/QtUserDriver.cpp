// The Qt widget set as the user meets it: real key and mouse events to the real widgets.
#include "framework/widgets/qt/QtWidgetSet.h"
#include "tests/support/WidgetSetContract.h"

#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace tolvar::test {
namespace {

Qt::Key QtKey(TKey key) {
    switch (key) {
    case TKey::Return:
        return Qt::Key_Return;
    case TKey::Escape:
        return Qt::Key_Escape;
    case TKey::Backspace:
        return Qt::Key_Backspace;
    case TKey::Space:
        return Qt::Key_Space;
    case TKey::Other:
        break;
    }
    return Qt::Key_Tab;
}

// The widget set is the application object's, installed by the test program's entry.
class TQtUserDriver final : public TUserDriver {
public:
    // The forms the tests close one after another are each the last window: Qt's quit on that
    // would end the next test's event loop (a modal box's) at once.
    TQtUserDriver() { QApplication::setQuitOnLastWindowClosed(false); }
    TWidgetSet& Set() override { return WidgetSet(); }
    void Show(TCustomForm& form) override {
        form.ShowWindow();
        QWidget* window = QtWidget(form);
        if (!QTest::qWaitForWindowExposed(window))
            ADD_FAILURE() << "the form was never shown";
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            ADD_FAILURE() << "the form never became active";
    }
    void Press(TKey key) override {
        if (QWidget* focus = QApplication::focusWidget())
            QTest::keyClick(focus, QtKey(key));
    }
    void Click(TControl& control) override { QTest::mouseClick(QtWidget(control), Qt::LeftButton); }
    void CloseFromTitleBar(TCustomForm& form) override { QtWidget(form)->close(); }
    void AnswerNextBox(TKey key) override {
        QTimer::singleShot(0, [key] {
            QWidget* box = QApplication::activeModalWidget();
            if (box == nullptr)
                return;
            // The user looks at the box first: it has the keyboard then.
            box->activateWindow();
            if (!QTest::qWaitForWindowActive(box))
                ADD_FAILURE() << "the box never became active";
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus != nullptr ? focus : box, QtKey(key));
        });
    }
};

} // namespace

std::unique_ptr<TUserDriver> MakeUserDriver() {
    return std::make_unique<TQtUserDriver>();
}

} // namespace tolvar::test
