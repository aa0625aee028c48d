// The small steps every walk over a menu tree is made of.
#include "frame/error.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv::menu {

bool Flag(_xMenu* node, HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(VARIANT_BOOL*)) {
    return Read(node, getter) != VARIANT_FALSE;
}

Bstr Text(_xMenu* node, HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(BSTR*)) {
    if (!node) RaiseError(kErrObjectNotSet);
    Bstr text;
    Check((node->*getter)(text.Out()));
    return text;
}

ComPtr<_xMenuCollection> SubMenusOf(_xMenu* node) {
    if (!node) RaiseError(kErrObjectNotSet);
    ComPtr<_xMenuCollection> entries;
    Check(node->get_SubMenus(entries.Out()));
    return entries;
}

ComPtr<_xMenuCollection> ArrayMenuOf(_xMenu* node) {
    if (!node) RaiseError(kErrObjectNotSet);
    ComPtr<_xMenuCollection> members;
    Check(node->get_ArrayMenu(members.Out()));
    return members;
}

long CountOf(_xMenuCollection* entries) { return Read(entries, &_xMenuCollection::get_Count); }

bool HasSubMenus(_xMenu* node) { return CountOf(SubMenusOf(node).Get()) > 0; }

short LoopBound(long last) { return ToShort(last); }

ComPtr<_xMenu> StoredEntryAt(_xMenuCollection* entries, long index) {
    if (!entries) RaiseError(kErrObjectNotSet);
    // Item receives the index as a 16-bit integer.
    Variant key = Variant::Short(ToShort(index));
    ComPtr<_xMenu> entry;
    Check(entries->get_Item(*key.Get(), entry.Out()));
    return entry;
}

ComPtr<_xMenu> EntryAt(_xMenuCollection* entries, long index) {
    ComPtr<_xMenu> entry = StoredEntryAt(entries, index);
    if (!entry) {
        ComPtr<MenuNode> fresh = MenuNode::New();
        entry = fresh->Interface();
    }
    return entry;
}

IndexRange ArrayIndexes(_xMenu* array_node) {
    long count = CountOf(ArrayMenuOf(array_node).Get());
    if (Flag(array_node, &_xMenu::get_IsArrayBaseZero)) return IndexRange{0, LoopBound(count - 1)};
    return IndexRange{1, LoopBound(count)};
}

int& WalkDepth() noexcept {
    static thread_local int depth = 0;
    return depth;
}

}  // namespace zuv::menu
