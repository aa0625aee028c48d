// Finding a node by its command ID, and a node reporting its click.
#include "frame/error.h"
#include "core/handler.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv {

using menu::Flag;
using menu::Read;

// The searches report only errors numbered above zero.
void MenuNode::ReportSearchError(long number, const std::wstring& description) noexcept {
    if (number > 0) RaiseSystemError(number, description);
}

// Searches the tree below this node, depth first and in collection order;
// this node's own ID is not compared.
STDMETHODIMP MenuNode::GetMenu(LONG ID, _xMenu** result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = nullptr;
    return AtBoundary([&] {
        ComPtr<_xMenu> found;
        RunWithHandler(
            [&] {
                short count = menu::LoopBound(menu::CountOf(menu::SubMenusOf(this).Get()));
                for (long i = 1; i <= count; ++i) {
                    ComPtr<_xMenu> node = menu::EntryAt(menu::SubMenusOf(this).Get(), i);
                    if (Read(node.Get(), &_xMenu::get_ID) == ID) {
                        found = node;
                        return;
                    }
                    if (menu::HasSubMenus(node.Get())) {
                        menu::Walk walk;
                        found = SearchBelow(node.Get(), ID, walk);
                        if (found) return;
                    }
                }
            },
            [&](long number, const std::wstring& description) {
                found = nullptr;
                ReportSearchError(number, description);
            });
        if (result) found.CopyTo(result);
    });
}

STDMETHODIMP MenuNode::GetMenuFromSubMenu(_xMenu** objMenu, LONG ID, _xMenu** result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = nullptr;
    return AtBoundary([&] {
        ComPtr<_xMenu> start(objMenu ? *objMenu : nullptr);
        menu::Walk walk;
        ComPtr<_xMenu> found = SearchBelow(start.Get(), ID, walk);
        if (result) found.CopyTo(result);
    });
}

// One level of the search: the entries below `start`, each followed by the
// members of a menu array and then by its own sub-tree.  An error ends this
// level only (reported on this node, Nothing to the caller, who goes on with
// its next entry).
ComPtr<_xMenu> MenuNode::SearchBelow(_xMenu* start, long id, menu::Walk& walk) noexcept {
    ComPtr<_xMenu> found;
    RunWithHandler(
        [&] {
            menu::WalkLevel level(walk);
            short count = menu::LoopBound(menu::CountOf(menu::SubMenusOf(start).Get()));
            for (long i = 1; i <= count; ++i) {
                ComPtr<_xMenu> node = menu::EntryAt(menu::SubMenusOf(start).Get(), i);
                if (Read(node.Get(), &_xMenu::get_ID) == id) {
                    found = node;
                    return;
                }
                // An array's generated members come right after it; their own
                // sub-menus are not searched.
                if (Flag(node.Get(), &_xMenu::get_IsArray)) {
                    menu::IndexRange range = menu::ArrayIndexes(node.Get());
                    for (long j = range.first; j <= range.last; ++j) {
                        ComPtr<_xMenu> member = menu::EntryAt(menu::ArrayMenuOf(node.Get()).Get(), j);
                        if (Read(member.Get(), &_xMenu::get_ID) == id) {
                            found = member;
                            return;
                        }
                    }
                }
                if (menu::HasSubMenus(node.Get())) {
                    found = SearchBelow(node.Get(), id, walk);
                    // Out of nesting room below: this branch is abandoned.
                    if (found || walk.out_of_room) return;
                }
            }
        },
        [&](long number, const std::wstring& description) {
            found = nullptr;
            ReportSearchError(number, description);
        });
    return found;
}

// Raises Click, or ArrayClick for an index of 0 or more, when the node (for
// a menu array: the addressed member) is enabled and visible.
STDMETHODIMP MenuNode::RaiseClickEvent(short Index, VARIANT* result) noexcept {
    if (!result) return E_POINTER;
    if (result) VariantInit(result);
    return AtBoundary([&] {
        RunWithHandler(
            [&] {
                // A click handler that clicks again without end is stopped
                // here (error 28, reported like any other) instead of
                // exhausting the stack.
                menu::Walk walk;
                menu::WalkLevel level(walk);
                bool raise;
                if (is_array_) {
                    // The member is fetched once for each of the two reads.
                    // An empty member is Nothing here (error 91), not a
                    // default node: only the walks substitute one.
                    bool enabled = Flag(menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), Index).Get(),
                                        &_xMenu::get_Enabled);
                    bool visible = Flag(menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), Index).Get(),
                                        &_xMenu::get_Visible);
                    raise = enabled && visible;
                } else {
                    raise = enabled_ && visible_;
                }
                if (!raise) return;
                if (Index >= 0) RaiseArrayClick(Index);
                else RaiseClick();
            },
            [&](long number, const std::wstring& description) { RaiseSystemError(number, description); });
    });
}

}  // namespace zuv
