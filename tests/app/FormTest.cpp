#include "app/Form1.h"
#include "app/Platform.h"
#include "framework/Application.h"
#include "framework/FrameworkTexts.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComComboBox.h"
#include "serial/ComPort.h"
#include "serial/ComPortStartup.h"
#include "wizard/Assist.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdlib.h>
#include <unistd.h>

using namespace tolvar;

namespace {

QWidget* W(const TControl& c) {
    return QtWidget(c);
}
QLabel* L(const TControl& c) {
    return qobject_cast<QLabel*>(QtWidget(c));
}
// A press on the real button.
void Click(const TControl* button) {
    qobject_cast<QPushButton*>(QtWidget(*button))->click();
}

struct Wizard {
    TScriptedMessageBoxes boxes;
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>();
    TLMDAssist& frame = *form->LMDAssist1;

    Wizard() {
        form->ShowWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(W(*form)));
    }
    std::string Page() const { return frame.ActivePage()->Name(); }
    TLMDAssistBtn* Button(TLMDInternalButtons b) const { return frame.GetButton(b); }
    // What the bar shows: each visible button as caption, "+" enabled or "-" disabled.
    std::string Bar() const {
        std::string out;
        for (auto b : {btnCustom, btnhelp, btnPrev, btnNext, btnCancel}) {
            const auto* button = qobject_cast<QPushButton*>(W(*Button(b)));
            if (button->isHidden())
                continue;
            out += (out.empty() ? "" : " | ") + button->text().toStdString() +
                   (button->isEnabled() ? "+" : "-");
        }
        return out;
    }
};

TEST(MainForm, IsBuiltFromItsDescription) {
    Wizard w;
    EXPECT_EQ(W(*w.form)->windowTitle().toStdString(),
              "Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0");
    // The title's version comes from the build's one version number.
    EXPECT_STREQ(kApplicationTitle, "TOLVAR ver. 1.5.0 UPDATE");
    EXPECT_EQ(W(*w.form)->size(), QSize(575, 405));
    EXPECT_EQ(W(w.frame)->geometry(), QRect(0, 0, 575, 405));
    EXPECT_EQ(W(*w.form)->font().pixelSize(), 11);
    EXPECT_EQ(w.frame.GetCount(), 7);
    const char* const order[] = {"LMDAssistPage1", "LMDAssistPage2", "LMDAssistPage3",
                                 "LMDAssistPage4", "LMDAssistPage5", "LMDAssistPage7",
                                 "LMDAssistPage6"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(w.frame.GetPage(i)->Name(), order[i]);
    auto* heading = dynamic_cast<TLabel*>(w.form->FindComponent("LMDLabel4"));
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->Caption(), "1. Sprawdzenie zgodności sprzętu.");
    EXPECT_EQ(W(*heading)->parentWidget(), W(*w.frame.GetPage(1)));

    TComPort& port = *w.form->ComPort;
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 30);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 1000);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 500);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_FALSE(port.Connected());
}

// The window opens at the stored place (the frame's corner at 348, 266) with the stored client
// size, along each side where the screen has room for it; where it has none, it moves toward the
// screen. Also run on a 1366 x 768 screen, where the whole stored place fits (CMakeLists.txt).
TEST(MainForm, OpensAtTheStoredPlaceWhereTheScreenAllows) {
    Wizard w;
    const QWidget* window = W(*w.form);
    EXPECT_EQ(window->size(), QSize(575, 405));
    const QRect frame = window->frameGeometry();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    if (348 + frame.width() <= work.right() + 1)
        EXPECT_EQ(frame.left(), 348);
    else
        EXPECT_LT(frame.left(), 348);
    if (266 + frame.height() <= work.bottom() + 1)
        EXPECT_EQ(frame.top(), 266);
    else
        EXPECT_LT(frame.top(), 266);
}

// What Orca finds through Qt's accessibility interface: the window, each page named by its
// heading (the welcome page by name, the result page by its outcome), the list, the bar and TAK
// named or described by the texts beside them, and the focus on "Dalej >>" at start.
TEST(MainForm, AScreenReaderFindsEveryPageAndControlNamed) {
    Wizard w;
    auto text = [](const TControl& c, QAccessible::Text t = QAccessible::Name) {
        return QAccessible::queryAccessibleInterface(W(c))->text(t).toStdString();
    };
    auto role = [](const TControl& c) {
        return QAccessible::queryAccessibleInterface(W(c))->role();
    };
    EXPECT_EQ(role(*w.form), QAccessible::Dialog);
    EXPECT_EQ(text(*w.form), "Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0");
    EXPECT_TRUE(W(*w.Button(btnNext))->hasFocus());
    const char* const names[] = {"Witamy",
                                 "1. Sprawdzenie zgodności sprzętu.",
                                 "2. Przełączenie sterownika w tryb uaktualniania.",
                                 "2. Przełączenie sterownika w tryb uaktualniania.",
                                 "3. Wybór portu szeregowego.",
                                 "4. Programowanie sterownika",
                                 "Uaktualnienie oprogramowania\nnie zostało zakończone."};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(role(*w.frame.GetPage(i)), QAccessible::PropertyPage);
        EXPECT_EQ(text(*w.frame.GetPage(i)), names[i]) << i;
    }
    EXPECT_EQ(role(*dynamic_cast<TControl*>(w.form->FindComponent("LMDLabel4"))),
              QAccessible::Heading);
    // The list is labelled by the page's instruction (Qt names a list by its pick on Linux).
    const auto labels = QAccessible::queryAccessibleInterface(
                            W(*dynamic_cast<TControl*>(w.form->FindComponent("ComComboBox2"))))
                            ->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name).toStdString(),
              "Wybierz port szeregowy, do którego podłączono programowany sterownik.");
    EXPECT_EQ(text(*w.form->progress_PROGRAM), "Postęp programowania");
    EXPECT_EQ(text(*w.form->Check_TAK), "TAK");
    EXPECT_EQ(text(*w.form->Check_TAK, QAccessible::Description),
              "Czy jesteś pewien, że chcesz uaktualnić oprogramowanie sterownika do wersji 1.6.0 "
              "?\nStare oprogramowanie zostanie zastąpione nową wersją.");
    EXPECT_EQ(text(*dynamic_cast<TControl*>(w.form->FindComponent("Image4"))),
              "Ekran sterownika TOLVAR w trybie uaktualniania: UPDATE MODE, FW LOADER READY, "
              "WAITING FOR DATA..., RS232 115200 8N2");
}

TEST(MainForm, PagesHoldTheirControlsAndNothingIsClipped) {
    Wizard w;
    auto find = [&](const char* name) {
        auto* control = dynamic_cast<TControl*>(w.form->FindComponent(name));
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? W(*control) : nullptr;
    };
    const struct {
        const char* name;
        const char* parent;
        QRect geometry;
    } placed[] = {
        {"GroupBox1", "LMDAssistPage1", {16, 16, 337, 313}},
        {"Image1", "LMDAssistPage1", {368, 21, 185, 140}},
        {"GroupBox5", "LMDAssistPage5", {8, 48, 553, 169}},
        {"ComComboBox2", "GroupBox5", {216, 108, 145, 21}},
        {"Check_TAK", "GroupBox6", {248, 72, 57, 17}},
        {"btn_PROGRAM", "GroupBox7", {24, 48, 97, 25}},
        {"progress_PROGRAM", "GroupBox7", {16, 112, 521, 17}},
        {"lbl_FINISH", "LMDAssistPage6", {64, 48, 441, 113}},
        {"lbl_FINISH_INFO", "LMDAssistPage6", {56, 216, 457, 89}},
    };
    for (const auto& p : placed) {
        QWidget* widget = find(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), p.geometry) << p.name;
        EXPECT_EQ(widget->parentWidget(), find(p.parent)) << p.name;
    }
    EXPECT_EQ(find("LMDLabel14")->parentWidget(), find("GroupBox1"));

    auto* list = dynamic_cast<TComComboBox*>(w.form->FindComponent("ComComboBox2"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ComPort(), w.form->ComPort);
    EXPECT_EQ(list->ComProperty(), cpPort);
    EXPECT_TRUE(list->AutoApply());
    EXPECT_EQ(list->ItemHeight(), 13);

    // Visit every page so each lays itself out, then look for text that does not fit.
    for (int i = 0; i < w.frame.GetCount(); ++i) {
        w.frame.SetActivePage(w.frame.GetPage(i));
        QApplication::processEvents();
    }
    w.form->lbl_FINISH_INFO->SetVisible(true);
    for (TComponent* component : w.form->Components()) {
        if (dynamic_cast<TLabel*>(component) == nullptr)
            continue;
        const std::string name = component->Name();
        const TLabel& control = *dynamic_cast<TLabel*>(component);
        const QLabel* label = L(control);
        // Inside the parent's client area (a group box's frame stays clear).
        const TRect client = control.Parent()->ClientRect();
        EXPECT_EQ(label->parentWidget(), W(*control.Parent())) << name;
        EXPECT_LE(label->geometry().right(), client.Right() - 1) << name;
        EXPECT_LE(label->geometry().bottom(), client.Bottom() - 1) << name;
        if (label->wordWrap())
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
        else
            EXPECT_LE(label->sizeHint().width(), label->width()) << name;
    }
    EXPECT_LE(W(*w.form->Check_TAK)->sizeHint().width(), W(*w.form->Check_TAK)->width());
    EXPECT_LE(W(*w.form->btn_PROGRAM)->fontMetrics().horizontalAdvance("PROGRAMUJ") + 12,
              W(*w.form->btn_PROGRAM)->width());
}

TEST(MainForm, TheWholeWalk) {
    Wizard w;
    EXPECT_EQ(w.Page(), "LMDAssistPage1"); // although the stored ActivePage is page 4
    EXPECT_EQ(w.Bar(), "<< Cofnij- | Dalej >>+ | Przerwij+");
    for (const char* page : {"LMDAssistPage2", "LMDAssistPage3", "LMDAssistPage4", "LMDAssistPage5",
                             "LMDAssistPage7"}) {
        Click(w.Button(btnNext));
        EXPECT_EQ(w.Page(), page);
        EXPECT_EQ(w.Bar(), "<< Cofnij+ | Dalej >>+ | Przerwij+") << page;
    }
    Click(w.Button(btnNext));
    EXPECT_EQ(w.Page(), "LMDAssistPage6");
    EXPECT_EQ(w.Bar(), "<< Cofnij+ | Zakończ+ | Przerwij+");
    Click(w.Button(btnPrev));
    EXPECT_EQ(w.Page(), "LMDAssistPage7");
    Click(w.Button(btnNext));

    Click(w.Button(btnNext)); // "Zakończ"
    EXPECT_FALSE(W(*w.form)->isVisible());
    EXPECT_TRUE(w.boxes.shown.empty());
}

// A keyboard-only user: Return on every page, Space on the box, and Return on the result page
// finishes. The keys go to whatever has the focus, as a user's keys do.
TEST(MainForm, AKeyboardUserWalksToTheEndAndFinishes) {
    Wizard w;
    W(*w.form)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W(*w.form)));
    auto press = [](Qt::Key key) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, key);
    };
    QWidget* back = W(*w.Button(btnPrev));
    for (const char* page :
         {"LMDAssistPage2", "LMDAssistPage3", "LMDAssistPage4", "LMDAssistPage5"}) {
        press(Qt::Key_Return);
        EXPECT_EQ(w.Page(), page);
        EXPECT_NE(QApplication::focusWidget(), back) << page;
    }
    // The port page focuses its list, the programming page its box.
    EXPECT_EQ(QApplication::focusWidget(),
              W(*dynamic_cast<TControl*>(w.form->FindComponent("ComComboBox2"))));
    press(Qt::Key_Return);
    EXPECT_EQ(w.Page(), "LMDAssistPage7");
    EXPECT_EQ(QApplication::focusWidget(), W(*w.form->Check_TAK));
    press(Qt::Key_Space);
    EXPECT_TRUE(W(*w.form->btn_PROGRAM)->isEnabled());
    // The result page has nothing to focus: the focus stays off Back, and Return finishes.
    press(Qt::Key_Return);
    EXPECT_EQ(w.Page(), "LMDAssistPage6");
    EXPECT_NE(QApplication::focusWidget(), back);
    EXPECT_TRUE(W(*w.form)->isAncestorOf(QApplication::focusWidget()));
    press(Qt::Key_Return);
    EXPECT_FALSE(W(*w.form)->isVisible());
    EXPECT_TRUE(w.boxes.shown.empty());
}

// The same after an upload: its end moves to the result page from the programming button.
TEST(MainForm, AfterAnUploadReturnFinishes) {
    Wizard w;
    W(*w.form)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W(*w.form)));
    w.frame.SetActivePage(w.frame.GetPage(5));
    QTest::keyClick(W(*w.form->Check_TAK), Qt::Key_Space);
    w.form->btn_PROGRAM->SetFocus();
    w.frame.NextPage();
    w.Button(btnPrev)->SetVisible(false);
    w.Button(btnCancel)->SetVisible(false);
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_FALSE(W(*w.frame.GetPage(5))->isAncestorOf(focused));
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_FALSE(W(*w.form)->isVisible());
}

// Takes the addresses that the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<std::string> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url.toString().toStdString()); }
};

// The text styles of the pages, read off the real form.
TEST(MainForm, PageTextsHaveTheirStyles) {
    Wizard w;
    const QColor black(0, 0, 0), red(255, 0, 0), blue(0, 0, 255);
    const struct {
        const char* name;
        int height;
        bool bold, italic, underline;
        QColor colour;
        Qt::Alignment alignment;
    } styles[] = {
        {"LMDLabel4", 19, true, true, false, black, Qt::AlignLeft},         // heading
        {"LMDLabel15", 13, true, false, true, red, Qt::AlignLeft},          // warning
        {"LMDLabel1", 13, false, false, false, black, Qt::AlignLeft},       // body
        {"LMDLabel14", 12, false, false, false, black, Qt::AlignLeft},      // welcome text
        {"LMDLabel7", 13, false, false, false, black, Qt::AlignHCenter},    // centred body
        {"LMDSimpleLabel1", 15, true, true, true, blue, Qt::AlignLeft},     // link
        {"lbl_FINISH", 19, true, false, false, black, Qt::AlignHCenter},    // result
        {"lbl_FINISH_INFO", 16, true, false, false, red, Qt::AlignHCenter}, // advice
    };
    for (const auto& s : styles) {
        auto* label = dynamic_cast<TLabel*>(w.form->FindComponent(s.name));
        ASSERT_NE(label, nullptr) << s.name;
        const QFont f = W(*label)->font();
        EXPECT_EQ(f.family().toStdString(), "Arial") << s.name;
        EXPECT_EQ(f.pixelSize(), s.height) << s.name;
        EXPECT_EQ(f.bold(), s.bold) << s.name;
        EXPECT_EQ(f.italic(), s.italic) << s.name;
        EXPECT_EQ(f.underline(), s.underline) << s.name;
        EXPECT_EQ(W(*label)->palette().color(QPalette::WindowText), s.colour) << s.name;
        EXPECT_EQ(L(*label)->alignment() & Qt::AlignHorizontal_Mask, s.alignment) << s.name;
    }
    EXPECT_EQ(w.form->lbl_FINISH->TextEffect(), TTextEffect::Raised);
    EXPECT_TRUE(L(*w.form->lbl_FINISH)->wordWrap());
    EXPECT_TRUE(W(*w.form->lbl_FINISH_INFO)->isHidden());
    // The link's target is its caption.
    auto* link = dynamic_cast<TLinkLabel*>(w.form->FindComponent("LMDSimpleLabel1"));
    ASSERT_NE(link, nullptr);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    w.frame.SetActivePage(w.frame.GetPage(0));
    QTest::mouseClick(W(*link), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.opened, std::vector<std::string>{link->Caption()});
}

// Every text the result page can show fits its label.
TEST(MainForm, EveryOutcomeFitsTheResultPage) {
    Wizard w;
    w.frame.SetActivePage(w.frame.GetPage(6));
    QApplication::processEvents();
    TLabel* model = w.form->lbl_FINISH;
    const QLabel* result = L(*model);
    for (const char* text : {kUploadSuccessText, kUploadFailureText, kPortFailureText}) {
        std::string caption;
        for (const char* c = text; *c != '\0'; ++c)
            caption += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
        model->SetCaption(caption);
        EXPECT_LE(result->heightForWidth(result->width()), result->height()) << text;
        for (const QString& line : result->text().split('\n'))
            EXPECT_LE(result->fontMetrics().horizontalAdvance(line), result->width()) << text;
    }
}

// The display pictures keep the indent of their title line.
TEST(MainForm, DisplayTitlesAreIndented) {
    for (const char* name : {":/pictures/display-menu.bmp", ":/pictures/display-update.bmp"}) {
        const QImage image(name);
        ASSERT_FALSE(image.isNull()) << name;
        // Leftmost dark (text) pixel in a band of rows of the light display area, which
        // starts 30 pixels in.
        auto leftmost = [&](int top, int bottom) {
            for (int x = 30; x < image.width(); ++x)
                for (int y = top; y < bottom; ++y)
                    if (qGray(image.pixel(x, y)) < 100)
                        return x;
            return image.width();
        };
        const int title = leftmost(42, 58);
        const int third = leftmost(80, 94);
        EXPECT_GE(title, third + 14) << name;
    }
}

TEST(MainForm, CancelAsksAndOnlyYesCloses) {
    Wizard w;
    Click(w.Button(btnNext));
    w.boxes.answers = {mrNo};
    Click(w.Button(btnCancel));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    const TMessageRequest& box = w.boxes.shown[0];
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.text, "Czy chcesz przerwać proces aktualizacji oprogramowania ?");
    EXPECT_EQ(box.icon, TMsgIcon::Question);
    ASSERT_EQ(box.buttons.size(), 2u);
    EXPECT_EQ(box.buttons[0].caption, "&Yes");
    EXPECT_EQ(box.buttons[1].caption, "&No");
    EXPECT_EQ(box.defaultResult, mrYes);
    EXPECT_EQ(box.escapeResult, mrNo);
    EXPECT_TRUE(box.centreOnScreen);
    EXPECT_TRUE(W(*w.form)->isVisible());
    EXPECT_EQ(w.Page(), "LMDAssistPage2");
    EXPECT_EQ(w.Bar(), "<< Cofnij+ | Dalej >>+ | Przerwij+");

    w.boxes.answers = {mrYes};
    QTest::keyClick(W(*w.form), Qt::Key_Escape);
    EXPECT_EQ(w.boxes.shown.size(), 2u);
    EXPECT_FALSE(W(*w.form)->isVisible());
}

TEST(MainForm, TheTitleBarCloseAsksNothing) {
    Wizard w;
    W(*w.form)->close(); // the title bar's close
    EXPECT_FALSE(W(*w.form)->isVisible());
    EXPECT_TRUE(w.boxes.shown.empty());
}

TEST(MainForm, AfterAnUploadOnlyFinishIsLeft) {
    Wizard w;
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(W(*w.form), Qt::Key_Return);
    EXPECT_EQ(w.Page(), "LMDAssistPage7");
    // What the end of an upload does.
    w.frame.NextPage();
    w.Button(btnPrev)->SetVisible(false);
    w.Button(btnCancel)->SetVisible(false);
    EXPECT_EQ(w.Page(), "LMDAssistPage6");
    EXPECT_EQ(w.Bar(), "Zakończ+");
    EXPECT_EQ(W(*w.Button(btnNext))->geometry(), QRect(494, 371, 75, 24));
    QTest::keyClick(W(*w.form), Qt::Key_Escape);
    EXPECT_TRUE(w.boxes.shown.empty());
    QTest::keyClick(W(*w.form), Qt::Key_Return);
    EXPECT_FALSE(W(*w.form)->isVisible());
}

TEST(MainForm, AnExceptionInAHandlerIsShownAndTheWizardGoesOn) {
    Wizard w;
    w.frame.OnChange = [](TComponent*) { throw Exception("Handler failed"); };
    Click(w.Button(btnNext));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_EQ(w.boxes.shown[0].text, "Handler failed.");
    EXPECT_EQ(w.boxes.shown[0].icon, TMsgIcon::Error);
    EXPECT_EQ(w.Page(), "LMDAssistPage2");
    w.frame.OnChange = nullptr;
    Click(w.Button(btnNext));
    EXPECT_EQ(w.Page(), "LMDAssistPage3");
}

TEST(MainForm, DestroyingTheFormClosesAnOpenPort) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    {
        Wizard w;
        w.form->ComPort->SetPort(slave);
        w.form->ComPort->Open();
        ASSERT_TRUE(w.form->ComPort->Connected());
        TComPort other;
        other.SetPort(slave);
        EXPECT_THROW(other.Open(), EComPort); // held by the form's port
    }
    TComPort other;
    other.SetPort(slave);
    EXPECT_NO_THROW(other.Open());
    other.Close();
    close(master);
}

std::string WithReplaced(const std::string& from, const std::string& to) {
    std::string text = StoredForm1Description();
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(MainForm, AFailingDescriptionIsShownAndEndsStartUpWithAnError) {
    const struct {
        std::string from, to, message;
    } cases[] = {
        {"<property name=\"CtlXP\">True</property>", "<property name=\"CtlXp\">True</property>",
         "Error reading LMDAssist1.CtlXp: no such property in TLMDAssist (line 21)"},
        {"<property name=\"Font.Height\">-11</property>",
         "<property name=\"Font.Height\">0</property>",
         "Error reading Form1.Font.Height: Invalid font height '0'"},
        {"<property name=\"BaudRate\">br115200</property>",
         "<property name=\"BaudRate\">br115201</property>",
         "Error reading ComPort.BaudRate: Invalid property value 'br115201'"},
        // Values that would overflow the layout or the font arithmetic.
        {"<property name=\"Font.Height\">-11</property>",
         "<property name=\"Font.Height\">-2147483648</property>",
         "Error reading Form1.Font.Height: '-2147483648' is out of range (-1000..1000)"},
        {"<property name=\"CtlXP\">True</property>",
         "<property name=\"BtnWidth\">2147483647</property>",
         "Error reading LMDAssist1.BtnWidth: '2147483647' is out of range (0..32767)"},
        {"<property name=\"CtlXP\">True</property>", "<property name=\"BtnMargin\">-1</property>",
         "Error reading LMDAssist1.BtnMargin: '-1' is out of range (0..32767)"},
        {"<property name=\"CtlXP\">True</property>",
         "<property name=\"BtnHeight\">-2147483648</property>",
         "Error reading LMDAssist1.BtnHeight: '-2147483648' is out of range (0..32767)"},
        {"<property name=\"Left\">348</property>", "<property name=\"Left\">40000</property>",
         "Error reading Form1.Left: '40000' is out of range (-32768..32767)"},
        {"handler=\"LMDAssist1Completed\"", "handler=\"LMDAssist1Finished\"",
         "Error reading LMDAssist1.OnCompleted: handler LMDAssist1Finished not found (line 33)"},
    };
    for (const auto& c : cases) {
        TScriptedMessageBoxes boxes;
        EXPECT_EQ(RunWizard(WithReplaced(c.from, c.to)), 1);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, ExceptionDisplayText(c.message));
        EXPECT_EQ(boxes.shown[0].caption, ApplicationTitle());
    }
}

// The framework's texts come from "default", then "cport" (test catalogues of language xx).
TEST(MainForm, FrameworkTextsPassThroughTheCatalogues) {
    const char* const vars[] = {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* var : vars) {
        const char* value = getenv(var);
        saved.emplace_back(var, value ? std::optional<std::string>(value) : std::nullopt);
        unsetenv(var);
    }
    // No xx_YY catalogues: the two-letter ones of every domain are used.
    setenv("LANG", "xx_YY.UTF-8", 1);
    InitTextLookup();
    ComPortModuleStartup();
    {
        Wizard w;
        Click(w.Button(btnCancel));
        ASSERT_EQ(w.boxes.shown.size(), 1u);
        EXPECT_EQ(w.boxes.shown[0].caption, "Potwierdź");
        EXPECT_EQ(w.boxes.shown[0].buttons[0].caption, "&Tak (default)");
        EXPECT_EQ(w.boxes.shown[0].buttons[1].caption, "&No");
    }
    TScriptedMessageBoxes boxes;
    EXPECT_EQ(RunWizard(WithReplaced("<property name=\"Font.Height\">-11</property>",
                                     "<property name=\"Font.Height\">0</property>")),
              1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Błąd odczytu Form1.Font.Height: Invalid font height '0'");
    for (const auto& [var, value] : saved)
        if (value)
            setenv(var.c_str(), value->c_str(), 1);
        else
            unsetenv(var.c_str());
    InitTextLookup();
}

} // namespace

#include "FormTest.moc"
