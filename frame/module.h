// Module-wide state: live objects and server locks (DllCanUnloadNow), the
// module handle and the component's own type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zuv::module {

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void Lock() noexcept;
void Unlock() noexcept;
bool CanUnload() noexcept;

void SetInstance(HINSTANCE instance) noexcept;
HINSTANCE Instance() noexcept;

// The type information of an interface or class of the embedded type
// library (loaded once, on first use, not registered).  Returns null when
// the library cannot be loaded.
HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept;
// Releases the cached type library (process detach).
void ReleaseTypeLibrary() noexcept;

}  // namespace zuv::module
