// Listing every node below a node into a host's collection, in tree order.
#include "frame/error.h"
#include "core/handler.h"
#include "core/host_calls.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv {
namespace {

// Appends a node to the caller's list through its own late-bound Add, with
// the node's key when it has one; the list's refusal (a key it already
// holds) is raised as the list reports it.
void AppendToList(IDispatch* list, _xMenu* node, const Bstr& key) {
    DISPID add = host::Resolve(list, L"Add");
    Variant args[] = {Variant::Object(node), Variant()};
    UINT count = 1;
    if (!key.Empty()) {
        args[1] = Variant::String(key.Get());
        count = 2;
    }
    host::Call(list, add, args[0].Get(), count);
}

}  // namespace

STDMETHODIMP MenuNode::GetMenuList(_Collection** MenuList, VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    if (result) *result = VARIANT_FALSE;
    return AtBoundary([&] {
        ComPtr<IDispatch> list(MenuList ? *MenuList : nullptr);
        if (!list) {
            RaiseCustomError(xMenuCustomErrorNo_ObjectNotCreated, L"Object Not Created", L"");
            return;
        }
        // Any error, at any depth, ends the whole listing; what was appended
        // stays in the list.
        menu::Walk walk;
        bool listed = RunWithHandler([&] { AddSubMenusToList(list.Get(), this, walk); },
                                     [&](long number, const std::wstring& description) {
                                         RaiseSystemError(number, description);
                                     });
        if (result) *result = ToVB(listed);
    });
}

// Each node is appended before its own sub-menus, and its sub-tree is
// complete before its next sibling follows.  Array members are not listed.
void MenuNode::AddSubMenusToList(IDispatch* list, _xMenu* parent, menu::Walk& walk) {
    menu::WalkLevel level(walk);
    short count = menu::LoopBound(menu::CountOf(menu::SubMenusOf(parent).Get()));
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xMenu> node = menu::EntryAt(menu::SubMenusOf(parent).Get(), i);
        AppendToList(list, node.Get(), menu::Text(node.Get(), &_xMenu::get_Key));
        if (menu::HasSubMenus(node.Get())) AddSubMenusToList(list, node.Get(), walk);
    }
}

}  // namespace zuv
