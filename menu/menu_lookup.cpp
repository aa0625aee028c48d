// Finding a node by its command ID, and a node reporting its click.
#include "core/handler.h"
#include "core/walk.h"
#include "frame/error.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv {

// Searches the tree below this node, depth first and in collection order;
// this node's own ID is not compared.  An error at the top level ends the
// whole search.
STDMETHODIMP MenuNode::GetMenu(LONG ID, _xMenu** result) noexcept {
    if (!result) return E_POINTER;
    *result = nullptr;
    return AtBoundary([&] {
        ComPtr<_xMenu> found;
        Walk unused;
        Guarded([&] { found = SearchLevel(this, ID, unused, Level::kTop); }, Report::kAboveZero);
        found.CopyTo(result);
    });
}

STDMETHODIMP MenuNode::GetMenuFromSubMenu(_xMenu** objMenu, LONG ID, _xMenu** result) noexcept {
    if (!result) return E_POINTER;
    *result = nullptr;
    return AtBoundary([&] {
        ComPtr<_xMenu> start(objMenu ? *objMenu : nullptr);
        Walk walk;
        SearchBelow(start.Get(), ID, walk).CopyTo(result);
    });
}

// The search loop over the entries of `start`: each entry is compared, then
// (below the top level) the members of a menu array, then its own sub-tree.
// The top level searches no array members (rendering makes arrays only
// below it) and gives each entry's sub-tree a walk of its own; below it,
// the walk is shared and running out of nesting room ends it.
ComPtr<_xMenu> MenuNode::SearchLevel(_xMenu* start, long id, Walk& walk, Level level) {
    short count = tree::LoopBound(tree::CountOf(menu::SubMenusOf(start).Get()));
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xMenu> node = menu::WalkEntry(start, i);
        if (tree::Read(node.Get(), &_xMenu::get_ID) == id) return node;
        // An array's generated members come right after it; their own
        // sub-menus are not searched.
        if (level == Level::kBelow && tree::Flag(node.Get(), &_xMenu::get_IsArray)) {
            menu::IndexRange range = menu::ArrayIndexes(node.Get());
            for (long j = range.first; j <= range.last; ++j) {
                ComPtr<_xMenu> member = menu::EntryAt(menu::ArrayMenuOf(node.Get()).Get(), j);
                if (tree::Read(member.Get(), &_xMenu::get_ID) == id) return member;
            }
        }
        if (menu::HasChildren(node.Get())) {
            Walk own;
            Walk& below = level == Level::kTop ? own : walk;
            ComPtr<_xMenu> found = SearchBelow(node.Get(), id, below);
            // Out of nesting room below: this branch is abandoned.
            if (found || (level == Level::kBelow && walk.out_of_room)) return found;
        }
    }
    return nullptr;
}

// One level below the top: an error ends this level only (reported on this
// node, Nothing to the caller, who goes on with its next entry).
ComPtr<_xMenu> MenuNode::SearchBelow(_xMenu* start, long id, Walk& walk) noexcept {
    ComPtr<_xMenu> found;
    Guarded(
        [&] {
            WalkLevel level(walk, WalkDepth());
            found = SearchLevel(start, id, walk, Level::kBelow);
        },
        Report::kAboveZero);
    return found;
}

// Raises Click, or ArrayClick for an index of 0 or more, when the node (for
// a menu array: the addressed member) is enabled and visible.
STDMETHODIMP MenuNode::RaiseClickEvent(short Index, VARIANT* result) noexcept {
    if (!result) return E_POINTER;
    VariantInit(result);
    return AtBoundary([&] {
        Guarded([&] {
            // A click handler that clicks again without end is stopped here
            // (error 28, reported like any other) instead of exhausting the
            // stack.
            NestingGuard nesting(WalkDepth());
            bool raise;
            if (is_array_) {
                // The member is fetched once for each of the two reads.  An
                // empty member is Nothing here (error 91), not a default
                // node: only the walks substitute one.
                bool enabled = tree::Flag(menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), Index).Get(),
                                          &_xMenu::get_Enabled);
                bool visible = tree::Flag(menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), Index).Get(),
                                          &_xMenu::get_Visible);
                raise = enabled && visible;
            } else {
                raise = enabled_ && visible_;
            }
            if (!raise) return;
            if (Index >= 0) {
                Variant arg = Variant::Short(Index);
                FireEvent(L"ArrayClick", arg.Get(), 1);
            } else {
                FireEvent(L"Click", nullptr, 0);
            }
        });
    });
}

}  // namespace zuv
