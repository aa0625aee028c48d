#include "toolbar_node.h"
namespace zuv {
HRESULT CreateToolBarNode(REFIID, void** object) noexcept { *object = nullptr; return E_NOTIMPL; }
}
