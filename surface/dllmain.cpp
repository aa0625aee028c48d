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

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return zuv::exports::Main(instance, reason, reserved);
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return zuv::exports::GetClassObject(g_classes, clsid, iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::exports::CanUnloadNow(); }

extern "C" HRESULT WINAPI DllRegisterServer() { return zuv::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return zuv::UnregisterServer(); }
