// Base fixture of the component's tests: every test ends with the component
// answering DllCanUnloadNow with S_OK (nothing leaked, nothing locked).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv::test {

// S_OK when the component (or another DLL of the project) is not loaded or
// may be unloaded.
HRESULT ComponentCanUnloadNow(const wchar_t* dll = L"zuvXCHandler.dll");

// Stops the current test: GoogleTest reports the exception as the test's
// failure and goes on with the next test.  Helpers throw it where the test
// cannot go on without what a call failed to give (going on with a null
// object would crash the whole program instead).  Never let it leave a
// callback the component makes: it must not cross the component's frames.
class TestStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A call whose result the test needs: stops the test unless it succeeded.
inline void Must(HRESULT hr, const char* call) {
    if (hr == S_OK) return;
    char text[200];
    std::snprintf(text, sizeof text, "%s failed with 0x%08lX; the test cannot go on", call,
                  static_cast<unsigned long>(hr));
    throw TestStopped(text);
}

// A set-up call that must succeed, named by its own text in the failure.
#define MUST(call) ::zuv::test::Must((call), #call)

// An object the test needs: stops the test when there is none.
template <class P>
P Required(P object, const char* what) {
    if (!object) throw TestStopped(std::string(what) + " is Nothing; the test cannot go on");
    return object;
}

template <class I>
ComPtr<I> Create(REFCLSID clsid) {
    ComPtr<I> object;
    Must(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), reinterpret_cast<void**>(object.Out())),
         "CoCreateInstance");
    return object;
}

inline ComPtr<_xMenu> NewMenu() { return Create<_xMenu>(CLSID_xMenu); }
inline ComPtr<_xToolBar> NewToolBar() { return Create<_xToolBar>(CLSID_xToolBar); }

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// The exports of a DLL loaded from `path`, called directly.
struct Exports {
    explicit Exports(const wchar_t* path) : module(Required(LoadLibraryW(path), "the DLL")) {
        get_class_object = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(Required(GetProcAddress(module, "DllGetClassObject"), "DllGetClassObject")));
        can_unload_now = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void*>(Required(GetProcAddress(module, "DllCanUnloadNow"), "DllCanUnloadNow")));
    }
    ~Exports() { FreeLibrary(module); }   // COM may hold the library too
    ComPtr<IClassFactory> Factory(REFCLSID clsid) {
        ComPtr<IClassFactory> factory;
        Must(get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), "DllGetClassObject");
        return factory;
    }
    template <class I>
    ComPtr<I> New(REFCLSID clsid) {
        ComPtr<I> object;
        Must(Factory(clsid)->CreateInstance(nullptr, __uuidof(I), reinterpret_cast<void**>(object.Out())),
             "CreateInstance");
        return object;
    }
    HMODULE module;
    GetClassObjectFn get_class_object;
    CanUnloadNowFn can_unload_now;
};

class ComTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(ComponentCanUnloadNow(), S_OK) << "objects still alive after the test"; }
};

// "text" as a BSTR for the duration of an expression.
inline Bstr B(const wchar_t* text) { return Bstr(text); }

}  // namespace zuv::test
