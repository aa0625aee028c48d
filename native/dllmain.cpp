// Exports of zuvNativeBars.dll: entry point, class object, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "bars_objects.h"
#include "registration.h"
#include "frame/module.h"

namespace {

// A static factory: it does not count as a live object; only LockServer
// keeps the module loaded.
class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : zuv::native::NativeCommandBars::Create(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock) zuv::module::Lock();
        else zuv::module::Unlock();
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        zuv::module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        zuv::module::ReleaseTypeLibrary();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid == CLSID_NativeCommandBars) return g_factory.QueryInterface(iid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() { return zuv::native::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return zuv::native::UnregisterServer(); }
