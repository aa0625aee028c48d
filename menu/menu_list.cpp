// Listing every node below a node into a host's collection, in tree order.
#include "core/bar_calls.h"
#include "core/handler.h"
#include "core/walk.h"
#include "frame/error.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv {
namespace {

// Appends a node to the caller's list through its own late-bound Add, with
// the node's key when it has one; the list's refusal (a key it already
// holds) is raised as the list reports it.
void AppendToList(IDispatch* list, _xMenu* node, const Bstr& key) {
    DISPID add = bars::Resolve(list, L"Add");
    Variant args[] = {Variant::Object(node), Variant()};
    UINT count = 1;
    if (!key.Empty()) {
        args[1] = Variant::String(key.Get());
        count = 2;
    }
    bars::Call(list, add, args[0].Get(), count);
}

}  // namespace

// Any error, at any depth, ends the whole listing; what was appended stays
// in the list.
STDMETHODIMP MenuNode::GetMenuList(_Collection** MenuList, VARIANT_BOOL* result) noexcept {
    return WithHostObject(MenuList ? *MenuList : nullptr, result, [&](IDispatch* list) {
        Walk walk;
        AddSubMenusToList(list, this, walk);
    });
}

// Each node is appended before its own sub-menus, and its sub-tree is
// complete before its next sibling follows.  Array members are not listed.
void MenuNode::AddSubMenusToList(IDispatch* list, _xMenu* parent, Walk& walk) {
    WalkLevel level(walk, WalkDepth());
    short count = tree::LoopBound(tree::CountOf(menu::SubMenusOf(parent).Get()));
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xMenu> node = menu::EntryAt(menu::SubMenusOf(parent).Get(), i);
        AppendToList(list, node.Get(), tree::Text(node.Get(), &_xMenu::get_Key));
        if (menu::HasChildren(node.Get())) AddSubMenusToList(list, node.Get(), walk);
    }
}

}  // namespace zuv
