// The wizard frame over the fake widget set: what the frame tells the peers of its pages and
// buttons, and what it does with the presses and keys that the widget sets report.
#include "wizard/Assist.h"

#include "framework/MessageBoxes.h"
#include "tests/support/FakeWidgetSet.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;
using tolvar::test::FakeWidgetSet;
using tolvar::test::FakeWindow;

namespace {

// A press on the button, as its peer reports a click of the user.
void Click(TControl* button) {
    button->PeerClicked();
}

// Records what the frame paints.
class TRecordingCanvas : public TCanvas {
public:
    std::vector<TRect> filled;
    std::vector<TRect> etched;
    void FillRect(const TRect& rect, TColor) override { filled.push_back(rect); }
    void DrawEtchedLine(const TRect& rect) override { etched.push_back(rect); }
    bool DrawThemedTabBackground(const TRect&) override { return false; }
};

// A form 575 x 405 holding a frame with `count` pages, built as the reader builds it.
struct Bench {
    FakeWidgetSet set;
    std::unique_ptr<TCustomForm> form = std::make_unique<TCustomForm>();
    TLMDAssist* frame = nullptr;
    std::vector<TLMDAssistPage*> pages;
    std::vector<std::string> events;

    explicit Bench(int count = 3, const std::function<void(Bench&)>& whileLoading = nullptr) {
        form->SetBounds({0, 0, 575, 405});
        frame = new TLMDAssist(form.get(), form.get());
        frame->BeginLoading();
        for (int i = 0; i < count; ++i) {
            auto* page = new TLMDAssistPage(form.get(), frame);
            page->SetName(std::string("P").append(std::to_string(i)));
            pages.push_back(page);
        }
        if (whileLoading)
            whileLoading(*this);
        frame->Loaded();
        dynamic_cast<TFormPeer&>(form->Peer()).SetTabOrder(form->TabChain());
    }
    ~Bench() { form.reset(); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;
    TLMDAssistBtn* Button(TLMDInternalButtons b) const { return frame->GetButton(b); }
    // What the control's peer was last told.
    FakeWindow& Seen(const TControl* control) { return set.Of(control); }
    const std::string& Text(const TControl* button) { return Seen(button).caption; }
    // The tab stops in the order the form's peer was given, from `from` on.
    std::vector<TControl*> StopsAfter(const TControl* from) {
        std::vector<TControl*> stops;
        bool after = false;
        for (TControl* c : Seen(form.get()).tabOrder) {
            if (after && c->TabStop())
                stops.push_back(c);
            after = after || c == from;
        }
        return stops;
    }
    void Watch() {
        frame->OnChanging = [this](TComponent*, TLMDAssistPage* p, bool&) {
            events.push_back("changing " + p->Name());
        };
        frame->OnChange = [this](TComponent*) { events.push_back("change"); };
        for (TLMDAssistPage* p : pages) {
            p->OnAfterShowPage = [this](TComponent* s) { events.push_back("after " + s->Name()); };
            p->OnBeforeShowPage = [this](TComponent* s) {
                events.push_back("before " + s->Name());
            };
            p->OnCompleted = [this](TComponent* s, bool&) {
                events.push_back("completed? " + s->Name());
            };
        }
    }
    std::string Active() const { return frame->ActivePage() ? frame->ActivePage()->Name() : "-"; }
};

TEST(AssistLayout, PageAreaButtonsAndSeparatorSitWhereTheBarRulesPutThem) {
    Bench b;
    EXPECT_EQ(b.Seen(b.frame).bounds, TRect::FromEdges(0, 0, 575, 405));
    EXPECT_EQ(b.frame->PageArea(), TRect::FromEdges(2, 2, 573, 356));
    for (TLMDAssistPage* p : b.pages)
        EXPECT_EQ(b.Seen(p).bounds, TRect::FromEdges(2, 2, 573, 356));
    EXPECT_EQ(b.Seen(b.Button(btnPrev)).bounds, TRect::FromEdges(336, 371, 411, 395));
    EXPECT_EQ(b.Seen(b.Button(btnNext)).bounds, TRect::FromEdges(411, 371, 486, 395));
    EXPECT_EQ(b.Seen(b.Button(btnCancel)).bounds, TRect::FromEdges(494, 371, 569, 395));

    // The separator: two rows under the page area, from x 6 to 568, over the plain face.
    TRecordingCanvas canvas;
    b.frame->PeerPaint(canvas);
    EXPECT_EQ(canvas.filled, (std::vector<TRect>{{0, 0, 575, 405}}));
    EXPECT_EQ(canvas.etched, (std::vector<TRect>{{6, 357, 563, 2}}));

    // Hiding through GetButton closes up from the right at once; Buttons keeps its value.
    b.Button(btnPrev)->SetVisible(false);
    b.Button(btnCancel)->SetVisible(false);
    EXPECT_EQ(b.Seen(b.Button(btnNext)).bounds, TRect::FromEdges(494, 371, 569, 395));
    EXPECT_EQ(b.Seen(b.Button(btnPrev)).bounds, TRect::FromEdges(-20, 0, 0, 0));
    EXPECT_EQ(b.Seen(b.Button(btnCancel)).bounds, TRect::FromEdges(-20, 0, 0, 0));
    EXPECT_TRUE(b.frame->Buttons() == TLMDAssistButtons{abCancel});
    b.Button(btnPrev)->SetVisible(true); // no gap after Next: Back touches it
    EXPECT_EQ(b.Seen(b.Button(btnPrev)).bounds, TRect::FromEdges(419, 371, 494, 395));

    b.Button(btnCancel)->SetVisible(true);
    b.frame->SetButtons({abHelp, abCancel});
    EXPECT_EQ(b.Seen(b.Button(btnhelp)).bounds, TRect::FromEdges(253, 371, 328, 395));
    EXPECT_TRUE(!b.Seen(b.Button(btnCustom)).visible);

    // The frame follows its parent, and the bar follows the frame.
    b.form->ShowWindow();
    b.form->PeerResized({700, 500}); // by the user
    EXPECT_EQ(b.frame->PageArea(), TRect::FromEdges(2, 2, 698, 451));
    EXPECT_EQ(b.Seen(b.Button(btnCancel)).bounds, TRect::FromEdges(619, 466, 694, 490));
    b.frame->SetBtnWidth(80);
    EXPECT_EQ(b.Seen(b.Button(btnCancel)).bounds, TRect::FromEdges(614, 466, 694, 490));
}

TEST(AssistPages, TheFirstIncludedPageWinsOverAStoredActivePage) {
    Bench b(3, [](Bench& bench) {
        bench.Watch();
        bench.frame->SetActivePage(bench.pages[2]);
    });
    EXPECT_EQ(b.Active(), "P0");
    EXPECT_FALSE(b.Seen(b.pages[2]).visible);
    EXPECT_TRUE(b.Seen(b.pages[0]).visible);
    EXPECT_EQ(b.events.front(), "changing P2");
    EXPECT_FALSE(b.Seen(b.Button(btnPrev)).enabled);
    EXPECT_FALSE(!b.Seen(b.Button(btnPrev)).visible);
    EXPECT_TRUE(b.Seen(b.Button(btnNext)).enabled);
}

TEST(AssistPages, APageChangeRaisesItsEventsInOrderAndCanBeVetoed) {
    Bench b;
    b.Watch();
    b.frame->NextPage();
    EXPECT_EQ(b.events, (std::vector<std::string>{"changing P1", "after P0", "before P1",
                                                  "completed? P1", "change"}));
    b.events.clear();
    b.frame->SetActivePage(b.pages[1]); // already shown
    auto stranger = std::make_unique<TLMDAssistPage>(nullptr, nullptr);
    b.frame->SetActivePage(stranger.get()); // not in the list
    EXPECT_TRUE(b.events.empty());

    b.frame->OnChanging = [](TComponent*, TLMDAssistPage*, bool& cancel) { cancel = true; };
    b.frame->NextPage();
    EXPECT_EQ(b.Active(), "P1");

    b.frame->SetActivePage(nullptr);
    EXPECT_EQ(b.events, (std::vector<std::string>{"after P1"}));
    EXPECT_EQ(b.Active(), "-");
}

TEST(AssistPages, NavigationSkipsPagesThatAreNotIncluded) {
    Bench b(4);
    b.pages[1]->SetIncluded(false);
    b.pages[3]->SetIncluded(false);
    b.frame->VerifyNext();
    EXPECT_EQ(b.Text(b.Button(btnNext)), "Ne&xt >");
    Click(b.Button(btnNext));
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(b.Text(b.Button(btnNext)), "&Finish");
    b.frame->NextPage(); // last included page: nothing
    EXPECT_EQ(b.Active(), "P2");
    Click(b.Button(btnPrev));
    EXPECT_EQ(b.Active(), "P0");
    b.frame->LastPage();
    EXPECT_EQ(b.Active(), "P2");

    bool vetoBack = true;
    b.pages[2]->OnPrevPage = [&](TComponent* sender, bool& cancel) {
        EXPECT_EQ(sender, b.frame);
        cancel = vetoBack;
    };
    b.frame->PrevPage();
    EXPECT_EQ(b.Active(), "P2");
    vetoBack = false;
    b.frame->PrevPage();
    EXPECT_EQ(b.Active(), "P0");

    // Next asks the page it leaves, with the frame as sender, also from the button.
    bool vetoNext = true;
    int asked = 0;
    b.pages[0]->OnNextPage = [&](TComponent* sender, bool& cancel) {
        EXPECT_EQ(sender, b.frame);
        EXPECT_FALSE(cancel);
        ++asked;
        cancel = vetoNext;
    };
    b.frame->NextPage();
    Click(b.Button(btnNext));
    EXPECT_EQ(b.Active(), "P0");
    EXPECT_EQ(asked, 2);
    vetoNext = false;
    Click(b.Button(btnNext));
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(asked, 3);

    Bench none(2, [](Bench& bench) {
        for (TLMDAssistPage* p : bench.pages)
            p->SetIncluded(false);
    });
    EXPECT_EQ(none.Active(), "-");
    EXPECT_FALSE(none.Seen(none.Button(btnNext)).enabled);
    EXPECT_FALSE(none.Seen(none.Button(btnPrev)).enabled);
}

TEST(AssistPages, PagesAddedAtRunTimeAreShownAtOnceAndCanBeMoved) {
    Bench b(2);
    auto* added = new TLMDAssistPage(b.form.get(), b.frame);
    added->SetName("P2");
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(added->PageIndex(), 2);
    b.frame->InsertPage(added); // already listed: not added twice
    EXPECT_EQ(b.frame->GetCount(), 3);
    added->SetPageIndex(0);
    EXPECT_EQ(b.frame->GetPage(0), added);
    EXPECT_EQ(b.Text(b.Button(btnNext)), "Ne&xt >");
    EXPECT_FALSE(b.Seen(b.Button(btnPrev)).enabled);
    b.frame->RemovePage(added);
    EXPECT_EQ(added->PageIndex(), -1);
    EXPECT_EQ(b.Active(), "-");
}

TEST(AssistPages, AnIncompletePageHoldsNextBack) {
    Bench b;
    bool complete = false;
    b.pages[0]->OnCompleted = [&](TComponent* sender, bool& cancel) {
        EXPECT_EQ(sender, b.pages[0]);
        cancel = !complete;
    };
    b.frame->VerifyNext();
    EXPECT_FALSE(b.Seen(b.Button(btnNext)).enabled);
    b.frame->OnBtnsClick(b.Button(btnNext)); // a press that slips through is ignored
    EXPECT_EQ(b.Active(), "P0");
    complete = true;
    b.frame->VerifyNext();
    EXPECT_TRUE(b.Seen(b.Button(btnNext)).enabled);
}

TEST(AssistFinish, FinishRaisesOnCompletedOnceAndAVetoKeepsTheWizardRunning) {
    Bench b(2);
    int completed = 0;
    bool veto = true;
    b.frame->OnCompleted = [&](TComponent* sender, bool& cancel) {
        EXPECT_EQ(sender, b.frame);
        EXPECT_FALSE(cancel);
        ++completed;
        cancel = veto;
    };
    b.frame->NextPage();
    b.frame->NextPage(); // on the last page NextPage never completes
    EXPECT_EQ(completed, 0);
    EXPECT_EQ(b.Text(b.Button(btnNext)), "&Finish");

    Click(b.Button(btnNext));
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_TRUE(b.Seen(b.Button(btnPrev)).enabled);
    EXPECT_EQ(b.Text(b.Button(btnCancel)), "Cancel");

    veto = false;
    Click(b.Button(btnNext));
    EXPECT_EQ(completed, 2);
    EXPECT_TRUE(b.frame->Finished());
    EXPECT_FALSE(b.Seen(b.Button(btnPrev)).enabled);
    EXPECT_FALSE(b.Seen(b.Button(btnNext)).enabled); // abCancel is in Buttons
    EXPECT_EQ(b.Text(b.Button(btnCancel)), "&Close");
    EXPECT_FALSE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrOk);
    Click(b.Button(btnCancel));
    EXPECT_EQ(b.form->ModalResult(), mrOk);

    // A later veto leaves the finished state again.
    veto = true;
    b.frame->OnBtnsClick(b.Button(btnNext));
    EXPECT_EQ(completed, 3);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_EQ(b.Text(b.Button(btnCancel)), "Cancel");
    EXPECT_TRUE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrCancel);
    EXPECT_TRUE(b.Seen(b.Button(btnNext)).enabled);

    // Without abCancel the finished state leaves Next enabled, reading Close.
    Bench open(1, [](Bench& bench) { bench.frame->SetButtons({}); });
    open.frame->OnBtnsClick(open.Button(btnNext));
    EXPECT_TRUE(open.frame->Finished());
    EXPECT_TRUE(open.Seen(open.Button(btnNext)).enabled);
    EXPECT_EQ(open.Text(open.Button(btnNext)), "&Close");
}

TEST(AssistCaptions, EmptyOrMissingCustomStringsFallBackToTheDefaults) {
    Bench b;
    b.frame->SetCustomStrings({"", "", "Wstecz", "", "Anuluj"});
    EXPECT_EQ(b.Text(b.Button(btnCustom)), "");
    EXPECT_EQ(b.Text(b.Button(btnhelp)), "&Help");
    EXPECT_EQ(b.Text(b.Button(btnPrev)), "Wstecz");
    EXPECT_EQ(b.Text(b.Button(btnNext)), "Ne&xt >");
    EXPECT_EQ(b.Text(b.Button(btnCancel)), "Anuluj");
    EXPECT_EQ(b.frame->GetButtonCaption(asFinish), "&Finish");
    EXPECT_EQ(b.frame->GetButtonCaption(asClose), "&Close");
    b.frame->SetCustomStrings({"x1", "a", "b", "c", "d", "e", "f", "g", "h"});
    EXPECT_EQ(b.Text(b.Button(btnCustom)), "x1");
    EXPECT_EQ(b.frame->GetButtonCaption(asClose), "f");
    EXPECT_THROW(b.frame->GetButton(static_cast<TLMDInternalButtons>(5)), Exception);
}

TEST(AssistButtons, PressesSetTheDialogResultAndFollowTheFramesEnabledState) {
    Bench b;
    int cancels = 0;
    b.frame->OnCancelClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, b.frame);
        ++cancels;
    };
    Click(b.Button(btnCancel));
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(b.form->ModalResult(), mrCancel);
    EXPECT_EQ(b.Active(), "P0"); // Cancel itself changes nothing
    Click(b.Button(btnNext));
    EXPECT_EQ(b.form->ModalResult(), mrNone);

    b.frame->SetEnabled(false);
    for (auto i : {btnPrev, btnNext, btnCancel})
        EXPECT_FALSE(b.Seen(b.Button(i)).enabled) << i;
    b.frame->SetEnabled(true);
    EXPECT_TRUE(b.Seen(b.Button(btnPrev)).enabled);
    EXPECT_TRUE(b.Seen(b.Button(btnNext)).enabled);
    EXPECT_TRUE(b.Seen(b.Button(btnCancel)).enabled);

    // Tab order: the buttons in index order, ahead of the pages.
    const auto stops = b.StopsAfter(b.Button(btnPrev));
    ASSERT_GE(stops.size(), 2u);
    EXPECT_EQ(stops[0], b.Button(btnNext));
    EXPECT_EQ(stops[1], b.Button(btnCancel));
}

TEST(AssistButtons, PageControlsFollowTheButtonsInStoredTabOrder) {
    Bench b;
    auto* late = new TButton(b.form.get(), b.pages[0]);
    auto* early = new TButton(b.form.get(), b.pages[0]);
    auto* unordered = new TButton(b.form.get(), b.pages[0]);
    late->SetTabOrder(1);
    early->SetTabOrder(0);
    dynamic_cast<TFormPeer&>(b.form->Peer()).SetTabOrder(b.form->TabChain());
    EXPECT_EQ(b.StopsAfter(b.Button(btnCancel)), (std::vector<TControl*>{early, late, unordered}));
}

TEST(AssistKeyboard, EnterPressesNextUnlessAnotherButtonHasTheFocusEscapePressesCancel) {
    Bench b;
    int cancels = 0;
    b.frame->OnCancelClick = [&](TComponent*) { ++cancels; };
    b.form->ShowWindow();
    // As every widget set hands them over: the keys that no control took.
    auto key = [&](TKey k) { return b.form->PeerDialogKey(k); };

    EXPECT_TRUE(key(TKey::Return));
    EXPECT_EQ(b.Active(), "P1");
    b.Button(btnPrev)->SetFocus();
    EXPECT_TRUE(key(TKey::Return));
    EXPECT_EQ(b.Active(), "P0");
    b.Button(btnPrev)->SetEnabled(false);
    b.pages[0]->SetFocus();
    EXPECT_TRUE(key(TKey::Escape));
    EXPECT_EQ(cancels, 1);
    b.Button(btnCancel)->SetVisible(false);
    EXPECT_FALSE(key(TKey::Escape));
    EXPECT_EQ(cancels, 1);
    b.Button(btnNext)->SetEnabled(false);
    EXPECT_FALSE(key(TKey::Return));
    EXPECT_EQ(b.Active(), "P0");
}

TEST(AssistTeardown, DestroyingTheWindowRaisesNoPageEvents) {
    int events = 0;
    {
        Bench b;
        b.Watch();
        b.frame->NextPage();
        b.frame->OnChange = [&](TComponent*) { ++events; };
        b.frame->OnChanging = [&](TComponent*, TLMDAssistPage*, bool&) { ++events; };
        for (TLMDAssistPage* p : b.pages) {
            p->OnAfterShowPage = [&](TComponent*) { ++events; };
            p->OnBeforeShowPage = [&](TComponent*) { ++events; };
            p->OnCompleted = [&](TComponent*, bool&) { ++events; };
        }
        delete b.pages[2]; // a page may also go on its own, quietly
        EXPECT_EQ(b.frame->GetCount(), 2);
    }
    EXPECT_EQ(events, 0);
}

} // namespace

namespace {

// A screen reader hears each page that comes, named by its heading, with the focus left where
// it was; the page itself is a named page, and a page without a heading keeps the name given.
TEST(AssistAccessible, EachPageIsNamedByItsHeadingAndAnnouncedWhenItComes) {
    Bench b(3);
    auto* heading = new TLabel(b.form.get(), b.pages[1]);
    heading->SetCaption("1. Sprawdzenie");
    auto* text = new TLabel(b.form.get(), b.pages[1]);
    text->SetCaption("Sprawdź typ sterownika.");
    b.pages[1]->SetHeading(heading);
    b.pages[2]->SetAccessibleName("Wynik");
    (new TLabel(b.form.get(), b.pages[2]))->SetCaption("zakończone");
    EXPECT_EQ(b.Seen(heading).accessible.role, TAccessibleRole::Heading);
    EXPECT_EQ(b.Seen(b.pages[1]).accessible,
              (TAccessibleInfo{TAccessibleRole::Page, "1. Sprawdzenie", ""}));

    // Nothing is said before the window opens.
    b.frame->NextPage();
    b.frame->PrevPage();
    EXPECT_TRUE(b.set.announced.empty());
    b.form->ShowWindow();
    TControl* focused = b.set.focused;
    ASSERT_EQ(focused, b.Button(btnNext));
    b.frame->NextPage();
    b.frame->NextPage();
    EXPECT_EQ(b.set.focused, focused);
    // The heading once, then the text; a page without a heading says its name first.
    EXPECT_EQ(b.set.announced, (std::vector<std::string>{"1. Sprawdzenie\nSprawdź typ sterownika.",
                                                         "Wynik\nzakończone"}));
    // A heading that changes while its page is away renames the page when it comes again.
    heading->SetCaption("Nowy");
    b.frame->PrevPage();
    EXPECT_EQ(b.Seen(b.pages[1]).accessible.name, "Nowy");
    EXPECT_EQ(b.set.announced.back(), "Nowy\nSprawdź typ sterownika.");
}

} // namespace
