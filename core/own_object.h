// How the component recognises its own objects (nodes, collections) among
// whatever a caller or a tree hands it.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <atomic>

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

// The quick form of the check for the main interface of one final class:
// every object of the class shares one vtable there, remembered from the
// first object made, and a pointer with that vtable is an object of the
// class without a call into it.  Another copy of the component has vtables
// of its own, so its objects do not match.  Any other pointer still goes
// through OwnObject.
template <class Class>
class OwnVtable {
public:
    static void Remember(const void* main_interface) noexcept {
        Slot().store(VtableOf(main_interface), std::memory_order_relaxed);
    }
    static bool Matches(const void* object) noexcept {
        const void* known = Slot().load(std::memory_order_relaxed);
        return object && known && VtableOf(object) == known;
    }

private:
    static const void* VtableOf(const void* object) noexcept { return *static_cast<const void* const*>(object); }
    static std::atomic<const void*>& Slot() noexcept {
        static std::atomic<const void*> vtable{nullptr};
        return vtable;
    }
};

}  // namespace zuv
