// Objects a host implements itself and hands to the component: its own
// nodes (wrappers around real nodes that answer none of the component's
// private identifiers), its own collections, and a control that knows no
// member.  Like the fakes of Wine's conformance tests, each fails the
// running test on any call it was not told to expect, and the node and
// collection fakes record the calls the component makes on them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/late_bound.h"

namespace zuv::test {

// A call no test told the fake to expect: fails the test (never throws, the
// component's frames are on the stack).
inline HRESULT Unexpected(const char* call) {
    ADD_FAILURE() << "unexpected call: " << call;
    return E_UNEXPECTED;
}

// IUnknown, an IDispatch that expects no call, a record of the calls made;
// counts the live objects.
template <class Itf>
class Fake : public Itf {
public:
    Fake() { ++alive_; }
    virtual ~Fake() { --alive_; }
    static int Alive() { return alive_; }
    std::vector<std::wstring> calls;   // "get_ID", "get_Item 2", ... oldest first

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
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return Unexpected("GetTypeInfoCount"); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Unexpected("GetTypeInfo"); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Unexpected("GetIDsOfNames"); }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return Unexpected("Invoke");
    }

protected:
    void Note(std::wstring call) { calls.push_back(std::move(call)); }

private:
    ULONG refs_ = 1;
    static inline int alive_ = 0;
};

template <class T, class... A>
ComPtr<T> MakeFake(A&&... args) { return ComPtr<T>::Adopt(new T(std::forward<A>(args)...)); }

// A control that knows no member: every name is unknown, every dispatch id
// missing.  That is what it is for, so no call to it fails the test.
class BareControl final : public Fake<IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};
inline ComPtr<IDispatch> NewBareControl() { return ComPtr<IDispatch>::Adopt(new BareControl()); }

// A host's own collection of nodes: positions only (Add with a key, Remove
// and enumeration are not expected), injectable failures of Item and Count
// and an injectable Count.
template <class Coll, class Node>
class ForeignList final : public Fake<Coll> {
public:
    using Item = Node;
    std::vector<ComPtr<Node>> items;
    long count_override = -1;   // >= 0: Count answers this
    long fail_item_at = 0;      // Item at this position fails with item_failure
    HRESULT item_failure = E_FAIL;
    long fail_count_call = 0;   // the nth call of Count fails with item_failure

    STDMETHODIMP Add(Node** node, BSTR* key, Node** result) override {
        if (key && SysStringLen(*key)) return Unexpected("Add with a key");
        this->Note(L"Add");
        items.emplace_back(*node);
        items.back().CopyTo(result);
        return S_OK;
    }
    STDMETHODIMP get_Item(VARIANT index, Node** result) override {
        *result = nullptr;
        long n = Long(Variant(index));
        this->Note(L"get_Item " + std::to_wstring(n));
        // Fails without error information of its own, as many hosts' objects do.
        if (n == fail_item_at) return item_failure;
        if (n < 1 || n > static_cast<long>(items.size())) return MAKE_HRESULT(1, FACILITY_CONTROL, 9);
        items[static_cast<size_t>(n - 1)].CopyTo(result);
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* count) override {
        this->Note(L"get_Count");
        if (++count_calls_ == fail_count_call) return item_failure;
        *count = count_override >= 0 ? count_override : static_cast<LONG>(items.size());
        return S_OK;
    }
    STDMETHODIMP Remove(VARIANT*) override { return Unexpected("Remove"); }
    STDMETHODIMP get_NewEnum(IUnknown**) override { return Unexpected("NewEnum"); }

private:
    long count_calls_ = 0;
};
using ForeignMenus = ForeignList<_xMenuCollection, _xMenu>;
using ForeignButtons = ForeignList<_xToolBarCollection, _xToolBar>;

// Called whenever a host's menu node has its ID or Key read (stack probes).
inline std::function<void()> g_on_foreign_read;

// Runs g_on_foreign_read inside a call from the component: a helper that
// stops the test must not unwind through the component's frames.
inline void OnForeignRead() {
    if (!g_on_foreign_read) return;
    try {
        g_on_foreign_read();
    } catch (const std::exception& x) {
        ADD_FAILURE() << "while the component read a host's node: " << x.what();
    }
}

// Every member is passed on to a real node of the component and recorded
// by name; the reserved slots are not expected.
#define ZUV_WIDE(text) L##text
#define ZUV_FWD(name, params, args) \
    STDMETHODIMP name params override { Note(ZUV_WIDE(#name)); return inner_->name args; }
#define ZUV_GET(name, type) ZUV_FWD(get_##name, (type* v), (v))
#define ZUV_PUT(name, type) ZUV_FWD(put_##name, (type v), (v))
#define ZUV_PROP(name, type) ZUV_PUT(name, type) ZUV_GET(name, type)
#define ZUV_REF(name, type) ZUV_FWD(putref_##name, (type* v), (v)) ZUV_FWD(get_##name, (type** v), (v))
// A read that runs g_on_foreign_read too.
#define ZUV_PROBED_GET(name, type) \
    STDMETHODIMP get_##name(type* v) override { Note(L"get_" #name); OnForeignRead(); return inner_->get_##name(v); }

// A host's own menu node.
class ForeignMenu final : public Fake<_xMenu> {
public:
    ZUV_PROBED_GET(ID, LONG) ZUV_PROBED_GET(Key, BSTR)
    STDMETHODIMP ReservedSubMenus() override { return Unexpected("ReservedSubMenus"); }
    STDMETHODIMP ReservedArrayMenu() override { return Unexpected("ReservedArrayMenu"); }
    ZUV_REF(SubMenus, _xMenuCollection) ZUV_REF(ArrayMenu, _xMenuCollection) ZUV_REF(ArrayParent, _xMenu)
    ZUV_REF(CmdBarControl, ICommandBarControl) ZUV_REF(CmdBarPopup, ICommandBarPopup)
    ZUV_PROP(Caption, BSTR) ZUV_PUT(Key, BSTR) ZUV_PROP(Tag, BSTR) ZUV_PUT(ID, LONG) ZUV_GET(Count, short)
    ZUV_PROP(Checked, VARIANT_BOOL) ZUV_PROP(Enabled, VARIANT_BOOL) ZUV_PROP(Visible, VARIANT_BOOL)
    ZUV_PROP(WindowsList, VARIANT_BOOL) ZUV_PROP(MaxButton, VARIANT_BOOL) ZUV_PROP(MinButton, VARIANT_BOOL)
    ZUV_PROP(ControlBox, VARIANT_BOOL) ZUV_PROP(MenuSeperator, VARIANT_BOOL) ZUV_PROP(IsArray, VARIANT_BOOL)
    ZUV_PROP(ShortCutFirstKey, xMenuShortCutFirstKeys) ZUV_PROP(ShortCutSecondKey, xMenuShortCutSecondKeys)
    ZUV_PROP(IsArrayChild, VARIANT_BOOL) ZUV_PROP(ArrayIndex, short) ZUV_PROP(StartID, LONG)
    ZUV_PROP(ArrayCount, short) ZUV_PROP(IsArrayBaseZero, VARIANT_BOOL) ZUV_GET(IsMenuDesigned, VARIANT_BOOL)
    ZUV_FWD(RenderMenu, (ICommandBarsObject** c, VARIANT_BOOL* r), (c, r))
    ZUV_FWD(GetMenu, (LONG id, _xMenu** r), (id, r))
    ZUV_FWD(GetMenuFromSubMenu, (_xMenu** m, LONG id, _xMenu** r), (m, id, r))
    ZUV_FWD(RaiseClickEvent, (short i, VARIANT* r), (i, r))
    ZUV_FWD(GetMenuList, (_Collection** l, VARIANT_BOOL* r), (l, r))

private:
    ComPtr<_xMenu> inner_ = NewMenu();
};

// A host's own toolbar node.
class ForeignToolBar final : public Fake<_xToolBar> {
public:
    STDMETHODIMP ReservedButtons() override { return Unexpected("ReservedButtons"); }
    ZUV_REF(Buttons, _xToolBarCollection) ZUV_REF(Parent, _xToolBar) ZUV_GET(ButtonMenus, _xToolBarCollection*)
    ZUV_REF(CmdBarButton, ICommandBarButton) ZUV_REF(CmdBarPopup, ICommandBarPopup)
    ZUV_PROP(Value, xToolBarValue) ZUV_PROP(StartID, LONG) ZUV_PROP(Left, LONG) ZUV_PROP(Top, LONG)
    ZUV_PROP(Width, LONG) ZUV_PROP(Height, LONG) ZUV_PROP(Caption, BSTR) ZUV_PROP(Text, BSTR)
    ZUV_PROP(TooltipText, BSTR) ZUV_PROP(Key, BSTR) ZUV_PROP(Tag, BSTR) ZUV_PROP(ID, LONG)
    ZUV_PROP(ToolBarID, LONG) ZUV_PROP(Checked, VARIANT_BOOL) ZUV_PROP(Enabled, VARIANT_BOOL)
    ZUV_PROP(Visible, VARIANT_BOOL) ZUV_PROP(ToolBarSeperator, VARIANT_BOOL) ZUV_GET(IsToolBarDesigned, VARIANT_BOOL)
    ZUV_FWD(RenderToolBar, (ICommandBarsObject** c, VARIANT_BOOL* r), (c, r))
    ZUV_FWD(GetToolBar, (LONG id, _xToolBar** r), (id, r))
    ZUV_FWD(GetToolBarFromSubToolBar, (_xToolBar** t, LONG id, _xToolBar** r), (t, id, r))
    ZUV_FWD(RaiseClickEvent, (_xToolBar* t, VARIANT* r), (t, r))

private:
    ComPtr<_xToolBar> inner_ = NewToolBar();
};

#undef ZUV_FWD
#undef ZUV_WIDE
#undef ZUV_GET
#undef ZUV_PUT
#undef ZUV_PROP
#undef ZUV_REF
#undef ZUV_PROBED_GET

inline ComPtr<_xMenu> NewForeignMenu() { return ComPtr<_xMenu>::Adopt(new ForeignMenu()); }
inline ComPtr<_xToolBar> NewForeignToolBar() { return ComPtr<_xToolBar>::Adopt(new ForeignToolBar()); }

}  // namespace zuv::test
