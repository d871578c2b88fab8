// The fake widget set as the user meets it: keys go to the focused control, then to the form;
// Tab follows the chain the form was given; nothing reaches the model while input is blocked.
#include "tests/support/FakeWidgetSet.h"
#include "tests/support/WidgetSetContract.h"

#include <algorithm>

namespace tolvar::test {
namespace {

class TFakeUserDriver final : public TUserDriver {
public:
    TWidgetSet& Set() override { return set_; }
    void Show(TCustomForm& form) override {
        form_ = &form;
        form.ShowWindow();
    }
    void Press(TKey key) override {
        if (Blocked() || form_ == nullptr)
            return;
        if (key == TKey::Other) {
            Tab();
            return;
        }
        TControl* focused = set_.focused;
        if (focused == nullptr || !focused->PeerKey(key))
            form_->PeerDialogKey(key);
    }
    void Click(TControl& control) override {
        if (!Blocked() && control.EnabledInTree())
            control.PeerClicked();
    }
    void CloseFromTitleBar(TCustomForm& form) override {
        if (!Blocked())
            form.PeerClosed();
    }
    void AnswerNextBox(TKey key) override { set_.boxAnswers.push_back(key); }

private:
    bool Blocked() const { return !set_.inputBlocked.empty() && set_.inputBlocked.back(); }
    void Tab() {
        const std::vector<TControl*>& chain = set_.Of(form_).tabOrder;
        auto at = std::find(chain.begin(), chain.end(), set_.focused);
        for (std::size_t step = 1; step <= chain.size(); ++step) {
            const std::size_t from = at == chain.end() ? 0 : at - chain.begin();
            TControl* next = chain[(from + step) % chain.size()];
            if (next->TabStop() && next->CanFocus()) {
                next->SetFocus();
                return;
            }
        }
    }

    FakeWidgetSet set_;
    TCustomForm* form_ = nullptr;
};

} // namespace

std::unique_ptr<TUserDriver> MakeUserDriver() {
    return std::make_unique<TFakeUserDriver>();
}

} // namespace tolvar::test
