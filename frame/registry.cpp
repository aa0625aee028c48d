#include "registry.h"

#include <oleauto.h>

#include "error.h"
#include "module.h"
#include "wrappers.h"

namespace zuv::registry {

Key Key::Create(const std::wstring& path) noexcept {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                     nullptr, &handle, nullptr);
    return Key(status == ERROR_SUCCESS ? handle : nullptr, status);
}

Key Key::Open(const std::wstring& path) noexcept {
    HKEY handle = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &handle);
    return Key(status == ERROR_SUCCESS ? handle : nullptr, status);
}

Key::~Key() {
    if (handle_) RegCloseKey(handle_);
}

LSTATUS Key::SetString(const wchar_t* name, const std::wstring& value) noexcept {
    if (!handle_) return status_;
    return RegSetValueExW(handle_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::vector<std::wstring> Key::Subkeys() const {
    std::vector<std::wstring> names;
    if (!handle_) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(handle_, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

bool Key::IsEmpty() const noexcept {
    DWORD subkeys = 0, values = 0;
    return handle_ &&
           RegQueryInfoKeyW(handle_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

LSTATUS SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return Key::Create(key).SetString(name, value);
}

LSTATUS SetStrings(std::initializer_list<Value> values) {
    for (const Value& v : values) {
        LSTATUS status = SetString(v.key, v.name, v.value);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

LSTATUS DeleteTree(const std::wstring& key) noexcept {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    return status;
}

void DeleteIfEmpty(const std::wstring& key) noexcept {
    bool empty = Key::Open(key).IsEmpty();   // closed before the delete
    if (empty) RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ModulePath() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(module::Instance(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, n);
}

HRESULT RegisterTypeLibrary(const std::wstring& path) noexcept {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
    if (FAILED(hr)) return hr;
    // RegisterTypeLib takes a non-const string but does not write to it.
    return RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(path.c_str()), nullptr);
}

HRESULT UnregisterTypeLibrary(const std::wstring& path) noexcept {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    TLIBATTR a = *attr;
    library->ReleaseTLibAttr(attr);
    return UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

void Check(LSTATUS status) {
    if (status != ERROR_SUCCESS) RaiseHresult(HRESULT_FROM_WIN32(status));
}

}  // namespace zuv::registry
