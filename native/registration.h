// Registry entries of the native command bars.
#pragma once

#include <windows.h>

namespace zuv::native {
HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;
}  // namespace zuv::native
