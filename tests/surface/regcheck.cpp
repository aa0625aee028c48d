// Checks the component's registry entries in the current prefix against the
// table registry.txt (its format is described there).
//   zuv_regcheck <table> registered <dll path>   every entry is there, with its value
//   zuv_regcheck <table> clean                   no entry of the component is left
// Prints one line per problem; exit code 0 when there is none.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <set>
#include <string>

namespace {

int g_problems = 0;

bool EndsWith(const std::wstring& text, const wchar_t* end) {
    const size_t n = std::wcslen(end);
    return text.size() >= n && !text.compare(text.size() - n, n, end);
}

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

std::wstring Value(const std::wstring& key, const std::wstring& name, bool* found) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    *found = RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ,
                          nullptr, value, &size) == ERROR_SUCCESS;
    return *found ? value : L"";
}

// A file path as Windows compares them: either slash, any case, with or
// without the "\\?\" prefix.
std::wstring PathKey(std::wstring path) {
    if (!path.compare(0, 4, L"\\\\?\\")) path.erase(0, 4);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : static_cast<wchar_t>(towlower(c));
    return path;
}

// One line of the table: "<key>[ [<name>]] = <value>", "<key> != <dll>",
// "<key>" or "<key> !".
void CheckLine(std::wstring line, const std::wstring& dll) {
    const size_t platform = line.find(L"<platform>");
    if (platform != std::wstring::npos) line.replace(platform, 10, sizeof(void*) == 8 ? L"win64" : L"win32");
    const size_t differs = line.find(L" != <dll>");
    if (differs != std::wstring::npos) {
        bool found = false;
        std::wstring file = PathKey(Value(line.substr(0, differs), L"", &found));
        // "<dll>\<resource number>" for a library embedded as a resource.
        if (file.size() > 2 && file[file.size() - 2] == L'\\') file.erase(file.size() - 2);
        if (found && file == PathKey(dll)) Problem(line.substr(0, differs) + L": registered by the component");
        return;
    }
    const size_t equals = line.find(L" = ");
    if (equals == std::wstring::npos) {
        const bool absent = EndsWith(line, L" !");
        const std::wstring key = absent ? line.substr(0, line.size() - 2) : line;
        if (KeyExists(key) == absent) Problem((absent ? L"present: " : L"missing: ") + key);
        return;
    }
    std::wstring key = line.substr(0, equals), name, expected = line.substr(equals + 3);
    const size_t bracket = key.find(L" [");
    if (bracket != std::wstring::npos) {
        name = key.substr(bracket + 2, key.size() - bracket - 3);
        key.erase(bracket);
    }
    bool found = false;
    const std::wstring value = Value(key, name, &found), where = key + L" [" + (name.empty() ? L"(default)" : name) + L"]";
    const bool path = expected == L"<dll>";
    if (path) expected = dll;
    if (!found) Problem(L"missing: " + where);
    else if (path ? PathKey(value) != PathKey(expected) : _wcsicmp(value.c_str(), expected.c_str()) != 0)
        Problem(where + L" = '" + value + L"', expected '" + expected + L"'");
    // A ProgID resolves to its class.
    if (EndsWith(key, L"\\Clsid")) {
        CLSID resolved{}, wanted{};
        CLSIDFromString(expected.c_str(), &wanted);
        if (FAILED(CLSIDFromProgID(key.substr(0, key.size() - 6).c_str(), &resolved)) || resolved != wanted)
            Problem(L"CLSIDFromProgID does not resolve " + key);
    }
}

// The key a line belongs to as a whole: a class, interface or library, or a ProgID.
std::wstring Root(const std::wstring& line) {
    const size_t first = line.find(L'\\');
    const std::wstring head = line.substr(0, first);
    if (head != L"CLSID" && head != L"Interface" && head != L"TypeLib") return head;
    return line.substr(0, line.find(L'\\', first + 1));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool registered = argc == 4 && !std::wcscmp(argv[2], L"registered");
    FILE* table = argc >= 3 ? _wfopen(argv[1], L"r") : nullptr;
    if (!table || !(registered || (argc == 3 && !std::wcscmp(argv[2], L"clean")))) {
        std::printf("usage: zuv_regcheck <table> registered <dll path> | <table> clean\n");
        return 2;
    }
    CoInitialize(nullptr);
    std::set<std::wstring> roots;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, table)) {
        std::wstring line(buffer, buffer + std::strcspn(buffer, "\r\n"));
        if (line.empty() || line[0] == L'#') continue;
        if (registered) CheckLine(line, argv[3]);
        else if (!EndsWith(line, L" !") && line.find(L" != ") == std::wstring::npos) roots.insert(Root(line));
    }
    std::fclose(table);
    for (const std::wstring& root : roots)
        if (KeyExists(root)) Problem(L"present: " + root);
    if (registered) {
        // The registered library is the one in the DLL, and it loads by identifier.
        GUID libid{};
        ITypeLib* loaded = nullptr;
        CLSIDFromString(L"{E6E8AD39-7197-493C-AB54-FF584058D9BF}", &libid);
        if (FAILED(LoadRegTypeLib(libid, 1, 1, 0x409, &loaded))) Problem(L"LoadRegTypeLib fails");
        else loaded->Release();
    }
    CoUninitialize();
    std::printf("%s: %d problem(s)\n", g_problems ? "FAIL" : "OK", g_problems);
    return g_problems ? 1 : 0;
}
