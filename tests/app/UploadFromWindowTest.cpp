// The whole update from the window, in one process: the real form from its description, the
// port list fed with the simulator's pseudo-terminal, a pick in the list, "TAK", "PROGRAMUJ".
#include "app/Form1.h"
#include "app/RunLog.h"
#include "app/WindowUpload.h"
#include "framework/Application.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComComboBox.h"
#include "serial/ComPort.h"
#include "serial/EnumComPorts.h"
#include "serial/PortDetails.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"
#include "wizard/Assist.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tolvar;

namespace {

QWidget* W(const TControl& c) {
    return QtWidget(c);
}
QProgressBar* Bar(const TControl* c) {
    return qobject_cast<QProgressBar*>(QtWidget(*c));
}
// A press on the real button.
void Click(const TControl* button) {
    qobject_cast<QPushButton*>(QtWidget(*button))->click();
}
// What the window last had a screen reader say: its showing notification.
std::string Announced(const TControl& form) {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(W(form));
    for (int i = 0; i < window->childCount(); ++i)
        if (QAccessibleInterface* c = window->child(i);
            c->role() == QAccessible::Notification && !c->state().invisible)
            return c->text(QAccessible::Name).toStdString();
    return {};
}

const char* const kNoSuchPort = "/dev/tolvar-no-such-port";
// The line as the run's record gives it, with the tests' short read time-out.
const std::string kLineRecord = "line: 115200 baud, 8 data bits, no parity, 2 stop bits, no flow "
                                "control, DTR off, RTS off, read time-out 100 ms a byte + 50 ms\n";

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
    // Whatever else a test checks, no record went out before the previous frame was answered.
    sim::Summary Finish() {
        if (thread_.joinable()) {
            sim_->Stop();
            thread_.join();
            EXPECT_EQ(sim_->Result().earlyRecords, 0);
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
        form_->ShowWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W(*form_)));
        // Short read time-outs keep the silent cases quick; the rules stay the same.
        form_->ComPort->Timeouts().SetReadTotalMultiplier(100);
        form_->ComPort->Timeouts().SetReadTotalConstant(50);
    }
    // Each test its own log, so that the newest record is this test's run.
    void SetUp() override {
        char name[] = "/tmp/tolvar-state-XXXXXX";
        state_ = ::mkdtemp(name);
        ::setenv("XDG_STATE_HOME", state_.c_str(), 1);
    }
    void TearDown() override {
        form_.reset();
        SetComPortSource(nullptr);
        std::filesystem::remove_all(state_);
    }
    // The newest record of the log, with what changes from run to run masked: the header, the
    // system, the pseudo-terminal's name, the times.
    std::string LoggedRecord() {
        std::ifstream in(state_ + "/tolvar-update/tolvar-update.log", std::ios::binary);
        std::string text = NewestRecord(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        text = std::regex_replace(text, std::regex(R"(^== .*\n)"), "");
        text = std::regex_replace(text, std::regex(R"(system: .*\n)"), "");
        text = std::regex_replace(text, std::regex("port: " + controller_->Path()), "port: P");
        text = std::regex_replace(text, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)"), "T");
        return std::regex_replace(text, std::regex(R"(\d+\.\d\d s)"), "S");
    }

    TLMDAssist& Frame() { return *form_->LMDAssist1; }
    std::string Page() { return Frame().ActivePage()->Name(); }
    TLMDAssistBtn* Button(TLMDInternalButtons b) { return Frame().GetButton(b); }
    std::string VisibleButtons() {
        std::string out;
        for (auto b : {btnCustom, btnhelp, btnPrev, btnNext, btnCancel})
            if (!W(*Button(b))->isHidden())
                out += (out.empty() ? "" : " | ") +
                       qobject_cast<QPushButton*>(W(*Button(b)))->text().toStdString();
        return out;
    }

    // Next to the port page, the pick with the keys, Next to the programming page, "TAK".
    void WalkToProgramming(const std::string& port) {
        for (int i = 0; i < 4; ++i)
            Click(Button(btnNext));
        ASSERT_EQ(Page(), "LMDAssistPage5");
        auto* list = dynamic_cast<TComComboBox*>(form_->FindComponent("ComComboBox2"));
        ASSERT_NE(list, nullptr);
        list->SetFocus();
        for (int guard = 0; list->Text() != port && guard < 4; ++guard)
            QTest::keyClick(W(*list), guard < 2 ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(list->Text(), port);
        EXPECT_EQ(form_->ComPort->Port(), port);
        Click(Button(btnNext));
        ASSERT_EQ(Page(), "LMDAssistPage7");
        QTest::mouseClick(W(*form_->Check_TAK), Qt::LeftButton);
        ASSERT_TRUE(W(*form_->btn_PROGRAM)->isEnabled());
    }
    std::string ResultText() { return form_->lbl_FINISH->Caption(); }
    bool AdviceShown() { return !W(*form_->lbl_FINISH_INFO)->isHidden(); }

    TScriptedMessageBoxes boxes_;
    std::string state_;
    std::unique_ptr<SimulatedController> controller_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(UpdateFromWindow, AllAcknowledged) {
    Start();
    WalkToProgramming(controller_->Path());
    std::vector<int> positions;
    auto& widgets = dynamic_cast<TQtWidgetSet&>(WidgetSet());
    bool heldThroughout = true;
    QObject::connect(Bar(form_->progress_PROGRAM), &QProgressBar::valueChanged, [&](int value) {
        positions.push_back(value);
        heldThroughout = heldThroughout && widgets.SessionHeld();
    });
    Click(form_->btn_PROGRAM);
    // Nothing may end the session during the transfer, and the hold ends with it.
    EXPECT_TRUE(heldThroughout);
    EXPECT_FALSE(widgets.SessionHeld());

    EXPECT_EQ(Bar(form_->progress_PROGRAM)->maximum(), 836);
    EXPECT_EQ(Bar(form_->progress_PROGRAM)->value(), 836);
    // The window shows the progress as it gets to it: steps it had no time for are skipped,
    // none goes backwards, and the bar ends on the last record.
    ASSERT_FALSE(positions.empty());
    for (std::size_t i = 1; i < positions.size(); ++i)
        EXPECT_GT(positions[i], positions[i - 1]) << i;
    EXPECT_EQ(positions.back(), 836);
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_FALSE(AdviceShown());
    EXPECT_EQ(Announced(*form_), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(W(*Button(btnNext))->geometry().left(), 494);
    EXPECT_EQ(W(*Button(btnNext))->geometry().right(), 568);
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
    Click(form_->btn_PROGRAM);
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone błędem.");
    EXPECT_TRUE(AdviceShown());
    // The outcome, then the red advice.
    EXPECT_EQ(Announced(*form_), "Uaktualnienie oprogramowania\nzostało zakończone błędem.\n"
                                 "SPRAWDŹ UWAŻNIE POPRAWNOŚĆ POŁĄCZEŃ\nI SPRÓBUJ JESZCZE RAZ.\n"
                                 "W PRZYPADKU DALSZYCH PROBLEMÓW SKONTAKTUJ SIĘ Z SERWISEM "
                                 "TECHNICZNYM.");
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(controller_->Finish().passes, 4);
}

// Seeded fault storms, late and doubled replies among them, through the window: the result page
// says what the controller saw, and no record follows a fault in its pass.
TEST_F(UpdateFromWindow, FaultStormsEndAsTheControllerSawThem) {
    for (std::uint32_t seed : {8u, 21u, 34u}) {
        sim::Options options;
        options.storm = sim::Storm{seed, 0.002};
        options.lateBy = std::chrono::milliseconds(300); // twice the read time-out here
        Start(options);
        WalkToProgramming(controller_->Path());
        Click(form_->btn_PROGRAM);
        const sim::Summary summary = controller_->Finish();
        const std::string what =
            "seed " + std::to_string(seed) + testing::PrintToString(summary.PassLines());
        EXPECT_EQ(ResultText(), summary.LastPassWhole()
                                    ? "Uaktualnienie oprogramowania\nzostało zakończone sukcesem."
                                    : "Uaktualnienie oprogramowania\nzostało zakończone błędem.")
            << what;
        EXPECT_EQ(AdviceShown(), !summary.LastPassWhole()) << what;
        for (const sim::PassReport& pass : summary.passReports)
            EXPECT_FALSE(pass.recordAfterFault) << what;
        form_.reset();
    }
}

TEST_F(UpdateFromWindow, PortThatCannotBeOpened) {
    Start();
    WalkToProgramming(kNoSuchPort);
    Click(form_->btn_PROGRAM);
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Błąd inizjalizacji portu szeregowego.\nPort może być używany przez "
                            "inny program.\nUaktualnienie oprogramowania\nzostało zakończone "
                            "błędem.");
    EXPECT_FALSE(AdviceShown());
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_EQ(controller_->Finish().frames, 0);
}

// A port that another program holds: the failure text stays in its label and the remedy, the
// holder named, goes to the advice label beside it.
TEST_F(UpdateFromWindow, AHeldPortKeepsTheFailureTextAndNamesTheHolderInTheAdvice) {
    Start();
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(controller_->Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::dup2(fd, 0) < 0)
            ::_exit(126);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(holder, 0);
    const std::string comm = "/proc/" + std::to_string(holder) + "/comm";
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(comm);
        std::string name;
        if (std::getline(in, name) && name == "sleep")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    WalkToProgramming(controller_->Path());
    Click(form_->btn_PROGRAM);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), kPortFailureText);
    EXPECT_TRUE(AdviceShown());
    EXPECT_EQ(form_->lbl_FINISH_INFO->Caption(), "PORT JEST UŻYWANY PRZEZ PROGRAM sleep (PID " +
                                                     std::to_string(holder) +
                                                     ").\r\nZAMKNIJ GO I SPRÓBUJ PONOWNIE.");
    EXPECT_EQ(controller_->Finish().frames, 0);
    EXPECT_EQ(LoggedRecord(), "port: P\nport failure: port error 1, system error code 16\n"
                              "advice shown: \"PORT JEST UŻYWANY PRZEZ PROGRAM sleep (PID " +
                                  std::to_string(holder) +
                                  "). / ZAMKNIJ GO I SPRÓBUJ PONOWNIE.\"\nresult: port failure: "
                                  "\"Błąd inizjalizacji portu szeregowego. / Port może być "
                                  "używany przez inny program. / Uaktualnienie oprogramowania / "
                                  "zostało zakończone błędem.\"\n");
}

// A log that cannot be written (its folder would lie under a file, which stops root as well)
// leaves everything the user sees as it is.
TEST_F(UpdateFromWindow, AnUnwritableLogChangesNothingTheUserSees) {
    std::ofstream(state_ + "/file") << "x";
    ::setenv("XDG_STATE_HOME", (state_ + "/file").c_str(), 1);
    sim::Options retry;
    retry.refuseOnce = 2;
    Start(retry);
    WalkToProgramming(controller_->Path());
    Click(form_->btn_PROGRAM);
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_EQ(VisibleButtons(), "Zakończ");
    EXPECT_TRUE(boxes_.shown.empty());
}

// The record each outcome leaves, written by the real upload over the simulator's line.
TEST_F(UpdateFromWindow, EachOutcomeLeavesItsRecord) {
    const std::string whole =
        "pass 2: T, end-of-file record (836 of 836): whole image acknowledged, S\nresult: "
        "success: \"Uaktualnienie oprogramowania / zostało zakończone sukcesem.\"\n";
    const std::string failed = "result: failure: \"Uaktualnienie oprogramowania / zostało "
                               "zakończone błędem.\", advice to check the connections shown\n";
    auto passes = [](const std::string& end) {
        return "pass 1: T, " + end + ", S\npass 2: T, " + end + ", S\npass 3: T, " + end +
               ", S\npass 4: T, " + end + ", S\n";
    };
    sim::Options retry;
    retry.refuseOnce = 2;
    sim::Options silent;
    silent.silent = true;
    sim::Options refusal;
    refusal.refuseEvery = 3;
    sim::Options noise;
    noise.deals = {{1, 5, sim::Fault::Garbage}};
    const std::vector<std::pair<sim::Options, std::string>> cases = {
        {retry, "pass 1: T, record 2 of 836: refused with 0x15 (NAK), S\n" + whole},
        {silent, passes("start record: no reply within the time-out") + failed},
        {refusal, passes("record 3 of 836: refused with 0x15 (NAK)") + failed},
        {noise, "pass 1: T, record 5 of 836: garbage byte 0x5A, S\n" + whole},
    };
    // The port as the port page describes it.
    SetComPortDescriber([](const std::vector<std::string>& names) {
        return std::vector<std::string>(names.size(), "FT232R USB UART, FTDI, USB 0403:6001");
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Start(cases[i].first);
        WalkToProgramming(controller_->Path());
        Click(form_->btn_PROGRAM);
        EXPECT_EQ(LoggedRecord(), "port: P (FT232R USB UART, FTDI, USB 0403:6001)\n" + kLineRecord +
                                      cases[i].second)
            << "case " << i;
        form_.reset();
    }
    SetComPortDescriber({});
}

TEST_F(UpdateFromWindow, MissingPayloadShowsTheBoxAndChangesNothing) {
    Start();
    WalkToProgramming(controller_->Path());
    form_->payloadSource = [] { return std::optional<PayloadView>(); };
    Click(form_->btn_PROGRAM);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    const TMessageRequest& box = boxes_.shown[0];
    EXPECT_EQ(box.caption, "BŁĄD!");
    EXPECT_EQ(box.text, "Nie można przeprowadzić operacji. Zasób nie istnieje!");
    EXPECT_EQ(box.icon, TMsgIcon::Error);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].result, mrOk);
    EXPECT_EQ(Page(), "LMDAssistPage7");
    EXPECT_EQ(VisibleButtons(), "<< Cofnij | Dalej >> | Przerwij");
    EXPECT_EQ(Bar(form_->progress_PROGRAM)->maximum(), 100);
    EXPECT_EQ(Bar(form_->progress_PROGRAM)->value(), 0);
    EXPECT_FALSE(form_->ComPort->Connected());
    EXPECT_EQ(controller_->Finish().frames, 0);
}

TEST_F(UpdateFromWindow, AFailingLineReachesTheExceptionDisplayOnTheProgrammingPage) {
    sim::Options options;
    options.hangUpAfter = 20;
    Start(options);
    WalkToProgramming(controller_->Path());
    Click(form_->btn_PROGRAM);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].caption, ApplicationTitle());
    EXPECT_EQ(boxes_.shown[0].icon, TMsgIcon::Error);
    EXPECT_FALSE(boxes_.shown[0].text.empty()) << boxes_.shown[0].text;
    EXPECT_EQ(Page(), "LMDAssistPage7");
    EXPECT_EQ(VisibleButtons(), "<< Cofnij | Dalej >> | Przerwij");
    EXPECT_TRUE(W(*form_->btn_PROGRAM)->isEnabled());
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\r\nnie zostało zakończone.");
    // The window takes input again.
    Click(Button(btnPrev));
    EXPECT_EQ(Page(), "LMDAssistPage5");
    // The record names the frame the line died on and the text the user saw.
    EXPECT_EQ(LoggedRecord(), "port: P\n" + kLineRecord +
                                  "pass 1: T, record 20 of 836: cut by an error on read\n"
                                  "result: error shown, the wizard stays on the programming page: "
                                  "\"" +
                                  boxes_.shown[0].text +
                                  " [port error 3, system error code 5]\"\n");
}

// A click on Cancel's place, a key and a close request made during the upload are not acted
// on: not while it runs and not afterwards, when "Zakończ" sits where Cancel was.
TEST_F(UpdateFromWindow, InputDuringTheUploadIsDropped) {
    sim::Options options;
    options.replyDelay = std::chrono::microseconds(200);
    Start(options);
    WalkToProgramming(controller_->Path());
    QWindow* window = W(*form_)->windowHandle();
    ASSERT_NE(window, nullptr);
    QWidget* cancelButton = W(*Button(btnCancel));
    const QPoint cancel = cancelButton->mapTo(W(*form_), cancelButton->rect().center());
    bool sent = false;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (sent || Bar(form_->progress_PROGRAM)->value() < 100)
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
        QTest::keyClick(W(*form_), Qt::Key_Escape);
        QTest::mouseClick(cancelButton, Qt::LeftButton);
        W(*form_)->close(); // the title bar's close
    });
    poke.start(1);
    Click(form_->btn_PROGRAM);
    poke.stop();
    ASSERT_TRUE(sent);
    QTest::qWait(50);

    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_TRUE(W(*form_)->isVisible());
    EXPECT_EQ(Page(), "LMDAssistPage6");
    EXPECT_EQ(ResultText(), "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_FALSE(Frame().Finished());
    // Input after the upload works as usual.
    QTest::mouseClick(W(*Button(btnNext)), Qt::LeftButton);
    EXPECT_FALSE(W(*form_)->isVisible());
}

// The application told to exit (a session ending) while the upload runs: the upload still
// ends normally and the window shows its outcome, rather than the window freezing.
TEST_F(UpdateFromWindow, AnApplicationExitDuringTheUploadLetsItFinish) {
    Start();
    WalkToProgramming(controller_->Path());
    QTimer::singleShot(1, [] { QCoreApplication::exit(0); });
    Click(form_->btn_PROGRAM);
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
    // Counts the keys that reach the window.
    class KeyCounter : public TDialogKeyHandler {
    public:
        int keys = 0;
        bool DialogKey(TKey) override { return ++keys > 0; }
    };
    TCustomForm window_;
    KeyCounter counter_;
};

TEST_F(WindowPath, InputStillQueuedWhenTheWorkEndsIsDropped) {
    window_.AddDialogKeyHandler(&counter_);
    window_.ShowWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(W(window_)));
    // The key is made on the window's thread as the work ends, so it is still queued when the
    // work is over.
    RunBesideTheWindow([&] {
        WidgetSet().Post([this] {
            QCoreApplication::postEvent(
                W(window_), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(counter_.keys, 0);
    // Input after the work reaches the window.
    QCoreApplication::postEvent(W(window_),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter_.keys, 1);
    window_.RemoveDialogKeyHandler(&counter_);
}

class ProgrammingPage : public testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TForm1>();
        form_->ShowWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W(*form_)));
        for (int i = 0; i < 5; ++i)
            Click(form_->LMDAssist1->GetButton(btnNext));
        ASSERT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage7");
    }
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(ProgrammingPage, TakArmsTheProgrammingControlsBothWays) {
    auto armed = [&] {
        const bool b = W(*form_->btn_PROGRAM)->isEnabled();
        EXPECT_EQ(W(*form_->lbl_PROGRAM)->isEnabled(), b);
        EXPECT_EQ(W(*form_->progress_PROGRAM)->isEnabled(), b);
        return b;
    };
    EXPECT_FALSE(form_->Check_TAK->Checked());
    EXPECT_FALSE(armed());
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(W(*form_->Check_TAK), Qt::LeftButton);
        EXPECT_TRUE(form_->Check_TAK->Checked());
        EXPECT_TRUE(armed());
        QTest::keyClick(W(*form_->Check_TAK), Qt::Key_Space);
        EXPECT_FALSE(form_->Check_TAK->Checked());
        EXPECT_FALSE(armed());
    }
    EXPECT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage7");
}

TEST_F(ProgrammingPage, NextWithoutAnUploadShowsItWasNotFinished) {
    Click(form_->LMDAssist1->GetButton(btnNext));
    EXPECT_EQ(form_->LMDAssist1->ActivePage()->Name(), "LMDAssistPage6");
    EXPECT_EQ(form_->lbl_FINISH->Caption(),
              "Uaktualnienie oprogramowania\r\nnie zostało zakończone.");
    EXPECT_TRUE(W(*form_->lbl_FINISH)->isVisible());
    EXPECT_FALSE(W(*form_->lbl_FINISH_INFO)->isVisible());
    EXPECT_EQ(form_->lbl_FINISH->TextEffect(), TTextEffect::Raised);
}

} // namespace
