#pragma once
#include <windows.h>
namespace zuv {
HRESULT CreateToolBarNode(REFIID iid, void** object) noexcept;
}
