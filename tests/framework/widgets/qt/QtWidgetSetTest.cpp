// The Qt widget set: each peer does what the model asks, read back from the real widgets, and
// the widgets' user actions reach the model through real events.
#include "framework/widgets/qt/QtWidgetSet.h"

#include "framework/Application.h"
#include "framework/ClassRegistry.h"
#include "framework/Controls.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "framework/Thread.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace tolvar;

namespace {

QWidget* W(const TControl& c) {
    return QtWidget(c);
}

QLabel* L(const TControl& c) {
    return qobject_cast<QLabel*>(QtWidget(c));
}

TFont Font(const char* name, int height, bool bold = false) {
    TFont f;
    f.name = name;
    f.height = height;
    f.bold = bold;
    return f;
}

class Window : public testing::Test {
protected:
    void Show() {
        form.ShowWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W(form)));
    }
    void Activate() {
        Show();
        W(form)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(W(form)));
    }

    TScriptedMessageBoxes boxes;
    TCustomForm form;
};

TEST_F(Window, PeersMirrorGeometryCaptionAndState) {
    form.SetCaption("Uaktualnienie");
    form.SetBounds({48, 10, 575, 405});
    auto* page = new TCustomPanel(&form, &form);
    page->SetBounds({2, 2, 571, 358});
    auto* box = new TGroupBox(&form, page);
    box->SetBounds({8, 48, 281, 289});
    auto* label = new TLabel(&form, box);
    label->SetAutoSize(false);
    label->SetBounds({8, 15, 251, 98});
    auto* button = new TButton(&form, box);
    button->SetBounds({24, 48, 97, 25});
    button->SetCaption("PROGRAMUJ");

    // The form is no window on the screen before it is shown.
    EXPECT_FALSE(W(form)->isVisible());
    Show();
    EXPECT_EQ(W(form)->windowTitle().toStdString(), "Uaktualnienie");
    EXPECT_EQ(W(form)->size(), QSize(575, 405));
    EXPECT_EQ(W(form)->pos(), QPoint(48, 10));
    EXPECT_EQ(W(*page)->geometry(), QRect(2, 2, 571, 358));
    EXPECT_EQ(W(*page)->parentWidget(), W(form));
    EXPECT_TRUE(qobject_cast<QGroupBox*>(W(*box)) != nullptr);
    EXPECT_TRUE(qobject_cast<QGroupBox*>(W(*box))->title().isEmpty());
    // A group box's children sit relative to its corner.
    EXPECT_EQ(W(*label)->geometry(), QRect(8, 15, 251, 98));
    EXPECT_EQ(W(*label)->parentWidget(), W(*box));
    EXPECT_EQ(qobject_cast<QPushButton*>(W(*button))->text().toStdString(), "PROGRAMUJ");
    EXPECT_FALSE(qobject_cast<QPushButton*>(W(*button))->autoDefault());

    button->SetEnabled(false);
    EXPECT_FALSE(W(*button)->isEnabled());
    box->SetVisible(false);
    EXPECT_TRUE(W(*box)->isHidden());
    EXPECT_FALSE(W(*button)->isVisible());
    box->SetVisible(true);
    EXPECT_TRUE(W(*button)->isVisible());
    page->SetEnabled(false);
    EXPECT_FALSE(W(*label)->isEnabled());

    button->SetDefault(true);
    EXPECT_TRUE(qobject_cast<QPushButton*>(W(*button))->isDefault());
    EXPECT_EQ(QtControl(W(*button)), button);
}

// Also run with QT_SCALE_FACTOR=1.5, where the stored 575 x 405 is larger than the screen.
TEST_F(Window, TheWindowKeepsItsPlaceWhereItFitsTheScreenElseMovesTheLeast) {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    form.SetBounds({work.left() + 10, work.top() + 20, 200, 100});
    EXPECT_EQ(W(form)->pos(), QPoint(work.left() + 10, work.top() + 20));
    form.SetBounds({work.left() + work.width() - 150, work.top() + work.height() - 40, 200, 100});
    // Scaled, the fit is made in device pixels, where the screen's edge is known to a pixel: it
    // may stop a unit short.
    const int slack = QGuiApplication::primaryScreen()->devicePixelRatio() > 1 ? 1 : 0;
    const QPoint edge(work.left() + work.width() - 200, work.top() + work.height() - 100);
    EXPECT_LE((edge - W(form)->pos()).x(), slack);
    EXPECT_LE((edge - W(form)->pos()).y(), slack);
    EXPECT_GE((edge - W(form)->pos()).x(), 0);
    EXPECT_GE((edge - W(form)->pos()).y(), 0);
    // The stored window: along a side where it is larger than the screen, at the screen's start;
    // along the other, inside.
    form.SetBounds({348, 266, 575, 405});
    const QPoint at = W(form)->pos();
    if (575 > work.width())
        EXPECT_EQ(at.x(), work.left());
    else
        EXPECT_TRUE(at.x() >= work.left() && at.x() + 575 <= work.left() + work.width());
    if (405 > work.height())
        EXPECT_EQ(at.y(), work.top());
    else
        EXPECT_TRUE(at.y() >= work.top() && at.y() + 405 <= work.top() + work.height());
    // The model keeps the stored place.
    EXPECT_EQ(form.Left(), 348);
    EXPECT_EQ(form.Top(), 266);
}

// In device pixels (units times the scale, rounded as Qt rounds them) the window lies on the
// screen to the pixel. Also run at 150 % on a 1366 x 768 screen, where a fit made in units ends
// a pixel past the right and bottom edges; the ctest entry gives the screen's size in pixels.
TEST_F(Window, TheWindowFitsTheScreenToThePixel) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const double scale = screen->devicePixelRatio();
    QSize pixels = screen->geometry().size();
    if (const QByteArray given = qgetenv("TOLVAR_SCREEN_PIXELS"); !given.isEmpty()) {
        const QList<QByteArray> sides = given.split('x');
        ASSERT_EQ(sides.size(), 2);
        pixels = QSize(sides[0].toInt(), sides[1].toInt());
    }
    auto device = [&](int v) { return qRound(v * scale); };
    form.SetBounds({348, 266, 575, 405});
    const QRect at = W(form)->frameGeometry();
    const int right = device(at.left()) + device(at.width());
    const int bottom = device(at.top()) + device(at.height());
    EXPECT_GE(device(at.left()), 0);
    EXPECT_GE(device(at.top()), 0);
    EXPECT_LE(right, pixels.width());
    EXPECT_LE(bottom, pixels.height());
    // Moved the least: less than one unit short of the edge it was past.
    if (348 + 575 > screen->availableGeometry().right()) {
        EXPECT_GT(right, pixels.width() - scale - 1);
    }
    if (266 + 405 > screen->availableGeometry().bottom()) {
        EXPECT_GT(bottom, pixels.height() - scale - 1);
    }
}

TEST_F(Window, FontsAreTheStoredOnesInPixelsWithTheirColours) {
    form.SetFont(Font("MS Sans Serif", -11));
    auto* label = new TLabel(&form, &form);
    TFont heading = Font("Arial", -19, true);
    heading.italic = true;
    heading.color = clRed;
    label->SetFont(heading);
    label->SetCaption("Nagłówek");
    auto* plain = new TLabel(&form, &form);
    plain->SetCaption("Postęp programowania:");

    const QFont f = W(*label)->font();
    EXPECT_EQ(f.family().toStdString(), "Arial");
    EXPECT_EQ(f.pixelSize(), 19);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.italic());
    EXPECT_FALSE(f.underline());
    EXPECT_EQ(W(form)->font().pixelSize(), 11);
    EXPECT_EQ(W(*plain)->font().pixelSize(), 11);
    EXPECT_EQ(W(*plain)->font().family().toStdString(), "MS Sans Serif");
    // Both classic faces are drawn with the metric-compatible font.
    EXPECT_EQ(QFont::substitute("Arial").toLower().toStdString(), "liberation sans");
    EXPECT_EQ(QFont::substitute("MS Sans Serif").toLower().toStdString(), "liberation sans");

    const QPalette app = QApplication::palette();
    EXPECT_EQ(W(*label)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(255, 0, 0));
    EXPECT_EQ(W(*plain)->palette().color(QPalette::Active, QPalette::WindowText),
              app.color(QPalette::Active, QPalette::WindowText));
    // Disabled text is grey, whatever its colour.
    label->SetEnabled(false);
    plain->SetEnabled(false);
    const QColor grey = app.color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_EQ(W(*label)->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
    EXPECT_EQ(W(*plain)->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
    // Back to the window text colour of the platform.
    heading.color = clWindowText;
    label->SetFont(heading);
    EXPECT_EQ(W(*label)->palette().color(QPalette::Active, QPalette::WindowText),
              app.color(QPalette::Active, QPalette::WindowText));
}

TEST_F(Window, LabelsLayTheirTextOutAsStyled) {
    form.SetFont(Font("MS Sans Serif", -11));
    auto* label = new TLabel(&form, &form);
    label->SetCaption("Uaktualnienie oprogramowania\r\nnie zostało zakończone.");
    EXPECT_EQ(L(*label)->text().toStdString(),
              "Uaktualnienie oprogramowania\nnie zostało zakończone.");
    EXPECT_EQ(L(*label)->textFormat(), Qt::PlainText);
    EXPECT_EQ(L(*label)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    // An auto-sized label takes the size the real label asks for.
    EXPECT_EQ(W(*label)->size(), W(*label)->sizeHint());

    label->SetAutoSize(false);
    label->SetBounds({64, 48, 441, 113});
    label->SetAlignment(TAlignment::Center);
    label->SetWordWrap(true);
    label->SetBorderWidth(4);
    EXPECT_EQ(L(*label)->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_TRUE(L(*label)->wordWrap());
    EXPECT_EQ(L(*label)->margin(), 4);
    label->SetAlignment(TAlignment::Right);
    EXPECT_EQ(L(*label)->alignment(), Qt::AlignRight | Qt::AlignTop);

    // Measured as the label lays it out, margin included.
    const TSize wrapped = WidgetSet().MeasureText(*label, 120);
    EXPECT_EQ(wrapped.height, L(*label)->heightForWidth(120));
    const TSize line = WidgetSet().MeasureText(*label, -1);
    EXPECT_GT(line.width, 120);
    EXPECT_LT(line.height, wrapped.height);
}

// Raised text: a highlight edge above left of the letters and no dark copy below right, which
// would read as a drop shadow.
TEST_F(Window, RaisedTextHasAHighlightEdgeAndNoShadow) {
    auto* page = new TCustomPanel(&form, &form);
    page->SetBounds({0, 0, 200, 40});
    page->SetColor(Rgb(240, 240, 240));
    auto* label = new TLabel(&form, page);
    label->SetAutoSize(false);
    label->SetBounds({0, 0, 200, 40});
    label->SetFont(Font("Arial", -19, true));
    QFont noSmoothing = W(*label)->font();
    noSmoothing.setStyleStrategy(QFont::NoAntialias);
    W(*label)->setFont(noSmoothing);
    label->SetCaption("IIII");
    auto colours = [&] {
        const QImage image = W(*page)->grab().toImage();
        std::set<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y) & 0xFFFFFF);
        return seen;
    };
    // Without anti-aliasing the plain text has two colours; raised adds the highlight only.
    const std::set<QRgb> plain = colours();
    const QImage before = W(*page)->grab().toImage();
    label->SetTextEffect(TTextEffect::Raised);
    std::set<QRgb> expected = plain;
    expected.insert(0xFFFFFF);
    EXPECT_EQ(plain.size(), 2u);
    EXPECT_EQ(colours(), expected);
    // The highlight sits one pixel above left of the letters' top-left corner.
    const QImage after = W(*page)->grab().toImage();
    const QRgb background = 0xFFF0F0F0;
    int left = before.width(), top = before.height();
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != background) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    ASSERT_GT(left, 0);
    ASSERT_GT(top, 0);
    EXPECT_EQ(after.pixel(left - 1, top - 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(after.pixel(left, top), before.pixel(left, top));
}

class PaintedPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
    void PeerPaint(TCanvas& canvas) override {
        canvas.FillRect(ClientRect(), clBtnFace);
        themed = canvas.DrawThemedTabBackground(ClientRect());
        canvas.DrawEtchedLine({10, 20, 30, 2});
        canvas.FillRect({0, 0, 4, 4}, clRed);
    }
    bool themed = true;
};

TEST_F(Window, APanelPaintsThroughTheCanvas) {
    auto* panel = new PaintedPanel(&form, &form);
    panel->SetBounds({0, 0, 60, 40});
    const QImage image = W(*panel)->grab().toImage();
    const QPalette p = QApplication::palette();
    const QRgb face = p.color(QPalette::Button).rgb();
    const QRgb shadow = p.color(QPalette::Dark).rgb();
    const QRgb light = p.color(QPalette::Light).rgb();
    EXPECT_FALSE(panel->themed);
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(50, 5), face);
    // The separator: a row of shadow over a row of highlight, exactly as wide as asked.
    EXPECT_EQ(image.pixel(10, 20), shadow);
    EXPECT_EQ(image.pixel(39, 20), shadow);
    EXPECT_EQ(image.pixel(10, 21), light);
    EXPECT_EQ(image.pixel(40, 20), face);
    EXPECT_EQ(image.pixel(9, 21), face);
    EXPECT_EQ(image.pixel(10, 22), face);
}

TEST_F(Window, PicturesAreTheProgramsAndDrawnWithoutTheTransparentColour) {
    EXPECT_EQ(WidgetSet().PictureSize("logo.bmp"), (TSize{289, 213}));
    EXPECT_FALSE(WidgetSet().PictureSize("missing.bmp"));
    EXPECT_FALSE(WidgetSet().PictureSize("../pictures/logo.bmp"));
    EXPECT_FALSE(WidgetSet().PictureSize(""));

    auto* page = new TCustomPanel(&form, &form);
    page->SetBounds({0, 0, 700, 700});
    page->SetColor(Rgb(0, 255, 0));
    auto* image = new TImage(&form, page);
    image->SetBounds({0, 0, 185, 140});
    image->SetPicture("logo.bmp");
    EXPECT_EQ(image->PictureSize(), (TSize{289, 213}));
    EXPECT_THROW(image->SetPicture("missing.bmp"), Exception);
    EXPECT_THROW(image->SetPicture("../pictures/logo.bmp"), Exception);
    image->SetProportional(true);
    image->SetStretch(true);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 185, 136}));
    // A small picture is not blown up unless stretching is asked for.
    image->SetBounds({0, 0, 600, 600});
    image->SetStretch(false);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 289, 213}));
    image->SetStretch(true);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 600, 442}));
    image->SetBounds({0, 0, 185, 140});
    image->SetCenter(true);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 2, 185, 136}));
    // Scaled into the frame keeping its aspect, centred: rows 2..137.
    QImage drawn = W(*image)->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(90, 0).rgb() & 0xFFFFFF, 0x00FF00u);
    EXPECT_NE(drawn.pixelColor(90, 70).rgb() & 0xFFFFFF, 0x00FF00u);

    image->SetTransparent(false);
    drawn = W(*image)->grab().toImage();
    // The logo's corner is the transparent colour; not left out, it shows.
    EXPECT_EQ(drawn.pixelColor(0, 2).rgb() & 0xFFFFFF, 0xFF00FFu);
    image->SetTransparent(true);
    drawn = W(*image)->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(0, 2).rgb() & 0xFFFFFF, 0x00FF00u);
    // Drawn already at one size, then the frame doubles: the picture fills the new one.
    image->SetBounds({0, 0, 370, 280});
    drawn = W(*image)->grab().toImage();
    EXPECT_NE(drawn.pixelColor(180, 140).rgb() & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(drawn.pixelColor(180, 1).rgb() & 0xFFFFFF, 0x00FF00u);
}

TEST_F(Window, AClientAlignedLabelFillsAGroupBoxInsideItsFrame) {
    auto* page = new TCustomPanel(&form, &form);
    page->SetBounds({0, 0, 400, 400});
    auto* box = new TGroupBox(&form, page);
    box->SetBounds({16, 16, 337, 313});
    auto* label = new TLabel(&form, box);
    TClassRegistry registry;
    RegisterControlClasses(registry);
    const auto* align = registry.Find("TLabel")->FindProperty("Align");
    ASSERT_NE(align, nullptr);
    TStoredValue client;
    client.text = "alClient";
    (*align)(*label, client);
    EXPECT_EQ(W(*label)->geometry(), QRect(2, 2, 333, 309));
    box->SetBounds({16, 16, 200, 100});
    EXPECT_EQ(W(*label)->geometry(), QRect(2, 2, 196, 96));
    client.text = "alTop";
    EXPECT_THROW((*align)(*label, client), Exception);
}

class CountingList : public TComboBox {
public:
    using TComboBox::TComboBox;
    std::vector<int> picks;

protected:
    void Change() override { picks.push_back(ItemIndex()); }
};

TEST_F(Window, UserActionsReachTheModel) {
    auto* box = new TCheckBox(&form, &form);
    box->SetBounds({8, 8, 57, 17});
    box->SetCaption("TAK");
    auto* button = new TButton(&form, &form);
    button->SetBounds({8, 40, 97, 25});
    auto* list = new CountingList(&form, &form);
    list->SetBounds({8, 80, 145, 21});
    auto* bar = new TProgressBar(&form, &form);
    bar->SetBounds({8, 120, 200, 17});
    std::vector<std::string> clicks;
    box->OnClick = [&](TComponent*) { clicks.push_back(box->Checked() ? "on" : "off"); };
    button->OnClick = [&](TComponent*) { clicks.push_back("button"); };
    Show();

    // The program's own change raises nothing.
    box->SetChecked(true);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(W(*box))->isChecked());
    EXPECT_TRUE(clicks.empty());
    QTest::mouseClick(W(*box), Qt::LeftButton);
    QTest::mouseClick(W(*box), Qt::LeftButton);
    QTest::mouseClick(W(*button), Qt::LeftButton);
    EXPECT_EQ(clicks, (std::vector<std::string>{"off", "on", "button"}));

    auto* combo = qobject_cast<QComboBox*>(W(*list));
    EXPECT_FALSE(combo->isEditable());
    list->SetItems({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"});
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentIndex(), -1);
    list->SetItemIndex(1);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_TRUE(list->picks.empty());
    list->SetFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(list->picks, std::vector<int>{2});
    EXPECT_EQ(list->ItemIndex(), 2);
    // Backspace picks nothing.
    QTest::keyClick(combo, Qt::Key_Backspace);
    EXPECT_EQ(list->picks.size(), 1u);
    EXPECT_EQ(combo->currentIndex(), 2);

    auto* progress = qobject_cast<QProgressBar*>(W(*bar));
    EXPECT_FALSE(progress->isTextVisible());
    bar->SetMax(250);
    bar->SetPosition(120);
    EXPECT_EQ(progress->maximum(), 250);
    EXPECT_EQ(progress->value(), 120);
}

// The darkest pixel of an area, as its lightness.
int Darkest(const QImage& image, const QRect& area) {
    int darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            darkest = std::min(darkest, QColor(image.pixel(x, y)).lightness());
    return darkest;
}

TEST_F(Window, TheDroppedListShowsEachDetailBesideItsName) {
    auto* list = new CountingList(&form, &form);
    list->SetBounds({8, 80, 145, 21});
    const std::string usb = "USB Serial Port, FTDI, 0403:6001, serial A10K3XYZ";
    list->SetItemDetails({"on-board UART", usb});
    list->SetItems({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"});
    list->SetItemIndex(1);
    Show();
    auto* combo = qobject_cast<QComboBox*>(W(*list));

    // The field keeps its size; the dropped list is as wide as name and detail together.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QFontMetrics metrics(view->font());
    const int line = metrics.horizontalAdvance("/dev/ttyUSB0") +
                     metrics.horizontalAdvance(QString::fromStdString(usb));
    EXPECT_GE(view->viewport()->width(), line);
    EXPECT_EQ(combo->width(), 145);
    EXPECT_EQ(combo->currentText(), "/dev/ttyUSB0");

    // The detail is drawn right of the name, lighter than the name.
    const QImage shot = view->viewport()->grab().toImage();
    const QRect row = view->visualRect(combo->model()->index(2, 0));
    const QRect named = view->visualRect(combo->model()->index(0, 0));
    const int nameEnd = named.left() + metrics.horizontalAdvance("/dev/ttyS0 ") + 4;
    const QRect nameArea(named.left(), named.top(), nameEnd - named.left(), named.height());
    const QRect detailArea(nameEnd + metrics.averageCharWidth(), named.top(),
                           metrics.horizontalAdvance("on-board"), named.height());
    EXPECT_LT(Darkest(shot, nameArea), 100);
    EXPECT_LT(Darkest(shot, detailArea), 230);
    EXPECT_GT(Darkest(shot, detailArea), Darkest(shot, nameArea) + 40);
    // An item without a detail shows its name alone.
    EXPECT_EQ(Darkest(shot, QRect(nameEnd + 30, row.top(), 60, row.height())), 255);
    combo->hidePopup();
    // Closed, the list has no height (its lines then read as not showing); dropped again, its own.
    EXPECT_EQ(view->height(), 0);
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->viewport()->width() >= line; }, 5000));
    combo->hidePopup();

    // Tooltip and accessible description follow the selection, the program's and the user's.
    EXPECT_EQ(combo->toolTip().toStdString(), usb);
    EXPECT_EQ(combo->accessibleDescription().toStdString(), usb);
    list->SetFocus();
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(list->picks, std::vector<int>{0});
    EXPECT_EQ(combo->toolTip(), "on-board UART");
    EXPECT_EQ(combo->accessibleDescription(), "on-board UART");
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(combo->toolTip().isEmpty());
    EXPECT_TRUE(combo->accessibleDescription().isEmpty());
    // New details reach the selected item at once; markup in them is shown as text.
    list->SetItemDetails({"", "", "<b>x</b>"});
    EXPECT_TRUE(combo->toolTip().contains("&lt;b&gt;"));
    EXPECT_EQ(combo->accessibleDescription(), "<b>x</b>");
    list->SetItems({"/dev/ttyS0"});
    EXPECT_TRUE(combo->toolTip().isEmpty());
}

class KeyRecorder : public TDialogKeyHandler {
public:
    bool DialogKey(TKey key) override {
        keys.push_back(key);
        return take;
    }
    std::vector<TKey> keys;
    bool take = true;
};

// What the common suite leaves out: the keypad's Enter, modifiers, a container with the focus.
TEST_F(Window, ReturnAndEscapeNobodyTookGoToTheForm) {
    auto* frame = new TCustomPanel(&form, &form);
    frame->SetBounds({0, 0, 300, 200});
    auto* box = new TCheckBox(&form, frame);
    box->SetBounds({8, 8, 57, 17});
    auto* other = new TButton(&form, frame);
    other->SetBounds({8, 40, 75, 25});
    int pressed = 0;
    other->OnClick = [&](TComponent*) { ++pressed; };
    KeyRecorder recorder;
    form.AddDialogKeyHandler(&recorder);
    Activate();

    box->SetFocus();
    EXPECT_TRUE(box->Focused());
    EXPECT_EQ(WidgetSet().FocusedControl(), box);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // With a modifier it is no dialog key.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(recorder.keys, (std::vector<TKey>{TKey::Return, TKey::Return, TKey::Escape}));

    EXPECT_EQ(pressed, 0);

    // The frame holds the focus although it is no tab stop, and passes the keys on.
    frame->SetFocus();
    EXPECT_TRUE(frame->Focused());
    EXPECT_EQ(form.ActiveControl(), frame);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(recorder.keys.size(), 4u);
    form.RemoveDialogKeyHandler(&recorder);
}

// Takes the addresses of the made-up scheme "tolvartest" in place of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<std::string> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url.toString().toStdString()); }
};

TEST_F(Window, ALinkTurnsPurpleOpensItsAddressAndDiesWhenItCannot) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("tolvartest", &catcher, "open");
    auto* link = new TLinkLabel(&form, &form);
    link->SetCaption("tolvartest://www.zefra.example");
    Show();
    auto colour = [&] { return W(*link)->palette().color(QPalette::WindowText); };
    EXPECT_EQ(colour(), QColor(0, 0, 255));
    EXPECT_EQ(W(*link)->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(W(*link), Qt::LeftButton);
    EXPECT_EQ(colour(), QColor(128, 0, 128));
    EXPECT_TRUE(catcher.opened.empty());
    QTest::mouseRelease(W(*link), Qt::LeftButton);
    EXPECT_EQ(catcher.opened, std::vector<std::string>{"tolvartest://www.zefra.example"});
    // The right button does nothing, nor a press let go outside the link.
    QTest::mouseClick(W(*link), Qt::RightButton);
    QTest::mousePress(W(*link), Qt::LeftButton);
    QTest::mouseRelease(W(*link), Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(catcher.opened.size(), 1u);
    QDesktopServices::unsetUrlHandler("tolvartest");

    // Nothing opens this one: the link is dead and looks it, grey and without the hand.
    link->SetCaption("tolvar-none-such:x");
    QTest::mouseClick(W(*link), Qt::LeftButton);
    EXPECT_FALSE(W(*link)->isEnabled());
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_EQ(W(*link)->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
    EXPECT_NE(W(*link)->cursor().shape(), Qt::PointingHandCursor);
}

// Through Qt's accessibility interface, as its AT-SPI bridge hands it to Orca: our own widgets
// take the model's role, Qt's widgets keep theirs with the model's name and description.
TEST_F(Window, ScreenReadersGetEachKindsRoleNameAndStates) {
    auto a = [](const TControl& c) { return QAccessible::queryAccessibleInterface(W(c)); };
    form.SetCaption("Uaktualnienie");
    auto* page = new TCustomPanel(&form, &form);
    page->SetAccessibleRole(TAccessibleRole::Page);
    page->SetAccessibleName("Witamy");
    auto* hidden = new TCustomPanel(&form, &form);
    hidden->Hide();
    auto* label = new TLabel(&form, page);
    label->SetCaption("a\r\nb");
    auto* image = new TImage(&form, page);
    image->SetPicture("logo.bmp");
    auto* check = new TCheckBox(&form, page);
    check->SetCaption("TAK");
    check->SetAccessibleDescription("Czy na pewno?");
    auto* bar = new TProgressBar(&form, page);
    bar->SetAccessibleName("Postęp programowania");
    auto* instruction = new TLabel(&form, page);
    instruction->SetCaption("Wybierz port");
    auto* list = new TComboBox(&form, page);
    list->SetItems({"COM1", "COM2"});
    list->SetItemDetails({"wbudowany port szeregowy"});
    list->SetLabelledBy(*instruction);
    list->SetItemIndex(0);
    auto* link = new TLinkLabel(&form, page);
    link->SetCaption("tolvartest://www.zefra.example");
    form.Loaded();
    Show();

    EXPECT_EQ(a(form)->role(), QAccessible::Dialog);
    EXPECT_EQ(a(form)->text(QAccessible::Name).toStdString(), "Uaktualnienie");
    EXPECT_EQ(a(*page)->role(), QAccessible::PropertyPage);
    EXPECT_EQ(a(*page)->text(QAccessible::Name).toStdString(), "Witamy");
    EXPECT_FALSE(a(*page)->state().invisible);
    // Nothing of a hidden container is showing.
    EXPECT_TRUE(a(*hidden)->state().invisible);
    EXPECT_EQ(a(*label)->role(), QAccessible::StaticText);
    EXPECT_EQ(a(*label)->text(QAccessible::Name).toStdString(), "a\nb");
    EXPECT_TRUE(a(*label)->state().readOnly);
    EXPECT_FALSE(a(*label)->state().focusable);
    label->SetAccessibleRole(TAccessibleRole::Heading);
    EXPECT_EQ(a(*label)->role(), QAccessible::Heading);
    EXPECT_EQ(a(*image)->role(), QAccessible::Graphic);
    EXPECT_EQ(a(*image)->text(QAccessible::Name).toStdString(), "Logo firmy ZEFRA");
    EXPECT_EQ(a(*check)->role(), QAccessible::CheckBox);
    EXPECT_EQ(a(*check)->text(QAccessible::Description).toStdString(), "Czy na pewno?");
    EXPECT_EQ(a(*bar)->role(), QAccessible::ProgressBar);
    EXPECT_EQ(a(*bar)->text(QAccessible::Name).toStdString(), "Postęp programowania");
    // The list: labelled by the text beside it (Qt names it by its pick on Linux), its value the
    // pick, the pick's detail its description, each dropped line read with its detail.
    const auto labels = a(*list)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->object(), W(*instruction));
    EXPECT_EQ(a(*list)->text(QAccessible::Value).toStdString(), "COM1");
    EXPECT_EQ(a(*list)->text(QAccessible::Description).toStdString(), "wbudowany port szeregowy");
    auto* combo = qobject_cast<QComboBox*>(W(*list));
    EXPECT_EQ(combo->itemData(0, Qt::AccessibleTextRole).toString().toStdString(),
              "COM1, wbudowany port szeregowy");
    EXPECT_FALSE(combo->itemData(1, Qt::AccessibleTextRole).isValid());

    // The link: a tab stop whose press follows it as a click does.
    EXPECT_EQ(a(*link)->role(), QAccessible::Link);
    EXPECT_TRUE(a(*link)->state().focusable);
    EXPECT_TRUE(a(*link)->state().linked);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("tolvartest", &catcher, "open");
    QAccessibleActionInterface* action = a(*link)->actionInterface();
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
    link->SetFocus();
    QTest::keyClick(W(*link), Qt::Key_Space);
    QTest::keyClick(W(*link), Qt::Key_Return);
    QDesktopServices::unsetUrlHandler("tolvartest");
    EXPECT_EQ(catcher.opened.size(), 3u);

    // An announcement is a notification that shows with the text as its name.
    form.Announce("1. Sprawdzenie\nSprawdź typ");
    QAccessibleInterface* announced = nullptr;
    for (int i = 0; i < a(form)->childCount(); ++i)
        if (a(form)->child(i)->role() == QAccessible::Notification)
            announced = a(form)->child(i);
    ASSERT_NE(announced, nullptr);
    EXPECT_FALSE(announced->state().invisible);
    EXPECT_FALSE(announced->state().focusable);
    EXPECT_EQ(announced->text(QAccessible::Name).toStdString(), "1. Sprawdzenie\nSprawdź typ");
}

// In a high-contrast palette (pure black on white here) stored text colours give way to the
// palette's; in an ordinary one they stay.
TEST_F(Window, HighContrastTextFollowsThePalette) {
    const QPalette ordinary = QApplication::palette();
    auto* red = new TLabel(&form, &form);
    TFont f = red->Font();
    f.color = clRed;
    red->SetFont(f);
    EXPECT_EQ(W(*red)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QPalette contrast = ordinary;
    contrast.setColor(QPalette::Window, Qt::white);
    contrast.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(contrast);
    auto* shown = new TLabel(&form, &form);
    shown->SetFont(f);
    const QColor text = W(*shown)->palette().color(QPalette::WindowText);
    QApplication::setPalette(ordinary);
    EXPECT_EQ(text, QColor(Qt::black));
}

TEST(WidgetSet, AnExceptionOfAPostedCallIsShownAndTheLoopGoesOn) {
    TScriptedMessageBoxes boxes;
    WidgetSet().Post([] { throw Exception("Posted failed"); });
    WidgetSet().ProcessMessages(false);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Posted failed.");
}

// The real modal box, answered by keys as a user answers it.
TEST(WidgetSet, TheModalBoxShowsTheRequestAndReturnsTheChosenResult) {
    TMessageRequest request;
    request.caption = "Confirm";
    request.text = "Czy chcesz przerwać proces aktualizacji oprogramowania ?";
    request.icon = TMsgIcon::Question;
    request.buttons = {{"&Yes", mrYes}, {"&No", mrNo}};
    request.defaultResult = mrYes;
    request.escapeResult = mrNo;
    request.centreOnScreen = true;
    struct Seen {
        std::string caption, text, buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool centred = false;
    } seen;
    auto answer = [&](Qt::Key key) {
        QTimer::singleShot(0, [&, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.caption = box->windowTitle().toStdString();
            seen.text = box->text().toStdString();
            seen.icon = box->icon();
            seen.buttons.clear();
            for (QAbstractButton* b : box->buttons())
                seen.buttons += b->text().toStdString() + (b == box->defaultButton() ? "*" : "") +
                                (b == box->escapeButton() ? "^" : "") + " ";
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            // Centred as laid out before it is shown; showing may still widen it a little.
            seen.centred =
                (box->frameGeometry().center() - screen.center()).manhattanLength() <= 24;
            QTest::keyClick(box, key);
        });
        return WidgetSet().ShowMessageBox(request);
    };
    EXPECT_EQ(answer(Qt::Key_Return), mrYes);
    EXPECT_EQ(seen.caption, "Confirm");
    EXPECT_EQ(seen.text, request.text);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_NE(seen.buttons.find("&Yes*"), std::string::npos) << seen.buttons;
    EXPECT_NE(seen.buttons.find("&No^"), std::string::npos) << seen.buttons;
    EXPECT_TRUE(seen.centred);
    EXPECT_EQ(answer(Qt::Key_Escape), mrNo);
    request.icon = TMsgIcon::Error;
    request.buttons = {{"OK", mrOk}};
    request.defaultResult = request.escapeResult = mrOk;
    EXPECT_EQ(answer(Qt::Key_Escape), mrOk);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

// A worker's synchronised call wakes the message loop up and runs there.
TEST(WidgetSet, SynchronisedCallsOfOtherThreadsRunFromTheMessageLoop) {
    class Worker : public TThread {
    public:
        std::atomic<bool> ran{false};
        std::thread::id on;

    protected:
        void Execute() override {
            Synchronize([this] {
                on = std::this_thread::get_id();
                ran = true;
            });
        }
    } worker;
    worker.Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return worker.ran.load(); }, 5000));
    worker.WaitFor();
    EXPECT_EQ(worker.on, std::this_thread::get_id());
}

TEST(WidgetSet, AnExceptionInAnEventHandlerIsShown) {
    TScriptedMessageBoxes boxes;
    TCustomForm form;
    auto* button = new TButton(&form, &form);
    button->SetBounds({0, 0, 75, 25});
    button->OnClick = [](TComponent*) { throw Exception("Handler failed"); };
    form.ShowWindow();
    QTest::mouseClick(W(*button), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Handler failed.");
    EXPECT_EQ(boxes.shown[0].caption, "Test title");
}

} // namespace

#include "QtWidgetSetTest.moc"
