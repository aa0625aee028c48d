// The one base of every COM object of the component: QueryInterface over the
// implemented interfaces, reference counting, module object count.
//
//   class Node : public ComObject<Node, _xMenu, IConnectionPointContainer> {...};
//
// The first interface is the default one: it answers IUnknown, and IDispatch
// when it is a dual interface.  Derived classes may answer further
// identifiers through `void* QueryExtra(REFIID)`, and run `FinalRelease()`
// when the last reference goes, before the destructor.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <type_traits>
#include <utility>

#include "module.h"

namespace zuv {

template <class Derived, class Default, class... Others>
class ComObject : public Default, public Others... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<Default*>(this);
        } else if (std::is_base_of_v<IDispatch, Default> && riid == IID_IDispatch) {
            *ppv = static_cast<Default*>(this);
        } else if (riid == __uuidof(Default)) {
            *ppv = static_cast<Default*>(this);
        } else if (!((riid == __uuidof(Others) ? (*ppv = static_cast<Others*>(this), true) : false) || ...)) {
            *ppv = static_cast<Derived*>(this)->QueryExtra(riid);
        }
        if (!*ppv) return E_NOINTERFACE;
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        ULONG r = --refs_;
        if (r == 0) {
            // Hold a guard reference while the object tears down, so that a
            // re-entrant AddRef/Release pair cannot delete it twice.
            refs_ = 1;
            static_cast<Derived*>(this)->FinalRelease();
            delete static_cast<Derived*>(this);
        }
        return r;
    }

    IUnknown* Unknown() noexcept { return static_cast<Default*>(this); }

protected:
    ComObject() noexcept { module::ObjectCreated(); }
    virtual ~ComObject() { module::ObjectDestroyed(); }

    // Hooks for the derived class (found by name, not virtual).
    void* QueryExtra(REFIID) noexcept { return nullptr; }
    void FinalRelease() noexcept {}

private:
    ULONG refs_ = 1;  // the creator's reference
};

// Creates an object holding the creator's one reference.
template <class T, class... Args>
T* MakeObject(Args&&... args) {
    return new T(std::forward<Args>(args)...);
}

}  // namespace zuv
