// Registry entries of the two classes and of the stand-in type libraries
// embedded as TYPELIB resources 1 and 2.
#include <windows.h>
#include <oleauto.h>
#include <string>

#include "classes.h"
#include "frame/error.h"
#include "frame/wrappers.h"
#include "frame/module.h"

namespace xchost {
namespace {

struct ClassEntry {
    const CLSID& clsid;
    const wchar_t* progid;
    const wchar_t* description;
};
const ClassEntry kClasses[] = {
    {kClsidCommandBars, L"XCHost.CommandBars", L"XCHost command bars (test stand-in)"},
    {kClsidCollection, L"XCHost.Collection", L"XCHost collection (test stand-in)"},
};
const int kTypeLibResources[] = {1, 2};

void CheckWin32(LSTATUS status) {
    if (status != ERROR_SUCCESS) zuv::RaiseHresult(HRESULT_FROM_WIN32(status));
}

// An open registry key, closed when it goes.
class RegKey {
public:
    RegKey(HKEY parent, const std::wstring& path) {
        CheckWin32(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr));
    }
    ~RegKey() { RegCloseKey(key_); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    void Set(const wchar_t* name, const std::wstring& value) {
        CheckWin32(RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
    }

private:
    HKEY key_ = nullptr;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(zuv::module::Instance(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) zuv::RaiseHresult(E_FAIL);
    return std::wstring(path, n);
}

zuv::ComPtr<ITypeLib> LoadEmbedded(const std::wstring& path) {
    zuv::ComPtr<ITypeLib> lib;
    zuv::Check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Out()));
    return lib;
}

void Register() {
    const std::wstring path = ModulePath();
    for (const ClassEntry& c : kClasses) {
        const std::wstring clsid_key = L"CLSID\\" + GuidText(c.clsid);
        RegKey(HKEY_CLASSES_ROOT, clsid_key).Set(nullptr, c.description);
        RegKey server(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32");
        server.Set(nullptr, path);
        server.Set(L"ThreadingModel", L"Apartment");
        RegKey(HKEY_CLASSES_ROOT, clsid_key + L"\\ProgID").Set(nullptr, c.progid);
        RegKey(HKEY_CLASSES_ROOT, c.progid).Set(nullptr, c.description);
        RegKey(HKEY_CLASSES_ROOT, std::wstring(c.progid) + L"\\CLSID").Set(nullptr, GuidText(c.clsid));
    }
    for (int resource : kTypeLibResources) {
        const std::wstring lib_path = path + L"\\" + std::to_wstring(resource);
        zuv::ComPtr<ITypeLib> lib = LoadEmbedded(lib_path);
        zuv::Check(RegisterTypeLib(lib.Get(), const_cast<LPOLESTR>(lib_path.c_str()), nullptr));
    }
}

// Removes whatever is there; missing entries are not an error.
HRESULT Unregister() {
    HRESULT result = S_OK;
    auto remove = [&](HKEY root, const std::wstring& key) {
        LSTATUS s = RegDeleteTreeW(root, key.c_str());
        if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(s);
    };
    for (const ClassEntry& c : kClasses) {
        remove(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(c.clsid));
        remove(HKEY_CLASSES_ROOT, c.progid);
    }
    const std::wstring path = ModulePath();
    for (int resource : kTypeLibResources) {
        zuv::ComPtr<ITypeLib> lib = LoadEmbedded(path + L"\\" + std::to_wstring(resource));
        TLIBATTR* attr = nullptr;
        zuv::Check(lib->GetLibAttr(&attr));
        TLIBATTR a = *attr;
        lib->ReleaseTLibAttr(attr);
        HRESULT hr = UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
        if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) result = hr;
    }
    return result;
}

}  // namespace

HRESULT RegisterServer() noexcept {
    HRESULT hr = zuv::Boundary(IID_NULL, L"XCHost", [] { Register(); });
    if (FAILED(hr)) UnregisterServer();
    return hr;
}

HRESULT UnregisterServer() noexcept {
    HRESULT hr = S_OK;
    HRESULT boundary = zuv::Boundary(IID_NULL, L"XCHost", [&] { hr = Unregister(); });
    return FAILED(boundary) ? boundary : hr;
}

}  // namespace xchost
