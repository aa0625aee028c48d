// xToolBarCollection: the Buttons of an xToolBar node.  A keyed collection
// whose Item takes positions from 1 and keys as they are, with no mapping.
#pragma once

#include "core/node_collection.h"
#include "zuvXCHandler.h"

namespace zuv {

class ToolBarCollection final : public NodeCollection<ToolBarCollection, _xToolBarCollection, _xToolBar> {
public:
    static constexpr const wchar_t* kSource = L"zuvXCHandler.xToolBarCollection";
    IndexKey MapIndex(const VARIANT& index) { return ReadIndexKey(index); }
    long MapPosition(short index) const noexcept { return index; }
};

}  // namespace zuv
