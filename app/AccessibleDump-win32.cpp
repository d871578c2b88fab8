// Prints what a screen reader finds in the real main window, page by page, through MSAA: the
// objects that AccessibleObjectFromWindow and AccessibleChildren give, as NVDA and JAWS read
// them. A console program; run it under Wine or on Windows:
//   tolvar-a11y-dump.exe
// Each page: what was announced when it came (the form's alert), then every object that is not
// invisible with its role, name, description, value and states. Then the programming page with
// TAK ticked, the Cancel confirmation and the result page after a successful and a failed
// upload. Under Wine the standard controls' objects are Wine's, which know less than Windows'.
#include "app/Form1.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/Thread.h"
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32WidgetSet.h"
#include "framework/win32/WideText.h"
#include "update/FirmwareUpload.h"
#include "wizard/Assist.h"

#include <cstdio>
#include <oleacc.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// Set by the hook: the object of the last alert the program raised.
std::string lastAlert;

std::string Narrow(const wchar_t* text, int length = -1) {
    if (text == nullptr)
        return {};
    return tolvar::Utf8FromWide(length < 0
                                    ? std::wstring_view(text)
                                    : std::wstring_view(text, static_cast<std::size_t>(length)));
}

std::string Flat(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            continue;
        out += text[i] == '\n' ? std::string(" | ") : std::string(1, text[i]);
    }
    return out;
}

std::string Text(HRESULT (IAccessible::*get)(VARIANT, BSTR*), IAccessible* object,
                 const VARIANT& child) {
    BSTR text = nullptr;
    if ((object->*get)(child, &text) != S_OK || text == nullptr)
        return {};
    std::string out = Narrow(text, static_cast<int>(SysStringLen(text)));
    SysFreeString(text);
    return out;
}

std::string States(LONG s) {
    const std::pair<LONG, const char*> names[] = {
        {STATE_SYSTEM_FOCUSABLE, "focusable"},     {STATE_SYSTEM_FOCUSED, "focused"},
        {STATE_SYSTEM_UNAVAILABLE, "unavailable"}, {STATE_SYSTEM_CHECKED, "checked"},
        {STATE_SYSTEM_DEFAULT, "default"},         {STATE_SYSTEM_READONLY, "read-only"},
        {STATE_SYSTEM_LINKED, "linked"},
    };
    std::string out;
    for (const auto& [bit, name] : names)
        if ((s & bit) != 0)
            out += (out.empty() ? "" : ",") + std::string(name);
    return out;
}

// One object; what has no role (Wine's stand-ins for standard controls) shows its class.
void Dump(IAccessible* object, const VARIANT& child, int depth, const std::string& className) {
    VARIANT state{};
    LONG s = 0;
    if (object->get_accState(child, &state) == S_OK && state.vt == VT_I4)
        s = state.lVal;
    if ((s & STATE_SYSTEM_INVISIBLE) != 0)
        return;
    VARIANT role{};
    std::string roleText = "(no role; class " + className + ")";
    if (object->get_accRole(child, &role) == S_OK && role.vt == VT_I4) {
        wchar_t name[80];
        GetRoleTextW(static_cast<DWORD>(role.lVal), name, 80);
        roleText = Narrow(name);
    }
    std::string line = std::string(static_cast<std::size_t>(depth) * 2, ' ') + roleText;
    line += " \"" + Flat(Text(&IAccessible::get_accName, object, child)) + "\"";
    if (const std::string d = Text(&IAccessible::get_accDescription, object, child); !d.empty())
        line += " description=\"" + Flat(d) + "\"";
    if (const std::string v = Text(&IAccessible::get_accValue, object, child); !v.empty())
        line += " value=\"" + Flat(v) + "\"";
    if (const std::string st = States(s); !st.empty())
        line += " [" + st + "]";
    std::printf("%s\n", line.c_str());
}

void DumpWindow(HWND window, int depth = 0) {
    if (!IsWindowVisible(window))
        return;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))))
        return;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    Dump(object, self, depth, Narrow(className));
    object->Release();
    // The children as Windows' client object lists them: the child windows in their order,
    // which is the tab order.
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        DumpWindow(child, depth + 1);
}

void CALLBACK OnAlert(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG childId, DWORD,
                      DWORD) {
    IAccessible* object = nullptr;
    VARIANT child{};
    if (SUCCEEDED(AccessibleObjectFromEvent(window, objectId, childId, &object, &child))) {
        lastAlert = Flat(Text(&IAccessible::get_accName, object, child));
        object->Release();
    }
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

int main() {
    tolvar::RestrictLibrarySearch();
    const tolvar::TComApartment com;
    tolvar::InitTextLookup();
    tolvar::TWin32WidgetSet widgets;
    tolvar::SetWidgetSet(&widgets);
    widgets.SetTitle(tolvar::kApplicationTitle);
    const DWORD process = GetCurrentProcessId();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, OnAlert,
                                         process, 0, WINEVENT_OUTOFCONTEXT);
    int status = 0;
    try {
        tolvar::TForm1 form;
        form.ShowWindow();
        HWND window = FindWindowW(L"TolvarForm", nullptr);
        tolvar::TLMDAssist& wizard = *form.LMDAssist1;
        auto page = [&](const char* title) {
            Pump();
            std::printf("\n== %s ==\n", title);
            if (!lastAlert.empty())
                std::printf("announced: \"%s\"\n", lastAlert.c_str());
            lastAlert.clear();
            DumpWindow(window);
        };
        page("1 (at start)");
        for (int i = 1; i < wizard.GetCount() - 1; ++i) {
            wizard.NextPage();
            page(std::to_string(i + 1).c_str());
        }
        form.Check_TAK->SetChecked(true);
        form.Check_TAKClick(form.Check_TAK);
        page("6 with TAK ticked");

        // The Cancel confirmation, read while it is open, then answered No.
        widgets.Post([] {
            if (HWND box = FindWindowW(L"TolvarMessageBox", nullptr)) {
                std::printf("\n== Cancel confirmation ==\n");
                DumpWindow(box);
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
        });
        form.LMDAssist1CancelClick(nullptr);
        lastAlert.clear();

        form.lbl_FINISH->SetCaption(tolvar::kUploadSuccessText);
        wizard.NextPage();
        page("7 after a successful upload");
        wizard.PrevPage();
        form.lbl_FINISH->SetCaption(tolvar::kUploadFailureText);
        form.lbl_FINISH_INFO->SetVisible(true);
        wizard.NextPage();
        page("7 after a failed upload");
    } catch (const tolvar::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        status = 1;
    }
    UnhookWinEvent(hook);
    tolvar::SetWidgetSet(nullptr);
    return status;
}
