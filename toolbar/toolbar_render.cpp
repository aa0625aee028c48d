// Rendering a toolbar tree into a new toolbar of the host's command bars.
//
// The root itself is never rendered: it gives its buttons and the number
// the command IDs start from.  Every other node becomes one control (a
// plain button, or a button with a drop-down when it has children of its
// own), except separators, which only make their next sibling start a
// group.  One running ID, passed by reference through every level and to
// the host with every control added, numbers the rendered nodes in
// pre-order.
#include "frame/error.h"
#include "core/handler.h"
#include "core/host_calls.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv {

using namespace toolbar;

namespace {

// Control types of the toolbar.
long ControlType(bool drop_down) { return drop_down ? host::type::kDropDownButton : host::type::kCommand; }

// Adds the control for one node and checks that the host handed back the
// kind asked for: a popup for a node with children, a button otherwise
// (error 13 when it did not).  The top level goes by dispatch id and adds a
// fourth argument; the levels below go by member name.
ComPtr<IDispatch> AddNodeControl(IDispatch* controls, bool top_level, bool drop_down, long& running_id,
                                 BSTR caption) {
    Variant control = host::AddControl(controls, /*by_name=*/!top_level, ControlType(drop_down), &running_id, 0,
                                       caption, /*extra_false=*/top_level);
    return host::Cast(control, drop_down ? host::kIidPopup : host::kIidButton);
}

// Gives the node the control made for it.  The control was obtained from
// the host through exactly the interface named here.  The component's own
// node drops a control of the other role.
void StoreControl(_xToolBar* node, IDispatch* control, bool drop_down) {
    if (drop_down) Check(node->putref_CmdBarPopup(static_cast<ICommandBarPopup*>(control)));
    else Check(node->putref_CmdBarButton(static_cast<ICommandBarButton*>(control)));
    if (ToolBarNode* own = OwnNode(node)) own->KeepOnlyRole(drop_down);
}

// Gives a node its number.  One of the component's own nodes forwards it
// to the control of an earlier rendering without failing on it (see
// SetRenderedId); a host's own node is numbered through its ID property.
void Number(_xToolBar* node, long id) {
    if (ToolBarNode* own = OwnNode(node)) own->SetRenderedId(id);
    else Check(node->put_ID(id));
}

// Marks a node rendered.  Only the component's own nodes carry the flag; a
// host's own implementation of the interface cannot take it (error 13).
void MarkDesigned(_xToolBar* node) {
    ToolBarNode* own = OwnNode(node);
    if (!own) RaiseError(kErrTypeMismatch);
    own->SetToolBarDesigned(true);
}

// The node's states, put on its control in this order.
void PutStates(IDispatch* control, _xToolBar* node) {
    host::PutBool(control, host::id::kChecked, ReadFlag(node, &_xToolBar::get_Checked));
    host::PutBool(control, host::id::kEnabled, ReadFlag(node, &_xToolBar::get_Enabled));
    host::PutBool(control, host::id::kVisible, ReadFlag(node, &_xToolBar::get_Visible));
}

Bstr CaptionOf(_xToolBar* node) {
    Bstr caption;
    Check(node->get_Caption(caption.Out()));
    return caption;
}

// A node starts a group exactly when its immediately preceding sibling is
// a separator; the first node of a collection never does.
bool StartsGroup(_xToolBarCollection* siblings, short position) {
    if (position == 1) return false;
    return IsSeparator(NodeAt(siblings, static_cast<short>(position - 1)).Get());
}

}  // namespace

STDMETHODIMP ToolBarNode::RenderToolBar(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = VARIANT_FALSE;
    return AtBoundary([&] {
        ComPtr<IUnknown> keep_alive(Unknown());   // a handler may release the root
        IDispatch* command_bars = CmdBars ? *CmdBars : nullptr;
        if (!command_bars) {
            RaiseCustomError(xToolBarCustomErrorNo_ObjectNotCreated, L"Object Not Created", L"");
            return;
        }
        bool rendered = RunWithHandler(
            [&] {
                // Counts too when a handler of this rendering's events starts another one.
                NestingGuard nesting(WalkDepth());
                RenderTopLevel(command_bars);
            },
            [&](long number, const std::wstring& description) { RaiseSystemError(number, description); });
        if (result) *result = ToVB(rendered);
    });
}

// Adds the toolbar, configures it and renders the root's buttons onto it.
// Any error ends the whole rendering; what was already done stays.
void ToolBarNode::RenderTopLevel(IDispatch* command_bars) {
    ComPtr<IDispatch> bar = host::AddToolBar(command_bars);
    host::PutBool(bar.Get(), host::id::kBarFlagA, false);
    host::PutBool(bar.Get(), host::id::kBarFlagB, false);
    host::CallLongs(bar.Get(), host::id::kBarSetFlags, host::value::kBarFlags, host::value::kBarFlags);
    host::CallLong(bar.Get(), host::id::kBarSetStyle, host::value::kBarStyle);
    host::PutBool(bar.Get(), host::id::kBarFlagToolBar, false);

    ComPtr<_xToolBarCollection> buttons = ButtonsOf(Interface());
    const short count = LoopBound(buttons.Get());
    long running_id = start_id_;

    // The counter is wider than the bound, so a collection of exactly
    // 32767 entries ends without overflowing it.
    for (long i = 1; i <= count; ++i) {
        const short position = static_cast<short>(i);
        ComPtr<_xToolBar> button = NodeAt(buttons.Get(), position);
        if (IsSeparator(button.Get())) continue;
        const bool group_start = StartsGroup(buttons.Get(), position);

        running_id = AddChecked(running_id, 1L);
        Number(button.Get(), running_id);
        const bool drop_down = HasChildren(button.Get());

        ComPtr<IDispatch> controls = host::Controls(bar.Get());
        ComPtr<IDispatch> control =
            AddNodeControl(controls.Get(), /*top_level=*/true, drop_down, running_id, CaptionOf(button.Get()).Get());
        StoreControl(button.Get(), control.Get(), drop_down);
        Check(button->putref_Parent(Interface()));

        PutStates(control.Get(), button.Get());
        host::PutLong(control.Get(), host::id::kTopLevelStyle, host::value::kToolBarButtonStyle);
        host::PutBool(control.Get(), host::id::kGroupStart, group_start);
        MarkDesigned(button.Get());

        if (drop_down) {
            ComPtr<IDispatch> drop_down_bar = host::PopupCommandBar(control.Get());
            Walk walk;
            RenderSubToolBar(drop_down_bar.Get(), button.Get(), running_id, walk);
        }
    }
}

// Renders the children of `owner` into the command bar of its drop-down,
// and theirs below them.  An error ends only this level: it is reported on
// the root, and the caller goes on with its next node.
bool ToolBarNode::RenderSubToolBar(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk) noexcept {
    return RunWithHandler(
        [&] {
            WalkLevel level(walk, WalkDepth());
            ComPtr<_xToolBarCollection> entries = ButtonsOf(owner);
            const short count = LoopBound(entries.Get());

            for (long j = 1; j <= count; ++j) {
                const short position = static_cast<short>(j);
                ComPtr<_xToolBar> entry = NodeAt(entries.Get(), position);
                if (IsSeparator(entry.Get())) continue;
                const bool group_start = StartsGroup(entries.Get(), position);

                running_id = AddChecked(running_id, 1L);
                Number(entry.Get(), running_id);
                const bool drop_down = HasChildren(entry.Get());

                ComPtr<IDispatch> controls = host::ControlsByName(bar);
                ComPtr<IDispatch> control = AddNodeControl(controls.Get(), /*top_level=*/false, drop_down,
                                                           running_id, CaptionOf(entry.Get()).Get());
                StoreControl(entry.Get(), control.Get(), drop_down);
                MarkDesigned(entry.Get());
                Check(entry->putref_Parent(owner));

                PutStates(control.Get(), entry.Get());
                host::PutBool(control.Get(), host::id::kGroupStart, group_start);

                if (drop_down) {
                    ComPtr<IDispatch> drop_down_bar = host::PopupCommandBar(control.Get());
                    RenderSubToolBar(drop_down_bar.Get(), entry.Get(), running_id, walk);
                    // Out of nesting room below: this branch is abandoned.
                    if (walk.out_of_room) return;
                }
            }
        },
        [&](long number, const std::wstring& description) { RaiseSystemError(number, description); });
}

}  // namespace zuv
