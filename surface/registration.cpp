#include "registration.h"

namespace zuv {

HRESULT RegisterServer() noexcept { return E_NOTIMPL; }
HRESULT UnregisterServer() noexcept { return E_NOTIMPL; }

}  // namespace zuv
