// Checks the component's registry entries in the current prefix.
//   zuv_regcheck registered <dll path>   every entry is there, with its value
//   zuv_regcheck clean                   no entry of the component is left
// Prints one line per problem; exit code 0 when there is none.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

namespace {

const wchar_t* const kLibId = L"{E6E8AD39-7197-493C-AB54-FF584058D9BF}";
const wchar_t* const kPsOaInterface = L"{00020424-0000-0000-C000-000000000046}";

struct Class {
    const wchar_t* clsid;
    const wchar_t* progid;
};
const Class kClasses[] = {
    {L"{5DF0B27A-E1CB-40BC-B521-12E1805C0CE3}", L"zuvXCHandler.xMenu"},
    {L"{9115BB77-0469-4418-AF95-72AD97AA0914}", L"zuvXCHandler.xToolBar"},
};
const wchar_t* const kNotCreatable[] = {
    L"{0FB8CFE1-B3CB-4C54-A428-8CDD16447BD2}",  // xMenuCollection
    L"{69BA2650-7DBE-4FE7-AFCD-FFAC0A005284}",  // xToolBarCollection
};
const wchar_t* const kInterfaces[] = {
    L"{B9BA865F-1693-4B49-914C-69928F3D0987}",  // _xMenu
    L"{7839EC36-94E8-49B8-BC5A-7BB4F43B9D02}",  // _xMenuCollection
    L"{C771E279-92EF-4169-9B82-85CD3D06CDAB}",  // _xToolBar
    L"{B91F6FBD-57F9-4BA0-8E84-CBA707CDA50F}",  // _xToolBarCollection
    L"{BA3D4B30-D264-40A0-B036-5B73F9E20C80}",  // __xMenu
    L"{E06C0BF2-C35B-4B86-9E1A-944D6A44B463}",  // __xToolBar
    L"{0483A138-1DCD-4B0A-8672-C01D0D325DD5}",  // earlier _xToolBar
    L"{B5AAE547-AE84-4B3B-966E-4395C9A60C31}",  // earlier __xToolBar
};
// Libraries the component's library imports from: never registered by it.
const wchar_t* const kImportedLibraries[] = {
    L"{555E8FCC-830E-45CC-AF00-A012D5AE7451}",
    L"{000204EF-0000-0000-C000-000000000046}",
};

int g_problems = 0;

void Problem(const std::wstring& text) {
    std::printf("%ls\n", text.c_str());
    ++g_problems;
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}
void ExpectKey(const std::wstring& key, bool present = true) {
    if (KeyExists(key) != present) Problem((present ? L"missing: " : L"present: ") + key);
}

// The string value (name null: the default value) compared without regard to case.
void ExpectValue(const std::wstring& key, const wchar_t* name, const std::wstring& expected) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    const std::wstring where = key + L" [" + (name ? name : L"(default)") + L"]";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        Problem(L"missing: " + where);
    else if (_wcsicmp(value, expected.c_str()) != 0)
        Problem(where + L" = '" + value + L"', expected '" + expected + L"'");
}

// A file path as Windows compares them: either slash, any case, with or
// without the "\\?\" prefix.
std::wstring PathKey(std::wstring path) {
    if (!path.compare(0, 4, L"\\\\?\\")) path.erase(0, 4);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : static_cast<wchar_t>(towlower(c));
    return path;
}

void ExpectPath(const std::wstring& key, const std::wstring& expected) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        Problem(L"missing: " + key + L" [(default)]");
    else if (PathKey(value) != PathKey(expected))
        Problem(key + L" [(default)] = '" + value + L"', expected '" + expected + L"'");
}

// No version of the library names the component's DLL as its file, for
// either platform.  (The stand-in host registers these libraries from its
// own DLL, and test programs may have registered them from their files.)
void ExpectNotRegisteredBy(const std::wstring& library, const std::wstring& dll) {
    HKEY versions = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, library.c_str(), 0, KEY_READ, &versions) != ERROR_SUCCESS) return;
    wchar_t version[64];
    DWORD length = 64;
    for (DWORD i = 0; RegEnumKeyExW(versions, i, version, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 64) {
        for (const wchar_t* platform : {L"win32", L"win64"}) {
            const std::wstring key = library + L"\\" + version + L"\\0\\" + platform;
            wchar_t value[1024];
            DWORD size = sizeof value;
            if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
                ERROR_SUCCESS)
                continue;
            // "<dll>\<resource number>" for a library embedded as a resource.
            std::wstring file = PathKey(value);
            const size_t last = file.find_last_of(L'\\');
            if (last != std::wstring::npos && last + 1 < file.size() &&
                file.find_first_not_of(L"0123456789", last + 1) == std::wstring::npos)
                file.erase(last);
            if (file == PathKey(dll)) Problem(key + L" = '" + value + L"': registered by the component");
        }
    }
    RegCloseKey(versions);
}

void CheckRegistered(const std::wstring& dll) {
    for (const Class& c : kClasses) {
        const std::wstring key = std::wstring(L"CLSID\\") + c.clsid;
        ExpectPath(key + L"\\InprocServer32", dll);
        ExpectValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        ExpectValue(key + L"\\ProgID", nullptr, c.progid);
        ExpectValue(key + L"\\VersionIndependentProgID", nullptr, c.progid);
        ExpectValue(key + L"\\TypeLib", nullptr, kLibId);
        ExpectValue(key + L"\\Version", nullptr, L"1.1");
        ExpectKey(key + L"\\Programmable");
        ExpectValue(std::wstring(c.progid) + L"\\Clsid", nullptr, c.clsid);

        CLSID from_progid{}, expected{};
        CLSIDFromString(c.clsid, &expected);
        if (FAILED(CLSIDFromProgID(c.progid, &from_progid)) || !IsEqualCLSID(from_progid, expected))
            Problem(std::wstring(L"CLSIDFromProgID does not resolve ") + c.progid);
    }
    for (const wchar_t* clsid : kNotCreatable) ExpectKey(std::wstring(L"CLSID\\") + clsid, false);
    for (const wchar_t* iid : kInterfaces) {
        const std::wstring key = std::wstring(L"Interface\\") + iid;
        ExpectValue(key + L"\\ProxyStubClsid", nullptr, kPsOaInterface);
        ExpectValue(key + L"\\ProxyStubClsid32", nullptr, kPsOaInterface);
        ExpectValue(key + L"\\TypeLib", nullptr, kLibId);
        ExpectValue(key + L"\\TypeLib", L"Version", L"1.1");
    }
    const std::wstring lib = std::wstring(L"TypeLib\\") + kLibId + L"\\1.1";
    ExpectValue(lib, nullptr, L"Velmora Xtreame Command Bar Handler");
    ExpectPath(lib + L"\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32"), dll);

    // The registered library is the one in the DLL, and it loads by identifier.
    GUID libid{};
    CLSIDFromString(kLibId, &libid);
    ITypeLib* loaded = nullptr;
    if (FAILED(LoadRegTypeLib(libid, 1, 1, 0x409, &loaded))) Problem(L"LoadRegTypeLib fails");
    else loaded->Release();

    for (const wchar_t* imported : kImportedLibraries)
        ExpectNotRegisteredBy(std::wstring(L"TypeLib\\") + imported, dll);
}

void CheckClean() {
    for (const Class& c : kClasses) {
        ExpectKey(std::wstring(L"CLSID\\") + c.clsid, false);
        ExpectKey(c.progid, false);
    }
    for (const wchar_t* iid : kInterfaces) ExpectKey(std::wstring(L"Interface\\") + iid, false);
    ExpectKey(std::wstring(L"TypeLib\\") + kLibId, false);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && !std::wcscmp(argv[1], L"registered")) {
        CoInitialize(nullptr);
        CheckRegistered(argv[2]);
        CoUninitialize();
    } else if (argc == 2 && !std::wcscmp(argv[1], L"clean")) {
        CheckClean();
    } else {
        std::printf("usage: zuv_regcheck registered <dll path> | clean\n");
        return 2;
    }
    std::printf("%s: %d problem(s)\n", g_problems ? "FAIL" : "OK", g_problems);
    return g_problems ? 1 : 0;
}
