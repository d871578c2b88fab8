// The Win32 widget set as the user meets it under Wine: real key and mouse messages through
// the widget set's message loop.
#include "framework/widgets/win32/Win32WidgetSet.h"
#include "tests/support/WidgetSetContract.h"

namespace tolvar::test {
namespace {

WPARAM VirtualKey(TKey key) {
    switch (key) {
    case TKey::Return:
        return VK_RETURN;
    case TKey::Escape:
        return VK_ESCAPE;
    case TKey::Backspace:
        return VK_BACK;
    case TKey::Space:
        return VK_SPACE;
    case TKey::Other:
        break;
    }
    return VK_TAB;
}

class TWin32UserDriver final : public TUserDriver {
public:
    TWin32UserDriver() : previous_(SetWidgetSet(&widgets_)) {}
    ~TWin32UserDriver() override { SetWidgetSet(previous_); }
    TWin32UserDriver(const TWin32UserDriver&) = delete;
    TWin32UserDriver& operator=(const TWin32UserDriver&) = delete;

    TWidgetSet& Set() override { return widgets_; }
    void Show(TCustomForm& form) override {
        form.ShowWindow();
        widgets_.ProcessMessages(false);
    }
    void Press(TKey key) override {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, VirtualKey(key), 1);
        PostMessageW(focus, WM_KEYUP, VirtualKey(key), 0xC0000001);
        widgets_.ProcessMessages(false);
    }
    void Click(TControl& control) override {
        HWND window = TWin32WidgetSet::Handle(control);
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        widgets_.ProcessMessages(false);
    }
    void CloseFromTitleBar(TCustomForm& form) override {
        SendMessageW(TWin32WidgetSet::Handle(form), WM_SYSCOMMAND, SC_CLOSE, 0);
        widgets_.ProcessMessages(false);
    }
    void AnswerNextBox(TKey key) override {
        // Runs from the box's own loop, once the box is up.
        widgets_.Post([key] {
            HWND focus = GetFocus();
            PostMessageW(focus, WM_KEYDOWN, VirtualKey(key), 1);
            PostMessageW(focus, WM_KEYUP, VirtualKey(key), 0xC0000001);
        });
    }

private:
    TWin32WidgetSet widgets_;
    TWidgetSet* previous_;
};

} // namespace

std::unique_ptr<TUserDriver> MakeUserDriver() {
    return std::make_unique<TWin32UserDriver>();
}

} // namespace tolvar::test
