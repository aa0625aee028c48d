// What the menu code shares internally: the private interface by which the
// component recognises its own xMenu nodes, and the small steps that every
// walk over a menu tree is made of.  Nothing here is visible to hosts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/handler.h"
#include "core/node_base.h"
#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv {

class MenuNode;
class MenuCollection;

// Answered only by this module's own xMenu nodes.  The component asks a node
// for it before any operation that needs the node's inside (marking it
// designed); a host's object that merely implements _xMenu does not answer
// it and is driven through its public interface only.
struct IMenuNodeInternal : public IUnknown {
    // The node itself when `module_tag` is this module's tag, else null: an
    // object of another copy of the component is treated as a foreign one.
    virtual MenuNode* STDMETHODCALLTYPE Self(const void* module_tag) noexcept = 0;
};

// The same for this module's own menu collections: rendering tidies a menu
// array's ArrayMenu only when the collection is one of these; a host's own
// collection is left as the host keeps it.
struct IMenuCollectionInternal : public IUnknown {
    virtual MenuCollection* STDMETHODCALLTYPE Self(const void* module_tag) noexcept = 0;
};

}  // namespace zuv

// {43C30274-96A1-47C4-AF79-90AF452A20A3}
__CRT_UUID_DECL(zuv::IMenuNodeInternal, 0x43c30274, 0x96a1, 0x47c4, 0xaf, 0x79, 0x90, 0xaf, 0x45, 0x2a, 0x20, 0xa3)
// {53489310-81EA-4B14-9DAC-1D6AB3EA8FA6}
__CRT_UUID_DECL(zuv::IMenuCollectionInternal, 0x53489310, 0x81ea, 0x4b14, 0x9d, 0xac, 0x1d, 0x6a, 0xb3, 0xea, 0x8f,
                0xa6)

// The classes the walks read straight from (see core/walk.h).
namespace zuv::tree {
template <> struct OwnClass<_xMenu> : OwnClassIs<MenuNode> {};
template <> struct OwnClass<_xMenuCollection> : OwnClassIs<MenuCollection> {};
}  // namespace zuv::tree

namespace zuv::menu {

// The command ID of every window-list entry, whatever number it used up.
constexpr long kWindowsListId = 35000;

// The collection behind an interface pointer when it is one of ours, else
// null.  The result stays valid while the caller holds `object`.
inline MenuCollection* OwnCollection(IUnknown* object) noexcept {
    return OwnObject<IMenuCollectionInternal>(object);
}

// --- Steps of the walks over a menu tree (see core/walk.h) ------------------
// The menu's walks read a node's SubMenus afresh for every entry they fetch,
// the toolbar's read Buttons once per level: a host's own node sees each
// read, so each family keeps its own order.

ComPtr<_xMenuCollection> SubMenusOf(_xMenu* node);
ComPtr<_xMenuCollection> ArrayMenuOf(_xMenu* node);
// The node has at least one entry in its SubMenus.
bool HasChildren(_xMenu* node);

// The entry that Item gives for a 16-bit position or array index, as it is
// stored: an empty entry is Nothing (error 91 on its first read).
ComPtr<_xMenu> StoredEntryAt(_xMenuCollection* entries, long index);
// The same for the walks (rendering, lookup, listing): an empty entry gives
// a fresh default node for this one step.
ComPtr<_xMenu> EntryAt(_xMenuCollection* entries, long index);
// A walk's step: the entry at `position` of the node's SubMenus, read afresh,
// with the entry after it asked for in advance (tree::PrefetchEntry).
ComPtr<_xMenu> WalkEntry(_xMenu* node, long position);

// The array indexes of a menu array's members: 0 to Count - 1 when the array
// counts from zero, 1 to Count otherwise, Count being what its ArrayMenu
// holds.
struct IndexRange {
    long first;
    short last;
};
IndexRange ArrayIndexes(_xMenu* array_node);

}  // namespace zuv::menu
