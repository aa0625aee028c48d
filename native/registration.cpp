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
#include "frame/module.h"
#include "zuvNativeBars.h"

namespace zuv::native {
namespace {

constexpr const wchar_t* kProgId = L"zuvXCHandler.NativeCommandBars";
constexpr const wchar_t* kDescription = L"zuvXCHandler native command bars";
const GUID kCommandBarsLib = {0x555E8FCC, 0x830E, 0x45CC, {0xAF, 0x00, 0xA0, 0x12, 0xD5, 0xAE, 0x74, 0x51}};

void CheckWin32(LSTATUS status) {
    if (status != ERROR_SUCCESS) RaiseHresult(HRESULT_FROM_WIN32(status));
}

void SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    CheckWin32(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    LSTATUS s = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    CheckWin32(s);
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(module::Instance(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) RaiseHresult(E_FAIL);
    return std::wstring(path, n);
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
    SetValue(clsid, nullptr, kDescription);
    SetValue(clsid + L"\\InprocServer32", nullptr, path);
    SetValue(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetValue(clsid + L"\\ProgID", nullptr, kProgId);
    SetValue(clsid + L"\\TypeLib", nullptr, GuidText(LIBID_zuvNativeBars));
    SetValue(kProgId, nullptr, kDescription);
    SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_NativeCommandBars));

    ComPtr<ITypeLib> lib;
    Check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Out()));
    Check(RegisterTypeLib(lib.Get(), const_cast<LPOLESTR>(path.c_str()), nullptr));
    if (RegisteredCommandBars().empty()) {
        const std::wstring bars_path = path + L"\\2";
        ComPtr<ITypeLib> bars;
        Check(LoadTypeLibEx(bars_path.c_str(), REGKIND_NONE, bars.Out()));
        Check(RegisterTypeLib(bars.Get(), const_cast<LPOLESTR>(bars_path.c_str()), nullptr));
    }
}

HRESULT Unregister() {
    HRESULT result = S_OK;
    for (const std::wstring& key : {L"CLSID\\" + GuidText(CLSID_NativeCommandBars), std::wstring(kProgId)}) {
        LSTATUS s = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(s);
    }
    HRESULT hr = UnRegisterTypeLib(LIBID_zuvNativeBars, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
#ifndef _WIN64
    hr = UnRegisterTypeLib(LIBID_zuvNativeBars, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
    if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) result = hr;
    const std::wstring mine = ModulePath() + L"\\2";
    if (_wcsicmp(RegisteredCommandBars().c_str(), mine.c_str()) == 0) {
        ComPtr<ITypeLib> bars;
        if (SUCCEEDED(LoadTypeLibEx(mine.c_str(), REGKIND_NONE, bars.Out()))) {
            TLIBATTR* attr = nullptr;
            if (SUCCEEDED(bars->GetLibAttr(&attr))) {
                TLIBATTR a = *attr;
                bars->ReleaseTLibAttr(attr);
                UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
            }
        }
    }
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
