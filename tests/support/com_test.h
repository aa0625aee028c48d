// Base fixture of the component's tests: every test ends with the component
// answering DllCanUnloadNow with S_OK (nothing leaked, nothing locked).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include "core/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv::test {

// S_OK when the component is not loaded or may be unloaded.
HRESULT ComponentCanUnloadNow();

template <class I>
ComPtr<I> Create(REFCLSID clsid) {
    ComPtr<I> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I),
                                  reinterpret_cast<void**>(object.Out()));
    EXPECT_EQ(hr, S_OK) << "CoCreateInstance";
    return object;
}

inline ComPtr<_xMenu> NewMenu() { return Create<_xMenu>(CLSID_xMenu); }
inline ComPtr<_xToolBar> NewToolBar() { return Create<_xToolBar>(CLSID_xToolBar); }

class ComTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(ComponentCanUnloadNow(), S_OK) << "objects still alive after the test"; }
};

// "text" as a BSTR for the duration of an expression.
inline Bstr B(const wchar_t* text) { return Bstr(text); }

}  // namespace zuv::test
