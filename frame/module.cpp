#include "module.h"
#include "wrappers.h"

#include <atomic>
#include <map>

namespace zuv::module {
namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
HINSTANCE g_instance = nullptr;

// The apartment model makes every object single-threaded, but several
// apartments may share the module: the type-library cache is guarded.
CRITICAL_SECTION* TypeLibLock() {
    static CRITICAL_SECTION cs = [] { CRITICAL_SECTION c; InitializeCriticalSection(&c); return c; }();
    return &cs;
}
ITypeLib* g_typelib = nullptr;
}  // namespace

void ObjectCreated() noexcept { ++g_objects; }
void ObjectDestroyed() noexcept { --g_objects; }
void Lock() noexcept { ++g_locks; }
void Unlock() noexcept { --g_locks; }
bool CanUnload() noexcept { return g_objects.load() == 0 && g_locks.load() == 0; }

void SetInstance(HINSTANCE instance) noexcept { g_instance = instance; }
HINSTANCE Instance() noexcept { return g_instance; }

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept {
    *info = nullptr;
    EnterCriticalSection(TypeLibLock());
    HRESULT hr = S_OK;
    if (!g_typelib) {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
        hr = (n == 0 || n >= MAX_PATH) ? E_FAIL : LoadTypeLibEx(path, REGKIND_NONE, &g_typelib);
    }
    if (SUCCEEDED(hr)) hr = g_typelib->GetTypeInfoOfGuid(guid, info);
    LeaveCriticalSection(TypeLibLock());
    return hr;
}

void ReleaseTypeLibrary() noexcept {
    if (g_typelib) {
        g_typelib->Release();
        g_typelib = nullptr;
    }
}

}  // namespace zuv::module
