// Registry entries of the two classes and of the stand-in type libraries
// embedded as TYPELIB resources 1 and 2.
#include <windows.h>
#include <oleauto.h>
#include <string>

#include "classes.h"
#include "frame/error.h"
#include "frame/wrappers.h"
#include "frame/registry.h"

namespace xchost {
namespace {

namespace registry = zuv::registry;
using registry::GuidText;

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

std::wstring ModulePath() {
    std::wstring path = registry::ModulePath();
    if (path.empty()) zuv::RaiseHresult(E_FAIL);
    return path;
}

void Register() {
    const std::wstring path = ModulePath();
    for (const ClassEntry& c : kClasses) {
        const std::wstring clsid_key = L"CLSID\\" + GuidText(c.clsid);
        registry::Check(registry::SetStrings({
            {clsid_key, nullptr, c.description},
            {clsid_key + L"\\InprocServer32", nullptr, path},
            {clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {clsid_key + L"\\ProgID", nullptr, c.progid},
            {c.progid, nullptr, c.description},
            {std::wstring(c.progid) + L"\\CLSID", nullptr, GuidText(c.clsid)},
        }));
    }
    for (int resource : kTypeLibResources)
        zuv::Check(registry::RegisterTypeLibrary(path + L"\\" + std::to_wstring(resource)));
}

// Removes whatever is there; missing entries are not an error.
HRESULT Unregister() {
    HRESULT result = S_OK;
    auto remove = [&](const std::wstring& key) {
        LSTATUS s = registry::DeleteTree(key);
        if (s != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(s);
    };
    for (const ClassEntry& c : kClasses) {
        remove(L"CLSID\\" + GuidText(c.clsid));
        remove(c.progid);
    }
    const std::wstring path = ModulePath();
    for (int resource : kTypeLibResources) {
        HRESULT hr = registry::UnregisterTypeLibrary(path + L"\\" + std::to_wstring(resource));
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
