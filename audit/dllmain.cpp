// The audit library's exports: entry point, class object, unload test and
// self-registration.
//
// Registered under HKEY_CLASSES_ROOT:
//   TypeLib\{LIBID}\1.0\...                 (RegisterTypeLib, which also
//                                             writes the interface keys)
//   CLSID\{clsid}                            xAudit
//     InprocServer32 = <dll path>, ThreadingModel = Apartment
//     ProgID, VersionIndependentProgID = zuvXCHandler.Audit
//     TypeLib = {LIBID}, Version = 1.0, Programmable
//   zuvXCHandler.Audit\Clsid = {clsid}
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "audit_objects.h"
#include "frame/class_factory.h"
#include "frame/module.h"

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

ClassFactory g_audit_factory(&audit::CreateAudit);

constexpr const wchar_t* kProgId = L"zuvXCHandler.Audit";
constexpr const wchar_t* kClassName = L"xAudit";
constexpr const wchar_t* kVersion = L"1.0";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    LSTATUS s = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return s == ERROR_SUCCESS;
}

bool DeleteTree(const std::wstring& key) {
    LSTATUS s = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND) s = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND;
}

bool RemoveClassKeys() {
    bool a = DeleteTree(L"CLSID\\" + GuidText(CLSID_xAudit));
    bool b = DeleteTree(kProgId);
    return a && b;
}

SYSKIND OwnSysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

HRESULT Register() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(module::Instance(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    std::wstring path(buffer, n);

    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return SELFREG_E_TYPELIB;
    std::wstring writable = path;
    hr = RegisterTypeLib(library, &writable[0], nullptr);
    library->Release();
    if (FAILED(hr)) return SELFREG_E_TYPELIB;

    const std::wstring clsid = GuidText(CLSID_xAudit);
    const std::wstring key = L"CLSID\\" + clsid;
    bool ok = SetString(key, nullptr, kClassName) && SetString(key + L"\\InprocServer32", nullptr, path) &&
              SetString(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
              SetString(key + L"\\ProgID", nullptr, kProgId) &&
              SetString(key + L"\\VersionIndependentProgID", nullptr, kProgId) &&
              SetString(key + L"\\TypeLib", nullptr, GuidText(LIBID_zuvXCHandlerAudit)) &&
              SetString(key + L"\\Version", nullptr, kVersion) && SetString(key + L"\\Programmable", nullptr, L"") &&
              SetString(kProgId, nullptr, kClassName) && SetString(std::wstring(kProgId) + L"\\Clsid", nullptr, clsid);
    if (!ok) {
        // Leave nothing half-registered.
        RemoveClassKeys();
        UnRegisterTypeLib(LIBID_zuvXCHandlerAudit, 1, 0, 0x409, OwnSysKind());
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT Unregister() {
    UnRegisterTypeLib(LIBID_zuvXCHandlerAudit, 1, 0, 0x409, OwnSysKind());
    return RemoveClassKeys() ? S_OK : SELFREG_E_CLASS;
}

}  // namespace
}  // namespace zuv

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        zuv::module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        if (!reserved) zuv::module::ReleaseTypeLibrary();
        break;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_xAudit) return CLASS_E_CLASSNOTAVAILABLE;
    return zuv::g_audit_factory.QueryInterface(iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        return zuv::Register();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    try {
        return zuv::Unregister();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
