#include "framework/StdControls.h"
#include "framework/widgets/win32/Win32Peer.h"

#include <commctrl.h>

namespace tolvar::win32 {

namespace {

class TWin32ProgressBarPeer final : public TWin32Peer, public TProgressBarPeer {
public:
    explicit TWin32ProgressBarPeer(TProgressBar& bar)
        : TWin32Peer(bar, MakeWindow(0, PROGRESS_CLASSW, WS_CLIPSIBLINGS, bar)) {
        SendMessageW(window_, PBM_SETRANGE32, 0, 100);
    }
    void SetRange(int minimum, int maximum) override {
        SendMessageW(window_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    }
    void SetPosition(int position) override {
        SendMessageW(window_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
};

} // namespace

std::unique_ptr<TProgressBarPeer> CreateWin32ProgressBarPeer(TProgressBar& bar) {
    return std::make_unique<TWin32ProgressBarPeer>(bar);
}

} // namespace tolvar::win32
