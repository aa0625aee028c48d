#include "menu_node.h"
namespace zuv {
HRESULT CreateMenuNode(REFIID, void** object) noexcept { *object = nullptr; return E_NOTIMPL; }
}
