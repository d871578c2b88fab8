// The toolkit-neutral controls against a recording widget set: what the model asks of the
// peers, and the rules the model itself keeps (tab chain, focus, fonts, layout, pictures).
#include "framework/Controls.h"

#include "framework/Application.h"
#include "framework/StdControls.h"
#include "tests/support/FakeWidgetSet.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;
using tolvar::test::FakeWidgetSet;

namespace {

class Model : public testing::Test {
protected:
    FakeWidgetSet set_;
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TCustomForm> form_ = std::make_unique<TCustomForm>();
};

TEST_F(Model, StateChangesReachThePeerAtOnce) {
    auto* button = new TButton(form_.get(), form_.get());
    button->SetBounds({24, 48, 97, 25});
    button->SetCaption("PROGRAMUJ");
    button->SetEnabled(false);
    button->SetVisible(false);
    button->SetDefault(true);
    const auto& w = set_.Of(button);
    EXPECT_EQ(w.bounds, (TRect{24, 48, 97, 25}));
    EXPECT_EQ(w.caption, "PROGRAMUJ");
    EXPECT_FALSE(w.enabled);
    EXPECT_FALSE(w.visible);
    EXPECT_TRUE(w.isDefault);
    // Negative sizes are empty.
    button->SetWidth(-5);
    EXPECT_EQ(set_.Of(button).bounds.width, 0);

    auto* bar = new TProgressBar(form_.get(), form_.get());
    EXPECT_EQ(set_.Of(bar).maximum, 100);
    bar->SetMax(836);
    bar->SetPosition(900);
    EXPECT_EQ(bar->Position(), 836);
    EXPECT_EQ(set_.Of(bar).position, 836);
    bar->SetPosition(-1);
    EXPECT_EQ(set_.Of(bar).position, 0);
    bar->SetMax(10);
    EXPECT_EQ(set_.Of(bar).maximum, 10);

    auto* box = new TCheckBox(form_.get(), form_.get());
    box->SetChecked(true);
    EXPECT_TRUE(set_.Of(box).checked);
}

// What does not show gets no window until it does; the window then gets all that changed
// meanwhile, and Tab reaches it.
TEST_F(Model, AHiddenControlGetsItsWindowWhenItFirstShowsWithItsWholeState) {
    auto* next = new TButton(form_.get(), form_.get());
    auto* page = new TGroupBox(form_.get(), form_.get());
    page->Hide();
    auto* box = new TCheckBox(form_.get(), page);
    auto* list = new TComboBox(form_.get(), page);
    auto* bar = new TProgressBar(form_.get(), page);
    auto* ok = new TButton(form_.get(), page);
    auto* link = new TLinkLabel(form_.get(), page);
    auto* picture = new TImage(form_.get(), page);
    form_->ShowWindow();
    EXPECT_TRUE(next->HandleAllocated());
    EXPECT_FALSE(page->HandleAllocated());

    box->SetCaption("&Tak");
    box->SetChecked(true);
    box->SetEnabled(false);
    box->SetBounds({8, 16, 120, 17});
    list->SetItems({"COM1", "COM2"});
    list->SetItemIndex(1);
    list->SetItemDetails({"USB"});
    bar->SetMax(836);
    bar->SetPosition(5);
    ok->SetDefault(true);
    ok->SetColor(clWindow);
    link->SetAlignment(TAlignment::Center);
    picture->SetBounds({0, 0, 100, 50});
    picture->SetPicture("logo.bmp");
    // A label is sized without a window.
    link->SetAutoSize(true);
    link->SetCaption("www");
    EXPECT_EQ(link->Height(), 13);
    EXPECT_EQ(set_.windows.count(box), 0u);

    page->Show();
    const auto& w = set_.windows.at(box);
    // Made while the page was still hidden: it appears whole, at once.
    EXPECT_FALSE(w.madeInShowingParent);
    EXPECT_TRUE(set_.windows.at(page).visible);
    EXPECT_EQ(w.caption, "&Tak");
    EXPECT_EQ(w.accessible.name, "Tak");
    EXPECT_TRUE(w.checked);
    EXPECT_FALSE(w.enabled);
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(w.bounds, (TRect{8, 16, 120, 17}));
    EXPECT_EQ(set_.windows.at(list).items, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(set_.windows.at(list).itemIndex, 1);
    EXPECT_EQ(set_.windows.at(list).itemDetails, std::vector<std::string>{"USB"});
    EXPECT_EQ(set_.windows.at(bar).maximum, 836);
    EXPECT_EQ(set_.windows.at(bar).position, 5);
    EXPECT_TRUE(set_.windows.at(ok).isDefault);
    EXPECT_EQ(set_.windows.at(ok).color, clWindow);
    EXPECT_TRUE(set_.windows.at(link).handCursor);
    EXPECT_EQ(set_.windows.at(link).style.alignment, TAlignment::Center);
    EXPECT_EQ(set_.windows.at(link).font.color, clBlue);
    EXPECT_EQ(set_.windows.at(picture).picture, "logo.bmp");
    EXPECT_EQ(set_.windows.at(form_.get()).tabOrder, form_->TabChain());

    // Made on the shown form: a window at once where it shows, none yet where it does not.
    page->Hide();
    auto* later = new TButton(form_.get(), form_.get());
    auto* waiting = new TLabel(form_.get(), page);
    EXPECT_TRUE(later->HandleAllocated());
    EXPECT_FALSE(waiting->HandleAllocated());
    EXPECT_EQ(set_.windows.at(form_.get()).tabOrder.back(), later);
}

TEST_F(Model, VisibilityAndEnabledStateFollowTheControlsAround) {
    auto* group = new TGroupBox(form_.get(), form_.get());
    auto* box = new TCheckBox(form_.get(), group);
    EXPECT_TRUE(box->Showing());
    EXPECT_TRUE(box->CanFocus());
    group->SetVisible(false);
    EXPECT_FALSE(box->Showing());
    EXPECT_TRUE(box->Visible());
    EXPECT_FALSE(box->CanFocus());
    group->SetVisible(true);
    group->SetEnabled(false);
    EXPECT_FALSE(box->EnabledInTree());
    EXPECT_TRUE(box->Enabled());
    EXPECT_FALSE(box->CanFocus());
    // A label never takes the focus.
    auto* label = new TLabel(form_.get(), form_.get());
    EXPECT_FALSE(label->CanFocus());
}

TEST_F(Model, FontsPassToChildrenUntilTheyHaveTheirOwn) {
    auto* group = new TGroupBox(form_.get(), form_.get());
    auto* inherits = new TLabel(form_.get(), group);
    auto* own = new TLabel(form_.get(), group);
    TFont arial;
    arial.name = "Arial";
    arial.height = -13;
    arial.color = clRed;
    own->SetFont(arial);
    TFont form;
    form.height = -11;
    form.bold = true;
    form_->SetFont(form);
    EXPECT_EQ(set_.Of(inherits).font, form);
    EXPECT_EQ(set_.Of(own).font, arial);
    // Created later: starts with its parent's font.
    auto* late = new TLabel(form_.get(), group);
    EXPECT_EQ(late->Font(), form);
    EXPECT_EQ(TFont{}.PixelHeight(), 11);
}

TEST_F(Model, TheTabChainTakesStoredOrderFirstThenCreationDepthFirst) {
    auto* a = new TButton(form_.get(), form_.get());
    auto* group = new TGroupBox(form_.get(), form_.get());
    auto* inner2 = new TCheckBox(form_.get(), group);
    auto* inner1 = new TCheckBox(form_.get(), group);
    auto* b = new TButton(form_.get(), form_.get());
    b->SetTabOrder(0);
    group->SetTabOrder(1);
    inner1->SetTabOrder(0);
    const std::vector<TControl*> expected{b, group, inner1, inner2, a};
    EXPECT_EQ(form_->TabChain(), expected);
    form_->ShowWindow();
    EXPECT_EQ(set_.Of(form_.get()).tabOrder, expected);
}

TEST_F(Model, TheFirstFocusablePrefersTabStopsAndSkipsWhatCannotFocus) {
    auto* page = new TCustomPanel(form_.get(), form_.get());
    EXPECT_EQ(page->FindFirstFocusable(), nullptr);
    new TLabel(form_.get(), page);
    auto* hidden = new TButton(form_.get(), page);
    hidden->SetVisible(false);
    auto* disabled = new TCheckBox(form_.get(), page);
    disabled->SetEnabled(false);
    EXPECT_EQ(page->FindFirstFocusable(), nullptr);
    auto* list = new TComboBox(form_.get(), page);
    EXPECT_EQ(page->FindFirstFocusable(), list);
    disabled->SetEnabled(true);
    EXPECT_EQ(page->FindFirstFocusable(), disabled);
    EXPECT_TRUE(page->ContainsControl(list));
    EXPECT_FALSE(page->ContainsControl(form_.get()));
}

TEST_F(Model, AClientAlignedControlFillsItsParentsClientArea) {
    form_->SetBounds({0, 0, 400, 300});
    auto* group = new TGroupBox(form_.get(), form_.get());
    group->SetBounds({16, 16, 337, 313});
    auto* label = new TLabel(form_.get(), group);
    label->SetAlign(TAlign::Client);
    EXPECT_EQ(label->BoundsRect(), (TRect{2, 2, 333, 309}));
    group->SetBounds({16, 16, 200, 100});
    EXPECT_EQ(set_.Of(label).bounds, (TRect{2, 2, 196, 96}));
    // An auto-sized label keeps its aligned size.
    label->SetCaption("a long text that would size the label");
    EXPECT_EQ(label->BoundsRect(), (TRect{2, 2, 196, 96}));
}

TEST_F(Model, LabelsSizeThemselvesUnlessToldNot) {
    auto* label = new TLabel(form_.get(), form_.get());
    label->SetBounds({8, 16, 1, 1});
    label->SetCaption("12345");
    EXPECT_EQ(label->BoundsRect(), (TRect{8, 16, 30, 13}));
    label->SetWordWrap(true);
    label->SetWidth(12);
    label->SetCaption("1234567");
    EXPECT_EQ(label->BoundsRect(), (TRect{8, 16, 12, 52}));
    auto* fixed = new TLabel(form_.get(), form_.get());
    fixed->SetAutoSize(false);
    fixed->SetBounds({64, 48, 441, 113});
    fixed->SetCaption("Uaktualnienie");
    EXPECT_EQ(fixed->BoundsRect(), (TRect{64, 48, 441, 113}));
    fixed->SetAlignment(TAlignment::Center);
    fixed->SetTextEffect(TTextEffect::Raised);
    fixed->SetBorderWidth(4);
    const TTextStyle expected{TAlignment::Center, false, TTextEffect::Raised, 4};
    EXPECT_EQ(set_.Of(fixed).style, expected);
}

TEST_F(Model, PicturesFitTheirFrame) {
    auto* image = new TImage(form_.get(), form_.get());
    image->SetBounds({368, 21, 185, 140});
    EXPECT_THROW(image->SetPicture("missing.bmp"), Exception);
    EXPECT_THROW(image->SetPicture("../logo.bmp"), Exception);
    EXPECT_THROW(image->SetPicture(""), Exception);
    image->SetPicture("logo.bmp");
    // As it is: top left, its own size, clipped by the frame.
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 289, 213}));
    image->SetProportional(true);
    // 289 x 213 into 185 x 140: the width decides, 185 x 136.
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 185, 136}));
    image->SetCenter(true);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 2, 185, 136}));
    image->SetTransparent(true);
    EXPECT_EQ(set_.Of(image).picture, "logo.bmp");
    EXPECT_TRUE(set_.Of(image).transparent);
    EXPECT_EQ(set_.Of(image).pictureTarget, (TRect{0, 2, 185, 136}));
    // A tall frame: the height decides.
    image->SetBounds({0, 0, 300, 100});
    EXPECT_EQ(image->PictureRect(), (TRect{82, 0, 135, 100}));
    // Smaller than the frame: proportional alone does not grow it, stretching does.
    image->SetBounds({0, 0, 600, 426});
    EXPECT_EQ(image->PictureRect(), (TRect{155, 106, 289, 213}));
    image->SetStretch(true);
    EXPECT_EQ(image->PictureRect(), (TRect{11, 0, 578, 426}));
    image->SetProportional(false);
    EXPECT_EQ(image->PictureRect(), (TRect{0, 0, 600, 426}));
}

TEST_F(Model, TheLinkTurnsPurpleOpensItsCaptionAndDiesIfItCannot) {
    auto* link = new TLinkLabel(form_.get(), form_.get());
    link->SetCaption("https://www.zefra.example");
    EXPECT_EQ(set_.Of(link).font.color, clBlue);
    link->PeerMouse(true, false, true); // right button: nothing
    EXPECT_EQ(set_.Of(link).font.color, clBlue);
    link->PeerMouse(true, true, true);
    EXPECT_EQ(set_.Of(link).font.color, clPurple);
    EXPECT_TRUE(set_.opened.empty());
    link->PeerMouse(false, true, false); // released outside: nothing opens
    EXPECT_TRUE(set_.opened.empty());
    link->PeerMouse(true, true, true);
    link->PeerMouse(false, true, true);
    EXPECT_EQ(set_.opened, std::vector<std::string>{"https://www.zefra.example"});
    EXPECT_TRUE(link->Enabled());
    EXPECT_EQ(set_.Of(link).font.color, clPurple);

    set_.openAnswer = false;
    link->PeerMouse(true, true, true);
    link->PeerMouse(false, true, true);
    EXPECT_FALSE(set_.Of(link).enabled);
    EXPECT_EQ(set_.Of(link).font.color, clGrayText);
    link->PeerMouse(true, true, true);
    link->PeerMouse(false, true, true);
    EXPECT_EQ(set_.opened.size(), 2u);
}

TEST_F(Model, TheListPicksOnlyWhatTheUserPicks) {
    struct List : TComboBox {
        using TComboBox::TComboBox;
        std::vector<int> picks;
        void Change() override { picks.push_back(ItemIndex()); }
    };
    auto* list = new List(form_.get(), form_.get());
    list->SetItems({"COM1", "COM2"});
    EXPECT_EQ(set_.Of(list).items, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(set_.Of(list).itemIndex, -1);
    list->SetItemIndex(1);
    list->SetItemIndex(7);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_TRUE(list->picks.empty());
    list->PeerSelected(0);
    list->PeerSelected(5);
    EXPECT_EQ(list->picks, (std::vector<int>{0, -1}));
    EXPECT_TRUE(list->PeerKey(TKey::Backspace));
    EXPECT_FALSE(list->PeerKey(TKey::Return));

    // Details reach the window whether they come before or after the items; a new item list
    // keeps them, as the selection list rebuilds its entries first.
    auto* other = new List(form_.get(), form_.get());
    other->SetItemDetails({"on-board"});
    EXPECT_EQ(set_.Of(other).itemDetails, std::vector<std::string>{"on-board"});
    other->SetItems({"COM1"});
    EXPECT_EQ(set_.Of(other).itemDetails, std::vector<std::string>{"on-board"});
    EXPECT_EQ(other->ItemDetails(), std::vector<std::string>{"on-board"});
    list->SetItemDetails({"", "USB"});
    EXPECT_EQ(set_.Of(list).itemDetails, (std::vector<std::string>{"", "USB"}));
}

TEST_F(Model, ClicksReachTheHandlersAndTheirExceptionsTheDisplay) {
    auto* box = new TCheckBox(form_.get(), form_.get());
    std::vector<bool> seen;
    box->OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, box);
        seen.push_back(box->Checked());
    };
    box->SetChecked(true); // the program's change: no click
    box->PeerToggled(false);
    box->PeerToggled(true);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));

    auto* button = new TButton(form_.get(), form_.get());
    button->OnClick = [](TComponent*) { throw Exception("Handler failed"); };
    RunHandler([&] { button->PeerClicked(); });
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, "Handler failed.");
    EXPECT_TRUE(button->Pressable());
    button->SetVisible(false);
    EXPECT_FALSE(button->Pressable());
}

TEST_F(Model, StoredColoursAreTheirPlatformValues) {
    const struct {
        const char* name;
        TColor color;
    } cases[] = {{"clRed", 0x0000FF},           {"clBlue", 0xFF0000},     {"clNavy", 0x800000},
                 {"clMaroon", 0x000080},        {"clBtnFace", clBtnFace}, {"$00123456", 0x123456},
                 {"clWindowText", clWindowText}};
    for (const auto& c : cases) {
        TStoredValue v;
        v.text = c.name;
        EXPECT_EQ(ParseColor(v), c.color) << c.name;
    }
    for (const char* bad : {"clRose", "$123456", "$0012345G", "$01123456", ""}) {
        TStoredValue v;
        v.text = bad;
        EXPECT_THROW(ParseColor(v), Exception) << bad;
    }
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_FALSE(IsSystemColor(clRed));
}

// Enter that no handler took presses the form's default button, if it can be pressed.
TEST_F(Model, EnterPressesTheDefaultButtonNobodyElseTook) {
    auto* other = new TButton(form_.get(), form_.get());
    auto* ok = new TButton(form_.get(), form_.get());
    int presses = 0;
    ok->OnClick = [&](TComponent*) { ++presses; };
    other->OnClick = [&](TComponent*) { presses += 100; };
    EXPECT_FALSE(form_->PeerDialogKey(TKey::Return));
    ok->SetDefault(true);
    EXPECT_FALSE(form_->PeerDialogKey(TKey::Escape));
    EXPECT_TRUE(form_->PeerDialogKey(TKey::Return));
    EXPECT_EQ(presses, 1);
    ok->SetEnabled(false);
    EXPECT_FALSE(form_->PeerDialogKey(TKey::Return));
    EXPECT_EQ(presses, 1);
}

TEST_F(Model, DestroyingAContainerDestroysItsChildrenFirst) {
    auto* group = new TGroupBox(form_.get(), form_.get());
    new TButton(form_.get(), group);
    auto* box = new TCheckBox(form_.get(), group);
    form_->ShowWindow();
    set_.focused = box;
    EXPECT_EQ(set_.windows.size(), 4u);
    delete group;
    EXPECT_EQ(set_.windows.size(), 1u);
    EXPECT_EQ(set_.focused, nullptr);
    EXPECT_TRUE(form_->Controls().empty());
    EXPECT_TRUE(form_->Components().empty());
}

// Each side is fitted against its own length: a wide area and a tall one, the window past the
// far corner of each.
TEST(Placement, EachSideFitsAgainstItsOwnLength) {
    EXPECT_EQ(FitInto({1300, 700, 200, 100}, {0, 0, 1366, 768}), (TRect{1166, 668, 200, 100}));
    EXPECT_EQ(FitInto({700, 1300, 100, 200}, {0, 0, 768, 1366}), (TRect{668, 1166, 100, 200}));
    EXPECT_EQ(FitInto({10, 20, 100, 200}, {0, 0, 768, 1366}), (TRect{10, 20, 100, 200}));
    // Larger than the area: at its start.
    EXPECT_EQ(FitInto({-5, 40, 900, 900}, {0, 30, 768, 1366}), (TRect{0, 40, 900, 900}));
    // Unscaled, the scaled fit is the same.
    EXPECT_EQ(FitIntoScaled({1300, 700, 200, 100}, {0, 0, 1366, 768}, 0, 0, 1.0),
              (TRect{1166, 668, 200, 100}));
    // 150 % on 1366 x 768 (911 x 512 units): inside to the device pixel, a unit short where the
    // rounding allows no closer.
    EXPECT_EQ(FitIntoScaled({348, 266, 575, 405}, {0, 0, 911, 512}, 0, 0, 1.5),
              (TRect{335, 106, 575, 405}));
    EXPECT_EQ(FitIntoScaled({266, 348, 405, 575}, {0, 0, 512, 911}, 0, 0, 1.5),
              (TRect{106, 335, 405, 575}));
    // A second screen to the right: scaled around its own corner.
    EXPECT_EQ(FitIntoScaled({1366 + 348, 266, 575, 405}, {1366, 0, 911, 512}, 1366, 0, 1.5),
              (TRect{1366 + 335, 106, 575, 405}));
}

} // namespace
