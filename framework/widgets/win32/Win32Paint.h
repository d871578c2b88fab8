#pragma once

// Painting shared by the windows that draw themselves: the canvas handed to the model, and
// WM_PAINT through an off-screen bitmap.

#include "framework/widgets/win32/Win32Peer.h"

#include <algorithm>

namespace tolvar::win32 {

// Painting of a control that paints itself, in its stored coordinates.
class THdcCanvas : public TCanvas {
public:
    THdcCanvas(HDC dc, HWND window) : dc_(dc), window_(window) {}
    void FillRect(const TRect& rect, TColor color) override;
    void DrawEtchedLine(const TRect& rect) override;
    bool DrawThemedTabBackground(const TRect& rect) override;

private:
    HDC dc_;
    HWND window_;
};

// Paints through an off-screen bitmap, so a repaint does not flicker.
template <class F> void BufferedPaint(HWND window, F&& paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap =
        CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory, client);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

// WM_PAINT through an off-screen bitmap, WM_PRINTCLIENT straight into the given context, for a
// peer of type P with Draw(HDC, const RECT&).
template <class P> bool PaintMessage(HWND window, UINT message, WPARAM wParam) {
    P* peer = dynamic_cast<P*>(PeerOf(window));
    if (peer == nullptr)
        return false;
    if (message == WM_PAINT) {
        BufferedPaint(window, [peer](HDC dc, const RECT& client) { peer->Draw(dc, client); });
        return true;
    }
    if (message == WM_PRINTCLIENT) {
        RECT client;
        GetClientRect(window, &client);
        peer->Draw(reinterpret_cast<HDC>(wParam), client);
        return true;
    }
    return false;
}

} // namespace tolvar::win32
