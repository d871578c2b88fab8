#include "wizard/Assist.h"

#include "framework/MessageBoxes.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QImage>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;

namespace {

QWidget* W(const TControl& c) {
    return QtWidget(c);
}
QPushButton* Q(const TControl* button) {
    return qobject_cast<QPushButton*>(QtWidget(*button));
}
// What the real button shows.
QString Text(const TControl* button) {
    return Q(button)->text();
}
// A press on the real button, as a click of the user makes it.
void Click(const TControl* button) {
    Q(button)->click();
}

// A form 575 x 405 holding a frame with `count` pages, built as the reader builds it.
struct Bench {
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

QRect QtRect(const TRect& r) {
    return {r.left, r.top, r.width, r.height};
}

QRect Rect(int l, int t, int r, int b) {
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

TEST(AssistLayout, PageAreaButtonsAndSeparatorSitWhereTheBarRulesPutThem) {
    Bench b;
    EXPECT_EQ(W(*b.frame)->geometry(), Rect(0, 0, 575, 405));
    EXPECT_EQ(QtRect(b.frame->PageArea()), Rect(2, 2, 573, 356));
    for (TLMDAssistPage* p : b.pages)
        EXPECT_EQ(W(*p)->geometry(), Rect(2, 2, 573, 356));
    EXPECT_EQ(W(*b.Button(btnPrev))->geometry(), Rect(336, 371, 411, 395));
    EXPECT_EQ(W(*b.Button(btnNext))->geometry(), Rect(411, 371, 486, 395));
    EXPECT_EQ(W(*b.Button(btnCancel))->geometry(), Rect(494, 371, 569, 395));

    // The separator: shadow row 357 over highlight row 358, from x 6 to 568.
    const QImage image = W(*b.frame)->grab().toImage();
    const QPalette pal = W(*b.frame)->palette();
    const QRgb shadow = pal.color(QPalette::Dark).rgb();
    const QRgb light = pal.color(QPalette::Light).rgb();
    const QRgb face = pal.color(QPalette::Button).rgb();
    for (int x : {6, 300, 568}) {
        EXPECT_EQ(image.pixel(x, 357), shadow) << x;
        EXPECT_EQ(image.pixel(x, 358), light) << x;
        EXPECT_EQ(image.pixel(x, 359), face) << x;
    }
    for (int x : {5, 569}) {
        EXPECT_EQ(image.pixel(x, 357), face) << x;
        EXPECT_EQ(image.pixel(x, 358), face) << x;
    }

    // Hiding through GetButton closes up from the right at once; Buttons keeps its value.
    b.Button(btnPrev)->SetVisible(false);
    b.Button(btnCancel)->SetVisible(false);
    EXPECT_EQ(W(*b.Button(btnNext))->geometry(), Rect(494, 371, 569, 395));
    EXPECT_EQ(W(*b.Button(btnPrev))->geometry(), Rect(-20, 0, 0, 0));
    EXPECT_EQ(W(*b.Button(btnCancel))->geometry(), Rect(-20, 0, 0, 0));
    EXPECT_TRUE(b.frame->Buttons() == TLMDAssistButtons{abCancel});
    b.Button(btnPrev)->SetVisible(true); // no gap after Next: Back touches it
    EXPECT_EQ(W(*b.Button(btnPrev))->geometry(), Rect(419, 371, 494, 395));

    b.Button(btnCancel)->SetVisible(true);
    b.frame->SetButtons({abHelp, abCancel});
    EXPECT_EQ(W(*b.Button(btnhelp))->geometry(), Rect(253, 371, 328, 395));
    EXPECT_TRUE(W(*b.Button(btnCustom))->isHidden());

    // The frame follows its parent, and the bar follows the frame.
    b.form->ShowWindow();
    W(*b.form)->resize(700, 500); // by the user
    EXPECT_EQ(QtRect(b.frame->PageArea()), Rect(2, 2, 698, 451));
    EXPECT_EQ(W(*b.Button(btnCancel))->geometry(), Rect(619, 466, 694, 490));
    b.frame->SetBtnWidth(80);
    EXPECT_EQ(W(*b.Button(btnCancel))->geometry(), Rect(614, 466, 694, 490));
}

TEST(AssistPages, TheFirstIncludedPageWinsOverAStoredActivePage) {
    Bench b(3, [](Bench& bench) {
        bench.Watch();
        bench.frame->SetActivePage(bench.pages[2]);
    });
    EXPECT_EQ(b.Active(), "P0");
    EXPECT_FALSE(W(*b.pages[2])->isVisibleTo(W(*b.frame)));
    EXPECT_TRUE(W(*b.pages[0])->isVisibleTo(W(*b.frame)));
    EXPECT_EQ(b.events.front(), "changing P2");
    EXPECT_FALSE(W(*b.Button(btnPrev))->isEnabled());
    EXPECT_FALSE(W(*b.Button(btnPrev))->isHidden());
    EXPECT_TRUE(W(*b.Button(btnNext))->isEnabled());
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
    EXPECT_EQ(Text(b.Button(btnNext)), "Ne&xt >");
    Click(b.Button(btnNext));
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(Text(b.Button(btnNext)), "&Finish");
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
    EXPECT_FALSE(W(*none.Button(btnNext))->isEnabled());
    EXPECT_FALSE(W(*none.Button(btnPrev))->isEnabled());
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
    EXPECT_EQ(Text(b.Button(btnNext)), "Ne&xt >");
    EXPECT_FALSE(W(*b.Button(btnPrev))->isEnabled());
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
    EXPECT_FALSE(W(*b.Button(btnNext))->isEnabled());
    b.frame->OnBtnsClick(b.Button(btnNext)); // a press that slips through is ignored
    EXPECT_EQ(b.Active(), "P0");
    complete = true;
    b.frame->VerifyNext();
    EXPECT_TRUE(W(*b.Button(btnNext))->isEnabled());
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
    EXPECT_EQ(Text(b.Button(btnNext)), "&Finish");

    Click(b.Button(btnNext));
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_TRUE(W(*b.Button(btnPrev))->isEnabled());
    EXPECT_EQ(Text(b.Button(btnCancel)), "Cancel");

    veto = false;
    Click(b.Button(btnNext));
    EXPECT_EQ(completed, 2);
    EXPECT_TRUE(b.frame->Finished());
    EXPECT_FALSE(W(*b.Button(btnPrev))->isEnabled());
    EXPECT_FALSE(W(*b.Button(btnNext))->isEnabled()); // abCancel is in Buttons
    EXPECT_EQ(Text(b.Button(btnCancel)), "&Close");
    EXPECT_FALSE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrOk);
    Click(b.Button(btnCancel));
    EXPECT_EQ(b.form->ModalResult(), mrOk);

    // A later veto leaves the finished state again.
    veto = true;
    b.frame->OnBtnsClick(b.Button(btnNext));
    EXPECT_EQ(completed, 3);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_EQ(Text(b.Button(btnCancel)), "Cancel");
    EXPECT_TRUE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrCancel);
    EXPECT_TRUE(W(*b.Button(btnNext))->isEnabled());

    // Without abCancel the finished state leaves Next enabled, reading Close.
    Bench open(1, [](Bench& bench) { bench.frame->SetButtons({}); });
    open.frame->OnBtnsClick(open.Button(btnNext));
    EXPECT_TRUE(open.frame->Finished());
    EXPECT_TRUE(W(*open.Button(btnNext))->isEnabled());
    EXPECT_EQ(Text(open.Button(btnNext)), "&Close");
}

TEST(AssistCaptions, EmptyOrMissingCustomStringsFallBackToTheDefaults) {
    Bench b;
    b.frame->SetCustomStrings({"", "", "Wstecz", "", "Anuluj"});
    EXPECT_EQ(Text(b.Button(btnCustom)), "");
    EXPECT_EQ(Text(b.Button(btnhelp)), "&Help");
    EXPECT_EQ(Text(b.Button(btnPrev)), "Wstecz");
    EXPECT_EQ(Text(b.Button(btnNext)), "Ne&xt >");
    EXPECT_EQ(Text(b.Button(btnCancel)), "Anuluj");
    EXPECT_EQ(b.frame->GetButtonCaption(asFinish), "&Finish");
    EXPECT_EQ(b.frame->GetButtonCaption(asClose), "&Close");
    b.frame->SetCustomStrings({"x1", "a", "b", "c", "d", "e", "f", "g", "h"});
    EXPECT_EQ(Text(b.Button(btnCustom)), "x1");
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
        EXPECT_FALSE(W(*b.Button(i))->isEnabled()) << i;
    b.frame->SetEnabled(true);
    EXPECT_TRUE(W(*b.Button(btnPrev))->isEnabled());
    EXPECT_TRUE(W(*b.Button(btnNext))->isEnabled());
    EXPECT_TRUE(W(*b.Button(btnCancel))->isEnabled());

    // Tab order: the visible buttons in index order, ahead of the pages.
    EXPECT_EQ(W(*b.Button(btnPrev))->nextInFocusChain(), W(*b.Button(btnNext)));
    EXPECT_EQ(W(*b.Button(btnNext))->nextInFocusChain(), W(*b.Button(btnCancel)));
}

TEST(AssistButtons, PageControlsFollowTheButtonsInStoredTabOrder) {
    Bench b;
    auto* late = new TButton(b.form.get(), b.pages[0]);
    auto* early = new TButton(b.form.get(), b.pages[0]);
    auto* unordered = new TButton(b.form.get(), b.pages[0]);
    late->SetTabOrder(1);
    early->SetTabOrder(0);
    dynamic_cast<TFormPeer&>(b.form->Peer()).SetTabOrder(b.form->TabChain());
    auto next = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        return w;
    };
    EXPECT_EQ(next(W(*b.Button(btnCancel))), W(*early));
    EXPECT_EQ(next(W(*early)), W(*late));
    EXPECT_EQ(next(W(*late)), W(*unordered));
}

TEST(AssistKeyboard, EnterPressesNextUnlessAnotherButtonHasTheFocusEscapePressesCancel) {
    Bench b;
    int cancels = 0;
    b.frame->OnCancelClick = [&](TComponent*) { ++cancels; };
    b.form->ShowWindow();
    W(*b.form)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W(*b.form)));

    QTest::keyClick(W(*b.form), Qt::Key_Return);
    EXPECT_EQ(b.Active(), "P1");
    b.Button(btnPrev)->SetFocus();
    QTest::keyClick(W(*b.Button(btnPrev)), Qt::Key_Return);
    EXPECT_EQ(b.Active(), "P0");
    QTest::keyClick(W(*b.form), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    b.Button(btnCancel)->SetVisible(false);
    QTest::keyClick(W(*b.form), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    b.Button(btnNext)->SetEnabled(false);
    QTest::keyClick(W(*b.form), Qt::Key_Enter);
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
