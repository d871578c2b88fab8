#include "framework/widgets/win32/Win32Paint.h"

#include "framework/win32/SystemLibrary.h"

#include <uxtheme.h>

namespace tolvar::win32 {

namespace {

// Theme drawing from uxtheme, where the system has it.
struct TTheme {
    using OpenFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    using CloseFn = HRESULT(WINAPI*)(HTHEME);
    using DrawFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    using BoolFn = BOOL(WINAPI*)();
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    DrawFn draw = nullptr;
    BoolFn active = nullptr;
    BoolFn themed = nullptr;
    TTheme() {
        HMODULE module = LoadSystemLibrary(L"uxtheme.dll");
        if (module == nullptr)
            return;
        open = reinterpret_cast<OpenFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "OpenThemeData")));
        close = reinterpret_cast<CloseFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "CloseThemeData")));
        draw = reinterpret_cast<DrawFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeBackground")));
        active = reinterpret_cast<BoolFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsThemeActive")));
        themed = reinterpret_cast<BoolFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsAppThemed")));
    }
    bool Usable() const {
        return open && close && draw && active && themed && active() && themed();
    }
};

const TTheme& Theme() {
    static TTheme theme;
    return theme;
}

} // namespace

void THdcCanvas::FillRect(const TRect& rect, TColor color) {
    const RECT r = ScaleRect(rect);
    ::FillRect(dc_, &r, Brush(color));
}

void THdcCanvas::DrawEtchedLine(const TRect& rect) {
    RECT r = ScaleRect(rect);
    DrawEdge(dc_, &r, EDGE_ETCHED, BF_TOP);
}

bool THdcCanvas::DrawThemedTabBackground(const TRect& rect) {
    const TTheme& theme = Theme();
    if (!theme.Usable())
        return false;
    HTHEME handle = theme.open(window_, L"Tab");
    if (handle == nullptr)
        return false;
    const RECT r = ScaleRect(rect);
    const bool drawn = SUCCEEDED(theme.draw(handle, dc_, 2, 0, &r, nullptr));
    theme.close(handle);
    return drawn;
}

} // namespace tolvar::win32
