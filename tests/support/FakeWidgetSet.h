#pragma once

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "framework/WidgetSet.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tolvar::test {

// What a peer was last told, per control: the window a widget set would show.
struct FakeWindow {
    TRect bounds;
    bool visible = true;
    bool enabled = true;
    std::string caption;
    TFont font;
    TColor color = 0;
    TTextStyle style;
    bool checked = false;
    bool isDefault = false;
    int minimum = 0, maximum = 0, position = 0;
    std::vector<std::string> items;
    std::vector<std::string> itemDetails;
    int itemIndex = -1;
    std::string picture;
    bool transparent = false;
    TRect pictureTarget;
    bool handCursor = false;
    bool shown = false;
    bool closed = false;
    std::vector<TControl*> tabOrder;
    TAccessibleInfo accessible;
    // Made inside a parent window that was showing then.
    bool madeInShowingParent = false;
};

// A widget set without windows that records what the model asks of its peers, for tests of the
// model on every platform. Installs itself for its lifetime.
class FakeWidgetSet final : public TWidgetSet {
public:
    FakeWidgetSet() : previous_(SetWidgetSet(this)) {}
    ~FakeWidgetSet() override { SetWidgetSet(previous_); }
    FakeWidgetSet(const FakeWidgetSet&) = delete;
    FakeWidgetSet& operator=(const FakeWidgetSet&) = delete;

    // One peer for every kind; each records into the control's window.
    class Peer final : public TFormPeer,
                       public TPanelPeer,
                       public TGroupBoxPeer,
                       public TLabelPeer,
                       public TCheckBoxPeer,
                       public TButtonPeer,
                       public TProgressBarPeer,
                       public TComboBoxPeer,
                       public TImagePeer {
    public:
        Peer(FakeWidgetSet& set, TControl& control, TCustomForm* form)
            : set_(set), control_(control), form_(form) {}
        ~Peer() override {
            set_.windows.erase(&control_);
            if (set_.focused == &control_)
                set_.focused = nullptr;
        }
        FakeWindow& W() { return set_.windows[&control_]; }
        void SetBounds(const TRect& r) override { W().bounds = r; }
        void SetVisible(bool v) override { W().visible = v; }
        void SetEnabled(bool e) override { W().enabled = e; }
        void SetCaption(const std::string& c) override { W().caption = c; }
        void SetFont(const TFont& f) override { W().font = f; }
        void SetColor(TColor c) override { W().color = c; }
        void SetFocus() override { set_.focused = &control_; }
        bool Focused() const override { return set_.focused == &control_; }
        void BringToFront() override {}
        void Invalidate() override {}
        void SetAccessible(const TAccessibleInfo& info) override { W().accessible = info; }
        void Announce(const std::string& text) override { set_.announced.push_back(text); }
        void SetTabOrder(const std::vector<TControl*>& chain) override { W().tabOrder = chain; }
        void SetTextStyle(const TTextStyle& s) override { W().style = s; }
        void SetHandCursor(bool hand) override { W().handCursor = hand; }
        void SetChecked(bool c) override { W().checked = c; }
        void SetDefault(bool d) override { W().isDefault = d; }
        void SetRange(int lo, int hi) override {
            W().minimum = lo;
            W().maximum = hi;
        }
        void SetPosition(int p) override { W().position = p; }
        void SetItems(const std::vector<std::string>& items) override { W().items = items; }
        void SetItemDetails(const std::vector<std::string>& details) override {
            W().itemDetails = details;
        }
        void SetItemIndex(int i) override { W().itemIndex = i; }
        void SetPicture(const std::string& name, bool transparent, const TRect& target) override {
            W().picture = name;
            W().transparent = transparent;
            W().pictureTarget = target;
        }
        void ShowWindow() override { W().shown = true; }
        void CloseWindow() override {
            W().closed = true;
            if (form_ != nullptr)
                form_->PeerClosed();
        }

    private:
        FakeWidgetSet& set_;
        TControl& control_;
        TCustomForm* form_;
    };

    std::unique_ptr<TFormPeer> CreateFormPeer(TCustomForm& form) override {
        return Make(form, &form);
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
    void Run(TCustomForm& form) override {
        while (!form.Closed())
            ProcessMessages(true);
    }
    void ProcessMessages(bool wait) override {
        std::deque<std::function<void()>> calls;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wait)
                posted_.wait(lock, [this] { return !queue_.empty(); });
            calls.swap(queue_);
        }
        for (auto& call : calls)
            call();
    }
    void Post(std::function<void()> call) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(call));
        posted_.notify_one();
    }
    void SetInputBlocked(bool blocked) override { inputBlocked.push_back(blocked); }
    void DrainInput() override { ++drains; }
    void HoldSession(bool hold, const std::string& reason) override {
        holds.emplace_back(hold, reason);
    }
    // Answers as the key of boxAnswers pressed in it; without one, as Escape.
    int ShowMessageBox(const TMessageRequest& request) override {
        TKey key = TKey::Escape;
        if (!boxAnswers.empty()) {
            key = boxAnswers.front();
            boxAnswers.pop_front();
        }
        return key == TKey::Return ? request.defaultResult : request.escapeResult;
    }
    bool OpenUrl(const std::string& url) override {
        opened.push_back(url);
        return openAnswer;
    }
    std::optional<TSize> PictureSize(const std::string& name) override {
        auto it = pictures.find(name);
        if (it == pictures.end())
            return std::nullopt;
        return it->second;
    }
    // Every character 6 pixels wide, every line 13 high.
    TSize MeasureText(const TLabel& label, int width) override {
        const int chars = static_cast<int>(label.Caption().size());
        if (width < 0)
            return {chars * 6, 13};
        const int perLine = width / 6 > 0 ? width / 6 : 1;
        return {width, 13 * ((chars + perLine - 1) / perLine)};
    }
    TControl* FocusedControl() override { return focused; }

    // The control's window, made if it has none yet: what it shows once it has one.
    FakeWindow& Of(const TControl* control) {
        control->Peer();
        return windows.at(const_cast<TControl*>(control));
    }

    std::map<TControl*, FakeWindow> windows;
    TControl* focused = nullptr;
    std::vector<bool> inputBlocked;
    std::deque<TKey> boxAnswers;
    int drains = 0;
    std::vector<std::pair<bool, std::string>> holds;
    std::vector<std::string> opened;
    // What the forms had a screen reader say, in order.
    std::vector<std::string> announced;
    bool openAnswer = true;
    std::map<std::string, TSize> pictures{{"logo.bmp", {289, 213}}};

private:
    std::unique_ptr<Peer> Make(TControl& control, TCustomForm* form = nullptr) {
        auto parent = windows.find(control.Parent());
        windows[&control].madeInShowingParent = parent != windows.end() && parent->second.visible;
        return std::make_unique<Peer>(*this, control, form);
    }

    TWidgetSet* previous_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

} // namespace tolvar::test
