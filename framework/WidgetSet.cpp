#include "framework/WidgetSet.h"

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace tolvar {

namespace {

// Without a window system: controls keep their state in the model only, posted calls run from
// ProcessMessages, boxes answer as Escape would. Serves tools and tests that need no window.
class TNullWidgetSet;

class TNullPeer final : public TControlPeer {
public:
    TNullPeer(TNullWidgetSet& set, TControl& control) : set_(set), control_(control) {}
    ~TNullPeer() override;

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
    void SetTabOrder(const std::vector<TControl*>&) override {}
    TSize MeasureText(int width) const override { return {width < 0 ? 0 : width, 0}; }
    void CloseWindow() override;

private:
    TNullWidgetSet& set_;
    TControl& control_;
};

class TNullWidgetSet final : public TWidgetSet {
public:
    std::unique_ptr<TControlPeer> CreatePeer(TControl& control) override {
        return std::make_unique<TNullPeer>(*this, control);
    }
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
    int ShowMessageBox(const TMessageRequest& request) override { return request.escapeResult; }
    bool OpenUrl(const std::string&) override { return false; }
    // Every picture exists; its size is unknown without a window system.
    std::optional<TSize> PictureSize(const std::string&) override { return TSize{}; }
    TControl* FocusedControl() override { return focused_; }

    TControl* focused_ = nullptr;

private:
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

TNullPeer::~TNullPeer() {
    if (set_.focused_ == &control_)
        set_.focused_ = nullptr;
}

void TNullPeer::SetFocus() {
    set_.focused_ = &control_;
}

bool TNullPeer::Focused() const {
    return set_.focused_ == &control_;
}

void TNullPeer::CloseWindow() {
    if (auto* form = dynamic_cast<TCustomForm*>(&control_))
        form->PeerClosed();
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
