#include "bars_objects.h"

#include <commctrl.h>
#include <algorithm>
#include <vector>

#include "frame/error.h"
#include "core/bar_calls.h"

namespace zuv::native {

namespace {

constexpr const wchar_t* kSource = L"zuvNativeBars";

// The command-bars object's own role (what the component's RenderMenu and
// RenderToolBar take).
const IID kIidCommandBarsObject = {0x1616DC35, 0xB997, 0x432B, {0xAB, 0x4F, 0x43, 0x93, 0x41, 0xA7, 0x69, 0xE5}};

template <class F>
HRESULT Guarded(REFIID iid, F&& body) noexcept {
    return Boundary(iid, kSource, std::forward<F>(body));
}

[[noreturn]] void Released() {
    RaiseError(kErrObjectNotSet, L"The native command bars this object belongs to have been released");
}

[[noreturn]] void Unsupported(const std::wstring& what) {
    RaiseError(kErrInvalidCall, L"The native command bars cannot show " + what);
}

void Out(IDispatch** out, const ComPtr<IDispatch>& object) {
    if (!out) RaiseError(kErrInvalidCall);
    object.CopyTo(out);
}

template <class T>
T* Required(T* out) {
    if (!out) RaiseError(kErrInvalidCall);
    return out;
}

long LongOf(const VARIANT& value) {
    Variant plain;
    if (FAILED(VariantCopyInd(plain.Get(), const_cast<VARIANT*>(&value)))) RaiseError(kErrTypeMismatch);
    Variant converted;
    HRESULT hr = VariantChangeType(converted.Get(), plain.Get(), 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) RaiseError(kErrOverflow);
    if (FAILED(hr)) RaiseError(kErrTypeMismatch);
    return converted.Get()->lVal;
}

bool IsMissing(const VARIANT& v) noexcept { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

// The objects handed out reach the state through a weak reference.
template <class Derived, class Dual>
class Child : public AutomationObject<Derived, Dual> {
protected:
    explicit Child(std::weak_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> Live() const {
        std::shared_ptr<State> s = state_.lock();
        if (!s) Released();
        return s;
    }
    std::weak_ptr<State> state_;
};

template <class T, class... A>
ComPtr<IDispatch> Make(State& state, A&&... args) {
    T* raw = MakeObject<T>(std::forward<A>(args)...);
    ComPtr<IDispatch> object = ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(raw));
    state.keep.push_back(object);
    return object;
}

// --- Controls -------------------------------------------------------------------

class NativeControl final : public Child<NativeControl, INativeControl> {
public:
    NativeControl(std::weak_ptr<State> state, Control* control) : Child(std::move(state)), c_(control) {}

    void* QueryExtra(REFIID iid) noexcept {
        if (iid == bars::kIidControl || (iid == bars::kIidPopup && c_->IsPopup()) ||
            (iid == bars::kIidButton && !c_->IsPopup()))
            return static_cast<INativeControl*>(this);
        return nullptr;
    }

    STDMETHODIMP get_BeginGroup(VARIANT_BOOL* v) noexcept override { return GetBool(v, &Control::group); }
    STDMETHODIMP put_BeginGroup(VARIANT_BOOL v) noexcept override { return PutBool(v, &Control::group); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* v) noexcept override { return GetBool(v, &Control::visible); }
    STDMETHODIMP put_Visible(VARIANT_BOOL v) noexcept override { return PutBool(v, &Control::visible); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* v) noexcept override { return GetBool(v, &Control::enabled); }
    STDMETHODIMP put_Enabled(VARIANT_BOOL v) noexcept override { return PutBool(v, &Control::enabled); }
    STDMETHODIMP get_Checked(VARIANT_BOOL* v) noexcept override { return GetBool(v, &Control::checked); }
    STDMETHODIMP put_Checked(VARIANT_BOOL v) noexcept override { return PutBool(v, &Control::checked); }
    STDMETHODIMP get_Caption(BSTR* v) noexcept override { return GetText(v, &Control::caption); }
    STDMETHODIMP put_Caption(BSTR v) noexcept override { return PutText(v, &Control::caption); }
    STDMETHODIMP get_TooltipText(BSTR* v) noexcept override { return GetText(v, &Control::tooltip); }
    STDMETHODIMP put_TooltipText(BSTR v) noexcept override { return PutText(v, &Control::tooltip); }
    STDMETHODIMP get_Id(LONG* v) noexcept override { return GetLong(v, &Control::id); }
    STDMETHODIMP put_Id(LONG v) noexcept override { return PutLong(v, &Control::id, true); }
    // Style and ToolBarID change nothing that a native bar shows: kept for reading back.
    STDMETHODIMP get_Style(LONG* v) noexcept override { return GetLong(v, &Control::style); }
    STDMETHODIMP put_Style(LONG v) noexcept override { return PutLong(v, &Control::style, false); }
    STDMETHODIMP get_ToolBarID(LONG* v) noexcept override { return GetLong(v, &Control::toolbar_id); }
    STDMETHODIMP put_ToolBarID(LONG v) noexcept override { return PutLong(v, &Control::toolbar_id, false); }

    STDMETHODIMP get_CommandBar(IDispatch** bar) noexcept override;

private:
    template <class F>
    HRESULT Run(F&& body) noexcept {
        return Guarded(IID_INativeControl, [&] {
            std::shared_ptr<State> state = Live();
            body(*state);
        });
    }
    HRESULT GetBool(VARIANT_BOOL* v, bool Control::*field) noexcept {
        return Run([&](State&) { *Required(v) = ToVB(c_->*field); });
    }
    HRESULT PutBool(VARIANT_BOOL v, bool Control::*field) noexcept {
        return Run([&](State& s) {
            c_->*field = v != VARIANT_FALSE;
            s.Changed(c_);
        });
    }
    HRESULT GetText(BSTR* v, std::wstring Control::*field) noexcept {
        return Run([&](State&) { Check(Bstr(c_->*field).CopyTo(Required(v))); });
    }
    HRESULT PutText(BSTR v, std::wstring Control::*field) noexcept {
        return Run([&](State& s) {
            c_->*field = Text(v);
            s.Changed(c_);
        });
    }
    HRESULT GetLong(LONG* v, long Control::*field) noexcept {
        return Run([&](State&) { *Required(v) = c_->*field; });
    }
    HRESULT PutLong(LONG v, long Control::*field, bool shown) noexcept {
        return Run([&](State& s) {
            c_->*field = v;
            if (shown) s.Changed(c_);
        });
    }

    Control* const c_;   // owned by the state, valid while it lives
};

// --- Bars ------------------------------------------------------------------------

class NativeBar;

class NativeControls final : public Child<NativeControls, INativeControls> {
public:
    NativeControls(std::weak_ptr<State> state, Bar* bar) : Child(std::move(state)), bar_(bar) {}
    void* QueryExtra(REFIID iid) noexcept {
        return iid == bars::kIidControls ? static_cast<INativeControls*>(this) : nullptr;
    }

    STDMETHODIMP Add(LONG type, VARIANT id, BSTR caption, VARIANT flag, IDispatch** control) noexcept override {
        if (control) *control = nullptr;
        return Guarded(IID_INativeControls, [&] {
            std::shared_ptr<State> state = Live();
            const long command_id = LongOf(id);
            if (!IsMissing(flag) && flag.vt != VT_EMPTY) {
                Variant b;
                if (FAILED(VariantChangeType(b.Get(), &flag, 0, VT_BOOL))) RaiseError(kErrTypeMismatch);
                if (b.Get()->boolVal != VARIANT_FALSE) Unsupported(L"temporary controls");
            }
            Control* added = state->AddControl(bar_, type, command_id, Text(caption));
            added->object = Make<NativeControl>(*state, state_, added);
            Out(control, added->object);
        });
    }

private:
    Bar* const bar_;
};

class NativeBar final : public Child<NativeBar, INativeCommandBar> {
public:
    NativeBar(std::weak_ptr<State> state, Bar* bar) : Child(std::move(state)), bar_(bar) {}
    void* QueryExtra(REFIID iid) noexcept {
        return iid == bars::kIidCommandBar ? static_cast<INativeCommandBar*>(this) : nullptr;
    }

    STDMETHODIMP get_Option23(VARIANT_BOOL* v) noexcept override { return GetOption(v, 0); }
    STDMETHODIMP put_Option23(VARIANT_BOOL v) noexcept override { return PutOption(v, 0); }
    STDMETHODIMP get_Option24(VARIANT_BOOL* v) noexcept override { return GetOption(v, 1); }
    STDMETHODIMP put_Option24(VARIANT_BOOL v) noexcept override { return PutOption(v, 1); }
    STDMETHODIMP get_Option33(VARIANT_BOOL* v) noexcept override { return GetOption(v, 2); }
    STDMETHODIMP put_Option33(VARIANT_BOOL v) noexcept override { return PutOption(v, 2); }

    // The bar flags and style the component sets are how native bars look
    // anyway; any other value would be silently ignored, so it is refused.
    STDMETHODIMP SetFlags(LONG remove, LONG add) noexcept override {
        return Run([&](State&) {
            if (remove != bars::value::kBarFlags || add != bars::value::kBarFlags)
                Unsupported(L"bar flags (" + std::to_wstring(remove) + L", " + std::to_wstring(add) + L")");
        });
    }
    STDMETHODIMP SetStyle(LONG style) noexcept override {
        return Run([&](State&) {
            if (style != bars::value::kBarStyle) Unsupported(L"bar style " + std::to_wstring(style));
        });
    }
    // On the menu bar: the window's maximize box, minimize box or system menu go.
    STDMETHODIMP ModifyStyle(LONG remove, LONG add) noexcept override {
        return Run([&](State& s) {
            using namespace bars::value;
            if (bar_ != s.menu_bar()) Unsupported(L"window buttons on a toolbar");
            if (remove == kNoMaxButton && add == kNoMaxButton) s.RemoveWindowStyle(WS_MAXIMIZEBOX);
            else if (remove == kNoMinButton && add == kNoMinButton) s.RemoveWindowStyle(WS_MINIMIZEBOX);
            else if (remove == kNoControlBoxRemove && add == kNoControlBoxAdd) s.RemoveWindowStyle(WS_SYSMENU);
            else Unsupported(L"menu bar style (" + std::to_wstring(remove) + L", " + std::to_wstring(add) + L")");
        });
    }
    STDMETHODIMP get_Controls(IDispatch** controls) noexcept override {
        if (controls) *controls = nullptr;
        return Run([&](State& s) {
            if (!bar_->controls_object) bar_->controls_object = Make<NativeControls>(s, state_, bar_);
            Out(controls, bar_->controls_object);
        });
    }

private:
    template <class F>
    HRESULT Run(F&& body) noexcept {
        return Guarded(IID_INativeCommandBar, [&] {
            std::shared_ptr<State> state = Live();
            body(*state);
        });
    }
    HRESULT GetOption(VARIANT_BOOL* v, int i) noexcept {
        return Run([&](State&) { *Required(v) = ToVB(bar_->options[i]); });
    }
    HRESULT PutOption(VARIANT_BOOL v, int i) noexcept {
        return Run([&](State&) {
            if (v != VARIANT_FALSE) Unsupported(L"bar option " + std::to_wstring(i == 0 ? 23 : i == 1 ? 24 : 33));
            bar_->options[i] = false;
        });
    }

    Bar* const bar_;
};

STDMETHODIMP NativeControl::get_CommandBar(IDispatch** bar) noexcept {
    if (bar) *bar = nullptr;
    return Run([&](State& s) {
        if (!c_->drop_down) RaiseError(kErrInvalidCall, L"Only a control with a drop-down has a command bar");
        if (!c_->drop_down->object) c_->drop_down->object = Make<NativeBar>(s, state_, c_->drop_down);
        Out(bar, c_->drop_down->object);
    });
}

class NativeKeyBindings final : public Child<NativeKeyBindings, INativeKeyBindings> {
public:
    explicit NativeKeyBindings(std::weak_ptr<State> state) : Child(std::move(state)) {}
    void* QueryExtra(REFIID iid) noexcept {
        return iid == bars::kIidKeyBindings ? static_cast<INativeKeyBindings*>(this) : nullptr;
    }
    STDMETHODIMP Add(LONG flags, LONG key, LONG id) noexcept override {
        return Guarded(IID_INativeKeyBindings, [&] { Live()->AddKeyBinding(flags, key, id); });
    }
};

// --- Keyboard --------------------------------------------------------------------
//
// Key bindings work in whatever message loop the host runs: one
// WH_GETMESSAGE hook per thread translates key presses meant for an
// attached window (or a child of it) through that window's accelerators.

struct ThreadHook {
    DWORD thread;
    HHOOK hook;
    std::vector<NativeCommandBars*> bars;
};

CRITICAL_SECTION* HookLock() {
    static CRITICAL_SECTION cs = [] {
        CRITICAL_SECTION c;
        InitializeCriticalSection(&c);
        return c;
    }();
    return &cs;
}
std::vector<ThreadHook>* g_hooks = nullptr;   // allocated on first use, never freed while hooks live

ThreadHook* FindHook(DWORD thread) noexcept {
    if (!g_hooks) return nullptr;
    for (ThreadHook& h : *g_hooks)
        if (h.thread == thread) return &h;
    return nullptr;
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    HHOOK next = nullptr;
    ComPtr<IUnknown> keep;
    HWND window = nullptr;
    HACCEL table = nullptr;
    MSG* msg = reinterpret_cast<MSG*>(lp);
    EnterCriticalSection(HookLock());
    if (ThreadHook* h = FindHook(GetCurrentThreadId())) {
        next = h->hook;
        if (code == HC_ACTION && wp == PM_REMOVE && msg &&
            (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)) {
            for (NativeCommandBars* bars : h->bars) {
                HWND w = bars->state().window();
                if (w && bars->state().accelerators() && (msg->hwnd == w || IsChild(w, msg->hwnd))) {
                    keep = bars->Unknown();
                    window = w;
                    table = bars->state().accelerators();
                    break;
                }
            }
        }
    }
    LeaveCriticalSection(HookLock());
    if (window && TranslateAcceleratorW(window, table, msg)) msg->message = WM_NULL;
    return CallNextHookEx(next, code, wp, lp);
}

void Hook(NativeCommandBars* bars) {
    EnterCriticalSection(HookLock());
    try {
        if (!g_hooks) g_hooks = new std::vector<ThreadHook>();
        ThreadHook* h = FindHook(GetCurrentThreadId());
        if (!h) {
            HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
            if (!hook) RaiseHresult(HRESULT_FROM_WIN32(GetLastError()));
            g_hooks->push_back({GetCurrentThreadId(), hook, {}});
            h = &g_hooks->back();
        }
        h->bars.push_back(bars);
    } catch (...) {
        LeaveCriticalSection(HookLock());
        throw;
    }
    LeaveCriticalSection(HookLock());
}

void Unhook(NativeCommandBars* bars) noexcept {
    EnterCriticalSection(HookLock());
    if (ThreadHook* h = FindHook(GetCurrentThreadId())) {
        h->bars.erase(std::remove(h->bars.begin(), h->bars.end(), bars), h->bars.end());
        if (h->bars.empty()) {
            UnhookWindowsHookEx(h->hook);
            g_hooks->erase(g_hooks->begin() + (h - g_hooks->data()));
        }
    }
    LeaveCriticalSection(HookLock());
}

}  // namespace

// --- The command-bars object ------------------------------------------------------

NativeCommandBars::NativeCommandBars()
    : state_(std::make_shared<State>()),
      events_(static_cast<IConnectionPointContainer*>(this), DIID__INativeCommandBarsEvents),
      points_{&events_} {
    state_->menu_bar()->object = Make<NativeBar>(*state_, state_, state_->menu_bar());
    key_bindings_ = Make<NativeKeyBindings>(*state_, state_);
}

NativeCommandBars::~NativeCommandBars() = default;

void* NativeCommandBars::QueryExtra(REFIID iid) noexcept {
    return iid == kIidCommandBarsObject ? static_cast<INativeCommandBars*>(this) : nullptr;
}

void NativeCommandBars::FinalRelease() noexcept { DetachWindow(); }

STDMETHODIMP NativeCommandBars::get_ActiveMenuBar(IDispatch** bar) noexcept {
    if (bar) *bar = nullptr;
    return Guarded(IID_INativeCommandBars, [&] { Out(bar, state_->menu_bar()->object); });
}

STDMETHODIMP NativeCommandBars::Add(BSTR name, VARIANT position, IDispatch** bar) noexcept {
    if (bar) *bar = nullptr;
    return Guarded(IID_INativeCommandBars, [&] {
        if (!IsMissing(position) && position.vt != VT_EMPTY && LongOf(position) != 0)
            Unsupported(L"a toolbar anywhere but across the top (position 0)");
        Bar* added = state_->AddToolBar(Text(name));
        added->object = Make<NativeBar>(*state_, state_, added);
        Out(bar, added->object);
    });
}

STDMETHODIMP NativeCommandBars::get_KeyBindings(IDispatch** bindings) noexcept {
    if (bindings) *bindings = nullptr;
    return Guarded(IID_INativeCommandBars, [&] { Out(bindings, key_bindings_); });
}

STDMETHODIMP NativeCommandBars::Attach(LONG hwnd) noexcept {
    return Guarded(IID_INativeCommandBars, [&] {
        HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
        if (!window || !IsWindow(window)) RaiseError(kErrInvalidCall, L"Attach needs the handle of a window");
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
            RaiseError(kErrInvalidCall, L"The window belongs to another thread");
        if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)
            RaiseError(kErrInvalidCall, L"A child window cannot have a menu bar");
        if (window == state_->window()) return;
        DetachWindow();
        Hook(this);
        if (!SetWindowSubclass(window, &WindowProc, reinterpret_cast<UINT_PTR>(this),
                               reinterpret_cast<DWORD_PTR>(this))) {
            Unhook(this);
            RaiseError(kErrInvalidCall, L"The window cannot be attached");
        }
        state_->Attach(window);
    });
}

STDMETHODIMP NativeCommandBars::Detach() noexcept {
    return Guarded(IID_INativeCommandBars, [&] { DetachWindow(); });
}

void NativeCommandBars::DetachWindow() noexcept {
    HWND window = state_->window();
    if (!window) return;
    state_->Detach();
    RemoveWindowSubclass(window, &WindowProc, reinterpret_cast<UINT_PTR>(this));
    Unhook(this);
}

STDMETHODIMP NativeCommandBars::get_hWnd(LONG* hwnd) noexcept {
    return Guarded(IID_INativeCommandBars, [&] {
        *Required(hwnd) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(state_->window()));
    });
}

STDMETHODIMP NativeCommandBars::get_WindowListText(BSTR* text) noexcept {
    return Guarded(IID_INativeCommandBars, [&] { Check(Bstr(state_->window_list_text).CopyTo(Required(text))); });
}

STDMETHODIMP NativeCommandBars::put_WindowListText(BSTR text) noexcept {
    return Guarded(IID_INativeCommandBars, [&] {
        state_->window_list_text = Text(text);
        state_->RefreshWindowList();
    });
}

STDMETHODIMP NativeCommandBars::get_BarsHeight(LONG* height) noexcept {
    return Guarded(IID_INativeCommandBars, [&] { *Required(height) = state_->BarsHeight(); });
}

STDMETHODIMP NativeCommandBars::get_Accelerators(LONG* table) noexcept {
    return Guarded(IID_INativeCommandBars, [&] {
        *Required(table) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(state_->accelerators()));
    });
}

STDMETHODIMP NativeCommandBars::SetExecuteHandler(void* handler, void* context) noexcept {
    handler_ = reinterpret_cast<NativeExecuteHandler>(handler);
    context_ = context;
    return S_OK;
}

void NativeCommandBars::Execute(long id) noexcept {
    ComPtr<IUnknown> keep(Unknown());   // a handler may release the command bars
    if (handler_) handler_(context_, id);
    Variant arg = Variant::Long(id);
    FireEvent(L"Execute", arg.Get(), 1);
}

LRESULT NativeCommandBars::OnNotify(HWND hwnd, NMHDR* header, bool& handled) noexcept {
    handled = false;
    if (header->code == TBN_DROPDOWN && state_->IsOwnToolbar(header->hwndFrom)) {
        auto* nm = reinterpret_cast<NMTOOLBARW*>(header);
        Control* c = state_->ToolbarControl(header->hwndFrom, static_cast<WORD>(nm->iItem));
        if (!c || !c->drop_down || !c->drop_down->menu) return TBDDRET_NODEFAULT;
        handled = true;
        RECT r{};
        SendMessageW(header->hwndFrom, TB_GETRECT, nm->iItem, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(header->hwndFrom, nullptr, reinterpret_cast<POINT*>(&r), 2);
        TPMPARAMS tpm{sizeof(tpm), r};
        TrackPopupMenuEx(c->drop_down->menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_VERTICAL, r.left,
                         r.bottom, hwnd, &tpm);
        return TBDDRET_DEFAULT;
    }
    if (header->code == TTN_GETDISPINFOW || header->code == TTN_GETDISPINFOA) {
        HWND toolbar = state_->ToolbarOfTooltip(header->hwndFrom);
        if (!toolbar) return 0;
        const std::wstring* text = state_->TooltipOf(toolbar, static_cast<WORD>(header->idFrom));
        if (!text) return 0;
        handled = true;
        if (header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
            info->hinst = nullptr;
            info->lpszText = const_cast<wchar_t*>(text->c_str());
        } else {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
            info->hinst = nullptr;
            WideCharToMultiByte(CP_ACP, 0, text->c_str(), -1, info->szText, sizeof(info->szText), nullptr, nullptr);
            info->szText[sizeof(info->szText) - 1] = 0;
            info->lpszText = info->szText;
        }
    }
    return 0;
}

LRESULT CALLBACK NativeCommandBars::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                               DWORD_PTR self_data) {
    auto* self = reinterpret_cast<NativeCommandBars*>(self_data);
    // An event handler may release the command bars meanwhile.
    ComPtr<IUnknown> keep(self->Unknown());
    State& state = *self->state_;
    switch (msg) {
    case WM_COMMAND:
        // Menus and accelerators send no window; toolbars send their own.
        if (lp == 0 || state.IsOwnToolbar(reinterpret_cast<HWND>(lp))) {
            long id = 0;
            HWND target = nullptr;
            if (state.Resolve(LOWORD(wp), id, target)) {
                if (target) {
                    if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
                    SetForegroundWindow(target);
                } else {
                    self->Execute(id);
                }
                return 0;
            }
        }
        break;
    case WM_INITMENUPOPUP:
        state.MenuOpening(reinterpret_cast<HMENU>(wp));
        break;
    case WM_NOTIFY:
        if (lp) {
            bool handled = false;
            LRESULT r = self->OnNotify(hwnd, reinterpret_cast<NMHDR*>(lp), handled);
            if (handled) return r;
        }
        break;
    case WM_SIZE: {
        LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
        state.Layout();
        return r;
    }
    case WM_DESTROY:
        self->DetachWindow();
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace zuv::native
