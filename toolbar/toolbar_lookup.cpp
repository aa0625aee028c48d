// Finding the node that carries a command ID, and raising its click event.
//
// The search runs depth-first in pre-order below the starting node, in
// collection order: a node is compared before its children, and its whole
// subtree is searched before its next sibling.  The first match wins.
#include "core/handler.h"
#include "core/walk.h"
#include "frame/error.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv {

using namespace toolbar;

// The search loop: the children of `start` and, through this node's public
// GetToolBarFromSubToolBar, the subtree of each child that has children.
ComPtr<_xToolBar> ToolBarNode::SearchBelow(_xToolBar* start, long id, Walk& walk) {
    WalkLevel level(walk, WalkDepth());
    ComPtr<_xToolBarCollection> buttons = ButtonsOf(start);
    const short count = tree::LoopBound(tree::CountOf(buttons.Get()));
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xToolBar> node = WalkEntry(buttons.Get(), i);
        if (tree::Read(node.Get(), &_xToolBar::get_ID) == id) return node;
        if (HasChildren(node.Get())) {
            _xToolBar* subtree = node.Get();
            ComPtr<_xToolBar> found;
            {
                HandOver pass(walk);
                Check(Interface()->GetToolBarFromSubToolBar(&subtree, id, found.Out()));
            }
            // Out of nesting room below: the whole lookup ends.
            if (found || walk.out_of_room) return found;
        }
    }
    return nullptr;
}

// The search below this node.
STDMETHODIMP ToolBarNode::GetToolBar(LONG ID, _xToolBar** result) noexcept {
    _xToolBar* self = Interface();
    return GetToolBarFromSubToolBar(&self, ID, result);
}

// Only the nodes below `objToolbar` are searched; this node receives the
// recursive calls and the error event.
STDMETHODIMP ToolBarNode::GetToolBarFromSubToolBar(_xToolBar** objToolbar, LONG ID, _xToolBar** result) noexcept {
    if (!result) return E_POINTER;
    *result = nullptr;
    return AtBoundary([&] {
        ComPtr<_xToolBar> start(objToolbar ? *objToolbar : nullptr);
        ComPtr<_xToolBar> found;
        Walk own_walk;
        Walk& walk = HandOver::Take(own_walk);
        Guarded([&] { found = SearchBelow(start.Get(), ID, walk); }, Report::kAboveZero);
        found.CopyTo(result);
    });
}

// Raises ButtonClick with the given node when this node (not the given
// one) is enabled and visible.  No handler: a failure goes to the caller.
STDMETHODIMP ToolBarNode::RaiseClickEvent(_xToolBar* objIco, VARIANT* result) noexcept {
    if (!result) return E_POINTER;
    VariantInit(result);
    return AtBoundary([&] {
        // A click handler that clicks again without end fails here (error
        // 28) instead of exhausting the stack.
        NestingGuard nesting(WalkDepth());
        const bool enabled = tree::Flag(Interface(), &_xToolBar::get_Enabled);
        const bool visible = tree::Flag(Interface(), &_xToolBar::get_Visible);
        if (!enabled || !visible) return;
        Variant arg = Variant::Object(objIco);
        FireEvent(L"ButtonClick", arg.Get(), 1);
    });
}

}  // namespace zuv
