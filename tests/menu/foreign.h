// Objects a host implements itself and puts into a menu tree: its own
// _xMenu (a wrapper around a real node that does not pass on the
// component's private identifiers) and its own _xMenuCollection.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <functional>
#include <vector>

#include "core/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv::test {

// IUnknown and an IDispatch that answers nothing.
template <class Itf>
class Fake : public Itf {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Itf)) {
            *ppv = static_cast<Itf*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    static int Alive() { return alive_; }

protected:
    Fake() { ++alive_; }
    virtual ~Fake() { --alive_; }

private:
    ULONG refs_ = 1;
    static inline int alive_ = 0;
};

// A host's own menu node: every member goes to a real node inside it.
ComPtr<_xMenu> NewForeignMenu();
// Called whenever a ForeignMenu's ID or Key is read (stack measurements).
extern std::function<void()> g_on_foreign_read;

// A host's own collection of menu nodes: positions only, and an injectable
// failure of Item.
class ForeignCollection final : public Fake<_xMenuCollection> {
public:
    std::vector<ComPtr<_xMenu>> items;
    long fail_item_at = 0;              // Item at this position fails with item_failure
    HRESULT item_failure = E_FAIL;

    STDMETHODIMP Add(_xMenu** node, BSTR* key, _xMenu** result) override;
    STDMETHODIMP get_Item(VARIANT index, _xMenu** result) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Remove(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_NewEnum(IUnknown**) override { return E_NOTIMPL; }
};
ComPtr<ForeignCollection> NewForeignCollection();

// A caller's own list that only counts what its late-bound Add receives.
class CountingList final : public Fake<_Collection> {
public:
    long added = 0;

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;
    STDMETHODIMP Item(VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP Add(VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP Count(LONG* count) override {
        *count = added;
        return S_OK;
    }
    STDMETHODIMP Remove(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP _NewEnum(IUnknown**) override { return E_NOTIMPL; }
};
ComPtr<CountingList> NewCountingList();

}  // namespace zuv::test
