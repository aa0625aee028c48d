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

ZUV_DLL_EXPORTS(g_classes, xchost::RegisterServer, xchost::UnregisterServer)
