// The generated header's C view of the interfaces: each function table is a
// struct of function pointers, in the same order as the C++ vtable.
#define CINTERFACE
#include <windows.h>

#include <cstring>

#include "vtable_layout.h"
#include "zuvXCHandler.h"

namespace zuv::test {

#define ZUV_SLOT(itf, kind, member, field) \
    HeaderSlot { #itf, kind, member, offsetof(itf##Vtbl, field) / sizeof(void*) }

std::vector<HeaderSlot> HeaderSlots() {
    return {
        ZUV_SLOT(_xMenu, "get", "SubMenus", get_SubMenus),
        ZUV_SLOT(_xMenu, "reserved", "", ReservedSubMenus),
        ZUV_SLOT(_xMenu, "putref", "SubMenus", putref_SubMenus),
        ZUV_SLOT(_xMenu, "get", "ArrayMenu", get_ArrayMenu),
        ZUV_SLOT(_xMenu, "reserved", "", ReservedArrayMenu),
        ZUV_SLOT(_xMenu, "putref", "ArrayMenu", putref_ArrayMenu),
        ZUV_SLOT(_xMenu, "put", "Caption", put_Caption),
        ZUV_SLOT(_xMenu, "method", "GetMenuList", GetMenuList),
        ZUV_SLOT(_xMenuCollection, "method", "Add", Add),
        ZUV_SLOT(_xMenuCollection, "get", "NewEnum", get_NewEnum),
        ZUV_SLOT(_xToolBar, "get", "Buttons", get_Buttons),
        ZUV_SLOT(_xToolBar, "reserved", "", ReservedButtons),
        ZUV_SLOT(_xToolBar, "putref", "Buttons", putref_Buttons),
        ZUV_SLOT(_xToolBar, "putref", "Parent", putref_Parent),
        ZUV_SLOT(_xToolBar, "get", "CmdBarPopup", get_CmdBarPopup),
        ZUV_SLOT(_xToolBarCollection, "method", "Add", Add),
        ZUV_SLOT(_xToolBarCollection, "get", "NewEnum", get_NewEnum),
    };
}

std::size_t HeaderEntries(const char* name) {
    if (!std::strcmp(name, "_xMenu")) return sizeof(_xMenuVtbl) / sizeof(void*);
    if (!std::strcmp(name, "_xMenuCollection")) return sizeof(_xMenuCollectionVtbl) / sizeof(void*);
    if (!std::strcmp(name, "_xToolBar")) return sizeof(_xToolBarVtbl) / sizeof(void*);
    if (!std::strcmp(name, "_xToolBarCollection")) return sizeof(_xToolBarCollectionVtbl) / sizeof(void*);
    return 0;
}

}  // namespace zuv::test
