// What the control model tells a screen reader, against a recording widget set: each kind's
// role and name, what the form adds, the announcements, where the focus starts, the link's keys
// and the contrast of secondary text.
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "tests/support/FakeWidgetSet.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;
using tolvar::test::FakeWidgetSet;

namespace {

class Accessible : public testing::Test {
protected:
    const TAccessibleInfo& Told(const TControl* c) { return set_.Of(c).accessible; }

    FakeWidgetSet set_;
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TCustomForm> form_ = std::make_unique<TCustomForm>();
};

TEST_F(Accessible, EachKindHasItsRoleAndItsTextAsName) {
    form_->SetCaption("Uaktualnienie");
    auto* panel = new TCustomPanel(form_.get(), form_.get());
    auto* box = new TGroupBox(form_.get(), panel);
    auto* label = new TLabel(form_.get(), box);
    label->SetCaption("UWAGA !!!\r\nJeśli poprzedni proces");
    auto* button = new TButton(form_.get(), box);
    button->SetCaption("&Help && more");
    auto* check = new TCheckBox(form_.get(), box);
    check->SetCaption("TA&K");
    auto* bar = new TProgressBar(form_.get(), box);
    auto* list = new TComboBox(form_.get(), box);
    auto* image = new TImage(form_.get(), panel);
    image->SetPicture("logo.bmp");
    auto* link = new TLinkLabel(form_.get(), panel);
    link->SetCaption("https://www.zefra.example");

    using R = TAccessibleRole;
    EXPECT_EQ(Told(form_.get()), (TAccessibleInfo{R::Window, "Uaktualnienie", ""}));
    EXPECT_EQ(Told(panel).role, R::Pane);
    EXPECT_EQ(Told(box).role, R::Grouping);
    // The whole text, a stored line break read as one.
    EXPECT_EQ(Told(label), (TAccessibleInfo{R::Text, "UWAGA !!!\nJeśli poprzedni proces", ""}));
    // Mnemonic markers are not read.
    EXPECT_EQ(Told(button), (TAccessibleInfo{R::Button, "Help & more", ""}));
    EXPECT_EQ(Told(check), (TAccessibleInfo{R::CheckBox, "TAK", ""}));
    EXPECT_EQ(Told(bar).role, R::ProgressBar);
    EXPECT_EQ(Told(list).role, R::ComboBox);
    // A picture is named by its text equivalent, kept with the pictures.
    EXPECT_EQ(Told(image), (TAccessibleInfo{R::Graphic, "Logo firmy ZEFRA", ""}));
    EXPECT_EQ(Told(link), (TAccessibleInfo{R::Link, "https://www.zefra.example", ""}));

    // What the form gives goes over the kind's own, and later changes follow at once.
    auto* caption = new TLabel(form_.get(), box);
    caption->SetCaption("Postęp programowania:");
    bar->SetLabelledBy(*caption);
    list->SetAccessibleName("Port szeregowy");
    check->SetAccessibleDescription("Czy jesteś pewien?");
    label->SetAccessibleRole(R::Heading);
    EXPECT_EQ(Told(bar).name, "Postęp programowania");
    EXPECT_EQ(Told(bar).labelledBy, caption);
    EXPECT_EQ(Told(list).name, "Port szeregowy");
    EXPECT_EQ(Told(check), (TAccessibleInfo{R::CheckBox, "TAK", "Czy jesteś pewien?"}));
    EXPECT_EQ(Told(label).role, R::Heading);
    label->SetCaption("nowy");
    EXPECT_EQ(Told(label), (TAccessibleInfo{R::Heading, "nowy", ""}));
    list->SetItems({"COM1"});
    EXPECT_EQ(Told(list).name, "Port szeregowy");
}

TEST_F(Accessible, PageTextIsWhatShowsInTabOrderAndAnnouncedOnlyWhileTheWindowIsOpen) {
    auto* page = new TCustomPanel(form_.get(), form_.get());
    auto* heading = new TLabel(form_.get(), page);
    heading->SetCaption("1. Sprawdzenie");
    heading->SetAccessibleRole(TAccessibleRole::Heading);
    auto* hidden = new TLabel(form_.get(), page);
    hidden->SetCaption("ukryty");
    hidden->Hide();
    (new TButton(form_.get(), page))->SetCaption("PROGRAMUJ");
    auto* image = new TImage(form_.get(), page);
    image->SetPicture("logo.bmp");
    auto* text = new TLabel(form_.get(), page);
    text->SetCaption("a\r\nb");
    text->SetTabOrder(0);
    // Buttons and hidden texts are not read as the page's text; the tab order decides.
    EXPECT_EQ(AccessibleText(*page), "a\nb\n1. Sprawdzenie\nLogo firmy ZEFRA");

    form_->Announce("przed");
    EXPECT_TRUE(set_.announced.empty());
    form_->ShowWindow();
    form_->Announce("");
    form_->Announce("teraz");
    form_->Close();
    form_->Announce("po");
    EXPECT_EQ(set_.announced, std::vector<std::string>{"teraz"});
}

TEST_F(Accessible, TheWindowOpensWithTheFocusOnItsDefaultButton) {
    auto* link = new TLinkLabel(form_.get(), form_.get());
    auto* back = new TButton(form_.get(), form_.get());
    auto* next = new TButton(form_.get(), form_.get());
    next->SetDefault(true);
    // A link is reached by Tab only, so showing a page never puts the focus on it.
    EXPECT_EQ(form_->FindFirstFocusable(), back);
    form_->ShowWindow();
    EXPECT_EQ(set_.focused, next);

    // A control that already has the focus keeps it; without a default button the first stop.
    auto other = std::make_unique<TCustomForm>();
    auto* first = new TButton(other.get(), other.get());
    new TButton(other.get(), other.get());
    other->ShowWindow();
    EXPECT_EQ(set_.focused, first);
    link->SetFocus();
    form_->ShowWindow();
    EXPECT_EQ(set_.focused, link);
}

TEST_F(Accessible, TheLinkFollowsEnterSpaceAndTheDefaultActionAsAClick) {
    auto* link = new TLinkLabel(form_.get(), form_.get());
    link->SetCaption("https://www.zefra.example");
    EXPECT_TRUE(link->TabStop());
    EXPECT_FALSE(link->PeerKey(TKey::Escape));
    EXPECT_FALSE(link->PeerKey(TKey::Other));
    EXPECT_TRUE(set_.opened.empty());
    EXPECT_TRUE(link->PeerKey(TKey::Return));
    EXPECT_EQ(set_.Of(link).font.color, clPurple);
    EXPECT_TRUE(link->PeerKey(TKey::Space));
    link->PeerClicked();
    EXPECT_EQ(set_.opened.size(), 3u);
    EXPECT_EQ(set_.opened.back(), "https://www.zefra.example");
    set_.openAnswer = false;
    link->PeerClicked();
    EXPECT_FALSE(link->Enabled());
    link->PeerKey(TKey::Return);
    EXPECT_EQ(set_.opened.size(), 4u);
}

TEST(Contrast, SecondaryTextIsDarkenedJustEnoughToRead) {
    const TColor white = Rgb(255, 255, 255);
    const TColor black = 0;
    EXPECT_NEAR(ContrastRatio(Rgb(128, 128, 128), white), 3.95, 0.01);
    EXPECT_NEAR(ContrastRatio(black, white), 21.0, 0.01);
    EXPECT_EQ(ContrastRatio(white, black), ContrastRatio(black, white));
    // The rule is 4.5:1 (WCAG's for small text), written out here rather than read from the code:
    // a grey at 3:1 or just under 4.5:1 is darkened, one just over it stays.
    constexpr double kRule = 4.5;
    const struct {
        TColor grey, text, background;
        bool stays;
    } cases[] = {
        {Rgb(0x94, 0x94, 0x94), black, white, false}, // 3.03:1
        {Rgb(128, 128, 128), black, white, false},    // 3.95:1
        {Rgb(0x77, 0x77, 0x77), black, white, false}, // 4.48:1
        {Rgb(0x76, 0x76, 0x76), black, white, true},  // 4.54:1
        {Rgb(0x59, 0x59, 0x59), black, white, true},  // 7:1
        // On a dark background the mix goes toward the light text.
        {Rgb(128, 128, 128), white, black, true},
        {Rgb(100, 100, 100), white, Rgb(90, 90, 90), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.grey << " on " << c.background);
        const TColor shown = ReadableSecondary(c.grey, c.text, c.background);
        EXPECT_EQ(shown == c.grey, c.stays);
        EXPECT_GE(ContrastRatio(shown, c.background), kRule);
        // No further toward the text colour than it must go.
        if (!c.stays) {
            EXPECT_LT(ContrastRatio(shown, c.background), kRule + 0.3);
        }
    }
}

} // namespace
