#include "framework/WidgetSet.h"

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace tolvar {

namespace {

// Without a window system: controls keep their state in the model only, posted calls run from
// ProcessMessages, boxes answer as Escape would. Serves tools and tests that need no window.
class TNullWidgetSet;

// One peer for every kind: nothing to show, so every call of every kind is the same.
class TNullPeer final : public TFormPeer,
                        public TPanelPeer,
                        public TGroupBoxPeer,
                        public TLabelPeer,
                        public TCheckBoxPeer,
                        public TButtonPeer,
                        public TProgressBarPeer,
                        public TComboBoxPeer,
                        public TImagePeer {
public:
    TNullPeer(TNullWidgetSet& set, TControl& control, TCustomForm* form = nullptr)
        : set_(set), control_(control), form_(form) {}
    // Inline, with the work out of line: GCC's optimiser takes an out-of-line destructor of
    // this final class for unused and warns.
    ~TNullPeer() override { Forget(); }

    void SetBounds(const TRect&) override {}
    void SetVisible(bool) override {}
    void SetEnabled(bool) override {}
    void SetCaption(const std::string&) override {}
    void SetFont(const TFont&) override {}
    void SetColor(TColor) override {}
    void SetFocus() override;
    bool Focused() const override;
    void BringToFront() override {}
    void Invalidate() override {}
    void SetAccessible(const TAccessibleInfo&) override {}
    void Announce(const std::string&) override {}
    void SetTabOrder(const std::vector<TControl*>&) override {}
    void ShowWindow() override {}
    void CloseWindow() override {
        if (form_ != nullptr)
            form_->PeerClosed();
    }
    void SetTextStyle(const TTextStyle&) override {}
    void SetHandCursor(bool) override {}
    void SetChecked(bool) override {}
    void SetDefault(bool) override {}
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void SetItems(const std::vector<std::string>&) override {}
    void SetItemDetails(const std::vector<std::string>&) override {}
    void SetItemIndex(int) override {}
    void SetPicture(const std::string&, bool, const TRect&) override {}

private:
    void Forget();

    TNullWidgetSet& set_;
    TControl& control_;
    TCustomForm* form_;
};

class TNullWidgetSet final : public TWidgetSet {
public:
    std::unique_ptr<TFormPeer> CreateFormPeer(TCustomForm& form) override {
        return std::make_unique<TNullPeer>(*this, form, &form);
    }
    std::unique_ptr<TPanelPeer> CreatePanelPeer(TCustomPanel& c) override { return Make(c); }
    std::unique_ptr<TGroupBoxPeer> CreateGroupBoxPeer(TGroupBox& c) override { return Make(c); }
    std::unique_ptr<TLabelPeer> CreateLabelPeer(TLabel& c) override { return Make(c); }
    std::unique_ptr<TCheckBoxPeer> CreateCheckBoxPeer(TCheckBox& c) override { return Make(c); }
    std::unique_ptr<TButtonPeer> CreateButtonPeer(TButton& c) override { return Make(c); }
    std::unique_ptr<TProgressBarPeer> CreateProgressBarPeer(TProgressBar& c) override {
        return Make(c);
    }
    std::unique_ptr<TComboBoxPeer> CreateComboBoxPeer(TComboBox& c) override { return Make(c); }
    std::unique_ptr<TImagePeer> CreateImagePeer(TImage& c) override { return Make(c); }
    void Run(TCustomForm& mainForm) override {
        while (!mainForm.Closed() && RunPosted()) {
        }
    }
    void ProcessMessages(bool wait) override {
        if (wait) {
            std::unique_lock<std::mutex> lock(mutex_);
            posted_.wait(lock, [this] { return !queue_.empty(); });
        }
        RunPosted();
    }
    void Post(std::function<void()> call) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(call));
        posted_.notify_one();
    }
    void SetInputBlocked(bool) override {}
    void DrainInput() override {}
    void HoldSession(bool, const std::string&) override {}
    int ShowMessageBox(const TMessageRequest& request) override { return request.escapeResult; }
    bool OpenUrl(const std::string&) override { return false; }
    TSize MeasureText(const TLabel&, int width) override { return {width < 0 ? 0 : width, 0}; }
    // Every picture exists; its size is unknown without a window system.
    std::optional<TSize> PictureSize(const std::string&) override { return TSize{}; }
    TControl* FocusedControl() override { return focused_; }

    TControl* focused_ = nullptr;

private:
    std::unique_ptr<TNullPeer> Make(TControl& control) {
        return std::make_unique<TNullPeer>(*this, control);
    }
    bool RunPosted() {
        std::deque<std::function<void()>> calls;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            calls.swap(queue_);
        }
        for (auto& call : calls)
            call();
        return !calls.empty();
    }

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

void TNullPeer::Forget() {
    if (set_.focused_ == &control_)
        set_.focused_ = nullptr;
}

void TNullPeer::SetFocus() {
    set_.focused_ = &control_;
}

bool TNullPeer::Focused() const {
    return set_.focused_ == &control_;
}

TNullWidgetSet& NullWidgetSet() {
    static TNullWidgetSet set;
    return set;
}

TWidgetSet*& Installed() {
    static TWidgetSet* installed = nullptr;
    return installed;
}

} // namespace

TWidgetSet& WidgetSet() {
    return Installed() != nullptr ? *Installed() : NullWidgetSet();
}

TWidgetSet* SetWidgetSet(TWidgetSet* widgetSet) {
    TWidgetSet* previous = Installed();
    Installed() = widgetSet;
    return previous;
}

} // namespace tolvar
