// Self-registration: the type library, the two creatable classes with their
// ProgIDs, and the interface identifiers the component answers to.
//
// Layout written under HKEY_CLASSES_ROOT (the rows are in registration_table.h):
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

#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "frame/registry.h"
#include "zuvXCHandler.h"

namespace zuv {
namespace {

using namespace registry;

// The rows and identifiers come from the registration table, which the
// installer is generated from as well.
#define ZUV_REG_GUID(symbol, l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7) \
    constexpr GUID symbol = {l, w1, w2, {b0, b1, b2, b3, b4, b5, b6, b7}};
#define ZUV_REG_LIBRARY(libid, major, minor, lcid, help) \
    constexpr WORD kMajor = major;                        \
    constexpr WORD kMinor = minor;                        \
    constexpr LCID kLibLcid = lcid;                       \
    constexpr const wchar_t* kVersion = L"" #major "." #minor;
#include "registration_table.h"

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* name;
    const wchar_t* progid;
};

const ClassEntry kClasses[] = {
#define ZUV_REG_CLASS(clsid, name, progid) {&clsid, L"" name, L"" progid},
#include "registration_table.h"
};

struct InterfaceEntry {
    const IID* iid;
    const wchar_t* name;
};

const InterfaceEntry kInterfaces[] = {
#define ZUV_REG_INTERFACE(iid, name) {&iid, L"" name},
#include "registration_table.h"
};

// One registry entry: key, value name (empty: the default value) and value
// with placeholders; a null value makes the key alone.
struct Row {
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* value;
};

const Row kClassRows[] = {
#define ZUV_REG_CLASS_ROW(key, value_name, value) {L"" key, L"" value_name, L"" value},
#define ZUV_REG_CLASS_KEY(key) {L"" key, L"", nullptr},
#include "registration_table.h"
};

const Row kInterfaceRows[] = {
#define ZUV_REG_INTERFACE_ROW(key, value_name, value) {L"" key, L"" value_name, L"" value},
#include "registration_table.h"
};

using Substitutions = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

// Replaces every {placeholder} of the text by its value.
std::wstring Expand(const wchar_t* text, Substitutions values) {
    std::wstring out = text;
    for (const auto& [name, value] : values) {
        const std::wstring token = std::wstring(L"{") + name + L"}";
        for (size_t at = out.find(token); at != std::wstring::npos; at = out.find(token, at + value.size()))
            out.replace(at, token.size(), value);
    }
    return out;
}

LSTATUS WriteRows(const Row* begin, const Row* end, Substitutions values) {
    for (const Row* row = begin; row != end; ++row) {
        const std::wstring key = Expand(row->key, values);
        LSTATUS s = row->value ? SetString(key, *row->name ? row->name : nullptr, Expand(row->value, values))
                               : Key::Create(key).Status();
        if (s != ERROR_SUCCESS) return s;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegisterClassKeys(const ClassEntry& entry, const std::wstring& path, const std::wstring& libid) {
    return WriteRows(std::begin(kClassRows), std::end(kClassRows),
                     {{L"clsid", GuidText(*entry.clsid)},
                      {L"name", entry.name},
                      {L"progid", entry.progid},
                      {L"libid", libid},
                      {L"version", kVersion},
                      {L"path", path}});
}

LSTATUS RegisterInterfaceKeys(const InterfaceEntry& entry, const std::wstring& libid) {
    return WriteRows(std::begin(kInterfaceRows), std::end(kInterfaceRows),
                     {{L"iid", GuidText(*entry.iid)},
                      {L"name", entry.name},
                      {L"libid", libid},
                      {L"version", kVersion},
                      {L"proxy", GuidText(kPsOaInterface)}});
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

// Removes this architecture's registration of the type library.  The
// TypeLib key is shared by the 32- and 64-bit registry views: below
// TypeLib\{LIBID}\1.1\<lcid> the platform subkeys win32 and win64 keep
// the two builds apart, so only this build's subkey goes, and the version
// (with its FLAGS and HELPDIR) and library keys only once no other
// platform's registration is left in them.
HRESULT RemoveTypeLibrary() {
    const std::wstring lib = L"TypeLib\\" + GuidText(LIBID_zuvXCHandler);
    const std::wstring version = lib + L"\\" + kVersion;
    const wchar_t* own_platform = kOwnSysKind == SYS_WIN64 ? L"win64" : L"win32";
    std::vector<std::wstring> locales;
    bool others_left = false;
    for (const std::wstring& name : Key::Open(version).Subkeys()) {
        if (IsSharedSubkey(name.c_str())) continue;
        locales.push_back(version + L"\\" + name);
        for (const std::wstring& platform : Key::Open(locales.back()).Subkeys())
            if (_wcsicmp(platform.c_str(), own_platform)) others_left = true;
    }
    // UnRegisterTypeLib removes the interface keys that name the library,
    // in both registry views: only when no other build still needs them.
    // Otherwise this build's own interface keys go with its class keys.
    if (!others_left) UnRegisterTypeLib(LIBID_zuvXCHandler, kMajor, kMinor, kLibLcid, kOwnSysKind);
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
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
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
