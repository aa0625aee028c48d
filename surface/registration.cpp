// Self-registration: the type library, the two creatable classes with their
// ProgIDs, and the interface identifiers the component answers to.
//
// Layout written under HKEY_CLASSES_ROOT:
//   TypeLib\{LIBID}\1.1\...                  (RegisterTypeLib; shared by both builds,
//                                              whose own parts are its win32 / win64 subkeys)
//   CLSID\{clsid}                             class name
//     InprocServer32 = <dll path>, ThreadingModel = Apartment
//     ProgID, VersionIndependentProgID = zuvXCHandler.<class>
//     TypeLib = {LIBID}, Version = 1.1, Programmable
//   zuvXCHandler.<class>\Clsid = {clsid}
//   Interface\{iid} = <name>
//     ProxyStubClsid, ProxyStubClsid32 = type-library marshaller
//     TypeLib = {LIBID}, Version = 1.1
// Unregistration removes exactly these keys, and of the type library only
// this build's platform subkey (with the keys above it once nothing else is
// left in them).  The imported libraries are never registered here.
#include "registration.h"

#include <ole2.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "module.h"
#include "zuvXCHandler.h"

namespace zuv {
namespace {

// Earlier identifiers of the toolbar interface and of its event interface.
constexpr IID kIidToolBarV0 = {0x0483a138, 0x1dcd, 0x4b0a, {0x86, 0x72, 0xc0, 0x1d, 0x0d, 0x32, 0x5d, 0xd5}};
constexpr IID kIidToolBarEventsV1 = {0xb5aae547, 0xae84, 0x4b3b, {0x96, 0x6e, 0x43, 0x95, 0xc9, 0xa6, 0x0c, 0x31}};

// Proxy/stub class of automation-compatible interfaces (type-library marshalling).
constexpr CLSID kPsOaInterface = {0x00020424, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr WORD kMajor = 1;
constexpr WORD kMinor = 1;
constexpr LCID kLibLcid = 0x409;
constexpr const wchar_t* kVersion = L"1.1";

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* name;
    const wchar_t* progid;
};

const ClassEntry kClasses[] = {
    {&CLSID_xMenu, L"xMenu", L"zuvXCHandler.xMenu"},
    {&CLSID_xToolBar, L"xToolBar", L"zuvXCHandler.xToolBar"},
};

struct InterfaceEntry {
    const IID* iid;
    const wchar_t* name;
};

const InterfaceEntry kInterfaces[] = {
    {&IID__xMenu, L"_xMenu"},
    {&IID__xMenuCollection, L"_xMenuCollection"},
    {&IID__xToolBar, L"_xToolBar"},
    {&IID__xToolBarCollection, L"_xToolBarCollection"},
    {&DIID___xMenu, L"__xMenu"},
    {&DIID___xToolBar, L"__xToolBar"},
    {&kIidToolBarV0, L"xToolBar___v0"},
    {&kIidToolBarEventsV1, L"xToolBar___v1"},
};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Writes one string value (name null: the key's default value), creating
// the key as needed.
LSTATUS SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status;
}

LSTATUS CreateKey(const std::wstring& key) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_WRITE, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(handle);
    return status;
}

// Removes a key with everything below it; a missing key is not an error.
LSTATUS DeleteTree(const std::wstring& key) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    return status;
}

// Removes a key only if nothing is left in it.
void DeleteIfEmpty(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    LSTATUS status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                      nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(handle);
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

bool ModulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(module::Instance(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    path.assign(buffer, n);
    return true;
}

SYSKIND OwnSysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

HRESULT RegisterTypeLibrary(const std::wstring& path) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    std::wstring writable = path;  // RegisterTypeLib takes a non-const string
    hr = RegisterTypeLib(library, &writable[0], nullptr);
    library->Release();
    return hr;
}

LSTATUS RegisterClassKeys(const ClassEntry& entry, const std::wstring& path, const std::wstring& libid) {
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    LSTATUS s;
    if ((s = SetString(key, nullptr, entry.name))) return s;
    if ((s = SetString(key + L"\\InprocServer32", nullptr, path))) return s;
    if ((s = SetString(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"))) return s;
    if ((s = SetString(key + L"\\ProgID", nullptr, entry.progid))) return s;
    if ((s = SetString(key + L"\\VersionIndependentProgID", nullptr, entry.progid))) return s;
    if ((s = SetString(key + L"\\TypeLib", nullptr, libid))) return s;
    if ((s = SetString(key + L"\\Version", nullptr, kVersion))) return s;
    if ((s = CreateKey(key + L"\\Programmable"))) return s;
    const std::wstring prog = entry.progid;
    if ((s = SetString(prog, nullptr, entry.name))) return s;
    return SetString(prog + L"\\Clsid", nullptr, clsid);
}

LSTATUS RegisterInterfaceKeys(const InterfaceEntry& entry, const std::wstring& libid) {
    const std::wstring key = L"Interface\\" + GuidText(*entry.iid);
    const std::wstring ps = GuidText(kPsOaInterface);
    LSTATUS s;
    if ((s = SetString(key, nullptr, entry.name))) return s;
    if ((s = SetString(key + L"\\ProxyStubClsid", nullptr, ps))) return s;
    if ((s = SetString(key + L"\\ProxyStubClsid32", nullptr, ps))) return s;
    if ((s = SetString(key + L"\\TypeLib", nullptr, libid))) return s;
    return SetString(key + L"\\TypeLib", L"Version", kVersion);
}

// Removes the class, ProgID and interface keys; returns the first failure.
LSTATUS RemoveOwnKeys() {
    LSTATUS first = ERROR_SUCCESS;
    auto note = [&first](LSTATUS s) {
        if (first == ERROR_SUCCESS) first = s;
    };
    for (const ClassEntry& entry : kClasses) {
        note(DeleteTree(L"CLSID\\" + GuidText(*entry.clsid)));
        note(DeleteTree(entry.progid));
    }
    for (const InterfaceEntry& entry : kInterfaces) note(DeleteTree(L"Interface\\" + GuidText(*entry.iid)));
    return first;
}

// The subkeys of a type-library version that belong to no platform.
bool IsSharedSubkey(const wchar_t* name) { return !_wcsicmp(name, L"FLAGS") || !_wcsicmp(name, L"HELPDIR"); }

// The subkeys of a key (empty when it cannot be read).
std::vector<std::wstring> Subkeys(const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

// Removes this architecture's registration of the type library.  The
// TypeLib key is shared by the 32- and 64-bit registry views: below
// TypeLib\{LIBID}\1.1\<lcid> the platform subkeys win32 and win64 keep
// the two builds apart, so only this build's subkey goes, and the version
// (with its FLAGS and HELPDIR) and library keys only once no other
// platform's registration is left in them.
HRESULT RemoveTypeLibrary() {
    const std::wstring lib = L"TypeLib\\" + GuidText(LIBID_zuvXCHandler);
    const std::wstring version = lib + L"\\" + kVersion;
    const wchar_t* own_platform = OwnSysKind() == SYS_WIN64 ? L"win64" : L"win32";
    std::vector<std::wstring> locales;
    bool others_left = false;
    for (const std::wstring& name : Subkeys(version)) {
        if (IsSharedSubkey(name.c_str())) continue;
        locales.push_back(version + L"\\" + name);
        for (const std::wstring& platform : Subkeys(locales.back()))
            if (_wcsicmp(platform.c_str(), own_platform)) others_left = true;
    }
    // UnRegisterTypeLib removes the interface keys that name the library,
    // in both registry views: only when no other build still needs them.
    // Otherwise this build's own interface keys go with its class keys.
    if (!others_left) UnRegisterTypeLib(LIBID_zuvXCHandler, kMajor, kMinor, kLibLcid, OwnSysKind());
    LSTATUS status = ERROR_SUCCESS;
    for (const std::wstring& lcid : locales) {
        LSTATUS s = DeleteTree(lcid + L"\\" + own_platform);
        if (s != ERROR_SUCCESS) status = s;
        DeleteIfEmpty(lcid);
    }
    if (!others_left) {
        LSTATUS s = DeleteTree(version);
        if (s != ERROR_SUCCESS) status = s;
    }
    DeleteIfEmpty(lib);
    // Success means: nothing of this build's registration is left, whoever removed it.
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
}

}  // namespace

HRESULT RegisterServer() noexcept try {
    std::wstring path;
    if (!ModulePath(path)) return SELFREG_E_CLASS;
    const std::wstring libid = GuidText(LIBID_zuvXCHandler);

    if (FAILED(RegisterTypeLibrary(path))) {
        RemoveTypeLibrary();
        return SELFREG_E_TYPELIB;
    }
    bool ok = true;
    for (const ClassEntry& entry : kClasses) ok = ok && RegisterClassKeys(entry, path, libid) == ERROR_SUCCESS;
    for (const InterfaceEntry& entry : kInterfaces) ok = ok && RegisterInterfaceKeys(entry, libid) == ERROR_SUCCESS;
    if (!ok) {
        // Leave nothing half-registered.
        RemoveOwnKeys();
        RemoveTypeLibrary();
        return SELFREG_E_CLASS;
    }
    return S_OK;
} catch (...) {  // out of memory building a key name
    return E_OUTOFMEMORY;
}

HRESULT UnregisterServer() noexcept try {
    // The library first: UnRegisterTypeLib removes interface keys that name
    // it, and needs the library's own registration to find them.
    HRESULT lib = RemoveTypeLibrary();
    LSTATUS own = RemoveOwnKeys();
    if (own != ERROR_SUCCESS) return SELFREG_E_CLASS;
    return lib;
} catch (...) {
    return E_OUTOFMEMORY;
}

}  // namespace zuv
