#include "menu_node.h"

#include "core/bar_calls.h"
#include "core/handler.h"
#include "core/lifetime.h"
#include "core/walk.h"
#include "frame/error.h"
#include "menu_collection.h"

namespace zuv {
namespace {

// The largest run of entries a menu array may generate.
constexpr short kMaxArrayCount = 100;

}  // namespace

HRESULT CreateMenuNode(REFIID iid, void** object) noexcept { return MenuNode::Create(iid, object); }

void MenuNode::ReleaseChildren() noexcept {
    DeferredRelease(sub_menus_);
    DeferredRelease(array_menu_);
}

// Turning the window-list mark on gives the control the window list's fixed
// command ID; turning it off gives the control back the node's own ID, the
// one GetMenu finds the node by.
STDMETHODIMP MenuNode::put_WindowsList(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        windows_list_ = rhs != VARIANT_FALSE;
        Forward(bars::id::kId, Variant::Long(rhs ? menu::kWindowsListId : id_));
    });
}

STDMETHODIMP MenuNode::put_ArrayCount(short rhs) noexcept {
    return AtBoundary([&] {
        if (rhs > kMaxArrayCount) {
            RaiseCustomError(kCustomArrayCountOverflow, L"MRU List Count Overflow", L"");
            return;
        }
        array_count_ = rhs;
    });
}

// Count: the visible members of a menu array.
STDMETHODIMP MenuNode::get_Count(short* rhs) noexcept {
    if (rhs) *rhs = -1;
    return AtBoundary([&] {
        short count = -1;
        Guarded([&] {
            if (!is_array_) return;
            menu::IndexRange range = menu::ArrayIndexes(this);
            count = 0;
            for (long j = range.first; j <= range.last; ++j) {
                // An empty member is Nothing here (error 91).
                ComPtr<_xMenu> member = menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), j);
                if (tree::Flag(member.Get(), &_xMenu::get_Visible)) count = AddChecked(count, short{1});
            }
        });
        if (!rhs) RaiseError(kErrInvalidCall);
        *rhs = count;
    });
}

}  // namespace zuv
