// The xToolBar node: creation, the identifiers it still answers, and the
// properties that are the toolbar's own.
#include "toolbar_node.h"

#include "core/bar_calls.h"
#include "core/lifetime.h"
#include "frame/error.h"
#include "toolbar_collection.h"

namespace zuv {

HRESULT CreateToolBarNode(REFIID iid, void** object) noexcept { return ToolBarNode::Create(iid, object); }

void* ToolBarNode::QueryExtra(REFIID riid) noexcept {
    // The earlier identifier names the same function table.
    if (riid == kIidToolBarV0) return static_cast<_xToolBar*>(this);
    return nullptr;
}

void ToolBarNode::ReleaseChildren() noexcept { DeferredRelease(buttons_); }

STDMETHODIMP ToolBarNode::InterfaceSupportsErrorInfo(REFIID iid) noexcept {
    return (iid == __uuidof(_xToolBar) || iid == kIidToolBarV0) ? S_OK : S_FALSE;
}

// The pressed state drives the control's checked state: any number but 0
// is pressed.  Checked keeps its own field.
STDMETHODIMP ToolBarNode::put_Value(xToolBarValue rhs) noexcept {
    return AtBoundary([&] {
        value_ = rhs;
        Forward(bars::id::kChecked, Variant::Bool(value_ != 0));
    });
}

// Sent by name: the control's member is looked up at the time of the call.
STDMETHODIMP ToolBarNode::put_ToolBarID(LONG rhs) noexcept {
    return AtBoundary([&] {
        toolbar_id_ = rhs;
        if (ComPtr<IDispatch> target = ForwardTarget()) bars::PutToolBarID(target.Get(), rhs);
    });
}

}  // namespace zuv
