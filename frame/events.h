// Connection points embedded in an event source, and the base of the node
// classes that raise events.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <algorithm>
#include <vector>

#include "wrappers.h"
#include "dispatch.h"

namespace zuv {

// One connection point, living inside its container and sharing its
// reference count (its owner is always alive while it is).
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer* owner, REFIID events) noexcept : owner_(owner), iid_(events) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return owner_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) noexcept override;

    REFIID Iid() const noexcept { return iid_; }
    bool HasSinks() const noexcept { return !sinks_.empty(); }
    // Invokes every sink connected when the call starts; a sink may unadvise
    // itself or others meanwhile.  Sink failures are ignored.
    void Fire(DISPID member, DISPPARAMS& params) noexcept;

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };
    IConnectionPointContainer* owner_;
    IID iid_;
    std::vector<Sink> sinks_;
    DWORD next_cookie_ = 1;
};

namespace events {
HRESULT FindConnectionPoint(ConnectionPoint* const* points, size_t count, REFIID iid,
                            IConnectionPoint** found) noexcept;
HRESULT EnumConnectionPoints(ConnectionPoint* const* points, size_t count, IEnumConnectionPoints** out) noexcept;
HRESULT ClassInfo(REFCLSID clsid, ITypeInfo** info) noexcept;
// The dispatch id of an event, as the type library's event interface
// declares it (DISPID_UNKNOWN when it cannot be read).
DISPID EventId(REFIID events, const wchar_t* name) noexcept;
}  // namespace events

// A creatable class with a dual default interface and an event source.
// Derived provides:
//   static const CLSID& ClassId();
//   static const IID& SourceIid();            // the default event interface
//   ConnectionPoint* const* Points(size_t& count);
template <class Derived, class Dual, class... Others>
class EventSourceObject
    : public AutomationObject<Derived, Dual, IConnectionPointContainer, IProvideClassInfo2, ISupportErrorInfo,
                              Others...> {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->Points(n);
        return events::EnumConnectionPoints(p, n, out);
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** found) noexcept override {
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->Points(n);
        return events::FindConnectionPoint(p, n, iid, found);
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** info) noexcept override {
        return events::ClassInfo(Derived::ClassId(), info);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) noexcept override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = Derived::SourceIid();
        return S_OK;
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(Dual) ? S_OK : S_FALSE;
    }

protected:
    // Raises the event of that name on every connection point; `args` in
    // parameter order.  The source stays alive until every sink has
    // returned, even when a sink releases it.
    void FireEvent(const wchar_t* name, VARIANT* args, UINT count) noexcept {
        DISPID member = events::EventId(Derived::SourceIid(), name);
        if (member == DISPID_UNKNOWN) return;
        ComPtr<IUnknown> keep(this->Unknown());
        std::vector<VARIANT> reversed(args, args + count);
        std::reverse(reversed.begin(), reversed.end());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, count, 0};
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->Points(n);
        for (size_t i = 0; i < n; ++i) p[i]->Fire(member, params);
    }
};

}  // namespace zuv
