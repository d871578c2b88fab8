#pragma once

// Shared by the pieces of the Win32 widget set; nothing outside this folder includes it but its
// tests.

#include "framework/widgets/win32/Win32Peer.h"

#include <string>
#include <windows.h>

struct IAccPropServices;

namespace tolvar::win32 {

// What one of our own windows is for a screen reader, in MSAA's terms.
struct TAccessibleFacts {
    LONG role = 0;
    std::wstring name;
    std::wstring description;
    // Empty where there is none.
    std::wstring defaultAction;
    // States beyond those the window shows (visible, enabled, focused, tab stop).
    LONG states = 0;
};

// Answers for the client object of one of our windows while the window lives.
class TAccessibleSource {
public:
    virtual ~TAccessibleSource() = default;
    virtual TAccessibleFacts AccessibleFacts() const = 0;
    // The default action, as a click; runs on the window's thread.
    virtual void DoDefaultAction() {}
    // What was last announced through the window (its alert child).
    virtual std::wstring Announcement() const { return {}; }
    // Whether the source answers for the window's frame object too, not only its client.
    virtual bool AnswersForFrame() const { return false; }
};

// The application window: it only carries the task bar entry, has no size and is nothing to
// read, so its objects say they are invisible.
void HideApplicationWindow(HWND window);

// The child of a form's client object that carries announcements: an alert, named by the text.
inline constexpr LONG kAnnouncementChild = 0x7A11;
// Posted to a window to carry out its default action from its own message loop.
inline constexpr UINT kDefaultActionMessage = WM_APP + 0x7A1;

void SetAccessibleSource(HWND window, TAccessibleSource* source);
// WM_GETOBJECT for the client object, and the default action; true when handled.
bool AccessibleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
LONG MsaaRole(TAccessibleRole role);
// A standard control keeps Windows' own object; the model's name (unless it is the window's
// text) and description are laid over it through the system's annotation service.
void AnnotateStandardControl(HWND window, const TAccessibleInfo& info, bool nameIsText);
// Lets the annotation service go, before the thread leaves COM.
void ReleaseAnnotationService();
// Lays the annotations through these services rather than the system's (tests record the calls:
// Wine's own service takes them and ignores them); nullptr goes back to the system's.
void SetAnnotationService(IAccPropServices* services);

} // namespace tolvar::win32
