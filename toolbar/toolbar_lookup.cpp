// Finding the node that carries a command ID, and raising its click event.
//
// The search runs depth-first in pre-order below the starting node, in
// collection order: a node is compared before its children, and its whole
// subtree is searched before its next sibling.  The first match wins.
#include "frame/error.h"
#include "core/handler.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv {

using namespace toolbar;

namespace {
long IdOf(_xToolBar* node) {
    long id = 0;
    Check(node->get_ID(&id));
    return id;
}
}  // namespace

// Searches the children of `start` and, through this node's public
// GetToolBarFromSubToolBar, the subtree of each child that has children.
ComPtr<_xToolBar> ToolBarNode::SearchBelow(_xToolBar* start, long id, Walk& walk) {
    WalkLevel level(walk, WalkDepth());
    ComPtr<_xToolBarCollection> buttons = ButtonsOf(start);
    const short count = LoopBound(buttons.Get());
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xToolBar> node = NodeAt(buttons.Get(), static_cast<short>(i));
        if (IdOf(node.Get()) == id) return node;
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

STDMETHODIMP ToolBarNode::GetToolBar(LONG ID, _xToolBar** result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = nullptr;
    return AtBoundary([&] {
        ComPtr<IUnknown> keep_alive(Unknown());
        ComPtr<_xToolBar> found;
        RunWithHandler(
            [&] {
                Walk walk;
                found = SearchBelow(Interface(), ID, walk);
            },
            [&](long number, const std::wstring& description) {
                if (number > 0) RaiseSystemError(number, description);
            });
        if (result) found.CopyTo(result);
    });
}

// Only the nodes below `objToolbar` are searched; this node only receives
// the recursive calls and the error event.
STDMETHODIMP ToolBarNode::GetToolBarFromSubToolBar(_xToolBar** objToolbar, LONG ID, _xToolBar** result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = nullptr;
    return AtBoundary([&] {
        ComPtr<IUnknown> keep_alive(Unknown());
        ComPtr<_xToolBar> start(objToolbar ? *objToolbar : nullptr);
        ComPtr<_xToolBar> found;
        Walk own_walk;
        Walk& walk = HandOver::Take(own_walk);
        RunWithHandler(
            [&] { found = SearchBelow(start.Get(), ID, walk); },
            [&](long number, const std::wstring& description) {
                if (number > 0) RaiseSystemError(number, description);
            });
        if (result) found.CopyTo(result);
    });
}

// Raises ButtonClick with the given node when this node (not the given
// one) is enabled and visible.  No handler: a failure goes to the caller.
STDMETHODIMP ToolBarNode::RaiseClickEvent(_xToolBar* objIco, VARIANT* result) noexcept {
    if (!result) return E_POINTER;
    if (result) VariantInit(result);
    return AtBoundary([&] {
        ComPtr<IUnknown> keep_alive(Unknown());
        // A click handler that clicks again without end fails here (error
        // 28) instead of exhausting the stack.
        NestingGuard nesting(WalkDepth());
        const bool enabled = ReadFlag(Interface(), &_xToolBar::get_Enabled);
        const bool visible = ReadFlag(Interface(), &_xToolBar::get_Visible);
        if (enabled && visible) RaiseButtonClick(objIco);
    });
}

}  // namespace zuv
