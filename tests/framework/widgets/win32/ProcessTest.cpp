// What the Windows program does around its window: where libraries come from, the one running
// start per session, the hold on the session during a transfer. This program lies in a folder
// with planted DLLs, one named like a system library.
#include "framework/Controls.h"
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32SingleInstance.h"
#include "framework/widgets/win32/Win32WidgetSet.h"
#include "framework/win32/SystemLibrary.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;

namespace {

bool IsPlanted(HMODULE module) {
    return module != nullptr && GetProcAddress(module, "TolvarPlanted") != nullptr;
}

} // namespace

TEST(LibrarySearch, OnlySystem32AfterTheRestriction) {
    // The folder's own DLL loads as long as the search is the default one...
    HMODULE before = LoadLibraryW(L"tolvar-planted.dll");
    ASSERT_TRUE(IsPlanted(before));
    FreeLibrary(before);

    RestrictLibrarySearch();
    EXPECT_EQ(LoadLibraryW(L"tolvar-planted.dll"), nullptr);
    // ...and a system library is System32's, not the one of the same name beside the program.
    HMODULE theme = LoadSystemLibrary(L"uxtheme.dll");
    ASSERT_NE(theme, nullptr);
    EXPECT_FALSE(IsPlanted(theme));
    EXPECT_NE(GetProcAddress(theme, "OpenThemeData"), nullptr);
}

TEST(SingleInstance, ALaterStartIsNotFirstAndRaisesTheRunningWindow) {
    const TSingleInstance first;
    ASSERT_TRUE(first.First());
    EXPECT_FALSE(TSingleInstance::RaiseRunning()) << "no running window yet";
    {
        const TSingleInstance second;
        EXPECT_FALSE(second.First());
    }

    TWin32WidgetSet widgets(96);
    HWND form = CreateWindowExW(0, L"TolvarForm", L"Form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                200, 100, widgets.ApplicationWindow(), nullptr, nullptr, nullptr);
    ASSERT_NE(form, nullptr);
    ShowWindow(form, SW_MINIMIZE);
    EXPECT_TRUE(TSingleInstance::RaiseRunning());
    EXPECT_FALSE(IsIconic(form));
    DestroyWindow(form);
}

TEST(SessionHold, LogoffIsRefusedAndTheMachineKeptAwakeOnlyWhileHeld) {
    TWin32WidgetSet widgets(96);
    TWidgetSet* previous = SetWidgetSet(&widgets);
    auto model = std::make_unique<TCustomForm>();
    HWND application = widgets.ApplicationWindow();
    HWND form = TWin32WidgetSet::Handle(*model);
    ASSERT_NE(form, nullptr);
    const auto endAllowed = [](HWND window) {
        return SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != FALSE;
    };
    // What the thread's execution state is: setting it returns the one before.
    const auto awake = [] {
        const EXECUTION_STATE state = SetThreadExecutionState(ES_CONTINUOUS);
        SetThreadExecutionState(state);
        return (state & ES_CONTINUOUS) != 0 && (state & ES_SYSTEM_REQUIRED) != 0;
    };
    EXPECT_TRUE(endAllowed(application));
    EXPECT_TRUE(endAllowed(form));

    widgets.HoldSession(true, "Trwa aktualizacja.");
    EXPECT_FALSE(endAllowed(application));
    EXPECT_FALSE(endAllowed(form));
    EXPECT_TRUE(awake());

    widgets.HoldSession(false, {});
    EXPECT_TRUE(endAllowed(application));
    EXPECT_TRUE(endAllowed(form));
    EXPECT_FALSE(awake());
    model.reset();
    SetWidgetSet(previous);
}
