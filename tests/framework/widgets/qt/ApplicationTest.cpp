#include "framework/Application.h"

#include "framework/Exception.h"
#include "framework/FrameworkTexts.h"
#include "framework/MessageBoxes.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QEvent>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace tolvar;

namespace {

TEST(ExceptionDisplay, AppendsAFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ExceptionDisplayText(""), "");
    EXPECT_EQ(ExceptionDisplayText("Port busy"), "Port busy.");
    EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
    EXPECT_EQ(ExceptionDisplayText("Stop!"), "Stop!");
    EXPECT_EQ(ExceptionDisplayText("code (5)"), "code (5)");
    EXPECT_EQ(ExceptionDisplayText("a-"), "a-");
    EXPECT_EQ(ExceptionDisplayText("a/"), "a/.");
    EXPECT_EQ(ExceptionDisplayText("error 7"), "error 7.");
    EXPECT_EQ(ExceptionDisplayText("zażółć"), "zażółć.");
}

TEST(ExceptionDisplay, ShowsTheMessageUnderTheTitleWithTheErrorIcon) {
    TScriptedMessageBoxes boxes;
    SetApplicationTitle("TOLVAR ver. 1.5.0 UPDATE");
    ShowException(std::make_exception_ptr(Exception("Port busy")));
    ShowException(std::make_exception_ptr(EAbort()));
    ShowException(std::make_exception_ptr(std::runtime_error("not ours")));
    ASSERT_EQ(boxes.shown.size(), 2u);
    const TMessageRequest& box = boxes.shown[0];
    EXPECT_EQ(box.caption, "TOLVAR ver. 1.5.0 UPDATE");
    EXPECT_EQ(box.text, "Port busy.");
    EXPECT_EQ(box.icon, TMsgIcon::Error);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].result, mrOk);
    EXPECT_EQ(boxes.shown[1].text, "");
}

class Throwing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw Exception("Handler failed");
        return QObject::event(e);
    }
};

TEST(ExceptionDisplay, TheMessageLoopShowsAnEscapedExceptionAndGoesOn) {
    TScriptedMessageBoxes boxes;
    Throwing target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    RunHandler([] { throw Exception("Second"); });
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Handler failed.");
    EXPECT_EQ(boxes.shown[1].text, "Second.");
}

TEST(FrameworkTexts, ReadErrorIsFilledInOrder) {
    EXPECT_EQ(ReadErrorText("ComComboBox2", "ComPort", "Unable to open com port"),
              "Error reading ComComboBox2.ComPort: Unable to open com port");
    EXPECT_EQ(FrameworkText(kSMsgDlgConfirm), "Confirm");
    EXPECT_EQ(FrameworkText(kSMsgDlgYes), "&Yes");
    EXPECT_EQ(FrameworkText(kSMsgDlgNo), "&No");
}

} // namespace
