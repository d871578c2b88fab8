#pragma once

#include "framework/Controls.h"
#include "framework/MessageBoxes.h"
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
    int itemIndex = -1;
    std::string picture;
    bool transparent = false;
    TRect pictureTarget;
    bool shown = false;
    bool closed = false;
    std::vector<TControl*> tabOrder;
};

// A widget set without windows that records what the model asks of its peers, for tests of the
// model on every platform. Installs itself for its lifetime.
class FakeWidgetSet final : public TWidgetSet {
public:
    FakeWidgetSet() : previous_(SetWidgetSet(this)) {}
    ~FakeWidgetSet() override { SetWidgetSet(previous_); }
    FakeWidgetSet(const FakeWidgetSet&) = delete;
    FakeWidgetSet& operator=(const FakeWidgetSet&) = delete;

    class Peer final : public TControlPeer {
    public:
        Peer(FakeWidgetSet& set, TControl& control) : set_(set), control_(control) {}
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
        void SetTabOrder(const std::vector<TControl*>& chain) override { W().tabOrder = chain; }
        void SetTextStyle(const TTextStyle& s) override { W().style = s; }
        // Every character 6 pixels wide, every line 13 high.
        TSize MeasureText(int width) const override {
            const int chars = static_cast<int>(control_.Caption().size());
            if (width < 0)
                return {chars * 6, 13};
            const int perLine = width / 6 > 0 ? width / 6 : 1;
            return {width, 13 * ((chars + perLine - 1) / perLine)};
        }
        void SetChecked(bool c) override { W().checked = c; }
        void SetDefault(bool d) override { W().isDefault = d; }
        void SetRange(int lo, int hi) override {
            W().minimum = lo;
            W().maximum = hi;
        }
        void SetPosition(int p) override { W().position = p; }
        void SetItems(const std::vector<std::string>& items) override { W().items = items; }
        void SetItemIndex(int i) override { W().itemIndex = i; }
        void SetPicture(const std::string& name, bool transparent, const TRect& target) override {
            W().picture = name;
            W().transparent = transparent;
            W().pictureTarget = target;
        }
        void ShowWindow() override { W().shown = true; }
        void CloseWindow() override {
            W().closed = true;
            if (auto* form = dynamic_cast<TCustomForm*>(&control_))
                form->PeerClosed();
        }

    private:
        FakeWidgetSet& set_;
        TControl& control_;
    };

    std::unique_ptr<TControlPeer> CreatePeer(TControl& control) override {
        windows[&control];
        return std::make_unique<Peer>(*this, control);
    }
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
    int ShowMessageBox(const TMessageRequest& request) override { return request.escapeResult; }
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
    TControl* FocusedControl() override { return focused; }

    FakeWindow& Of(const TControl* control) { return windows.at(const_cast<TControl*>(control)); }

    std::map<TControl*, FakeWindow> windows;
    TControl* focused = nullptr;
    std::vector<bool> inputBlocked;
    int drains = 0;
    std::vector<std::string> opened;
    bool openAnswer = true;
    std::map<std::string, TSize> pictures{{"logo.bmp", {289, 213}}};

private:
    TWidgetSet* previous_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

} // namespace tolvar::test
