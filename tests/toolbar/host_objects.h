// Objects a host implements itself and hands to the toolbar nodes, and a
// client of the stand-in command bars.
#pragma once

#include <string>
#include <vector>

#include "support/late_bound.h"
#include "zuvXCHandler.h"

namespace zuv::test {

// IUnknown and an IDispatch that knows no member.
template <class Itf>
class Fake : public Itf {
public:
    virtual ~Fake() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Itf)) ? this : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        if (--refs_) return refs_;
        delete this;
        return 0;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ULONG refs_ = 1;
};

// A host's own toolbar node: every member goes to a real node inside it,
// but it answers none of the component's private identifiers.
ComPtr<_xToolBar> NewForeignNode();
int ForeignNodesAlive();

// A host's own collection, with an injectable failure.
class ForeignCollection final : public Fake<_xToolBarCollection> {
public:
    std::vector<ComPtr<_xToolBar>> items;
    long count_override = -1;     // >= 0: Count answers this
    long fail_item_at = 0;        // Item at this position fails with item_failure
    HRESULT item_failure = E_FAIL;

    STDMETHODIMP Add(_xToolBar**, BSTR*, _xToolBar**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Item(VARIANT index, _xToolBar** result) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Remove(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_NewEnum(IUnknown**) override { return E_NOTIMPL; }
};
inline ComPtr<ForeignCollection> NewForeignCollection() {
    return ComPtr<ForeignCollection>::Adopt(new ForeignCollection());
}

// A control that answers no member at all.
inline ComPtr<IDispatch> NewBareControl() { return ComPtr<IDispatch>::Adopt(new Fake<IDispatch>()); }

// The stand-in command bars (XCHost.CommandBars), driven late-bound.
class HostBars {
public:
    HostBars();
    ICommandBarsObject* Object() const { return static_cast<ICommandBarsObject*>(bars_.Get()); }
    std::vector<std::wstring> Log() const;
    void ClearLog() const { Call(bars_.Get(), L"ClearLog"); }
    // The nth call matching `call` ("put 13", "call Add"...) on the object
    // labelled `label` fails with `number` and `description`.
    void FailCall(const wchar_t* label, const wchar_t* call, long nth, long number, const wchar_t* description) const;
    long DestroyControl(long id) const { return Long(Call(bars_.Get(), L"DestroyControl", {Variant::Long(id)}).value); }
    // Label of the live control with this command ID ("" when none).
    std::wstring FindControl(long id) const { return Str(Call(bars_.Get(), L"FindControl", {Variant::Long(id)}).value); }
    Variant ControlProp(long id, const wchar_t* name) const {
        return Call(bars_.Get(), L"ControlProp", {Variant::String(FindControl(id).c_str()), Variant::String(name)}).value;
    }

private:
    ComPtr<IDispatch> bars_;
};

}  // namespace zuv::test
