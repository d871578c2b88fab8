#include "framework/widgets/win32/Win32WidgetSet.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Platform.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <cstring>
#include <shellapi.h>

namespace tolvar {

using namespace win32;

namespace {

constexpr UINT kPostedMessage = WM_APP + 1;
TWin32WidgetSet* instance = nullptr;

int ScreenDpi() {
    // Windows 10 answers for this process's awareness; older systems through the screen.
    using DpiFn = UINT(WINAPI*)();
    if (HMODULE user = GetModuleHandleW(L"user32.dll"))
        if (auto fn = reinterpret_cast<DpiFn>(
                reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForSystem"))))
            if (const UINT dpi = fn())
                return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

bool IsKeyboard(UINT message) {
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

bool IsInput(UINT message) {
    return IsKeyboard(message) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE || message == WM_MOUSEHOVER ||
           message == WM_MOUSELEAVE;
}

TKey KeyOf(WPARAM key) {
    switch (key) {
    case VK_RETURN:
        return TKey::Return;
    case VK_ESCAPE:
        return TKey::Escape;
    case VK_BACK:
        return TKey::Backspace;
    case VK_SPACE:
        return TKey::Space;
    default:
        return TKey::Other;
    }
}

// The form a window belongs to, when it is one of ours: of our windows only forms are
// top-level.
TWin32Peer* FormAround(HWND window) {
    return window != nullptr ? PeerOf(GetAncestor(window, GA_ROOT)) : nullptr;
}

// Keys the form acts on before the dialog manager: the focused control's own keys first,
// then Enter and Escape, which the form decides on. True when the key was used up.
bool FormKey(TWin32Peer& form, const MSG& message) {
    if (message.message != WM_KEYDOWN)
        return false;
    const TKey key = KeyOf(message.wParam);
    TWin32Peer* focused = PeerAround(GetFocus());
    if (focused != nullptr && focused != &form) {
        bool swallowed = false;
        RunHandler([&] { swallowed = focused->Control().PeerKey(key); });
        if (swallowed)
            return true;
        if (focused->TakesDialogKeys())
            return false;
    }
    if (key == TKey::Return || key == TKey::Escape) {
        // As the dialog manager would send them: IDOK and IDCANCEL reach the form as its keys.
        SendMessageW(form.Handle(), WM_COMMAND, key == TKey::Return ? IDOK : IDCANCEL, 0);
        return true;
    }
    return false;
}

} // namespace

TWin32WidgetSet::TWin32WidgetSet(int dpi) {
    instance = this;
    RegisterWindowClasses();
    State().dpi = dpi > 0 ? dpi : ScreenDpi();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = MessageProc;
    info.hInstance = GetModuleHandleW(nullptr);
    info.lpszClassName = kMessageClass;
    RegisterClassExW(&info);
    State().messageWindow = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, info.hInstance, nullptr);
    // Like classic Windows programs: an unowned window of no size carries the task bar entry
    // and the application title; the forms are owned by it.
    State().applicationWindow = CreateWindowExW(
        0, kApplicationClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE,
        GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
        nullptr, info.hInstance, nullptr);
    HideApplicationWindow(State().applicationWindow);
    SetTitle(ApplicationTitle());
}

TWin32WidgetSet::~TWin32WidgetSet() {
    if (State().applicationWindow)
        DestroyWindow(State().applicationWindow);
    if (State().messageWindow)
        DestroyWindow(State().messageWindow);
    State().applicationWindow = nullptr;
    State().messageWindow = nullptr;
    for (auto& [key, font] : State().fonts)
        DeleteObject(font);
    State().fonts.clear();
    for (auto& [color, brush] : State().brushes)
        if (!IsSystemColor(color))
            DeleteObject(brush);
    State().brushes.clear();
    State().pictures.clear();
    ForgetSystemSettings();
    ReleaseAnnotationService();
    if (instance == this)
        instance = nullptr;
}

void TWin32WidgetSet::SetTitle(const std::string& title) {
    SetWindowTextW(State().applicationWindow, Wide(title).c_str());
}

void TWin32WidgetSet::SetMessageBeep(std::function<void(UINT type)> beep) {
    State().messageBeep = std::move(beep);
}

int TWin32WidgetSet::Dpi() const {
    return State().dpi;
}

HWND TWin32WidgetSet::ApplicationWindow() const {
    return State().applicationWindow;
}

HWND TWin32WidgetSet::Handle(const TControl& control) {
    auto* peer = dynamic_cast<TWin32Peer*>(&control.Peer());
    return peer ? peer->Handle() : nullptr;
}

std::unique_ptr<TFormPeer> TWin32WidgetSet::CreateFormPeer(TCustomForm& form) {
    return CreateWin32FormPeer(form);
}

std::unique_ptr<TPanelPeer> TWin32WidgetSet::CreatePanelPeer(TCustomPanel& panel) {
    return CreateWin32PanelPeer(panel);
}

std::unique_ptr<TGroupBoxPeer> TWin32WidgetSet::CreateGroupBoxPeer(TGroupBox& groupBox) {
    return CreateWin32GroupBoxPeer(groupBox);
}

std::unique_ptr<TLabelPeer> TWin32WidgetSet::CreateLabelPeer(TLabel& label) {
    return CreateWin32LabelPeer(label);
}

std::unique_ptr<TCheckBoxPeer> TWin32WidgetSet::CreateCheckBoxPeer(TCheckBox& checkBox) {
    return CreateWin32CheckBoxPeer(checkBox);
}

std::unique_ptr<TButtonPeer> TWin32WidgetSet::CreateButtonPeer(TButton& button) {
    return CreateWin32ButtonPeer(button);
}

std::unique_ptr<TProgressBarPeer> TWin32WidgetSet::CreateProgressBarPeer(TProgressBar& bar) {
    return CreateWin32ProgressBarPeer(bar);
}

std::unique_ptr<TComboBoxPeer> TWin32WidgetSet::CreateComboBoxPeer(TComboBox& comboBox) {
    return CreateWin32ComboBoxPeer(comboBox);
}

std::unique_ptr<TImagePeer> TWin32WidgetSet::CreateImagePeer(TImage& image) {
    return CreateWin32ImagePeer(image);
}

void TWin32WidgetSet::Dispatch(MSG& message) {
    if (State().inputBlocked && IsInput(message.message))
        return;
    if (TWin32Peer* form = FormAround(message.hwnd)) {
        if (IsKeyboard(message.message)) {
            if (FormKey(*form, message))
                return;
            if (IsDialogMessageW(form->Handle(), &message))
                return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void TWin32WidgetSet::ProcessMessages(bool wait) {
    MSG message;
    if (wait && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for an outer loop to see.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void TWin32WidgetSet::Run(TCustomForm& mainForm) {
    HWND window = Handle(mainForm);
    if (window != nullptr && !IsWindowVisible(window) && !mainForm.Closed())
        mainForm.ShowWindow();
    MSG message;
    while (!mainForm.Closed() && IsWindow(window)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0)
            break;
        Dispatch(message);
    }
}

void TWin32WidgetSet::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(call));
    }
    PostMessageW(State().messageWindow, kPostedMessage, 0, 0);
}

void TWin32WidgetSet::RunPosted() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty())
                return;
            call = std::move(posted_.front());
            posted_.pop_front();
        }
        RunHandler(call);
    }
}

LRESULT CALLBACK TWin32WidgetSet::MessageProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == kPostedMessage && instance != nullptr) {
        instance->RunPosted();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TWin32WidgetSet::SetInputBlocked(bool blocked) {
    State().inputBlocked = blocked;
}

void TWin32WidgetSet::DrainInput() {
    // Reading the queue also takes in what the system still holds for this thread.
    MSG message;
    const UINT ranges[][2] = {{WM_KEYFIRST, WM_KEYLAST},
                              {WM_MOUSEFIRST, WM_MOUSELAST},
                              {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    for (const auto& range : ranges)
        while (PeekMessageW(&message, nullptr, range[0], range[1], PM_REMOVE))
            Dispatch(message);
}

int TWin32WidgetSet::ShowMessageBox(const TMessageRequest& request) {
    return RunMessageBox(request);
}

bool TWin32WidgetSet::OpenUrl(const std::string& url) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        State().applicationWindow, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

TSize TWin32WidgetSet::MeasureText(const TLabel& label, int width) {
    return MeasureLabel(label, width);
}

std::optional<TSize> TWin32WidgetSet::PictureSize(const std::string& name) {
    return PictureFileSize(name);
}

TControl* TWin32WidgetSet::FocusedControl() {
    TWin32Peer* peer = PeerAround(GetFocus());
    return peer ? &peer->Control() : nullptr;
}

} // namespace tolvar
