// The whole update from the window, in one process: the real form from its description, the
// port list fed with the simulator's pseudo-terminal, a pick in the list, "TAK", "PROGRAMUJ".
#include "app/Form1.h"
#include "app/WindowUpload.h"
#include "framework/widgets/Application.h"
#include "framework/widgets/MessageBoxes.h"
#include "framework/widgets/StdControls.h"
#include "serial/ComPort.h"
#include "serial/EnumComPorts.h"
#include "serial/widgets/ComComboBox.h"
#include "tools/sim/LoaderSim.h"
#include "wizard/Assist.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace tolvar;

namespace {

const char* const kNoSuchPort = "/dev/tolvar-no-such-port";

class SimulatedController {
public:
    explicit SimulatedController(sim::Options options) {
        std::string error;
        options.reference = sim::ReadHexFile(SOURCE_DIR "/resources/tolvar-1.6.0.hex", error);
        sim_ = std::make_unique<sim::LoaderSim>(std::move(options));
        path_ = sim_->OpenPty();
        thread_ = std::thread([this] { sim_->Run(); });
    }
    ~SimulatedController() { Finish(); }
    const std::string& Path() const { return path_; }
    sim::Summary Finish() {
        if (thread_.joinable()) {
            sim_->Stop();
            thread_.join();
        }
        return sim_->Result();
    }

private:
    std::unique_ptr<sim::LoaderSim> sim_;
    std::string path_;
    std::thread thread_;
};

class UpdateFromWindow : public testing::Test {
protected:
    void Start(sim::Options options = {}) {
        controller_ = std::make_unique<SimulatedController>(std::move(options));
        const std::string path = controller_->Path();
        SetComPortSource([path] { return std::vector<std::string>{kNoSuchPort, path}; });
        form_ = std::make_unique<TForm1>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        // Short read time-outs keep the silent cases quick; the rules stay the same.
        form_->ComPort->Timeouts().SetReadTotalMultiplier(100);
        form_->ComPort->Timeouts().SetReadTotalConstant(50);
    }
    void TearDown() override {
        form_.reset();
        SetComPortSource(nullptr);
    }

    TLMDAssist& Frame() { return *form_->LMDAssist1; }
    std::string Page() { return Frame().ActivePage()->Name(); }
    TLMDAssistBtn* Button(TLMDInternalButtons b) { return Frame().GetButton(b); }
    std::string VisibleButtons() {
        std::string out;
        for (auto b : {btnCustom, btnhelp, btnPrev, btnNext, btnCancel})
            if (!Button(b)->isHidden())
                out += (out.empty() ? "" : " | ") + Button(b)->text().toStdString();
        return out;
    }

    // Next to the port page, the pick with the keys, Next to the programming page, "TAK".
    void WalkToProgramming(const std::string& port) {
        for (int i = 0; i < 4; ++i)
            Button(btnNext)->click();
        ASSERT_EQ(Page(), "LMDAssistPage5");
        auto* list = dynamic_cast<TComComboBox*>(form_->FindComponent("ComComboBox2"));
        ASSERT_NE(list, nullptr);
        list->setFocus();
        for (int guard = 0; list->Text() != port && guard < 4; ++guard)
            QTest::keyClick(list, guard < 2 ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(list->Text(), port);
        EXPECT_EQ(form_->ComPort->Port(), port);
        Button(btnNext)->click();
        ASSERT_EQ(Page(), "LMDAssistPage7");
        QTest::mouseClick(form_->Check_TAK, Qt::LeftButton);
        ASSERT_TRUE(form_->btn_PROGRAM->isEnabled());
    }
    std::string ResultText() { return form_->lbl_FINISH->Caption(); }
    bool AdviceShown() { return !form_->lbl_FINISH_INFO->isHidden(); }

    TScriptedMessageBoxes boxes_;
    std::unique_ptr<SimulatedController> controller_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(UpdateFromWindow, AllAcknowledged) {
    Start();
    WalkToProgramming(controller_->Path());
    std::vector<int> positions;
    QObject::connect(form_->progress_PROGRAM, &QProgressBar::valueChanged,
                     [&](int value) { positions.push_back(value); });
    form_->btn_PROGRAM->click();

    EXPECT_EQ(form_->progress_PROGRAM->maximum(), 836);
    EXPECT_EQ(form_->progress_PROGRAM->value(), 836);
    ASSERT_EQ(positions.size(), 836u); // every record, 0 being the bar's start value
    for (int i = 0; i < 836; ++i)
        EXPECT_EQ(positions[i], i + 1) << i;
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_FALSE(AdviceShown());
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(Button(btnNext)->geometry().left(), 494);
    EXPECT_EQ(Button(btnNext)->geometry().right(), 568);
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_FALSE(form_->ComPort->Connected());

    const sim::Summary summary = controller_->Finish();
    EXPECT_EQ(summary.passes, 1);
    EXPECT_EQ(summary.frames, 837);
    EXPECT_EQ(summary.image, sim::Summary::Image::Match);
}

TEST_F(UpdateFromWindow, ControllerAbsent) {
    sim::Options options;
    options.silent = true;
    Start(options);
    WalkToProgramming(controller_->Path());
    form_->btn_PROGRAM->click();
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone błędem.");
    EXPECT_TRUE(AdviceShown());
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(controller_->Finish().passes, 2);
}

TEST_F(UpdateFromWindow, PortThatCannotBeOpened) {
    Start();
    WalkToProgramming(kNoSuchPort);
    form_->btn_PROGRAM->click();
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Błąd inizjalizacji portu szeregowego.\nPort może być używany przez "
                            "inny program.\nUaktualnienie oprogramowania\nzostało zakończone "
                            "błędem.");
    EXPECT_FALSE(AdviceShown());
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(controller_->Finish().frames, 0);
}

TEST_F(UpdateFromWindow, MissingPayloadShowsTheBoxAndChangesNothing) {
    Start();
    WalkToProgramming(controller_->Path());
    form_->payloadSource = [] { return std::optional<PayloadView>(); };
    form_->btn_PROGRAM->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    const TMessageRequest& box = boxes_.shown[0];
    EXPECT_EQ(box.caption, "BŁĄD!");
    EXPECT_EQ(box.text, "Nie można przeprowadzić operacji. Zasób nie istnieje!");
    EXPECT_EQ(box.icon, TMsgIcon::Error);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].result, mrOk);
    EXPECT_EQ(Page(), "LMDAssistPage7");
    EXPECT_EQ(VisibleButtons(), "<< Cofnij | Dalej >> | Przerwij");
    EXPECT_EQ(form_->progress_PROGRAM->maximum(), 100);
    EXPECT_EQ(form_->progress_PROGRAM->value(), 0);
    EXPECT_FALSE(form_->ComPort->Connected());
    EXPECT_EQ(controller_->Finish().frames, 0);
}

TEST_F(UpdateFromWindow, AFailingLineReachesTheExceptionDisplayOnTheProgrammingPage) {
    sim::Options options;
    options.hangUpAfter = 20;
    Start(options);
    WalkToProgramming(controller_->Path());
    form_->btn_PROGRAM->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].caption, ApplicationTitle());
    EXPECT_EQ(boxes_.shown[0].icon, TMsgIcon::Error);
    EXPECT_FALSE(boxes_.shown[0].text.empty()) << boxes_.shown[0].text;
    EXPECT_EQ(Page(), "LMDAssistPage7");
    EXPECT_EQ(VisibleButtons(), "<< Cofnij | Dalej >> | Przerwij");
    EXPECT_TRUE(form_->btn_PROGRAM->isEnabled());
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\r\nnie zostało zakończone.");
    // The window takes input again.
    Button(btnPrev)->click();
    EXPECT_EQ(Page(), "LMDAssistPage5");
}

// A click on Cancel's place, a key and a close request made during the upload are not acted
// on: not while it runs and not afterwards, when "Zakończ" sits where Cancel was.
TEST_F(UpdateFromWindow, InputDuringTheUploadIsDropped) {
    sim::Options options;
    options.replyDelay = std::chrono::microseconds(200);
    Start(options);
    WalkToProgramming(controller_->Path());
    QWindow* window = form_->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint cancel = Button(btnCancel)->mapTo(form_.get(), Button(btnCancel)->rect().center());
    bool sent = false;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (sent || form_->progress_PROGRAM->value() < 100)
            return;
        sent = true;
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QCoreApplication::postEvent(window,
                                        new QMouseEvent(type, QPointF(cancel), QPointF(cancel),
                                                        QPointF(window->mapToGlobal(cancel)),
                                                        Qt::LeftButton, held, Qt::NoModifier));
        }
        QTest::keyClick(form_.get(), Qt::Key_Escape);
        QTest::mouseClick(Button(btnCancel), Qt::LeftButton);
        form_->close();
    });
    poke.start(1);
    form_->btn_PROGRAM->click();
    poke.stop();
    ASSERT_TRUE(sent);
    QTest::qWait(50);

    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_FALSE(Frame().Finished());
    // Input after the upload works as usual.
    QTest::mouseClick(Button(btnNext), Qt::LeftButton);
    EXPECT_FALSE(form_->isVisible());
}

// The application told to exit (a session ending) while the upload runs: the upload still
// ends normally and the window shows its outcome, rather than the window freezing.
TEST_F(UpdateFromWindow, AnApplicationExitDuringTheUploadLetsItFinish) {
    Start();
    WalkToProgramming(controller_->Path());
    QTimer::singleShot(1, [] { QCoreApplication::exit(0); });
    form_->btn_PROGRAM->click();
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_EQ(controller_->Finish().image, sim::Summary::Image::Match);
    // Clear the exit request for the tests that follow: a full message loop forgets it.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// The path between the upload's thread and the window, alone.
class WindowPath : public testing::Test {
protected:
    // Counts the keys that reach it.
    class KeyCounter : public QWidget {
    public:
        int keys = 0;

    protected:
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    };
    // Records the reports it carries out; throws from the one numbered failAt.
    class Recorder : public NullUploadReporter {
    public:
        std::vector<int> positions;
        int failAt = -1;
        std::thread::id thread;
        void SetProgressPosition(int position) override {
            thread = std::this_thread::get_id();
            if (position == failAt)
                throw Exception("report failed");
            positions.push_back(position);
        }
    };
    KeyCounter window_;
    Recorder recorder_;
};

TEST_F(WindowPath, AReportThatThrowsOnTheWindowThreadEndsTheWork) {
    TInputGuard guard(window_);
    TUiThreadReporter reporter(window_, recorder_);
    recorder_.failAt = 3;
    int reached = 0;
    try {
        RunBesideTheWindow(guard, [&] {
            for (int i = 1; i <= 10; ++i) {
                reached = i;
                reporter.SetProgressPosition(i);
            }
        });
        ADD_FAILURE() << "the report's exception did not come back";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "report failed");
    }
    EXPECT_EQ(reached, 3);
    EXPECT_EQ(recorder_.positions, (std::vector<int>{1, 2}));
    EXPECT_EQ(recorder_.thread, std::this_thread::get_id());
}

TEST_F(WindowPath, InputStillQueuedWhenTheWorkEndsIsDropped) {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    {
        TInputGuard guard(window_);
        // The key is made on the window's thread as the work ends, so it is still queued when
        // the work is over.
        RunBesideTheWindow(guard, [&] {
            QMetaObject::invokeMethod(
                &window_,
                [this] {
                    QCoreApplication::postEvent(
                        &window_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                },
                Qt::QueuedConnection);
        });
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(window_.keys, 0);
    // Input after the work reaches the window.
    QCoreApplication::postEvent(&window_,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::processEvents();
    EXPECT_EQ(window_.keys, 1);
}

class ProgrammingPage : public testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TForm1>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        for (int i = 0; i < 5; ++i)
            form_->LMDAssist1->GetButton(btnNext)->click();
        ASSERT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage7");
    }
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(ProgrammingPage, TakArmsTheProgrammingControlsBothWays) {
    auto armed = [&] {
        const bool b = form_->btn_PROGRAM->isEnabled();
        EXPECT_EQ(form_->lbl_PROGRAM->isEnabled(), b);
        EXPECT_EQ(form_->progress_PROGRAM->isEnabled(), b);
        return b;
    };
    EXPECT_FALSE(form_->Check_TAK->Checked());
    EXPECT_FALSE(armed());
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(form_->Check_TAK, Qt::LeftButton);
        EXPECT_TRUE(form_->Check_TAK->Checked());
        EXPECT_TRUE(armed());
        QTest::keyClick(form_->Check_TAK, Qt::Key_Space);
        EXPECT_FALSE(form_->Check_TAK->Checked());
        EXPECT_FALSE(armed());
    }
    EXPECT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage7");
}

TEST_F(ProgrammingPage, NextWithoutAnUploadShowsItWasNotFinished) {
    form_->LMDAssist1->GetButton(btnNext)->click();
    EXPECT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage6");
    EXPECT_EQ(form_->lbl_FINISH->Caption(),
              "Uaktualnienie oprogramowania\r\nnie zostało zakończone.");
    EXPECT_TRUE(form_->lbl_FINISH->isVisible());
    EXPECT_FALSE(form_->lbl_FINISH_INFO->isVisible());
    EXPECT_EQ(form_->lbl_FINISH->TextEffect(), TLabel::TTextEffect::Raised);
}

} // namespace
