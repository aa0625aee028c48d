// Connection points embedded in an event source, and the base of the node
// classes that raise events.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <algorithm>
#include <array>
#include <memory>
#include <utility>
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

// The connection points of an event source, one per event interface, made
// when a caller first asks for one: most objects never get a sink, and the
// points would cost more than the rest of a small object.
template <size_t N>
class LazyConnectionPoints {
public:
    using Iids = std::array<const IID*, N>;

    LazyConnectionPoints() noexcept = default;
    LazyConnectionPoints(const LazyConnectionPoints&) = delete;
    LazyConnectionPoints& operator=(const LazyConnectionPoints&) = delete;

    // The points made so far: none before the first Make.
    ConnectionPoint* const* Made(size_t& count) const noexcept {
        count = block_ ? N : 0;
        return block_ ? block_->list : nullptr;
    }
    // The points, made now if need be, in the order of `iids`; null when
    // there is no memory for them.
    ConnectionPoint* const* Make(IConnectionPointContainer* owner, const Iids& iids, size_t& count) noexcept {
        if (!block_) block_.reset(new (std::nothrow) Block(owner, iids, std::make_index_sequence<N>()));
        return Made(count);
    }

private:
    struct Block {
        template <size_t... I>
        Block(IConnectionPointContainer* owner, const Iids& iids, std::index_sequence<I...>) noexcept
            : points{{owner, *iids[I]}...}, list{&points[I]...} {}
        ConnectionPoint points[N];
        ConnectionPoint* list[N];
    };
    std::unique_ptr<Block> block_;
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
//   ConnectionPoint* const* Points(size_t& count);      // the points events go to
// and may provide (found by name) the points a caller asks for, made then:
//   ConnectionPoint* const* MakePoints(size_t& count);  // null: no memory
template <class Derived, class Dual, class... Others>
class EventSourceObject
    : public AutomationObject<Derived, Dual, IConnectionPointContainer, IProvideClassInfo2, ISupportErrorInfo,
                              Others...> {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->MakePoints(n);
        return p ? events::EnumConnectionPoints(p, n, out) : E_OUTOFMEMORY;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** found) noexcept override {
        if (!found) return E_POINTER;
        *found = nullptr;
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->MakePoints(n);
        return p ? events::FindConnectionPoint(p, n, iid, found) : E_OUTOFMEMORY;
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
    // Points made from the start (the default when Derived has no MakePoints).
    ConnectionPoint* const* MakePoints(size_t& count) noexcept { return static_cast<Derived*>(this)->Points(count); }

    // Raises the event of that name on every connection point; `args` in
    // parameter order.  The source stays alive until every sink has
    // returned, even when a sink releases it.  Without a point there is
    // nobody to tell, and nothing is looked up.
    void FireEvent(const wchar_t* name, VARIANT* args, UINT count) noexcept {
        size_t n = 0;
        ConnectionPoint* const* p = static_cast<Derived*>(this)->Points(n);
        if (n == 0) return;
        DISPID member = events::EventId(Derived::SourceIid(), name);
        if (member == DISPID_UNKNOWN) return;
        ComPtr<IUnknown> keep(this->Unknown());
        std::vector<VARIANT> reversed(args, args + count);
        std::reverse(reversed.begin(), reversed.end());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, count, 0};
        for (size_t i = 0; i < n; ++i) p[i]->Fire(member, params);
    }
};

}  // namespace zuv
