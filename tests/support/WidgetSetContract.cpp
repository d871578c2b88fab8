// The suite every widget set passes: the loop, posted calls, the tab chain, Return and Escape,
// blocked input and the modal box, each through the set's own input path.
#include "tests/support/WidgetSetContract.h"

#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace tolvar::test {

TMessageRequest Confirmation() {
    TMessageRequest request;
    request.caption = "Confirm";
    request.text = "Czy na pewno przerwać?";
    request.icon = TMsgIcon::Question;
    request.buttons = {{"&Yes", mrYes}, {"&No", mrNo}};
    request.defaultResult = mrYes;
    request.escapeResult = mrNo;
    return request;
}

namespace {

class TCountingButton : public TButton {
public:
    TCountingButton(TComponent* owner, TWinControl* parent) : TButton(owner, parent) {
        OnClick = [this](TComponent*) { ++clicks; };
    }
    int clicks = 0;
    bool swallowReturn = false;
    bool PeerKey(TKey key) override { return swallowReturn && key == TKey::Return; }
};

class TKeyRecorder : public TDialogKeyHandler {
public:
    std::vector<TKey> keys;
    bool take = false;
    bool DialogKey(TKey key) override {
        keys.push_back(key);
        return take;
    }
};

class WidgetSetContract : public testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TCustomForm>();
        form->SetBounds({100, 100, 400, 300});
    }
    void TearDown() override { form.reset(); }
    // A button on the form, where a click lands inside it.
    TCountingButton* Button(int top) {
        auto* button = new TCountingButton(form.get(), form.get());
        button->SetBounds({10, top, 75, 25});
        return button;
    }

    std::unique_ptr<TUserDriver> user = MakeUserDriver();
    std::unique_ptr<TCustomForm> form;
};

TEST_F(WidgetSetContract, RunEndsWhenTheProgramOrTheTitleBarClosesTheForm) {
    int ran = 0;
    user->Set().Post([&] {
        ++ran;
        form->Close();
    });
    user->Set().Run(*form);
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(form->Closed());

    user->Set().Post([&] { user->CloseFromTitleBar(*form); });
    user->Set().Run(*form);
    EXPECT_TRUE(form->Closed());
}

TEST_F(WidgetSetContract, PostedCallsRunOnTheUiThreadInTheOrderPosted) {
    std::vector<int> ran;
    std::atomic<bool> wrongThread{false};
    const auto ui = std::this_thread::get_id();
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            user->Set().Post([&, i] {
                wrongThread = wrongThread || std::this_thread::get_id() != ui;
                ran.push_back(i);
            });
    });
    worker.join();
    while (ran.size() < 3)
        user->Set().ProcessMessages(true);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(wrongThread);
}

TEST_F(WidgetSetContract, TabVisitsTheGivenChainAndSkipsWhatTakesNoFocus) {
    auto* first = Button(10);
    auto* label = new TLabel(form.get(), form.get());
    auto* second = new TCheckBox(form.get(), form.get());
    second->SetBounds({10, 40, 75, 17});
    auto* third = Button(70);
    label->SetCaption("x");
    dynamic_cast<TFormPeer&>(form->Peer()).SetTabOrder({third, label, first, second});
    user->Show(*form);
    third->SetFocus();
    user->Press(TKey::Other);
    EXPECT_TRUE(first->Focused());
    user->Press(TKey::Other);
    EXPECT_TRUE(second->Focused());
}

TEST_F(WidgetSetContract, ReturnGoesToTheFocusedButtonElseTheFormEscapeToTheForm) {
    auto* next = Button(10);
    next->SetDefault(true);
    auto* back = Button(40);
    auto* box = new TCheckBox(form.get(), form.get());
    box->SetBounds({10, 70, 75, 17});
    TKeyRecorder recorder;
    form->AddDialogKeyHandler(&recorder);
    user->Show(*form);

    // Nobody took them: the handlers hear both, Return presses the default button.
    box->SetFocus();
    user->Press(TKey::Return);
    user->Press(TKey::Escape);
    EXPECT_EQ(recorder.keys, (std::vector<TKey>{TKey::Return, TKey::Escape}));
    EXPECT_EQ(next->clicks, 1);
    // A handler that takes Return keeps it from the default button.
    recorder.take = true;
    user->Press(TKey::Return);
    EXPECT_EQ(next->clicks, 1);
    // A focused push button takes Return itself; Escape still goes to the form.
    back->SetFocus();
    user->Press(TKey::Return);
    user->Press(TKey::Escape);
    EXPECT_EQ(back->clicks, 1);
    EXPECT_EQ(recorder.keys.size(), 4u);
    // A key the focused control swallows goes no further.
    back->swallowReturn = true;
    user->Press(TKey::Return);
    EXPECT_EQ(back->clicks, 1);
    EXPECT_EQ(recorder.keys.size(), 4u);
    form->RemoveDialogKeyHandler(&recorder);
}

TEST_F(WidgetSetContract, BlockedInputIsDroppedAndTheFormRefusesToClose) {
    auto* button = Button(10);
    user->Show(*form);
    button->SetFocus();
    user->Set().SetInputBlocked(true);
    user->Click(*button);
    user->Press(TKey::Return);
    user->CloseFromTitleBar(*form);
    user->Set().DrainInput();
    EXPECT_EQ(button->clicks, 0);
    EXPECT_FALSE(form->Closed());

    user->Set().SetInputBlocked(false);
    user->Click(*button);
    EXPECT_EQ(button->clicks, 1);
    user->CloseFromTitleBar(*form);
    EXPECT_TRUE(form->Closed());
}

TEST_F(WidgetSetContract, TheModalBoxAnswersReturnWithItsDefaultAndEscapeWithItsEscapeResult) {
    user->Show(*form);
    user->AnswerNextBox(TKey::Return);
    EXPECT_EQ(user->Set().ShowMessageBox(Confirmation()), mrYes);
    user->AnswerNextBox(TKey::Escape);
    EXPECT_EQ(user->Set().ShowMessageBox(Confirmation()), mrNo);
    TMessageRequest noFirst = Confirmation();
    noFirst.defaultResult = mrNo;
    user->AnswerNextBox(TKey::Return);
    EXPECT_EQ(user->Set().ShowMessageBox(noFirst), mrNo);
}

} // namespace
} // namespace tolvar::test
