// The component's exports: entry point, class objects, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "frame/class_factory.h"
#include "menu/menu_node.h"
#include "registration.h"
#include "toolbar/toolbar_node.h"
#include "zuvXCHandler.h"

namespace {
zuv::ClassFactory g_classes[] = {{CLSID_xMenu, &zuv::CreateMenuNode}, {CLSID_xToolBar, &zuv::CreateToolBarNode}};
}  // namespace

ZUV_DLL_EXPORTS(g_classes, zuv::RegisterServer, zuv::UnregisterServer)
