// xMenuCollection: the keyed collection behind a node's SubMenus and
// ArrayMenu.  Not creatable by hosts; each node makes its own two.
#pragma once

#include <optional>
#include <vector>

#include "core/node_collection.h"
#include "menu_internal.h"
#include "zuvXCHandler.h"

namespace zuv {

class MenuCollection final
    : public NodeCollection<MenuCollection, _xMenuCollection, _xMenu, IMenuCollectionInternal> {
public:
    static constexpr const wchar_t* kSource = L"zuvXCHandler.xMenuCollection";

    MenuCollection* STDMETHODCALLTYPE Self(const void* module_tag) noexcept override;
    // Every entry, in order (Nothing entries included).
    std::vector<ComPtr<_xMenu>> Entries() const { return list_.Snapshot(); }
    // Takes these nodes out wherever they stand; the others move up.
    void RemoveNodes(const std::vector<_xMenu*>& nodes) { list_.RemoveItems(nodes); }

    // How Item reads its argument.  On the members of a rendered menu array
    // that counts from zero, a numeric argument names the position one
    // higher (so 0 is the first member); anywhere else a number is a
    // position from 1 and a string is a key.
    IndexKey MapIndex(const VARIANT& index);
    // The same for a 16-bit number (the walks' internal path).
    long MapPosition(short index) { return CountsFromZero() ? long{index} + 1 : index; }

private:
    // True when the first entry is a designed member of an array that counts
    // from zero.
    bool CountsFromZero();
    // The same when it can be told without calling into a host's object (no
    // first entry, or the first entry and its array both the component's
    // own); empty otherwise.
    std::optional<bool> CountsFromZeroWithoutCalls() const;
};

}  // namespace zuv
