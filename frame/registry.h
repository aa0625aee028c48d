// Registry access for self-registration, below HKEY_CLASSES_ROOT: one open
// key closed when it goes, and the few operations every DLL's registration
// needs.  Failures come back as the Win32 status; none of it throws except
// out of memory building a name.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace zuv::registry {

// An open key below HKEY_CLASSES_ROOT, closed when it goes.
class Key {
public:
    // Opens the key, creating it and the keys above it as needed.
    static Key Create(const std::wstring& path) noexcept;
    // Opens an existing key for reading.
    static Key Open(const std::wstring& path) noexcept;

    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key();

    // ERROR_SUCCESS when the key is open.
    LSTATUS Status() const noexcept { return status_; }

    // Writes a string value (name null: the key's default value).
    LSTATUS SetString(const wchar_t* name, const std::wstring& value) noexcept;
    // The names of the subkeys (none when the key is not open).
    std::vector<std::wstring> Subkeys() const;
    // No subkeys and no values; false when it cannot be read.
    bool IsEmpty() const noexcept;

private:
    Key(HKEY handle, LSTATUS status) noexcept : handle_(handle), status_(status) {}
    HKEY handle_;
    LSTATUS status_;
};

// Writes one string value, creating the key as needed.
LSTATUS SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value);
// One string value: key, value name (null: the key's default value), value.
struct Value {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
};
// Writes the values in order; stops at the first failure and returns it.
LSTATUS SetStrings(std::initializer_list<Value> values);
// Removes a key with everything below it; a missing key is not an error.
LSTATUS DeleteTree(const std::wstring& key) noexcept;
// Removes a key only if nothing is left in it.
void DeleteIfEmpty(const std::wstring& key) noexcept;

// The platform of this build's type-library registrations.
constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

// The registry form of an identifier, {XXXXXXXX-XXXX-...}.
std::wstring GuidText(REFGUID guid);
// The full path of this module's file; empty when it cannot be read.
std::wstring ModulePath();
// Registers the type library found at `path` (a file, or file\resource) under that path.
HRESULT RegisterTypeLibrary(const std::wstring& path) noexcept;
// Removes the registration of the type library found at `path`, with the
// identity, version, locale and platform it declares itself.
HRESULT UnregisterTypeLibrary(const std::wstring& path) noexcept;

// Turns a failed status into a thrown run-time error (for registration
// code that works with exceptions inside a Boundary).
void Check(LSTATUS status);

}  // namespace zuv::registry
