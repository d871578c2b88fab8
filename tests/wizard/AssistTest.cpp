#include "wizard/Assist.h"

#include "framework/widgets/Controls.h"
#include "framework/widgets/MessageBoxes.h"

#include <QImage>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;

namespace {

// A form 575 x 405 holding a frame with `count` pages, built as the reader builds it.
struct Bench {
    std::unique_ptr<TCustomForm> form = std::make_unique<TCustomForm>();
    TLMDAssist* frame = nullptr;
    std::vector<TLMDAssistPage*> pages;
    std::vector<std::string> events;

    explicit Bench(int count = 3, const std::function<void(Bench&)>& whileLoading = nullptr) {
        form->resize(575, 405);
        frame = new TLMDAssist(form.get(), form.get());
        MarkCreation(frame);
        frame->BeginLoading();
        for (int i = 0; i < count; ++i) {
            auto* page = new TLMDAssistPage(form.get(), frame);
            MarkCreation(page);
            page->SetName(std::string("P").append(std::to_string(i)));
            pages.push_back(page);
        }
        if (whileLoading)
            whileLoading(*this);
        frame->Loaded();
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

QRect Rect(int l, int t, int r, int b) {
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

TEST(AssistLayout, PageAreaButtonsAndSeparatorSitWhereTheBarRulesPutThem) {
    Bench b;
    EXPECT_EQ(b.frame->geometry(), Rect(0, 0, 575, 405));
    EXPECT_EQ(b.frame->PageArea(), Rect(2, 2, 573, 356));
    for (TLMDAssistPage* p : b.pages)
        EXPECT_EQ(p->geometry(), Rect(2, 2, 573, 356));
    EXPECT_EQ(b.Button(btnPrev)->geometry(), Rect(336, 371, 411, 395));
    EXPECT_EQ(b.Button(btnNext)->geometry(), Rect(411, 371, 486, 395));
    EXPECT_EQ(b.Button(btnCancel)->geometry(), Rect(494, 371, 569, 395));

    // The separator: shadow row 357 over highlight row 358, from x 6 to 568.
    const QImage image = b.frame->grab().toImage();
    const QPalette pal = b.frame->palette();
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
    b.Button(btnPrev)->setVisible(false);
    b.Button(btnCancel)->setVisible(false);
    EXPECT_EQ(b.Button(btnNext)->geometry(), Rect(494, 371, 569, 395));
    EXPECT_EQ(b.Button(btnPrev)->geometry(), Rect(-20, 0, 0, 0));
    EXPECT_EQ(b.Button(btnCancel)->geometry(), Rect(-20, 0, 0, 0));
    EXPECT_TRUE(b.frame->Buttons() == TLMDAssistButtons{abCancel});
    b.Button(btnPrev)->setVisible(true); // no gap after Next: Back touches it
    EXPECT_EQ(b.Button(btnPrev)->geometry(), Rect(419, 371, 494, 395));

    b.Button(btnCancel)->setVisible(true);
    b.frame->SetButtons({abHelp, abCancel});
    EXPECT_EQ(b.Button(btnhelp)->geometry(), Rect(253, 371, 328, 395));
    EXPECT_TRUE(b.Button(btnCustom)->isHidden());

    // The frame follows its parent, and the bar follows the frame.
    b.form->show();
    b.form->resize(700, 500);
    EXPECT_EQ(b.frame->PageArea(), Rect(2, 2, 698, 451));
    EXPECT_EQ(b.Button(btnCancel)->geometry(), Rect(619, 466, 694, 490));
    b.frame->SetBtnWidth(80);
    EXPECT_EQ(b.Button(btnCancel)->geometry(), Rect(614, 466, 694, 490));
}

TEST(AssistPages, TheFirstIncludedPageWinsOverAStoredActivePage) {
    Bench b(3, [](Bench& bench) {
        bench.Watch();
        bench.frame->SetActivePage(bench.pages[2]);
    });
    EXPECT_EQ(b.Active(), "P0");
    EXPECT_FALSE(b.pages[2]->isVisibleTo(b.frame));
    EXPECT_TRUE(b.pages[0]->isVisibleTo(b.frame));
    EXPECT_EQ(b.events.front(), "changing P2");
    EXPECT_FALSE(b.Button(btnPrev)->isEnabled());
    EXPECT_FALSE(b.Button(btnPrev)->isHidden());
    EXPECT_TRUE(b.Button(btnNext)->isEnabled());
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
    EXPECT_EQ(b.Button(btnNext)->text(), "Ne&xt >");
    b.Button(btnNext)->click();
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(b.Button(btnNext)->text(), "&Finish");
    b.frame->NextPage(); // last included page: nothing
    EXPECT_EQ(b.Active(), "P2");
    b.Button(btnPrev)->click();
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
    b.Button(btnNext)->click();
    EXPECT_EQ(b.Active(), "P0");
    EXPECT_EQ(asked, 2);
    vetoNext = false;
    b.Button(btnNext)->click();
    EXPECT_EQ(b.Active(), "P2");
    EXPECT_EQ(asked, 3);

    Bench none(2, [](Bench& bench) {
        for (TLMDAssistPage* p : bench.pages)
            p->SetIncluded(false);
    });
    EXPECT_EQ(none.Active(), "-");
    EXPECT_FALSE(none.Button(btnNext)->isEnabled());
    EXPECT_FALSE(none.Button(btnPrev)->isEnabled());
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
    EXPECT_EQ(b.Button(btnNext)->text(), "Ne&xt >");
    EXPECT_FALSE(b.Button(btnPrev)->isEnabled());
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
    EXPECT_FALSE(b.Button(btnNext)->isEnabled());
    b.frame->OnBtnsClick(b.Button(btnNext)); // a press that slips through is ignored
    EXPECT_EQ(b.Active(), "P0");
    complete = true;
    b.frame->VerifyNext();
    EXPECT_TRUE(b.Button(btnNext)->isEnabled());
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
    EXPECT_EQ(b.Button(btnNext)->text(), "&Finish");

    b.Button(btnNext)->click();
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_TRUE(b.Button(btnPrev)->isEnabled());
    EXPECT_EQ(b.Button(btnCancel)->text(), "Cancel");

    veto = false;
    b.Button(btnNext)->click();
    EXPECT_EQ(completed, 2);
    EXPECT_TRUE(b.frame->Finished());
    EXPECT_FALSE(b.Button(btnPrev)->isEnabled());
    EXPECT_FALSE(b.Button(btnNext)->isEnabled()); // abCancel is in Buttons
    EXPECT_EQ(b.Button(btnCancel)->text(), "&Close");
    EXPECT_FALSE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrOk);
    b.Button(btnCancel)->click();
    EXPECT_EQ(b.form->ModalResult(), mrOk);

    // A later veto leaves the finished state again.
    veto = true;
    b.frame->OnBtnsClick(b.Button(btnNext));
    EXPECT_EQ(completed, 3);
    EXPECT_FALSE(b.frame->Finished());
    EXPECT_EQ(b.Button(btnCancel)->text(), "Cancel");
    EXPECT_TRUE(b.Button(btnCancel)->Cancel());
    EXPECT_EQ(b.Button(btnCancel)->ModalResult(), mrCancel);
    EXPECT_TRUE(b.Button(btnNext)->isEnabled());

    // Without abCancel the finished state leaves Next enabled, reading Close.
    Bench open(1, [](Bench& bench) { bench.frame->SetButtons({}); });
    open.frame->OnBtnsClick(open.Button(btnNext));
    EXPECT_TRUE(open.frame->Finished());
    EXPECT_TRUE(open.Button(btnNext)->isEnabled());
    EXPECT_EQ(open.Button(btnNext)->text(), "&Close");
}

TEST(AssistCaptions, EmptyOrMissingCustomStringsFallBackToTheDefaults) {
    Bench b;
    b.frame->SetCustomStrings({"", "", "Wstecz", "", "Anuluj"});
    EXPECT_EQ(b.Button(btnCustom)->text(), "");
    EXPECT_EQ(b.Button(btnhelp)->text(), "&Help");
    EXPECT_EQ(b.Button(btnPrev)->text(), "Wstecz");
    EXPECT_EQ(b.Button(btnNext)->text(), "Ne&xt >");
    EXPECT_EQ(b.Button(btnCancel)->text(), "Anuluj");
    EXPECT_EQ(b.frame->GetButtonCaption(asFinish), "&Finish");
    EXPECT_EQ(b.frame->GetButtonCaption(asClose), "&Close");
    b.frame->SetCustomStrings({"x1", "a", "b", "c", "d", "e", "f", "g", "h"});
    EXPECT_EQ(b.Button(btnCustom)->text(), "x1");
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
    b.Button(btnCancel)->click();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(b.form->ModalResult(), mrCancel);
    EXPECT_EQ(b.Active(), "P0"); // Cancel itself changes nothing
    b.Button(btnNext)->click();
    EXPECT_EQ(b.form->ModalResult(), mrNone);

    b.frame->setEnabled(false);
    for (auto i : {btnPrev, btnNext, btnCancel})
        EXPECT_FALSE(b.Button(i)->isEnabled()) << i;
    b.frame->setEnabled(true);
    EXPECT_TRUE(b.Button(btnPrev)->isEnabled());
    EXPECT_TRUE(b.Button(btnNext)->isEnabled());
    EXPECT_TRUE(b.Button(btnCancel)->isEnabled());

    // Tab order: the visible buttons in index order, ahead of the pages.
    EXPECT_EQ(b.Button(btnPrev)->nextInFocusChain(), b.Button(btnNext));
    EXPECT_EQ(b.Button(btnNext)->nextInFocusChain(), b.Button(btnCancel));
}

TEST(AssistButtons, PageControlsFollowTheButtonsInStoredTabOrder) {
    Bench b;
    auto* late = new QPushButton(b.pages[0]);
    auto* early = new QPushButton(b.pages[0]);
    auto* unordered = new QPushButton(b.pages[0]);
    for (QPushButton* button : {late, early, unordered})
        MarkCreation(button);
    late->setProperty("tolvarTabOrder", 1);
    early->setProperty("tolvarTabOrder", 0);
    ApplyTabOrder(b.form.get());
    auto next = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        return w;
    };
    EXPECT_EQ(next(b.Button(btnCancel)), early);
    EXPECT_EQ(next(early), late);
    EXPECT_EQ(next(late), unordered);
}

TEST(AssistKeyboard, EnterPressesNextUnlessAnotherButtonHasTheFocusEscapePressesCancel) {
    Bench b;
    int cancels = 0;
    b.frame->OnCancelClick = [&](TComponent*) { ++cancels; };
    b.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(b.form.get()));

    QTest::keyClick(b.form.get(), Qt::Key_Return);
    EXPECT_EQ(b.Active(), "P1");
    b.Button(btnPrev)->setFocus();
    QTest::keyClick(b.Button(btnPrev), Qt::Key_Return);
    EXPECT_EQ(b.Active(), "P0");
    QTest::keyClick(b.form.get(), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    b.Button(btnCancel)->setVisible(false);
    QTest::keyClick(b.form.get(), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    b.Button(btnNext)->setEnabled(false);
    QTest::keyClick(b.form.get(), Qt::Key_Enter);
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
