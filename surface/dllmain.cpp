// The component's exports: entry point, class objects, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "frame/class_factory.h"
#include "menu/menu_node.h"
#include "frame/module.h"
#include "registration.h"
#include "toolbar/toolbar_node.h"
#include "zuvXCHandler.h"

namespace zuv {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) module::Lock();
    else module::Unlock();
    return S_OK;
}

namespace {
ClassFactory g_menu_factory(&CreateMenuNode);
ClassFactory g_toolbar_factory(&CreateToolBarNode);
}  // namespace

}  // namespace zuv

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        zuv::module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit other DLLs may already be gone: release only on
        // a real unload.
        if (!reserved) zuv::module::ReleaseTypeLibrary();
        break;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    if (clsid == CLSID_xMenu) factory = &zuv::g_menu_factory;
    else if (clsid == CLSID_xToolBar) factory = &zuv::g_toolbar_factory;
    else return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() { return zuv::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return zuv::UnregisterServer(); }
