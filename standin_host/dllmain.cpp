// Exports of xchost.dll: entry point, class objects, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "classes.h"
#include "frame/module.h"

namespace xchost {
namespace {

using CreateFn = HRESULT (*)(REFIID, void**) noexcept;

// A static factory: it does not count as a live object; only LockServer
// keeps the module loaded.
class Factory final : public IClassFactory {
public:
    explicit constexpr Factory(CreateFn create) noexcept : create_(create) {}

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
        return outer ? CLASS_E_NOAGGREGATION : create_(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock) zuv::module::Lock();
        else zuv::module::Unlock();
        return S_OK;
    }

private:
    CreateFn create_;
};

Factory g_command_bars(&CreateCommandBars);
Factory g_collection(&CreateCollection);

}  // namespace
}  // namespace xchost

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        zuv::module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid == xchost::kClsidCommandBars) return xchost::g_command_bars.QueryInterface(iid, ppv);
    if (clsid == xchost::kClsidCollection) return xchost::g_collection.QueryInterface(iid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() { return xchost::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return xchost::UnregisterServer(); }
