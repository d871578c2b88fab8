// What the Windows program does before its window: where libraries come from, the one running
// start per session. This program lies in a folder with planted DLLs, one named like a system
// library.
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32WidgetSet.h"

#include <gtest/gtest.h>

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
