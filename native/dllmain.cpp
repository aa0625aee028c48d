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

ZUV_DLL_EXPORTS(g_classes, zuv::native::RegisterServer, zuv::native::UnregisterServer)
