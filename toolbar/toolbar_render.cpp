// Rendering a toolbar tree into a new toolbar of the host's command bars.
//
// The root itself is never rendered: it gives its buttons and the number
// the command IDs start from.  Every other node becomes one control (a
// plain button, or a button with a drop-down when it has children of its
// own), except separators, which only make their next sibling start a
// group.  One running ID, passed by reference through every level and to
// the host with every control added, numbers the rendered nodes in
// pre-order.
#include "core/bar_calls.h"
#include "core/handler.h"
#include "core/walk.h"
#include "frame/error.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv {

using namespace toolbar;

namespace {

// A node starts a group exactly when its immediately preceding sibling is
// a separator; the first node of a collection never does.
bool StartsGroup(_xToolBarCollection* siblings, long position) {
    if (position == 1) return false;
    return IsSeparator(tree::EntryAt<ToolBarNode>(siblings, position - 1).Get());
}

// The control of one node: the bar's controls (by dispatch id on the
// toolbar's own bar, by name below it), then the node's caption as it is
// now, then the control added there with the running ID by reference,
// checked to be `kind`.  Kept out of line so that the caption's copy takes
// stack in this frame only, not in every level of the recursive walk.
[[gnu::noinline]] ComPtr<IDispatch> AddControl(IDispatch* bar, _xToolBar* node, long type, long& running_id,
                                               bool top, REFIID kind) {
    ComPtr<IDispatch> controls = top ? bars::Controls(bar) : bars::ControlsByName(bar);
    bars::TextArg caption;
    tree::TextInto(node, &_xToolBar::get_Caption, caption);
    return top ? bars::AddToolBarControl(controls.Get(), type, running_id, caption.Get(), kind)
               : bars::AddControlByName(controls.Get(), type, running_id, caption.Get(), kind);
}

}  // namespace

STDMETHODIMP ToolBarNode::RenderToolBar(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept {
    return WithHostObject(CmdBars ? *CmdBars : nullptr, result, [&](IDispatch* command_bars) {
        // Counts too when a handler of this rendering's events starts another one.
        NestingGuard nesting(WalkDepth());
        RenderTopLevel(command_bars);
    });
}

// Adds the toolbar, configures it and renders the root's buttons onto it.
// Any error ends the whole rendering; what was already done stays.
void ToolBarNode::RenderTopLevel(IDispatch* command_bars) {
    ComPtr<IDispatch> bar = bars::AddToolBar(command_bars);
    bars::PutBool(bar.Get(), bars::id::kBarOption23, false);
    bars::PutBool(bar.Get(), bars::id::kBarOption24, false);
    bars::CallLongs(bar.Get(), bars::id::kBarSetFlags, bars::value::kBarFlags, bars::value::kBarFlags);
    bars::CallLong(bar.Get(), bars::id::kBarSetStyle, bars::value::kBarStyle);
    bars::PutBool(bar.Get(), bars::id::kBarOption33, false);
    long running_id = start_id_;
    Walk unused;
    RenderLevel(bar.Get(), Interface(), running_id, unused, Level::kTop);
}

// The render loop: the children of `owner` into `bar`, each followed by its
// own drop-down.  The top level (the toolbar's own bar) reaches the controls
// and adds them by dispatch id, styles its buttons, marks each node once its
// control is configured and gives each drop-down a walk of its own; the
// levels below go by member name, mark each node before it gets its Parent,
// and share one walk.  Both orders are the host protocol's: keep them.
void ToolBarNode::RenderLevel(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk, Level level) {
    const bool top = level == Level::kTop;
    ComPtr<_xToolBarCollection> entries = ButtonsOf(owner);
    const short count = tree::LoopBound(tree::CountOf(entries.Get()));
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xToolBar> entry = WalkEntry(entries.Get(), i);
        if (IsSeparator(entry.Get())) continue;
        const bool group_start = StartsGroup(entries.Get(), i);

        running_id = AddChecked(running_id, 1L);
        Number(entry.Get(), running_id);
        const bool drop_down = HasChildren(entry.Get());

        // The control for the node, checked to be the kind asked for: a popup
        // for a node with children, a button otherwise (error 13).
        const long type = drop_down ? bars::type::kDropDownButton : bars::type::kCommand;
        ComPtr<IDispatch> control =
            AddControl(bar, entry.Get(), type, running_id, top, drop_down ? bars::kIidPopup : bars::kIidButton);
        StoreControl(entry.Get(), control.Get(), drop_down);
        if (!top) MarkDesigned(entry.Get());
        SetUp(entry.Get(), owner, &_xToolBar::putref_Parent);

        CopyStates(entry.Get(), control.Get());
        if (top) bars::PutLong(control.Get(), bars::id::kTopLevelStyle, bars::value::kToolBarButtonStyle);
        bars::PutBool(control.Get(), bars::id::kGroupStart, group_start);
        if (top) MarkDesigned(entry.Get());

        if (drop_down) {
            ComPtr<IDispatch> drop_down_bar = bars::PopupCommandBar(control.Get());
            Walk own;
            RenderSubToolBar(drop_down_bar.Get(), entry.Get(), running_id, top ? own : walk);
            // Out of nesting room below: this branch is abandoned.
            if (!top && walk.out_of_room) return;
        }
    }
}

// One level below the top: an error ends only this level; it is reported
// on the root, and the caller goes on with its next node.
bool ToolBarNode::RenderSubToolBar(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk) noexcept {
    return Guarded([&] {
        WalkLevel level(walk, WalkDepth());
        RenderLevel(bar, owner, running_id, walk, Level::kBelow);
    });
}

}  // namespace zuv
