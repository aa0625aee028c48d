// Releases that nest (a node releasing its collections, a collection its
// nodes, ...) are queued and run one after another by the outermost one, so
// releasing a tree of any depth takes a bounded amount of stack.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "frame/wrappers.h"

namespace zuv {

void DeferredRelease(IUnknown* object) noexcept;

template <class T>
void DeferredRelease(ComPtr<T>& holder) noexcept {
    if (T* p = holder.Detach()) DeferredRelease(static_cast<IUnknown*>(p));
}

}  // namespace zuv
