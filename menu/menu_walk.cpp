// The steps of the walks over a menu tree that are the menu's own.
#include "core/walk.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv::menu {

ComPtr<_xMenuCollection> SubMenusOf(_xMenu* node) { return tree::Ref(node, &_xMenu::get_SubMenus); }

ComPtr<_xMenuCollection> ArrayMenuOf(_xMenu* node) { return tree::Ref(node, &_xMenu::get_ArrayMenu); }

bool HasChildren(_xMenu* node) {
    // A collection never made is empty: it is not made to be counted.
    if (auto* own = tree::Own(node); own && !own->ChildrenMade()) return false;
    return tree::CountOf(SubMenusOf(node).Get()) > 0;
}

ComPtr<_xMenu> StoredEntryAt(_xMenuCollection* entries, long index) {
    return tree::StoredEntryAt(entries, index, &_xMenuCollection::get_Item);
}

ComPtr<_xMenu> EntryAt(_xMenuCollection* entries, long index) { return tree::EntryAt<MenuNode>(entries, index); }

ComPtr<_xMenu> WalkEntry(_xMenu* node, long position) {
    ComPtr<_xMenuCollection> entries = SubMenusOf(node);
    tree::PrefetchEntry<MenuNode>(entries.Get(), position + 1);
    return EntryAt(entries.Get(), position);
}

IndexRange ArrayIndexes(_xMenu* array_node) {
    long count = tree::CountOf(ArrayMenuOf(array_node).Get());
    if (tree::Flag(array_node, &_xMenu::get_IsArrayBaseZero)) return IndexRange{0, tree::LoopBound(count - 1)};
    return IndexRange{1, tree::LoopBound(count)};
}

}  // namespace zuv::menu
