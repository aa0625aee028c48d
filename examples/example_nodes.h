// What the examples share: making nodes and adding them to a tree, and
// connecting a function to a node's events.  A call that fails throws
// zuv::RuntimeError.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <functional>
#include <utility>

#include "frame/error.h"
#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace example {

using zuv::Bstr;
using zuv::Check;
using zuv::ComPtr;

template <class I>
ComPtr<I> Create(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(object.Out())));
    return object;
}

// Adds `node` to a node collection under `key` ("": none) and returns it.
template <class Node, class Children>
ComPtr<Node> Append(Children* children, ComPtr<Node> node, const wchar_t* key) {
    Node* raw = node.Get();
    BSTR in_out = Bstr(key).Detach();   // Add takes the key by reference
    ComPtr<Node> added;
    HRESULT hr = children->Add(&raw, &in_out, added.Out());
    Bstr::Adopt(in_out);
    Check(hr);
    return node;
}

// A shortcut: modifier flags (CTRL 8, SHIFT 4, ALT 16) and a key code.
struct Shortcut {
    long modifiers = 0;
    long code = 0;
};

inline ComPtr<_xMenu> AddMenu(_xMenu* parent, const wchar_t* caption, Shortcut keys = {}, const wchar_t* key = L"") {
    auto node = Create<_xMenu>(CLSID_xMenu, IID__xMenu);
    Check(node->put_Caption(Bstr(caption).Get()));
    Check(node->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(keys.modifiers)));
    Check(node->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(keys.code)));
    ComPtr<_xMenuCollection> children;
    Check(parent->get_SubMenus(children.Out()));
    return Append(children.Get(), std::move(node), key);
}

inline ComPtr<_xToolBar> AddButton(_xToolBar* parent, const wchar_t* caption, const wchar_t* key = L"") {
    auto node = Create<_xToolBar>(CLSID_xToolBar, IID__xToolBar);
    Check(node->put_Caption(Bstr(caption).Get()));
    ComPtr<_xToolBarCollection> children;
    Check(parent->get_Buttons(children.Out()));
    return Append(children.Get(), std::move(node), key);
}

inline void AddSeparator(_xMenu* parent) { Check(AddMenu(parent, L"")->put_MenuSeperator(VARIANT_TRUE)); }
inline void AddSeparator(_xToolBar* parent) { Check(AddButton(parent, L"")->put_ToolBarSeperator(VARIANT_TRUE)); }

using EventHandler = std::function<void(DISPID, DISPPARAMS*)>;

// Receives one node's events and hands each to a function.
class EventSink final : public IDispatch {
public:
    EventSink(REFIID events, EventHandler handler) : iid_(events), handler_(std::move(handler)) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --refs_;
        if (!r) delete this;
        return r;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        handler_(id, p);
        return S_OK;
    }

private:
    ULONG refs_ = 1;
    IID iid_;
    EventHandler handler_;
};

// A function connected to a node's events until the connection goes.
class Connection {
public:
    Connection(IUnknown* source, REFIID events, EventHandler handler) {
        ComPtr<IConnectionPointContainer> container;
        Check(source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out())));
        Check(container->FindConnectionPoint(events, point_.Out()));
        auto sink = ComPtr<EventSink>::Adopt(new EventSink(events, std::move(handler)));
        Check(point_->Advise(static_cast<IDispatch*>(sink.Get()), &cookie_));
    }
    Connection(Connection&& other) noexcept : point_(std::move(other.point_)), cookie_(other.cookie_) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (point_) point_->Unadvise(cookie_);
    }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace example
