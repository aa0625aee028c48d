#include "class_factory.h"

#include "module.h"

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

namespace exports {

BOOL Main(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        module::ReleaseTypeLibrary();
    }
    return TRUE;
}

HRESULT GetClassObject(ClassFactory* factories, size_t count, REFCLSID clsid, REFIID iid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < count; ++i)
        if (factories[i].Clsid() == clsid) return factories[i].QueryInterface(iid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() noexcept { return module::CanUnload() ? S_OK : S_FALSE; }

}  // namespace exports
}  // namespace zuv
