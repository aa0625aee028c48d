// Registry entries of the type library, the creatable classes, their
// ProgIDs and the interfaces.
#pragma once

#include <windows.h>

namespace zuv {

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

}  // namespace zuv
