#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Accessible.h"
#include "framework/widgets/win32/Win32Paint.h"

namespace tolvar::win32 {

namespace {

class TWin32ImagePeer final : public TWin32Peer, public TImagePeer {
public:
    explicit TWin32ImagePeer(TImage& image)
        : TWin32Peer(image, MakeWindow(0, kImageClass, WS_CLIPSIBLINGS, image)) {
        AnswerForAccessibility();
    }
    void SetPicture(const std::string& name, bool transparent, const TRect& target) override {
        picture_ = name;
        transparent_ = transparent;
        target_ = target;
        InvalidateRect(window_, nullptr, TRUE);
    }
    void Draw(HDC dc, const RECT& client) {
        ::FillRect(dc, &client, Brush(color_));
        if (const TPicture* picture = picture_.empty() ? nullptr : Picture(picture_))
            DrawPicture(dc, *picture, transparent_, ScaleRect(target_));
    }

private:
    std::string picture_;
    bool transparent_ = false;
    TRect target_;
};

} // namespace

LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT answer = 0; AccessibleMessage(window, message, wParam, lParam, answer))
        return answer;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (PaintMessage<TWin32ImagePeer>(window, message, wParam))
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::unique_ptr<TImagePeer> CreateWin32ImagePeer(TImage& image) {
    return std::make_unique<TWin32ImagePeer>(image);
}

} // namespace tolvar::win32
