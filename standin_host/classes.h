// The two creatable classes of the stand-in host.
#pragma once

#include <windows.h>

namespace xchost {

// XCHost.CommandBars
constexpr CLSID kClsidCommandBars = {0x50E25C70, 0xC964, 0x41D8, {0xB7, 0x51, 0x7B, 0x0B, 0xF0, 0xD9, 0x99, 0xB6}};
// XCHost.Collection
constexpr CLSID kClsidCollection = {0x5FCC6288, 0x011C, 0x45CA, {0xB6, 0x07, 0x48, 0xE2, 0x49, 0xF5, 0x21, 0xCC}};

HRESULT CreateCommandBars(REFIID iid, void** ppv) noexcept;
HRESULT CreateCollection(REFIID iid, void** ppv) noexcept;

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

}  // namespace xchost
