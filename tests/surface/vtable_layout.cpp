// The C view of the generated header: each function table is a struct of
// function pointers in vtable order, so the entries the component's C++
// classes implement, reserved ones included, can be counted and located.
#define CINTERFACE
#include <windows.h>

#include <string>
#include <vector>

#include "zuvXCHandler.h"

namespace zuv::test {

#define ZUV_SLOT(itf, field) std::to_string(offsetof(itf##Vtbl, field) / sizeof(void*))
#define ZUV_ENTRIES(itf) std::to_string(sizeof(itf##Vtbl) / sizeof(void*))

// "header <interface> <n> entries[, reserved <slot>...]", as the golden
// type-library text states it.
std::vector<std::string> HeaderLines() {
    return {
        "header _xMenu " + ZUV_ENTRIES(_xMenu) + " entries, reserved " + ZUV_SLOT(_xMenu, ReservedSubMenus) + " " +
            ZUV_SLOT(_xMenu, ReservedArrayMenu),
        "header _xMenuCollection " + ZUV_ENTRIES(_xMenuCollection) + " entries",
        "header _xToolBar " + ZUV_ENTRIES(_xToolBar) + " entries, reserved " + ZUV_SLOT(_xToolBar, ReservedButtons),
        "header _xToolBarCollection " + ZUV_ENTRIES(_xToolBarCollection) + " entries",
    };
}

}  // namespace zuv::test
