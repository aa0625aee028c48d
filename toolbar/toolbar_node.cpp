// The xToolBar node: creation, end of life, properties and the forwarding
// of property changes to the rendered control.
#include "toolbar_node.h"

#include <new>

#include "frame/error.h"
#include "core/host_calls.h"
#include "core/lifetime.h"
#include "toolbar_collection.h"

namespace zuv {

namespace {

constexpr const wchar_t kCanNotSetProperty[] = L"Can not set property";

}  // namespace

HRESULT CreateToolBarNode(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        auto node = ComPtr<ToolBarNode>::Adopt(MakeObject<ToolBarNode>());
        return node->QueryInterface(iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

ToolBarNode::ToolBarNode()
    : events_(this, DIID___xToolBar),
      events_v1_(this, kIidToolBarEventsV1),
      points_{&events_, &events_v1_},
      buttons_(NewToolBarCollection()) {}

void* ToolBarNode::QueryExtra(REFIID riid) noexcept {
    // The earlier identifier names the same function table.
    if (riid == kIidToolBarV0) return static_cast<_xToolBar*>(this);
    return nullptr;
}

void ToolBarNode::FinalRelease() noexcept {
    // Back references to this node read Nothing from now on.
    life_.End();
    // Children first, then the controls; queued so that a deep tree is
    // released one node after another rather than recursively.
    DeferredRelease(buttons_);
    DeferredRelease(cmd_bar_button_);
    DeferredRelease(cmd_bar_popup_);
    ComPtr<_xToolBar> parent = parent_.TakeForeign();
    parent_.Clear();
    DeferredRelease(parent);
}

STDMETHODIMP ToolBarNode::InterfaceSupportsErrorInfo(REFIID iid) noexcept {
    return (iid == __uuidof(_xToolBar) || iid == kIidToolBarV0) ? S_OK : S_FALSE;
}

// --- error events and text helpers ------------------------------------------

bool ToolBarNode::RaiseCustomError(long number, const wchar_t* message, const wchar_t* suffix) noexcept {
    try {
        short custom_number = ToShort(number);
        std::wstring text = std::wstring(message) + suffix;
        Variant args[] = {Variant::Short(custom_number), Variant::String(text.c_str())};
        FireEvent(L"CustomError", args[0].Get(), 2);
        return true;
    } catch (...) {
        // Reporting fails quietly: the caller goes on as if it had worked.
        return false;
    }
}

bool ToolBarNode::TryAssignText(Bstr& target, BSTR text) noexcept {
    try {
        target = Bstr::Copy(text);
        return true;
    } catch (...) {
        return false;
    }
}

void ToolBarNode::RaiseSystemError(long number, const std::wstring& description) noexcept {
    try {
        Bstr text(description);
        Variant args[] = {Variant::Long(number), Variant::String(text.Get())};
        FireEvent(L"SystemError", args[0].Get(), 2);
    } catch (...) {
        // No memory left for the event: nothing else can be reported.
    }
}

void ToolBarNode::RaiseButtonClick(IDispatch* button) noexcept {
    Variant arg = Variant::Object(button);
    FireEvent(L"ButtonClick", arg.Get(), 1);
}

// --- setter steps -------------------------------------------------------------

bool ToolBarNode::AssignGuardedText(Bstr& field, BSTR text, const wchar_t* suffix) noexcept {
    if (TryAssignText(field, text)) return true;
    RaiseCustomError(xToolBarCustomErrorNo_CanNotSetProperty, kCanNotSetProperty, suffix);
    return false;
}

// The control a property change goes to: the button when there is one,
// else the popup; none while the node has not been rendered.
ComPtr<IDispatch> ToolBarNode::ForwardTarget() const noexcept {
    if (!designed_) return nullptr;
    if (cmd_bar_button_) return ComPtr<IDispatch>(cmd_bar_button_.Get());
    if (cmd_bar_popup_) return ComPtr<IDispatch>(cmd_bar_popup_.Get());
    return nullptr;
}

void ToolBarNode::ForwardBool(DISPID member, bool value) {
    if (ComPtr<IDispatch> target = ForwardTarget()) host::PutBool(target.Get(), member, value);
}

void ToolBarNode::ForwardLong(DISPID member, long value) {
    if (ComPtr<IDispatch> target = ForwardTarget()) host::PutLong(target.Get(), member, value);
}

void ToolBarNode::ForwardString(DISPID member, BSTR value) {
    if (ComPtr<IDispatch> target = ForwardTarget()) host::PutString(target.Get(), member, value);
}

void ToolBarNode::SetRenderedId(long id) {
    id_ = id;
    try {
        ForwardLong(host::id::kId, id);
    } catch (const RuntimeError&) {
        // The put was made; its failure concerns a control on its way out.
    }
}

void ToolBarNode::KeepOnlyRole(bool popup) noexcept {
    if (popup) DeferredRelease(cmd_bar_button_);
    else DeferredRelease(cmd_bar_popup_);
}

// --- references -----------------------------------------------------------------

STDMETHODIMP ToolBarNode::get_Buttons(_xToolBarCollection** rhs) noexcept {
    if (!rhs) return E_POINTER;
    buttons_.CopyTo(rhs);
    return S_OK;
}

STDMETHODIMP ToolBarNode::putref_Buttons(_xToolBarCollection* rhs) noexcept {
    ComPtr<_xToolBarCollection> old = std::move(buttons_);
    buttons_ = rhs;
    // The old collection may hold a deep tree.
    DeferredRelease(old);
    return S_OK;
}

// Another name for Buttons: always the collection Buttons holds right now.
STDMETHODIMP ToolBarNode::get_ButtonMenus(_xToolBarCollection** rhs) noexcept { return get_Buttons(rhs); }

STDMETHODIMP ToolBarNode::putref_Parent(_xToolBar* rhs) noexcept {
    return AtBoundary([&] {
        if (!rhs) {
            parent_.Clear();
        } else if (ToolBarNode* own = toolbar::OwnNode(rhs)) {
            parent_.SetOwn(own->Interface(), own->Life());
        } else {
            parent_.SetForeign(rhs);
        }
    });
}

STDMETHODIMP ToolBarNode::get_Parent(_xToolBar** rhs) noexcept {
    if (!rhs) return E_POINTER;
    parent_.Get().CopyTo(rhs);
    return S_OK;
}

STDMETHODIMP ToolBarNode::putref_CmdBarButton(ICommandBarButton* rhs) noexcept {
    cmd_bar_button_ = rhs;
    return S_OK;
}

STDMETHODIMP ToolBarNode::get_CmdBarButton(ICommandBarButton** rhs) noexcept {
    if (!rhs) return E_POINTER;
    cmd_bar_button_.CopyTo(rhs);
    return S_OK;
}

STDMETHODIMP ToolBarNode::putref_CmdBarPopup(ICommandBarPopup* rhs) noexcept {
    cmd_bar_popup_ = rhs;
    return S_OK;
}

STDMETHODIMP ToolBarNode::get_CmdBarPopup(ICommandBarPopup** rhs) noexcept {
    if (!rhs) return E_POINTER;
    cmd_bar_popup_.CopyTo(rhs);
    return S_OK;
}

// --- plain numbers and flags ------------------------------------------------------

namespace {
template <class T>
HRESULT Read(T value, T* out) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}
}  // namespace

STDMETHODIMP ToolBarNode::put_StartID(LONG rhs) noexcept { start_id_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_StartID(LONG* rhs) noexcept { return Read<LONG>(start_id_, rhs); }
STDMETHODIMP ToolBarNode::put_Left(LONG rhs) noexcept { left_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_Left(LONG* rhs) noexcept { return Read<LONG>(left_, rhs); }
STDMETHODIMP ToolBarNode::put_Top(LONG rhs) noexcept { top_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_Top(LONG* rhs) noexcept { return Read<LONG>(top_, rhs); }
STDMETHODIMP ToolBarNode::put_Width(LONG rhs) noexcept { width_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_Width(LONG* rhs) noexcept { return Read<LONG>(width_, rhs); }
STDMETHODIMP ToolBarNode::put_Height(LONG rhs) noexcept { height_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_Height(LONG* rhs) noexcept { return Read<LONG>(height_, rhs); }
STDMETHODIMP ToolBarNode::put_ToolBarSeperator(VARIANT_BOOL rhs) noexcept { separator_ = rhs; return S_OK; }
STDMETHODIMP ToolBarNode::get_ToolBarSeperator(VARIANT_BOOL* rhs) noexcept { return Read(separator_, rhs); }
STDMETHODIMP ToolBarNode::get_IsToolBarDesigned(VARIANT_BOOL* rhs) noexcept { return Read(ToVB(designed_), rhs); }

// --- text properties ---------------------------------------------------------------

namespace {
HRESULT ReadText(const Bstr& field, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    return field.CopyTo(out);
}
}  // namespace

STDMETHODIMP ToolBarNode::put_Caption(BSTR rhs) noexcept {
    return AtBoundary([&] {
        if (AssignGuardedText(caption_, rhs, L" for property named Caption")) ForwardString(host::id::kCaption, rhs);
    });
}
STDMETHODIMP ToolBarNode::get_Caption(BSTR* rhs) noexcept { return ReadText(caption_, rhs); }

// Text shares the control's caption with Caption; each keeps its own field.
STDMETHODIMP ToolBarNode::put_Text(BSTR rhs) noexcept {
    return AtBoundary([&] {
        if (AssignGuardedText(text_, rhs, L" for property named Text")) ForwardString(host::id::kCaption, rhs);
    });
}
STDMETHODIMP ToolBarNode::get_Text(BSTR* rhs) noexcept { return ReadText(text_, rhs); }

STDMETHODIMP ToolBarNode::put_TooltipText(BSTR rhs) noexcept {
    return AtBoundary([&] {
        if (AssignGuardedText(tooltip_text_, rhs, L" for property named TooltipText"))
            ForwardString(host::id::kTooltip, rhs);
    });
}
STDMETHODIMP ToolBarNode::get_TooltipText(BSTR* rhs) noexcept { return ReadText(tooltip_text_, rhs); }

STDMETHODIMP ToolBarNode::put_Key(BSTR rhs) noexcept {
    return AtBoundary([&] { AssignGuardedText(key_, rhs, L" for property named Key"); });
}
STDMETHODIMP ToolBarNode::get_Key(BSTR* rhs) noexcept { return ReadText(key_, rhs); }

STDMETHODIMP ToolBarNode::put_Tag(BSTR rhs) noexcept {
    return AtBoundary([&] { AssignGuardedText(tag_, rhs, L" for property named Tag"); });
}
STDMETHODIMP ToolBarNode::get_Tag(BSTR* rhs) noexcept { return ReadText(tag_, rhs); }

// --- forwarding numbers and flags ----------------------------------------------------

// The pressed state drives the control's checked state: any number but 0
// is pressed.  Checked keeps its own field.
STDMETHODIMP ToolBarNode::put_Value(xToolBarValue rhs) noexcept {
    return AtBoundary([&] {
        value_ = static_cast<long>(rhs);
        ForwardBool(host::id::kChecked, value_ != 0);
    });
}
STDMETHODIMP ToolBarNode::get_Value(xToolBarValue* rhs) noexcept {
    return Read(static_cast<xToolBarValue>(value_), rhs);
}

STDMETHODIMP ToolBarNode::put_ID(LONG rhs) noexcept {
    return AtBoundary([&] {
        id_ = rhs;
        ForwardLong(host::id::kId, rhs);
    });
}
STDMETHODIMP ToolBarNode::get_ID(LONG* rhs) noexcept { return Read<LONG>(id_, rhs); }

// Sent by name: the control's member is looked up at the time of the call.
STDMETHODIMP ToolBarNode::put_ToolBarID(LONG rhs) noexcept {
    return AtBoundary([&] {
        toolbar_id_ = rhs;
        if (ComPtr<IDispatch> target = ForwardTarget()) host::PutToolBarID(target.Get(), rhs);
    });
}
STDMETHODIMP ToolBarNode::get_ToolBarID(LONG* rhs) noexcept { return Read<LONG>(toolbar_id_, rhs); }

STDMETHODIMP ToolBarNode::put_Checked(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        checked_ = rhs;
        ForwardBool(host::id::kChecked, rhs != VARIANT_FALSE);
    });
}
STDMETHODIMP ToolBarNode::get_Checked(VARIANT_BOOL* rhs) noexcept { return Read(checked_, rhs); }

STDMETHODIMP ToolBarNode::put_Enabled(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        enabled_ = rhs;
        ForwardBool(host::id::kEnabled, rhs != VARIANT_FALSE);
    });
}
STDMETHODIMP ToolBarNode::get_Enabled(VARIANT_BOOL* rhs) noexcept { return Read(enabled_, rhs); }

STDMETHODIMP ToolBarNode::put_Visible(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        visible_ = rhs;
        ForwardBool(host::id::kVisible, rhs != VARIANT_FALSE);
    });
}
STDMETHODIMP ToolBarNode::get_Visible(VARIANT_BOOL* rhs) noexcept { return Read(visible_, rhs); }

}  // namespace zuv
