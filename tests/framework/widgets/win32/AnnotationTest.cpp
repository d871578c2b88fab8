// What the program lays over the standard controls through the system's annotation service: the
// names and descriptions that a Windows screen reader reads on top of the control's own object.
// Wine's service takes them and ignores them, so the calls the program makes are recorded here.

#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32WidgetSet.h"

#include <gtest/gtest.h>
#include <memory>
#include <oleacc.h>
#include <string>
#include <vector>

namespace tolvar {
namespace {

// The two properties, as the program writes them (its own copies; see Win32Accessible.cpp).
constexpr GUID kName = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
constexpr GUID kDescription = {
    0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};

// A COM interface is released, never deleted through its base: it declares no destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TRecordedAnnotations final : public IAccPropServices {
public:
    struct TCall {
        HWND window;
        bool isName; // else the description
        std::wstring text;
        bool operator==(const TCall&) const = default;
    };
    std::vector<TCall> calls;
    int others = 0; // calls of any other kind, or on another object than the window's client

    HRESULT WINAPI QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override { return --refs_; }
    HRESULT WINAPI SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property,
                                  LPCWSTR text) override {
        if (object != static_cast<DWORD>(OBJID_CLIENT) || child != CHILDID_SELF ||
            (property != kName && property != kDescription))
            ++others;
        else
            calls.push_back({window, property == kName, text});
        return S_OK;
    }
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return No(); }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                 AnnoScope) override {
        return No();
    }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return No(); }
    HRESULT WINAPI SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return No(); }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                     AnnoScope) override {
        return No();
    }
    HRESULT WINAPI ClearHwndProps(HWND, DWORD, DWORD, const MSAAPROPID*, int) override {
        return No();
    }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return No();
    }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return No();
    }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return No(); }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return No(); }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                      AnnoScope) override {
        return No();
    }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return No(); }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
        return No();
    }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return No();
    }

private:
    HRESULT No() {
        ++others;
        return E_NOTIMPL;
    }
    ULONG refs_ = 1;
};
#pragma GCC diagnostic pop

// The port list, the progress bar and "TAK" as the form gives them their names and descriptions:
// each goes to the service on the control's client object, as the window is made and as it
// changes.
TEST(Annotations, StandardControlsGetTheModelsNamesAndDescriptions) {
    TRecordedAnnotations service;
    win32::SetAnnotationService(&service);
    TWin32WidgetSet widgets(96);
    TWidgetSet* previous = SetWidgetSet(&widgets);
    {
        TCustomForm form;
        form.SetBounds({0, 0, 300, 200});
        auto* list = new TComboBox(&form, &form);
        list->SetAccessibleName("Port szeregowy");
        list->SetAccessibleDescription("wbudowany port szeregowy");
        auto* bar = new TProgressBar(&form, &form);
        bar->SetAccessibleName("Postęp programowania");
        auto* tick = new TCheckBox(&form, &form);
        tick->SetCaption("TAK");
        tick->SetAccessibleDescription("Czy jesteś pewien?");
        form.ShowWindow();
        const HWND l = TWin32WidgetSet::Handle(*list);
        const HWND b = TWin32WidgetSet::Handle(*bar);
        const HWND t = TWin32WidgetSet::Handle(*tick);
        using C = TRecordedAnnotations::TCall;
        const std::vector<C> expected = {
            {l, true, L"Port szeregowy"},
            {l, false, L"wbudowany port szeregowy"},
            {b, true, L"Postęp programowania"},
            // Annotated as its window is made, before the window has its text.
            {t, true, L"TAK"},
            {t, false, L"Czy jesteś pewien?"},
        };
        EXPECT_EQ(service.calls, expected);
        EXPECT_EQ(service.others, 0);
        // A new description reaches the service at once, laid with the name again.
        service.calls.clear();
        list->SetAccessibleDescription("USB 0403:6001");
        EXPECT_EQ(service.calls,
                  (std::vector<C>{{l, true, L"Port szeregowy"}, {l, false, L"USB 0403:6001"}}));
    }
    SetWidgetSet(previous);
    win32::SetAnnotationService(nullptr);
}

} // namespace
} // namespace tolvar
