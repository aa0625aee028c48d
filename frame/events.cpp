#include "events.h"

#include <algorithm>
#include <cassert>
#include <map>
#include <mutex>
#include <string>

#include "enumerator.h"
#include "module.h"

namespace zuv {
namespace {

// The snapshot enumerators over connections and connection points.  An
// embedded point shares its container's reference count: holding the
// points keeps the container alive while the enumerator lives.
struct Connection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};
struct ConnectionItems {
    using Interface = IEnumConnections;
    using Out = CONNECTDATA;
    using Item = Connection;
    static HRESULT Copy(const Connection& item, CONNECTDATA* out) noexcept {
        *out = {item.sink.Get(), item.cookie};
        out->pUnk->AddRef();
        return S_OK;
    }
    static void Clear(CONNECTDATA* out) noexcept { out->pUnk->Release(); }
};
struct PointItems {
    using Interface = IEnumConnectionPoints;
    using Out = IConnectionPoint*;
    using Item = ComPtr<IConnectionPoint>;
    static HRESULT Copy(const ComPtr<IConnectionPoint>& item, IConnectionPoint** out) noexcept {
        item.CopyTo(out);
        return S_OK;
    }
    static void Clear(IConnectionPoint** out) noexcept { (*out)->Release(); }
};

}  // namespace

ConnectionPoint::~ConnectionPoint() = default;

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept {
    if (!container) return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IDispatch> d;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(d.Out()))) || !d) return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({next_cookie_, d});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = next_cookie_++;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) noexcept {
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    ComPtr<IDispatch> released = std::move(it->sink);   // released after the list is consistent
    sinks_.erase(it);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) noexcept {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    try {
        std::vector<Connection> items;
        for (auto& s : sinks_) items.push_back({s.sink.Get(), s.cookie});
        return SnapshotEnum<ConnectionItems>::New(std::move(items), connections);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ConnectionPoint::Fire(DISPID member, DISPPARAMS& params) noexcept {
    std::vector<Sink> snapshot;
    try {
        snapshot = sinks_;
    } catch (...) {
        return;
    }
    for (auto& s : snapshot) {
        // A sink unadvised by an earlier one in this round is skipped.
        bool still = std::any_of(sinks_.begin(), sinks_.end(), [&](const Sink& x) { return x.cookie == s.cookie; });
        if (!still) continue;
        VARIANT ignored;
        VariantInit(&ignored);
        s.sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &ignored, nullptr, nullptr);
        VariantClear(&ignored);
    }
}

namespace events {

HRESULT FindConnectionPoint(ConnectionPoint* const* points, size_t count, REFIID iid,
                            IConnectionPoint** found) noexcept {
    if (!found) return E_POINTER;
    *found = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (points[i]->Iid() == iid) {
            *found = points[i];
            points[i]->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT EnumConnectionPoints(ConnectionPoint* const* points, size_t count, IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return SnapshotEnum<PointItems>::New(std::vector<ComPtr<IConnectionPoint>>(points, points + count), out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ClassInfo(REFCLSID clsid, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    return module::TypeInfoOf(clsid, info);
}

DISPID EventId(REFIID events, const wchar_t* name) noexcept {
    static std::mutex lock;
    static std::map<std::pair<std::wstring, std::wstring>, DISPID> cache;
    try {
        wchar_t guid[40];
        StringFromGUID2(events, guid, 40);
        auto key = std::make_pair(std::wstring(guid), std::wstring(name));
        std::lock_guard<std::mutex> guard(lock);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
        ComPtr<ITypeInfo> info;
        if (FAILED(module::TypeInfoOf(events, info.Out()))) return DISPID_UNKNOWN;
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = info->GetIDsOfNames(names, 1, &id);
        // A name the event interface does not declare is a mistake in the
        // caller's code, not a run-time condition: a debug build stops on it.
        // A release build raises nothing, like any event that cannot be sent.
        assert(hr != DISP_E_UNKNOWNNAME && "event name not declared by the event interface");
        if (FAILED(hr)) return DISPID_UNKNOWN;
        cache.emplace(std::move(key), id);
        return id;
    } catch (...) {
        return DISPID_UNKNOWN;
    }
}

}  // namespace events
}  // namespace zuv
