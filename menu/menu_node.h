#pragma once
#include <windows.h>
namespace zuv {
HRESULT CreateMenuNode(REFIID iid, void** object) noexcept;
}
