#include "lifetime.h"

#include <vector>

namespace zuv {
namespace {
// Per thread: objects live in single-threaded apartments.
thread_local int t_depth = 0;
thread_local std::vector<IUnknown*>* t_pending = nullptr;
}  // namespace

void DeferredRelease(IUnknown* object) noexcept {
    if (!object) return;
    if (t_depth > 0) {
        try {
            if (!t_pending) t_pending = new std::vector<IUnknown*>();
            t_pending->push_back(object);
            return;
        } catch (...) {
            // No memory to queue it: release in place.
        }
        object->Release();
        return;
    }
    ++t_depth;
    object->Release();
    while (t_pending && !t_pending->empty()) {
        IUnknown* next = t_pending->back();
        t_pending->pop_back();
        next->Release();
    }
    delete t_pending;
    t_pending = nullptr;
    --t_depth;
}

}  // namespace zuv
