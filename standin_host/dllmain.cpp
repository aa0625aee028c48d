// Exports of xchost.dll: entry point, class objects, unload test and
// registration.
#include <windows.h>
#include <ole2.h>

#include "classes.h"
#include "frame/class_factory.h"

namespace {
zuv::ClassFactory g_classes[] = {{xchost::kClsidCommandBars, &xchost::CreateCommandBars},
                                 {xchost::kClsidCollection, &xchost::CreateCollection}};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return zuv::exports::Main(instance, reason, reserved);
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return zuv::exports::GetClassObject(g_classes, clsid, iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return zuv::exports::CanUnloadNow(); }

extern "C" HRESULT WINAPI DllRegisterServer() { return xchost::RegisterServer(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return xchost::UnregisterServer(); }
