// Class factories of the two creatable classes.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace zuv {

using CreateInstanceFn = HRESULT (*)(REFIID iid, void** object) noexcept;

// A factory is a static object: it does not count as a live object, and
// only LockServer keeps the module loaded.
class ClassFactory final : public IClassFactory {
public:
    explicit constexpr ClassFactory(CreateInstanceFn create) noexcept : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

private:
    CreateInstanceFn create_;
};

}  // namespace zuv
