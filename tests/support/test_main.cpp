// Entry point of the test programs: one single-threaded apartment, as in a host.
#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "com_test.h"

namespace zuv::test {

HRESULT ComponentCanUnloadNow(const wchar_t* dll) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) return S_OK;
    using Fn = HRESULT(WINAPI*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

}  // namespace zuv::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) return 2;
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    // The runner (tests/wine-check.sh) requires this line: a program that
    // crashed or was cut short never prints it.
    if (!GTEST_FLAG_GET(list_tests)) {
        std::printf("zuv-test: reached the end\n");
        std::fflush(stdout);
    }
    return result;
}
