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
#include "frame/registry.h"

namespace zuv {
namespace {

using namespace registry;

ClassFactory g_classes[] = {{CLSID_xAudit, &audit::CreateAudit}};

constexpr const wchar_t* kProgId = L"zuvXCHandler.Audit";
constexpr const wchar_t* kClassName = L"xAudit";
constexpr const wchar_t* kVersion = L"1.0";

bool RemoveClassKeys() {
    bool a = DeleteTree(L"CLSID\\" + GuidText(CLSID_xAudit)) == ERROR_SUCCESS;
    bool b = DeleteTree(kProgId) == ERROR_SUCCESS;
    return a && b;
}

HRESULT Register() noexcept try {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    if (FAILED(RegisterTypeLibrary(path))) return SELFREG_E_TYPELIB;

    const std::wstring clsid = GuidText(CLSID_xAudit);
    const std::wstring key = L"CLSID\\" + clsid;
    LSTATUS status = SetStrings({
        {key, nullptr, kClassName},
        {key + L"\\InprocServer32", nullptr, path},
        {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {key + L"\\ProgID", nullptr, kProgId},
        {key + L"\\VersionIndependentProgID", nullptr, kProgId},
        {key + L"\\TypeLib", nullptr, GuidText(LIBID_zuvXCHandlerAudit)},
        {key + L"\\Version", nullptr, kVersion},
        {key + L"\\Programmable", nullptr, L""},
        {kProgId, nullptr, kClassName},
        {std::wstring(kProgId) + L"\\Clsid", nullptr, clsid},
    });
    if (status != ERROR_SUCCESS) {
        // Leave nothing half-registered.
        RemoveClassKeys();
        UnRegisterTypeLib(LIBID_zuvXCHandlerAudit, 1, 0, 0x409, kOwnSysKind);
        return SELFREG_E_CLASS;
    }
    return S_OK;
} catch (...) {  // out of memory building a key name
    return E_OUTOFMEMORY;
}

HRESULT Unregister() noexcept try {
    UnRegisterTypeLib(LIBID_zuvXCHandlerAudit, 1, 0, 0x409, kOwnSysKind);
    return RemoveClassKeys() ? S_OK : SELFREG_E_CLASS;
} catch (...) {
    return E_OUTOFMEMORY;
}

}  // namespace
}  // namespace zuv

ZUV_DLL_EXPORTS(zuv::g_classes, zuv::Register, zuv::Unregister)
