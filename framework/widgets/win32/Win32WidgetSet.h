#pragma once

#include "framework/WidgetSet.h"

#include <deque>
#include <functional>
#include <mutex>
#include <windows.h>

namespace tolvar {

// Real windows through the Win32 API: standard controls of the system and of the common
// controls, and a few window classes of our own (form, painted panel, label, image).
class TWin32WidgetSet : public TWidgetSet {
public:
    // With dpi 0 the screen's DPI is used; every stored measure is scaled by dpi / 96.
    explicit TWin32WidgetSet(int dpi = 0);
    ~TWin32WidgetSet() override;
    TWin32WidgetSet(const TWin32WidgetSet&) = delete;
    TWin32WidgetSet& operator=(const TWin32WidgetSet&) = delete;

    std::unique_ptr<TFormPeer> CreateFormPeer(TCustomForm& form) override;
    std::unique_ptr<TPanelPeer> CreatePanelPeer(TCustomPanel& panel) override;
    std::unique_ptr<TGroupBoxPeer> CreateGroupBoxPeer(TGroupBox& groupBox) override;
    std::unique_ptr<TLabelPeer> CreateLabelPeer(TLabel& label) override;
    std::unique_ptr<TCheckBoxPeer> CreateCheckBoxPeer(TCheckBox& checkBox) override;
    std::unique_ptr<TButtonPeer> CreateButtonPeer(TButton& button) override;
    std::unique_ptr<TProgressBarPeer> CreateProgressBarPeer(TProgressBar& bar) override;
    std::unique_ptr<TComboBoxPeer> CreateComboBoxPeer(TComboBox& comboBox) override;
    std::unique_ptr<TImagePeer> CreateImagePeer(TImage& image) override;
    void Run(TCustomForm& mainForm) override;
    void ProcessMessages(bool wait) override;
    void Post(std::function<void()> call) override;
    void SetInputBlocked(bool blocked) override;
    void DrainInput() override;
    void HoldSession(bool hold, const std::string& reason) override;
    int ShowMessageBox(const TMessageRequest& request) override;
    bool OpenUrl(const std::string& url) override;
    TSize MeasureText(const TLabel& label, int width) override;
    std::optional<TSize> PictureSize(const std::string& name) override;
    TControl* FocusedControl() override;

    // The task bar entry: a window of its own that owns every form, titled with the
    // application title.
    void SetTitle(const std::string& title);
    int Dpi() const;
    HWND ApplicationWindow() const;
    // The sound a box makes for its icon (MessageBeep with the icon's type); tests listen here.
    void SetMessageBeep(std::function<void(UINT type)> beep);
    // The real window of a control.
    static HWND Handle(const TControl& control);
    // One message as the loop handles it: input filtering, the form's keys, then dispatch.
    void Dispatch(MSG& message);

private:
    void RunPosted();
    static LRESULT CALLBACK MessageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
};

} // namespace tolvar
