// Objects a host implements itself and hands to the toolbar nodes: its own
// _xToolBar (a wrapper around a real node that does not pass on the
// component's private identifiers), its own _xToolBarCollection with
// injectable failures, a control without a "ToolBarID" member, and a client
// of the stand-in command bars.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>

#include "core/wrappers.h"
#include "support/late_bound.h"
#include "zuvXCHandler.h"

namespace zuv::test {

// Minimal IUnknown + empty IDispatch for the fakes below.
template <class Itf>
class FakeDispatch : public Itf {
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
    ULONG Refs() const { return refs_; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    FakeDispatch() = default;
    virtual ~FakeDispatch() = default;

private:
    ULONG refs_ = 1;
};

// A host's own toolbar node: every member goes to a real node inside it.
ComPtr<_xToolBar> NewForeignNode();
int ForeignNodesAlive();

// A host's own collection of toolbar nodes.
class ForeignCollection final : public FakeDispatch<_xToolBarCollection> {
public:
    std::vector<ComPtr<_xToolBar>> items;
    long count_override = -1;     // >= 0: Count answers this instead
    HRESULT count_failure = S_OK; // Count fails with this
    long fail_item_at = 0;        // Item at this position fails with item_failure
    HRESULT item_failure = E_FAIL;

    STDMETHODIMP Add(_xToolBar** node, BSTR*, _xToolBar** result) override;
    STDMETHODIMP get_Item(VARIANT index, _xToolBar** result) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Remove(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_NewEnum(IUnknown**) override { return E_NOTIMPL; }
};
ComPtr<ForeignCollection> NewForeignCollection();

// A control that answers no member at all.
class BareControl final : public FakeDispatch<IDispatch> {};
ComPtr<IDispatch> NewBareControl();

// The stand-in command bars (XCHost.CommandBars), driven late-bound.
class HostBars {
public:
    HostBars();
    IDispatch* Get() const { return bars_.Get(); }
    ICommandBarsObject* Object() const { return static_cast<ICommandBarsObject*>(bars_.Get()); }
    void Reset() { bars_.Reset(); }

    std::vector<std::wstring> Log() const;
    void ClearLog() const;
    // The nth call matching `spec` ("put 13", "call 2", "name Add"...) on the
    // object labelled `label` fails with `number` and `description`.
    void FailCall(const wchar_t* label, const wchar_t* spec, long nth, long number,
                  const wchar_t* description) const;
    // The nth matching call returns an object of no role.
    void WrongKind(const wchar_t* label, const wchar_t* spec, long nth) const;
    long DestroyControl(long id) const;
    std::wstring Dump() const;
    // Label of the live control with this command ID ("" when none).
    std::wstring FindControl(long id) const;
    Variant ControlProp(const std::wstring& label, const wchar_t* name) const;
    long BarCount() const;

private:
    ComPtr<IDispatch> bars_;
};

}  // namespace zuv::test
