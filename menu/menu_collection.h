// xMenuCollection: the keyed collection behind a node's SubMenus and
// ArrayMenu.  Not creatable by hosts; each node makes its own two.
#pragma once

#include "core/node_collection.h"
#include "zuvXCHandler.h"

namespace zuv {

class MenuCollection final : public NodeCollection<MenuCollection, _xMenuCollection, _xMenu> {
public:
    static constexpr const wchar_t* kSource = L"zuvXCHandler.xMenuCollection";

    // A new, empty collection.
    static ComPtr<_xMenuCollection> New();

    // How Item reads its argument.  On the members of a rendered menu array
    // that counts from zero, a numeric argument names the position one
    // higher (so 0 is the first member); anywhere else a number is a
    // position from 1 and a string is a key.
    IndexKey MapIndex(const VARIANT& index);

private:
    // True when the first entry is a designed member of an array that counts
    // from zero.
    bool CountsFromZero();
};

}  // namespace zuv
