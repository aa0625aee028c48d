// Exports of zuvNativeBars.dll: entry point, class object, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "bars_objects.h"
#include "frame/class_factory.h"
#include "registration.h"

namespace {
zuv::ClassFactory g_classes[] = {{CLSID_NativeCommandBars, &zuv::CreateInstance<zuv::native::NativeCommandBars>}};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return zuv::exports::Main(instance, reason, reserved);
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return zuv::exports::GetClassObject(g_classes, clsid, iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::exports::CanUnloadNow(); }

extern "C" HRESULT WINAPI DllRegisterServer() { return zuv::native::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return zuv::native::UnregisterServer(); }
