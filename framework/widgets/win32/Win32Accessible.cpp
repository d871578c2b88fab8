#include "framework/widgets/win32/Win32Accessible.h"

#include <oleacc.h>

namespace tolvar::win32 {

namespace {

const wchar_t kSourceProperty[] = L"TolvarAccessible";

// Our own copies: the import libraries of oleacc and uuid both define some of these, and a
// program that pulls both fails to link.
constexpr GUID kAccPropServicesClass = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kAccPropServicesInterface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kNameProperty = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
constexpr GUID kDescriptionProperty = {
    0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};

BSTR Bstr(const std::wstring& text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// A text the object may lack: no string and S_FALSE when it is empty.
HRESULT OptionalText(const std::wstring& text, BSTR* out) {
    *out = text.empty() ? nullptr : Bstr(text);
    return text.empty() ? S_FALSE : S_OK;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

bool IsAnnouncement(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == kAnnouncementChild;
}

// COM objects are destroyed by their own Release, never through the interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The client object of one of our windows: what the window is comes from its source, looked
// up on every call (the window may be gone while a screen reader still holds the object); the
// children, places and navigation are the system's.
class TAccessibleObject final : public IAccessible {
public:
    TAccessibleObject(HWND window, IAccessible* standard) : window_(window), standard_(standard) {}
    ~TAccessibleObject() { standard_->Release(); }
    TAccessibleObject(const TAccessibleObject&) = delete;
    TAccessibleObject& operator=(const TAccessibleObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
            riid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: screen readers use the interface's own calls.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible: what the source says of the window itself.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (IsAnnouncement(child)) {
            *name = Bstr(source->Announcement());
            return S_OK;
        }
        if (!IsSelf(child))
            return standard_->get_accName(child, name);
        return OptionalText(source->AccessibleFacts().name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return IsAnnouncement(child) ? S_FALSE
                                         : standard_->get_accDescription(child, description);
        return OptionalText(source->AccessibleFacts().description, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child) && !IsAnnouncement(child))
            return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = IsAnnouncement(child) ? ROLE_SYSTEM_ALERT : source->AccessibleFacts().role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (IsAnnouncement(child)) {
            state->vt = VT_I4;
            state->lVal = STATE_SYSTEM_READONLY;
            return S_OK;
        }
        if (!IsSelf(child))
            return standard_->get_accState(child, state);
        const TAccessibleFacts facts = source->AccessibleFacts();
        LONG s = facts.states;
        if (!IsWindowVisible(window_))
            s |= STATE_SYSTEM_INVISIBLE;
        if (!IsWindowEnabled(window_))
            s |= STATE_SYSTEM_UNAVAILABLE;
        // A top-level window's maximise box has the tab stop's bit.
        const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
        if ((style & WS_CHILD) != 0 && (style & WS_TABSTOP) != 0)
            s |= STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == window_)
            s |= STATE_SYSTEM_FOCUSED;
        state->vt = VT_I4;
        state->lVal = s;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return IsAnnouncement(child) ? S_FALSE : standard_->get_accDefaultAction(child, action);
        return OptionalText(source->AccessibleFacts().defaultAction, action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        TAccessibleSource* source = Source();
        if (source == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return IsAnnouncement(child) ? DISP_E_MEMBERNOTFOUND
                                         : standard_->accDoDefaultAction(child);
        if (source->AccessibleFacts().defaultAction.empty() || !IsWindowEnabled(window_))
            return DISP_E_MEMBERNOTFOUND;
        // As a click: after this call returns, from the window's own message loop.
        PostMessageW(window_, kDefaultActionMessage, 0, 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (IsAnnouncement(child)) {
            *object = nullptr;
            return S_FALSE;
        }
        return standard_->get_accChild(child, object);
    }

    // The rest is the system's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    TAccessibleSource* Source() const {
        return IsWindow(window_)
                   ? static_cast<TAccessibleSource*>(GetPropW(window_, kSourceProperty))
                   : nullptr;
    }

    HWND window_;
    IAccessible* standard_;
    ULONG references_ = 1;
};

#pragma GCC diagnostic pop

} // namespace

void SetAccessibleSource(HWND window, TAccessibleSource* source) {
    if (source != nullptr)
        SetPropW(window, kSourceProperty, source);
    else
        RemovePropW(window, kSourceProperty);
}

bool AccessibleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == kDefaultActionMessage) {
        if (auto* source = static_cast<TAccessibleSource*>(GetPropW(window, kSourceProperty)))
            source->DoDefaultAction();
        result = 0;
        return true;
    }
    if (message != WM_GETOBJECT)
        return false;
    auto* source = static_cast<TAccessibleSource*>(GetPropW(window, kSourceProperty));
    const auto id = static_cast<LONG>(lParam);
    if (source == nullptr ||
        (id != OBJID_CLIENT && (id != OBJID_WINDOW || !source->AnswersForFrame())))
        return false;
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(window, id, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&standard))) ||
        standard == nullptr)
        return false;
    auto* object = new TAccessibleObject(window, standard);
    result = LresultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();
    return true;
}

void HideApplicationWindow(HWND window) {
    class THidden final : public TAccessibleSource {
    public:
        TAccessibleFacts AccessibleFacts() const override {
            TAccessibleFacts facts;
            facts.role = ROLE_SYSTEM_WINDOW;
            facts.states = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
            return facts;
        }
        bool AnswersForFrame() const override { return true; }
    };
    static THidden hidden;
    SetAccessibleSource(window, &hidden);
}

LONG MsaaRole(TAccessibleRole role) {
    switch (role) {
    case TAccessibleRole::Window:
        return ROLE_SYSTEM_DIALOG;
    case TAccessibleRole::Pane:
        return ROLE_SYSTEM_PANE;
    case TAccessibleRole::Page:
        return ROLE_SYSTEM_PROPERTYPAGE;
    case TAccessibleRole::Grouping:
        return ROLE_SYSTEM_GROUPING;
    case TAccessibleRole::Heading:
    case TAccessibleRole::Text:
        // MSAA has no heading; the heading names its page instead.
        return ROLE_SYSTEM_STATICTEXT;
    case TAccessibleRole::Graphic:
        return ROLE_SYSTEM_GRAPHIC;
    case TAccessibleRole::Link:
        return ROLE_SYSTEM_LINK;
    case TAccessibleRole::CheckBox:
        return ROLE_SYSTEM_CHECKBUTTON;
    case TAccessibleRole::Button:
        return ROLE_SYSTEM_PUSHBUTTON;
    case TAccessibleRole::ComboBox:
        return ROLE_SYSTEM_COMBOBOX;
    case TAccessibleRole::ProgressBar:
        return ROLE_SYSTEM_PROGRESSBAR;
    case TAccessibleRole::None:
        break;
    }
    return ROLE_SYSTEM_CLIENT;
}

namespace {

// One instance for the program: each new one reads its registration from the registry again.
IAccPropServices*& AnnotationService() {
    static IAccPropServices* services = nullptr;
    return services;
}

} // namespace

void ReleaseAnnotationService() {
    if (AnnotationService() != nullptr)
        AnnotationService()->Release();
    AnnotationService() = nullptr;
}

void SetAnnotationService(IAccPropServices* services) {
    ReleaseAnnotationService();
    if (services != nullptr)
        services->AddRef();
    AnnotationService() = services;
}

void AnnotateStandardControl(HWND window, const TAccessibleInfo& info, bool nameIsText) {
    IAccPropServices*& services = AnnotationService();
    if (services == nullptr &&
        FAILED(CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                kAccPropServicesInterface, reinterpret_cast<void**>(&services))))
        services = nullptr;
    if (services == nullptr)
        return;
    // Windows' own object of the class stays; only what the model adds goes on top of it.
    if (!nameIsText && !info.name.empty())
        services->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, kNameProperty,
                                 Wide(info.name).c_str());
    if (!info.description.empty())
        services->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, kDescriptionProperty,
                                 Wide(info.description).c_str());
}

} // namespace tolvar::win32
