// The Win32 widget set under Wine: what the control model asks is read back from the real
// windows through the Win32 API, and the keyboard rules are driven with real key messages.

#include "framework/widgets/win32/Win32WidgetSet.h"

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Process.h"
#include "tests/support/WidgetSetContract.h"

#include <algorithm>
#include <commctrl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <oleacc.h>
#include <string>
#include <uxtheme.h>
#include <vector>

namespace tolvar {
namespace {

// Where a child window sits in its parent's client area.
RECT PlaceOf(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

LOGFONTW FontOf(HWND window) {
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    EXPECT_NE(handle, nullptr);
    GetObjectW(handle, sizeof font, &font);
    return font;
}

// The client area as the window paints it.
class TPrinted {
public:
    explicit TPrinted(HWND window) {
        RECT client;
        GetClientRect(window, &client);
        screen_ = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_ = CreateCompatibleBitmap(screen_, client.right, client.bottom);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    }
    ~TPrinted() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
    // Whether any pixel of the area has the colour.
    bool Has(COLORREF color, const RECT& area) const {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) == color)
                    return true;
        return false;
    }

private:
    HDC screen_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

// The message box of this thread: test programs run side by side on one desktop.
HWND OurBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (std::wstring(name) != L"TolvarMessageBox")
                return TRUE;
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class TCountingButton : public TButton {
public:
    TCountingButton(TComponent* owner, TWinControl* parent) : TButton(owner, parent) {
        OnClick = [this](TComponent*) { ++clicks; };
    }
    int clicks = 0;
    bool swallowReturn = false;
    std::vector<TKey> keys;
    bool PeerKey(TKey key) override {
        keys.push_back(key);
        return swallowReturn && key == TKey::Return;
    }
};

class TPickingCombo : public TComboBox {
public:
    using TComboBox::TComboBox;
    std::vector<int> picks;

protected:
    void Change() override { picks.push_back(ItemIndex()); }
};

class TPaintedPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
    int paints = 0;
    void PeerPaint(TCanvas& canvas) override {
        ++paints;
        canvas.FillRect({10, 10, 20, 10}, clRed);
        canvas.DrawEtchedLine({0, 40, 50, 2});
        themed = canvas.DrawThemedTabBackground(themedAt);
    }
    bool themed = true;
    TRect themedAt{0, 60, 10, 10};
};

class Win32Widgets : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        widgets = std::make_unique<TWin32WidgetSet>(GetParam());
        previous = SetWidgetSet(widgets.get());
        form = std::make_unique<TCustomForm>();
        form->SetBounds({348, 266, 575, 405});
        panel = new TPaintedPanel(form.get(), form.get());
        panel->SetBounds({2, 2, 571, 354});
    }
    void TearDown() override {
        form.reset();
        SetWidgetSet(previous);
        widgets.reset();
    }
    int S(int stored) const { return MulDiv(stored, GetParam(), 96); }
    HWND H(const TControl& control) const { return TWin32WidgetSet::Handle(control); }
    // A key pressed and released on the focused window, through the message loop.
    void Press(WPARAM key) {
        HWND focus = GetFocus();
        ASSERT_NE(focus, nullptr);
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
        widgets->ProcessMessages(false);
    }
    void Show() {
        form->ShowWindow();
        widgets->ProcessMessages(false);
    }

    std::unique_ptr<TWin32WidgetSet> widgets;
    TWidgetSet* previous = nullptr;
    std::unique_ptr<TCustomForm> form;
    TPaintedPanel* panel = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Dpi, Win32Widgets, ::testing::Values(96, 144));

TEST_P(Win32Widgets, FormHasTheStoredClientSizeAtTheStoredPositionWhereItFitsAndItsCaption) {
    form->SetCaption("Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0 zażółć");
    Show();
    RECT client;
    GetClientRect(H(*form), &client);
    EXPECT_EQ(client.right, S(575));
    EXPECT_EQ(client.bottom, S(405));
    RECT outer;
    GetWindowRect(H(*form), &outer);
    // At the stored position where the window fits the work area (Wine's screen here is small:
    // at 144 dpi the window would reach beyond it, and stands inside instead).
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(H(*form), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    if (S(348) + (outer.right - outer.left) <= work.right)
        EXPECT_EQ(outer.left, S(348));
    else
        EXPECT_EQ(outer.right, work.right);
    if (S(266) + (outer.bottom - outer.top) <= work.bottom)
        EXPECT_EQ(outer.top, S(266));
    else
        EXPECT_EQ(outer.bottom, work.bottom);
    EXPECT_EQ(TextOf(H(*form)), L"Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0 zażółć");
    EXPECT_TRUE(GetWindowLongPtrW(H(*form), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(IsWindowVisible(H(*form)));
}

// Scaled by the DPI, the stored place may leave part of the window outside the work area of its
// monitor: then it moves the least that brings it in, or, larger than the area, to its corner.
TEST_P(Win32Widgets, TheWindowFitsTheWorkAreaOfItsMonitor) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(H(*form), MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT work = monitor.rcWork;
    auto outer = [&] {
        RECT r;
        GetWindowRect(H(*form), &r);
        return r;
    };
    // Near the work area's bottom right corner: moved back until it ends there.
    form->SetBounds({MulDiv(work.right, 96, GetParam()) - 50,
                     MulDiv(work.bottom, 96, GetParam()) - 50, 300, 200});
    EXPECT_EQ(outer().right, work.right);
    EXPECT_EQ(outer().bottom, work.bottom);
    // Inside: where it was stored.
    form->SetBounds({10, 10, 300, 200});
    EXPECT_EQ(outer().left, S(10));
    EXPECT_EQ(outer().top, S(10));
    // Larger than the work area: its corner at the area's.
    form->SetBounds({348, 266, MulDiv(work.right - work.left, 96, GetParam()) + 100,
                     MulDiv(work.bottom - work.top, 96, GetParam()) + 100});
    EXPECT_EQ(outer().left, work.left);
    EXPECT_EQ(outer().top, work.top);
    // The model keeps what was stored.
    EXPECT_EQ(form->Left(), 348);
}

TEST_P(Win32Widgets, TaskBarEntryCarriesTheApplicationTitleAndOwnsTheForm) {
    widgets->SetTitle("TOLVAR ver. 1.5.0 UPDATE");
    Show();
    HWND application = GetWindow(H(*form), GW_OWNER);
    ASSERT_EQ(application, widgets->ApplicationWindow());
    EXPECT_EQ(TextOf(application), L"TOLVAR ver. 1.5.0 UPDATE");
    EXPECT_EQ(GetWindow(application, GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowVisible(application));
    EXPECT_FALSE(GetWindowLongPtrW(application, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_P(Win32Widgets, ChildrenSitWhereTheModelPutsThemScaled) {
    auto* button = new TButton(form.get(), panel);
    button->SetBounds({494, 369, 75, 24});
    auto* group = new TGroupBox(form.get(), panel);
    group->SetBounds({16, 100, 200, 80});
    auto* check = new TCheckBox(form.get(), group);
    check->SetBounds({8, 15, 150, 17});
    auto* combo = new TComboBox(form.get(), panel);
    combo->SetBounds({16, 200, 145, 21});

    const RECT p = PlaceOf(H(*panel));
    EXPECT_EQ(p.left, S(2));
    EXPECT_EQ(p.top, S(2));
    EXPECT_EQ(p.right, S(573));
    EXPECT_EQ(p.bottom, S(356));
    const RECT b = PlaceOf(H(*button));
    EXPECT_EQ(b.left, S(494));
    EXPECT_EQ(b.top, S(369));
    EXPECT_EQ(b.right, S(569));
    EXPECT_EQ(b.bottom, S(393));
    // A group box's child is placed from the group box's own corner.
    EXPECT_EQ(GetParent(H(*check)), H(*group));
    const RECT c = PlaceOf(H(*check));
    EXPECT_EQ(c.left, S(8));
    EXPECT_EQ(c.top, S(15));
    EXPECT_EQ(c.right - c.left, S(150));
    const RECT d = PlaceOf(H(*combo));
    EXPECT_EQ(d.left, S(16));
    EXPECT_EQ(d.right, S(161));
}

TEST_P(Win32Widgets, CaptionEnabledVisibleAndFocusReachTheWindow) {
    auto* button = new TButton(form.get(), panel);
    button->SetCaption("Zakończ");
    EXPECT_EQ(TextOf(H(*button)), L"Zakończ");
    EXPECT_TRUE(IsWindowEnabled(H(*button)));
    button->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(H(*button)));
    button->SetEnabled(true);
    Show();
    EXPECT_TRUE(IsWindowVisible(H(*button)));
    button->Hide();
    EXPECT_FALSE(IsWindowVisible(H(*button)));
    button->Show();
    EXPECT_TRUE(IsWindowVisible(H(*button)));

    auto* check = new TCheckBox(form.get(), panel);
    check->SetFocus();
    EXPECT_EQ(GetFocus(), H(*check));
    EXPECT_TRUE(check->Focused());
    EXPECT_FALSE(button->Focused());
    EXPECT_EQ(widgets->FocusedControl(), check);
    button->SetFocus();
    EXPECT_EQ(widgets->FocusedControl(), button);
}

TEST_P(Win32Widgets, FontsAreCreatedAtTheStoredHeightScaled) {
    auto* label = new TLabel(form.get(), panel);
    TFont arial;
    arial.name = "Arial";
    arial.height = -13;
    arial.bold = true;
    arial.underline = true;
    label->SetFont(arial);
    LOGFONTW font = FontOf(H(*label));
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    EXPECT_EQ(font.lfHeight, S(-13));
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_FALSE(font.lfItalic);
    EXPECT_EQ(font.lfCharSet, EASTEUROPE_CHARSET);

    // Every control starts with the form's font.
    auto* button = new TButton(form.get(), panel);
    font = FontOf(H(*button));
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(font.lfHeight, S(-11));
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
}

TEST_P(Win32Widgets, LabelDrawsInItsColoursAndMeasuresItsText) {
    auto* label = new TLabel(form.get(), panel);
    label->SetAutoSize(false);
    label->SetBounds({0, 0, 200, 40});
    label->SetColor(clBlue);
    TFont font = label->Font();
    font.color = clRed;
    label->SetFont(font);
    label->SetCaption("MMMM");
    {
        const TPrinted printed(H(*label));
        EXPECT_EQ(printed.At(S(199), S(39)), RGB(0, 0, 255));
        EXPECT_TRUE(printed.Has(RGB(255, 0, 0), {0, 0, S(60), S(20)}));
    }
    label->SetEnabled(false);
    {
        const TPrinted printed(H(*label));
        EXPECT_FALSE(printed.Has(RGB(255, 0, 0), {0, 0, S(60), S(20)}));
        EXPECT_TRUE(printed.Has(GetSysColor(COLOR_GRAYTEXT), {0, 0, S(60), S(20)}));
    }
    label->SetEnabled(true);
    // Centred text leaves the left part empty; a margin moves it in.
    label->SetAlignment(TAlignment::Center);
    {
        const TPrinted printed(H(*label));
        EXPECT_FALSE(printed.Has(RGB(255, 0, 0), {0, 0, S(60), S(40)}));
        EXPECT_TRUE(printed.Has(RGB(255, 0, 0), {S(70), 0, S(130), S(20)}));
    }
    label->SetAlignment(TAlignment::Left);
    label->SetBorderWidth(10);
    {
        const TPrinted printed(H(*label));
        EXPECT_FALSE(printed.Has(RGB(255, 0, 0), {0, 0, S(200), S(9)}));
        EXPECT_FALSE(printed.Has(RGB(255, 0, 0), {0, 0, S(9), S(40)}));
        EXPECT_TRUE(printed.Has(RGB(255, 0, 0), {S(10), S(10), S(60), S(30)}));
    }
    label->SetBorderWidth(0);
    // Raised: a copy in the highlight colour up and to the left.
    label->SetTextEffect(TTextEffect::Raised);
    {
        const TPrinted printed(H(*label));
        EXPECT_TRUE(printed.Has(GetSysColor(COLOR_BTNHIGHLIGHT), {0, 0, S(60), S(20)}));
    }

    const TSize one = WidgetSet().MeasureText(*label, -1);
    EXPECT_GT(one.width, 20);
    EXPECT_LT(one.width, 60);
    EXPECT_GE(one.height, 11);
    label->SetCaption("word word word word word word word word");
    const TSize line = WidgetSet().MeasureText(*label, -1);
    label->SetWordWrap(true);
    const TSize wrapped = WidgetSet().MeasureText(*label, 60);
    EXPECT_LE(wrapped.width, 60);
    EXPECT_GE(wrapped.height, 3 * line.height);
    label->SetWordWrap(false);
    label->SetCaption("one\r\ntwo");
    EXPECT_EQ(WidgetSet().MeasureText(*label, -1).height, 2 * line.height);
}

TEST_P(Win32Widgets, ALinkShowsTheHandCursorAPlainLabelTheArrow) {
    auto* link = new TLinkLabel(form.get(), panel);
    link->SetCaption("https://example.invalid/");
    auto* label = new TLabel(form.get(), panel);
    label->SetCaption("plain");
    Show();
    HCURSOR hand = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
    HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    auto over = [](HWND window) {
        SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_EQ(over(H(*link)), hand);
    EXPECT_EQ(over(H(*label)), arrow);
}

TEST_P(Win32Widgets, PanelPaintsThroughTheCanvasInStoredUnits) {
    panel->SetColor(clBtnFace);
    const TPrinted printed(H(*panel));
    EXPECT_GT(panel->paints, 0);
    EXPECT_EQ(printed.At(S(10), S(10)), RGB(255, 0, 0));
    EXPECT_EQ(printed.At(S(29), S(19)), RGB(255, 0, 0));
    EXPECT_EQ(printed.At(S(31), S(21)), GetSysColor(COLOR_BTNFACE));
    // Etched: the shadow row over the highlight row.
    EXPECT_EQ(printed.At(S(20), S(40)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(printed.At(S(20), S(40) + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    // Themed where visual styles are on, and the caller is told whether it was.
    EXPECT_EQ(panel->themed, IsThemeActive() && IsAppThemed());
}

// Drawn once and kept, the themed background is still the theme's own at each place and size.
TEST_P(Win32Widgets, ThemedBackgroundIsTheThemesOwnAtEachPlaceAndSize) {
    if (!IsThemeActive() || !IsAppThemed())
        GTEST_SKIP() << "visual styles are off";
    HTHEME theme = OpenThemeData(H(*panel), L"Tab");
    ASSERT_NE(theme, nullptr);
    for (const TRect at : {TRect{5, 60, 40, 30}, TRect{-4, -4, 120, 90}}) {
        panel->themedAt = at;
        const TPrinted printed(H(*panel));
        const RECT r{S(at.left), S(at.top), S(at.left + at.width), S(at.top + at.height)};
        const RECT all{0, 0, r.right - r.left, r.bottom - r.top};
        HDC screen = GetDC(nullptr);
        HDC own = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, all.right, all.bottom);
        HGDIOBJ old = SelectObject(own, bitmap);
        FillRect(own, &all, GetSysColorBrush(COLOR_BTNFACE));
        DrawThemeBackground(theme, own, 2, 0, &all, nullptr);
        for (LONG x : {0L, all.right / 2, all.right - 1})
            for (LONG y : {0L, all.bottom / 2, all.bottom - 1}) {
                if (r.left + x < 0 || r.top + y < 0)
                    continue;
                EXPECT_EQ(printed.At(r.left + x, r.top + y), GetPixel(own, x, y))
                    << "at " << x << "," << y << " of " << all.right << "x" << all.bottom;
            }
        SelectObject(own, old);
        DeleteObject(bitmap);
        DeleteDC(own);
        ReleaseDC(nullptr, screen);
    }
    CloseThemeData(theme);
}

TEST_P(Win32Widgets, ImageLeavesTheMagentaKeyOutAndKeepsThePicture) {
    auto size = widgets->PictureSize("logo.bmp");
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, (TSize{289, 213}));
    EXPECT_EQ(widgets->PictureSize("display-menu.bmp"), (TSize{271, 193}));
    EXPECT_EQ(widgets->PictureSize("display-update.bmp"), (TSize{266, 187}));
    EXPECT_FALSE(widgets->PictureSize("missing.bmp"));

    auto* image = new TImage(form.get(), panel);
    image->SetBounds({0, 0, 145, 107});
    image->SetColor(Rgb(255, 255, 255));
    image->SetStretch(true);
    image->SetPicture("logo.bmp");
    image->SetTransparent(true);
    const RECT all{0, 0, S(145), S(107)};
    {
        const TPrinted printed(H(*image));
        // The corner of the logo is the key: the background shows there.
        EXPECT_EQ(printed.At(0, 0), RGB(255, 255, 255));
        EXPECT_FALSE(printed.Has(RGB(255, 0, 255), all));
        // The red mark in the middle stays.
        const COLORREF middle = printed.At(S(72), S(53));
        EXPECT_GT(GetRValue(middle), 150);
        EXPECT_LT(GetGValue(middle), 100);
    }
    image->SetTransparent(false);
    {
        const TPrinted printed(H(*image));
        EXPECT_EQ(printed.At(0, 0), RGB(255, 0, 255));
    }
}

// The pixels of a 24-bit source picture as 0xRRGGBB, top row first.
std::vector<COLORREF> SourcePixels(const std::string& name, int& width, int& height) {
    // A cross build names the host's folders; Wine shows the host's root as drive Z:.
    const std::string path = "Z:" TOLVAR_SOURCE_DIR "/resources/pictures/" + name;
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
    auto le = [&](std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<unsigned>(b[at + 3]) << 24;
    };
    if (b.size() < 54 || b[28] != 24)
        return {};
    width = static_cast<int>(le(18));
    height = static_cast<int>(le(22));
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::vector<COLORREF> pixels;
    for (int y = height - 1; y >= 0; --y) // stored bottom up
        for (int x = 0; x < width; ++x) {
            const std::size_t p = le(10) + stride * static_cast<std::size_t>(y) + 3u * x;
            pixels.push_back(RGB(b.at(p + 2), b.at(p + 1), b.at(p)));
        }
    return pixels;
}

// The executable carries the pictures run-length encoded, in bands of at most 256 colours; drawn
// at their own size they show exactly the pixels of the source files.
TEST_P(Win32Widgets, PicturesShowEveryPixelOfTheirSourceFiles) {
    if (GetParam() != 96)
        GTEST_SKIP() << "drawn at their own size only at 96 dpi";
    for (const char* name : {"logo.bmp", "display-menu.bmp", "display-update.bmp"}) {
        SCOPED_TRACE(name);
        int width = 0;
        int height = 0;
        const auto expected = SourcePixels(name, width, height);
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(width) * height);
        ASSERT_EQ(widgets->PictureSize(name), (TSize{width, height}));
        auto* image = new TImage(form.get(), panel);
        image->SetBounds({0, 0, width, height});
        image->SetPicture(name);
        const TPrinted printed(H(*image));
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (printed.At(x, y) != expected[static_cast<std::size_t>(y) * width + x] &&
                    wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y;
        EXPECT_EQ(wrong, 0);
    }
}

TEST_P(Win32Widgets, CheckBoxReportsTheUsersTogglesOnly) {
    auto* check = new TCheckBox(form.get(), panel);
    check->SetBounds({10, 10, 100, 17});
    Show();
    int clicks = 0;
    check->OnClick = [&](TComponent*) { ++clicks; };
    check->SetChecked(true);
    EXPECT_EQ(SendMessageW(H(*check), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(clicks, 0);
    SendMessageW(H(*check), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(SendMessageW(H(*check), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_P(Win32Widgets, ButtonInGroupBoxReportsItsClickAndShowsTheDefaultFlag) {
    auto* group = new TGroupBox(form.get(), panel);
    group->SetBounds({10, 10, 200, 100});
    auto* button = new TCountingButton(form.get(), group);
    button->SetBounds({8, 15, 75, 24});
    Show();
    SendMessageW(H(*button), BM_CLICK, 0, 0);
    EXPECT_EQ(button->clicks, 1);
    EXPECT_EQ(GetWindowLongPtrW(H(*button), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    button->SetDefault(true);
    EXPECT_EQ(GetWindowLongPtrW(H(*button), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    button->SetDefault(false);
    EXPECT_EQ(GetWindowLongPtrW(H(*button), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_P(Win32Widgets, ProgressBarTakesRangeAndPosition) {
    auto* bar = new TProgressBar(form.get(), panel);
    bar->SetMax(836);
    bar->SetPosition(418);
    EXPECT_EQ(SendMessageW(H(*bar), PBM_GETRANGE, FALSE, 0), 836);
    EXPECT_EQ(SendMessageW(H(*bar), PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(H(*bar), PBM_GETPOS, 0, 0), 418);
}

TEST_P(Win32Widgets, ComboBoxListsItemsAndReportsEachPickOnce) {
    auto* combo = new TPickingCombo(form.get(), panel);
    combo->SetBounds({16, 16, 145, 21});
    combo->SetItems({"COM1", "COM2", "Łódź"});
    EXPECT_EQ(SendMessageW(H(*combo), CB_GETCOUNT, 0, 0), 3);
    wchar_t text[32] = {};
    SendMessageW(H(*combo), CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"Łódź");
    combo->SetItemIndex(1);
    EXPECT_EQ(SendMessageW(H(*combo), CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(combo->picks.empty());
    // The closed list follows the arrow keys; each change is one pick.
    Show();
    combo->SetFocus();
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageW(H(*combo), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(combo->picks, std::vector<int>{2});
    Press(VK_DOWN);
    EXPECT_EQ(combo->picks, std::vector<int>{2});
    // Backspace is the model's: the list never sees it.
    Press(VK_BACK);
    EXPECT_EQ(combo->picks, std::vector<int>{2});
    Press(VK_UP);
    EXPECT_EQ(combo->picks, (std::vector<int>{2, 1}));

    // In the dropped list the arrow keys move the selection; the list left without a choice
    // (Tab, a click elsewhere) still ends with the pick of what the field shows.
    for (auto close : {+[](HWND list) { SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0); },
                       +[](HWND) { SetFocus(nullptr); }}) {
        SendMessageW(H(*combo), CB_SHOWDROPDOWN, TRUE, 0);
        ASSERT_TRUE(SendMessageW(H(*combo), CB_GETDROPPEDSTATE, 0, 0));
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(H(*combo), &info);
        const int before = static_cast<int>(SendMessageW(H(*combo), CB_GETCURSEL, 0, 0));
        const WPARAM key = before == 0 ? VK_DOWN : VK_UP;
        PostMessageW(info.hwndList, WM_KEYDOWN, key, 1);
        PostMessageW(info.hwndList, WM_KEYUP, key, 0xC0000001);
        widgets->ProcessMessages(false);
        close(H(*combo));
        widgets->ProcessMessages(false);
        EXPECT_FALSE(SendMessageW(H(*combo), CB_GETDROPPEDSTATE, 0, 0));
        const int shown = static_cast<int>(SendMessageW(H(*combo), CB_GETCURSEL, 0, 0));
        EXPECT_EQ(combo->ItemIndex(), shown);
        EXPECT_EQ(combo->picks.back(), shown);
        combo->SetFocus();
    }
}

// The text of the tooltip that a tool window has, from whichever tooltip window holds it.
std::wstring TipOf(HWND tool) {
    struct TSearch {
        HWND tool;
        std::wstring text;
    } search{tool, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<TSearch*>(param);
            wchar_t kind[64] = {};
            GetClassNameW(window, kind, 64);
            if (lstrcmpiW(kind, TOOLTIPS_CLASSW) != 0)
                return TRUE;
            wchar_t text[1024] = {};
            TOOLINFOW info{};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.hwnd = GetParent(s.tool);
            info.uId = reinterpret_cast<UINT_PTR>(s.tool);
            info.lpszText = text;
            SendMessageW(window, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
            s.text = text;
            return s.text.empty();
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// One line of an owner-drawn list, drawn as the list asks its parent to draw it.
class TDrawnLine {
public:
    TDrawnLine(HWND list, UINT item, UINT state) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_COMBOBOX;
        draw.CtlID = static_cast<UINT>(GetDlgCtrlID(list));
        draw.itemID = item;
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = state;
        draw.hwndItem = list;
        draw.hDC = dc_;
        draw.rcItem = {0, 0, kWidth, kHeight};
        SendMessageW(GetParent(list), WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
    }
    ~TDrawnLine() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    // Whether a pixel right of x has the system colour.
    bool HasRightOf(int x, int colorIndex) const {
        return HasColorRightOf(x, GetSysColor(colorIndex));
    }
    // The colours right of x, but for the background's.
    std::vector<COLORREF> ColorsRightOf(int x, COLORREF background) const {
        std::vector<COLORREF> colors;
        for (int y = 0; y < kHeight; ++y)
            for (int i = x; i < kWidth; ++i)
                if (const COLORREF c = GetPixel(dc_, i, y);
                    c != background && std::find(colors.begin(), colors.end(), c) == colors.end())
                    colors.push_back(c);
        return colors;
    }
    bool HasColorRightOf(int x, COLORREF color) const {
        for (int y = 0; y < kHeight; ++y)
            for (int i = x; i < kWidth; ++i)
                if (GetPixel(dc_, i, y) == color)
                    return true;
        return false;
    }
    // Whether every pixel right of x has the system colour.
    bool AllRightOf(int x, int colorIndex) const {
        const COLORREF color = GetSysColor(colorIndex);
        for (int y = 0; y < kHeight; ++y)
            for (int i = x; i < kWidth; ++i)
                if (GetPixel(dc_, i, y) != color)
                    return false;
        return true;
    }
    int Extent(const std::wstring& text) const {
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 24;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

TEST_P(Win32Widgets, TheDroppedListDrawsEachDetailBesideItsName) {
    auto* combo = new TPickingCombo(form.get(), panel);
    combo->SetBounds({16, 16, 145, 21});
    const std::wstring usb = L"USB Serial Port, FTDI, 0403:6001, serial A10K3XYZ";
    combo->SetItems({"COM1", "COM3", "COM4"});
    combo->SetItemDetails({"", "USB Serial Port, FTDI, 0403:6001, serial A10K3XYZ"});
    HWND list = H(*combo);
    const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
    EXPECT_TRUE(style & CBS_OWNERDRAWFIXED);
    EXPECT_TRUE(style & CBS_HASSTRINGS);
    wchar_t text[32] = {};
    SendMessageW(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"COM3");
    // The closed box is as high as a plain one of its font and keeps its width.
    HWND plain = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 100, 100,
                                 H(*panel), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(plain, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMHEIGHT, 0, 0),
              SendMessageW(plain, CB_GETITEMHEIGHT, 0, 0));
    RECT field, plainField;
    GetWindowRect(list, &field);
    GetWindowRect(plain, &plainField);
    DestroyWindow(plain);
    EXPECT_EQ(field.bottom - field.top, plainField.bottom - plainField.top);
    EXPECT_EQ(field.right - field.left, S(145));

    {
        const TDrawnLine line(list, 1, 0);
        // The dropped list covers the widest line.
        EXPECT_GE(SendMessageW(list, CB_GETDROPPEDWIDTH, 0, 0),
                  line.Extent(L"COM3") + line.Extent(usb));
        const int nameEnd = line.Extent(L"COM3 ");
        EXPECT_TRUE(line.HasRightOf(0, COLOR_WINDOWTEXT));
        EXPECT_FALSE(line.HasRightOf(nameEnd, COLOR_WINDOWTEXT));
        // The detail is in one colour, a grey that reads at 4.5:1 at least (the system's grey
        // where it does; Wine's #808080 does not).
        const std::vector<COLORREF> detail = line.ColorsRightOf(nameEnd, GetSysColor(COLOR_WINDOW));
        ASSERT_EQ(detail.size(), 1u);
        EXPECT_GE(ContrastRatio(detail[0], GetSysColor(COLOR_WINDOW)), kReadableContrast);
        EXPECT_LT(ContrastRatio(detail[0], GetSysColor(COLOR_WINDOW)), 7.0);
        // The closed field, and a line without a detail, show the name alone.
        EXPECT_TRUE(TDrawnLine(list, 1, ODS_COMBOBOXEDIT).AllRightOf(nameEnd, COLOR_WINDOW));
        EXPECT_TRUE(TDrawnLine(list, 2, 0).AllRightOf(nameEnd, COLOR_WINDOW));
        // A selected line is in the highlight colours throughout.
        const TDrawnLine selected(list, 1, ODS_SELECTED);
        EXPECT_TRUE(selected.HasRightOf(nameEnd, COLOR_HIGHLIGHTTEXT));
        EXPECT_FALSE(selected.HasRightOf(0, COLOR_GRAYTEXT));
        EXPECT_TRUE(selected.HasRightOf(0, COLOR_HIGHLIGHT));
    }

    // The tooltip gives the selected port's detail, after the program's change and the user's.
    EXPECT_EQ(TipOf(list), L"");
    combo->SetItemIndex(1);
    EXPECT_EQ(TipOf(list), usb);
    Show();
    combo->SetFocus();
    Press(VK_UP);
    EXPECT_EQ(combo->picks, std::vector<int>{0});
    EXPECT_EQ(TipOf(list), L"");
    Press(VK_DOWN);
    EXPECT_EQ(TipOf(list), usb);
    combo->SetItemDetails({"", "on-board"});
    EXPECT_EQ(TipOf(list), L"on-board");
    combo->SetItems({"COM1"});
    EXPECT_EQ(TipOf(list), L"");
}

// The form holds the tab order; a control on it brought to the front keeps its place in it.
TEST_P(Win32Widgets, TabFollowsTheModelsChainAndSkipsWhatCannotFocus) {
    auto* first = new TButton(form.get(), form.get());
    auto* second = new TButton(form.get(), form.get());
    auto* label = new TLabel(form.get(), form.get());
    auto* third = new TCheckBox(form.get(), form.get());
    dynamic_cast<TFormPeer&>(form->Peer()).SetTabOrder({third, label, first, second});
    EXPECT_FALSE(GetWindowLongPtrW(H(*label), GWL_STYLE) & WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongPtrW(H(*first), GWL_STYLE) & WS_TABSTOP);
    Show();
    third->SetFocus();
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), H(*first));
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), H(*second));
    second->SetEnabled(false);
    third->SetFocus();
    Press(VK_TAB);
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), H(*third));
    // Bringing a control to the front keeps the tab order.
    second->SetEnabled(true);
    second->BringToFront();
    first->SetFocus();
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), H(*second));
}

// What the common suite leaves out: input still queued when the block ends.
TEST_P(Win32Widgets, BlockedInputIsDroppedAndTheFormStays) {
    auto* button = new TCountingButton(form.get(), panel);
    button->SetBounds({10, 10, 75, 24});
    Show();
    button->SetFocus();
    widgets->SetInputBlocked(true);
    SendMessageW(H(*form), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(H(*form)));

    // Queued input is drained while blocked and does not come back afterwards.
    PostMessageW(H(*button), WM_KEYDOWN, VK_RETURN, 1);
    widgets->DrainInput();
    widgets->SetInputBlocked(false);
    widgets->ProcessMessages(false);
    EXPECT_EQ(button->clicks, 0);

    Press(VK_RETURN);
    EXPECT_EQ(button->clicks, 1);
    SendMessageW(H(*form), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form->Closed());
    EXPECT_FALSE(IsWindowVisible(H(*form)));
}

// The box as the user sees it, then the key the user presses.
struct TBoxSeen {
    std::wstring caption;
    std::vector<std::wstring> buttons;
    std::wstring focused;
    bool hasIcon = false;
    RECT place{};
};

TBoxSeen LookAtBoxAndPress(TWin32WidgetSet& widgets, WPARAM key) {
    TBoxSeen seen;
    HWND box = OurBox();
    EXPECT_NE(box, nullptr);
    if (box == nullptr)
        return seen;
    seen.caption = TextOf(box);
    GetWindowRect(box, &seen.place);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (std::wstring(name) == L"Button")
            seen.buttons.push_back(TextOf(child));
    }
    seen.focused = TextOf(GetFocus());
    (void)widgets;
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    return seen;
}

// The suite's question, centred on the screen as the program's Cancel confirmation is.
TMessageRequest CentredConfirmation() {
    TMessageRequest request = test::Confirmation();
    request.centreOnScreen = true;
    return request;
}

TEST_P(Win32Widgets, MessageBoxShowsItsButtonsAndAnswersEnterAndEscape) {
    Show();
    TBoxSeen seen;
    widgets->Post([&] { seen = LookAtBoxAndPress(*widgets, VK_RETURN); });
    EXPECT_EQ(widgets->ShowMessageBox(CentredConfirmation()), mrYes);
    EXPECT_EQ(seen.caption, L"Confirm");
    EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
    EXPECT_EQ(seen.focused, L"&Yes");
    // Centred on the screen.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_LE(std::abs((seen.place.left + seen.place.right) / 2 - screenWidth / 2), 1);
    EXPECT_EQ(OurBox(), nullptr);
    // The main window took no input meanwhile and takes it again now.
    EXPECT_TRUE(IsWindowEnabled(H(*form)));

    widgets->Post([&] { seen = LookAtBoxAndPress(*widgets, VK_ESCAPE); });
    EXPECT_EQ(widgets->ShowMessageBox(CentredConfirmation()), mrNo);

    // Enter on the other button chooses that one.
    widgets->Post([&] {
        SendMessageW(OurBox(), WM_NEXTDLGCTL, 0, FALSE);
        SetFocus(FindWindowExW(OurBox(), nullptr, L"Button", L"&No"));
        seen = LookAtBoxAndPress(*widgets, VK_RETURN);
    });
    EXPECT_EQ(widgets->ShowMessageBox(CentredConfirmation()), mrNo);
    EXPECT_EQ(seen.focused, L"&No");

    // The default button has the focus wherever it stands.
    TMessageRequest noFirst = CentredConfirmation();
    noFirst.defaultResult = mrNo;
    widgets->Post([&] { seen = LookAtBoxAndPress(*widgets, VK_RETURN); });
    EXPECT_EQ(widgets->ShowMessageBox(noFirst), mrNo);
    EXPECT_EQ(seen.focused, L"&No");

    // Closing the box is Escape.
    widgets->Post([] { PostMessageW(OurBox(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(widgets->ShowMessageBox(CentredConfirmation()), mrNo);
}

// Runs a call once the messages queued so far have been handled (a timer's turn comes last).
void AfterQueuedMessages(std::function<void()> call) {
    static std::function<void()> pending;
    pending = std::move(call);
    SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        std::function<void()> run = std::move(pending);
        run();
    });
}

// As the system's boxes: the icon's sound, Ctrl+C copies the box as text, and after the user
// switched away and back the focus is in the box again.
TEST_P(Win32Widgets, MessageBoxSoundsCopiesAndKeepsTheFocus) {
    std::vector<UINT> beeps;
    widgets->SetMessageBeep([&](UINT type) { beeps.push_back(type); });
    Show();
    std::wstring copied;
    std::wstring focusedAfterSwitch;
    auto withControl = [](bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    };
    widgets->Post([&] {
        HWND box = OurBox();
        SetFocus(FindWindowExW(box, nullptr, L"Button", L"&No"));
        withControl(true);
        PostMessageW(GetFocus(), WM_KEYDOWN, 'C', 1);
        // A timer comes once the key has been handled.
        AfterQueuedMessages([&, box] {
            withControl(false);
            if (OpenClipboard(nullptr)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                    copied = static_cast<const wchar_t*>(GlobalLock(data));
                    GlobalUnlock(data);
                }
                CloseClipboard();
            }
            // The task bar entry is the application window's.
            SetActiveWindow(widgets->ApplicationWindow());
            focusedAfterSwitch = TextOf(GetFocus());
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
            (void)box;
        });
    });
    EXPECT_EQ(widgets->ShowMessageBox(CentredConfirmation()), mrNo);
    EXPECT_EQ(beeps, std::vector<UINT>{MB_ICONQUESTION});
    EXPECT_EQ(copied, L"---------------------------\r\nConfirm\r\n"
                      L"---------------------------\r\nCzy na pewno przerwać?\r\n"
                      L"---------------------------\r\nYes   No   \r\n"
                      L"---------------------------\r\n");
    EXPECT_EQ(focusedAfterSwitch, L"&No");
}

TEST_P(Win32Widgets, ErrorBoxIsCentredOnTheMainWindowUnlessAsked) {
    Show();
    TMessageRequest request;
    request.caption = "TOLVAR ver. 1.5.0 UPDATE";
    request.text = "Błąd.";
    request.icon = TMsgIcon::Error;
    request.buttons = {{"OK", mrOk}};
    request.defaultResult = mrOk;
    request.escapeResult = mrOk;
    TBoxSeen seen;
    widgets->Post([&] { seen = LookAtBoxAndPress(*widgets, VK_RETURN); });
    EXPECT_EQ(widgets->ShowMessageBox(request), mrOk);
    EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
    RECT main;
    GetWindowRect(H(*form), &main);
    EXPECT_LE(std::abs((seen.place.left + seen.place.right) / 2 - (main.left + main.right) / 2), 1);
    EXPECT_LE(std::abs((seen.place.top + seen.place.bottom) / 2 - (main.top + main.bottom) / 2), 1);
}

// What a screen reader finds in our own windows through MSAA (Wine hands a program's own
// objects through unchanged): the model's role, name and states, the link's default action, the
// announcements as alerts, a box as a dialog whose text is read.
namespace access {

std::wstring taken;
std::vector<DWORD> events;

std::wstring Bstr(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return out;
}

struct TObject {
    IAccessible* object = nullptr;
    VARIANT child{};
    explicit TObject(HWND window) {
        child.vt = VT_I4;
        child.lVal = CHILDID_SELF;
        EXPECT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&object)),
                  S_OK);
    }
    TObject(IAccessible* o, VARIANT c) : object(o), child(c) {}
    ~TObject() {
        if (object != nullptr)
            object->Release();
    }
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    LONG Role() const {
        VARIANT v{};
        return object->get_accRole(child, &v) == S_OK ? v.lVal : -1;
    }
    LONG State() const {
        VARIANT v{};
        return object->get_accState(child, &v) == S_OK ? v.lVal : -1;
    }
    std::wstring Name() const {
        BSTR t = nullptr;
        object->get_accName(child, &t);
        return Bstr(t);
    }
    std::wstring Description() const {
        BSTR t = nullptr;
        object->get_accDescription(child, &t);
        return Bstr(t);
    }
    std::wstring DefaultAction() const {
        BSTR t = nullptr;
        object->get_accDefaultAction(child, &t);
        return Bstr(t);
    }
};

void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND window, LONG id, LONG child, DWORD, DWORD) {
    events.push_back(event);
    IAccessible* object = nullptr;
    VARIANT c{};
    if (event == EVENT_SYSTEM_ALERT &&
        SUCCEEDED(AccessibleObjectFromEvent(window, id, child, &object, &c))) {
        const TObject alert(object, c);
        taken = alert.Name() + L" / " + std::to_wstring(alert.Role());
    }
}

} // namespace access

TEST_P(Win32Widgets, ScreenReadersGetOurWindowsRolesNamesStatesAndAnnouncements) {
    using access::TObject;
    // As in the program: objects go to screen readers through COM.
    const TComApartment com;
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_DIALOGSTART, nullptr, access::Heard,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    form->SetCaption("Uaktualnienie");
    panel->SetAccessibleRole(TAccessibleRole::Page);
    panel->SetAccessibleName("Witamy");
    auto* hidden = new TCustomPanel(form.get(), form.get());
    hidden->Hide();
    auto* label = new TLabel(form.get(), panel);
    label->SetCaption("a\r\nb");
    auto* image = new TImage(form.get(), panel);
    image->SetPicture("logo.bmp");
    auto* link = new TLinkLabel(form.get(), panel);
    link->SetCaption("tolvar-none-such:x");
    form->Loaded();
    Show();

    const TObject window(H(*form));
    EXPECT_EQ(window.Role(), ROLE_SYSTEM_DIALOG);
    // The window of no size that carries the task bar entry is nothing to read.
    HWND owner = GetWindow(H(*form), GW_OWNER);
    ASSERT_NE(owner, nullptr);
    IAccessible* frame = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(owner, OBJID_WINDOW, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&frame)),
              S_OK);
    EXPECT_NE(TObject(frame, window.child).State() & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_EQ(window.Name(), L"Uaktualnienie");
    const TObject page(H(*panel));
    EXPECT_EQ(page.Role(), ROLE_SYSTEM_PROPERTYPAGE);
    EXPECT_EQ(page.Name(), L"Witamy");
    EXPECT_EQ(page.State() & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_NE(TObject(H(*hidden)).State() & STATE_SYSTEM_INVISIBLE, 0);
    const TObject text(H(*label));
    EXPECT_EQ(text.Role(), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(text.Name(), L"a\nb");
    EXPECT_EQ(text.State() & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE),
              STATE_SYSTEM_READONLY);
    const TObject picture(H(*image));
    EXPECT_EQ(picture.Role(), ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(picture.Name(), L"Logo firmy ZEFRA");
    // A caption that changes is the new name at once.
    label->SetCaption("c");
    EXPECT_EQ(text.Name(), L"c");

    // The link: a tab stop whose default action follows it as a click does (nothing opens this
    // address, so the link dies: the action reached the model).
    const TObject linked(H(*link));
    EXPECT_EQ(linked.Role(), ROLE_SYSTEM_LINK);
    EXPECT_NE(linked.State() & STATE_SYSTEM_FOCUSABLE, 0);
    EXPECT_NE(linked.State() & STATE_SYSTEM_LINKED, 0);
    EXPECT_EQ(linked.DefaultAction(), L"Przejdź");
    EXPECT_EQ(linked.object->accDoDefaultAction(linked.child), S_OK);
    widgets->ProcessMessages(false);
    EXPECT_FALSE(link->Enabled());
    EXPECT_NE(linked.State() & STATE_SYSTEM_UNAVAILABLE, 0);
    EXPECT_NE(linked.object->accDoDefaultAction(linked.child), S_OK);

    // An announcement is an alert of the window, named by its text.
    form->Announce("1. Sprawdzenie\nSprawdź typ");
    widgets->ProcessMessages(false);
    EXPECT_EQ(access::taken,
              L"1. Sprawdzenie\nSprawdź typ / " + std::to_wstring(ROLE_SYSTEM_ALERT));

    // A box: a dialog named by its caption whose description is its text, said to open.
    access::events.clear();
    std::wstring boxName, boxText;
    LONG boxRole = 0;
    widgets->Post([&] {
        const TObject box(OurBox());
        boxName = box.Name();
        boxText = box.Description();
        boxRole = box.Role();
        PostMessageW(OurBox(), WM_CLOSE, 0, 0);
    });
    widgets->ShowMessageBox(CentredConfirmation());
    UnhookWinEvent(hook);
    EXPECT_EQ(boxRole, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(boxName, L"Confirm");
    const std::string question = test::Confirmation().text;
    std::wstring wide(question.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, question.data(), static_cast<int>(question.size()),
                            wide.data(), static_cast<int>(wide.size()))));
    EXPECT_EQ(boxText, wide);
    EXPECT_NE(std::find(access::events.begin(), access::events.end(), EVENT_SYSTEM_DIALOGSTART),
              access::events.end());
}

} // namespace
} // namespace tolvar
