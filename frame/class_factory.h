// The class objects of a DLL and its standard exports, written once for
// every DLL here.  A DLL lists its factories in a table and names it with
// its registration functions:
//
//   zuv::ClassFactory g_classes[] = {{CLSID_x, &CreateX}, ...};
//   ZUV_DLL_EXPORTS(g_classes, RegisterServer, UnregisterServer)
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

#include "com_object.h"

namespace zuv {

using CreateInstanceFn = HRESULT (*)(REFIID iid, void** object) noexcept;

// Makes a T (holding the creator's one reference) and hands out the asked
// interface of it; the creator's reference goes either way.
template <class T>
HRESULT CreateInstance(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    T* object = nullptr;
    try {
        object = MakeObject<T>();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

// A factory is a static object: it does not count as a live object, and
// only LockServer keeps the module loaded.
class ClassFactory final : public IClassFactory {
public:
    constexpr ClassFactory(const CLSID& clsid, CreateInstanceFn create) noexcept : clsid_(clsid), create_(create) {}

    const CLSID& Clsid() const noexcept { return clsid_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

private:
    const CLSID& clsid_;
    CreateInstanceFn create_;
};

namespace exports {

// DllMain: keeps the module handle; on a real unload (not process exit,
// when other DLLs may already be gone) releases the cached type library.
BOOL Main(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept;

HRESULT GetClassObject(ClassFactory* factories, size_t count, REFCLSID clsid, REFIID iid, void** ppv) noexcept;
template <size_t N>
HRESULT GetClassObject(ClassFactory (&factories)[N], REFCLSID clsid, REFIID iid, void** ppv) noexcept {
    return GetClassObject(factories, N, clsid, iid, ppv);
}

// S_OK once no object is alive and no lock is held.
HRESULT CanUnloadNow() noexcept;

}  // namespace exports
}  // namespace zuv

// DllMain, DllGetClassObject over the table of factories, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer (HRESULT() noexcept functions).
#define ZUV_DLL_EXPORTS(factories, register_server, unregister_server)                   \
    extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {  \
        return zuv::exports::Main(instance, reason, reserved);                           \
    }                                                                                    \
    extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) { \
        return zuv::exports::GetClassObject(factories, clsid, iid, ppv);                 \
    }                                                                                    \
    extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::exports::CanUnloadNow(); } \
    extern "C" HRESULT WINAPI DllRegisterServer() { return register_server(); }          \
    extern "C" HRESULT WINAPI DllUnregisterServer() { return unregister_server(); }
