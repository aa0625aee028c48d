// Registers the class, its ProgID and the type library (resource 1).
//
// Resource 2 is the command-bars library whose interface identifiers the
// component's type library refers to.  Late-bound callers of RenderMenu and
// RenderToolBar need it registered; it is registered only when no command-bars
// library of that identity is registered already (an installed control keeps
// its own), and removed only when the registration is ours.
#include "registration.h"

#include <oleauto.h>
#include <string>

#include "frame/error.h"
#include "frame/wrappers.h"
#include "frame/registry.h"
#include "zuvNativeBars.h"

namespace zuv::native {
namespace {

using registry::GuidText;

constexpr const wchar_t* kProgId = L"zuvXCHandler.NativeCommandBars";
constexpr const wchar_t* kDescription = L"zuvXCHandler native command bars";
const GUID kCommandBarsLib = {0x555E8FCC, 0x830E, 0x45CC, {0xAF, 0x00, 0xA0, 0x12, 0xD5, 0xAE, 0x74, 0x51}};

std::wstring ModulePath() {
    std::wstring path = registry::ModulePath();
    if (path.empty()) RaiseHresult(E_FAIL);
    return path;
}

// The registered path of the command-bars library, or "" when there is none.
std::wstring RegisteredCommandBars() {
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(kCommandBarsLib, 10, 3, LOCALE_NEUTRAL, &path))) return L"";
    Bstr owned = Bstr::Adopt(path);
    std::wstring text = owned.Str();
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

void Register() {
    const std::wstring path = ModulePath();
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_NativeCommandBars);
    registry::Check(registry::SetStrings({
        {clsid, nullptr, kDescription},
        {clsid + L"\\InprocServer32", nullptr, path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, kProgId},
        {clsid + L"\\TypeLib", nullptr, GuidText(LIBID_zuvNativeBars)},
        {kProgId, nullptr, kDescription},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_NativeCommandBars)},
    }));

    Check(registry::RegisterTypeLibrary(path));
    if (RegisteredCommandBars().empty()) Check(registry::RegisterTypeLibrary(path + L"\\2"));
}

HRESULT Unregister() {
    HRESULT result = S_OK;
    for (const std::wstring& key : {L"CLSID\\" + GuidText(CLSID_NativeCommandBars), std::wstring(kProgId)}) {
        LSTATUS s = registry::DeleteTree(key);
        if (s != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(s);
    }
    HRESULT hr = UnRegisterTypeLib(LIBID_zuvNativeBars, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
#ifndef _WIN64
    hr = UnRegisterTypeLib(LIBID_zuvNativeBars, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
    if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) result = hr;
    const std::wstring mine = ModulePath() + L"\\2";
    if (_wcsicmp(RegisteredCommandBars().c_str(), mine.c_str()) == 0) registry::UnregisterTypeLibrary(mine);
    return result;
}

}  // namespace

HRESULT RegisterServer() noexcept {
    HRESULT hr = Boundary(IID_NULL, L"zuvNativeBars", [] { Register(); });
    if (FAILED(hr)) UnregisterServer();
    return hr;
}

HRESULT UnregisterServer() noexcept {
    HRESULT hr = S_OK;
    HRESULT boundary = Boundary(IID_NULL, L"zuvNativeBars", [&] { hr = Unregister(); });
    return FAILED(boundary) ? boundary : hr;
}

}  // namespace zuv::native
