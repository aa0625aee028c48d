// How the component recognises its own objects (nodes, collections) among
// whatever a caller or a tree hands it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "frame/wrappers.h"

namespace zuv {

// Identifies this module's own objects: the private interfaces by which the
// component recognises them answer their object only to this tag, so that
// an object of another copy of the component is treated as a foreign one.
inline const void* ModuleTag() noexcept {
    static const char tag = 0;
    return &tag;
}

// The object behind an interface pointer when it is one of this module's
// own (it answers `Internal`, a private interface with `Self(tag)`), else
// null.  The result stays valid while the caller holds `object`.
template <class Internal>
auto OwnObject(IUnknown* object) noexcept -> decltype(static_cast<Internal*>(nullptr)->Self(nullptr)) {
    if (!object) return nullptr;
    ComPtr<Internal> internal;
    if (FAILED(object->QueryInterface(__uuidof(Internal), reinterpret_cast<void**>(internal.Out()))) || !internal)
        return nullptr;
    // The caller's reference keeps the object alive; this one goes now.
    return internal->Self(ModuleTag());
}

}  // namespace zuv
