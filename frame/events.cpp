#include "events.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

#include "module.h"

namespace zuv {
namespace {

// Snapshot enumerators over connections and connection points.
class ConnectionsEnum final : public ComObject<ConnectionsEnum, IEnumConnections> {
public:
    explicit ConnectionsEnum(std::vector<CONNECTDATA> items) : items_(std::move(items)) {
        for (auto& c : items_) c.pUnk->AddRef();
    }
    ~ConnectionsEnum() override {
        for (auto& c : items_) c.pUnk->Release();
    }
    STDMETHODIMP Next(ULONG n, CONNECTDATA* out, ULONG* fetched) noexcept override {
        if (!out || (n > 1 && !fetched)) return E_POINTER;
        ULONG got = 0;
        while (got < n && pos_ < items_.size()) {
            out[got] = items_[pos_++];
            out[got].pUnk->AddRef();
            ++got;
        }
        if (fetched) *fetched = got;
        return got == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) noexcept override {
        size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(n, left);
        return n <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override { pos_ = 0; return S_OK; }
    STDMETHODIMP Clone(IEnumConnections** out) noexcept override {
        if (!out) return E_POINTER;
        try {
            auto* c = MakeObject<ConnectionsEnum>(items_);
            c->pos_ = pos_;
            *out = c;
            return S_OK;
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    }

private:
    std::vector<CONNECTDATA> items_;
    size_t pos_ = 0;
};

class PointsEnum final : public ComObject<PointsEnum, IEnumConnectionPoints> {
public:
    PointsEnum(IUnknown* owner, std::vector<IConnectionPoint*> items) : owner_(owner), items_(std::move(items)) {}
    STDMETHODIMP Next(ULONG n, IConnectionPoint** out, ULONG* fetched) noexcept override {
        if (!out || (n > 1 && !fetched)) return E_POINTER;
        ULONG got = 0;
        while (got < n && pos_ < items_.size()) {
            out[got] = items_[pos_++];
            out[got]->AddRef();
            ++got;
        }
        if (fetched) *fetched = got;
        return got == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) noexcept override {
        size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(n, left);
        return n <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override { pos_ = 0; return S_OK; }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) noexcept override {
        if (!out) return E_POINTER;
        try {
            auto* c = MakeObject<PointsEnum>(owner_.Get(), items_);
            c->pos_ = pos_;
            *out = c;
            return S_OK;
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    }

private:
    ComPtr<IUnknown> owner_;   // keeps the embedded points alive
    std::vector<IConnectionPoint*> items_;
    size_t pos_ = 0;
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
    try {
        std::vector<CONNECTDATA> items;
        for (auto& s : sinks_) items.push_back({s.sink.Get(), s.cookie});
        *connections = MakeObject<ConnectionsEnum>(std::move(items));
        return S_OK;
    } catch (...) {
        *connections = nullptr;
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

HRESULT EnumConnectionPoints(IUnknown* owner, ConnectionPoint* const* points, size_t count,
                             IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    try {
        *out = MakeObject<PointsEnum>(owner, std::vector<IConnectionPoint*>(points, points + count));
        return S_OK;
    } catch (...) {
        *out = nullptr;
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
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (FAILED(module::TypeInfoOf(events, info.Out())) || FAILED(info->GetIDsOfNames(names, 1, &id)))
            return DISPID_UNKNOWN;
        cache.emplace(std::move(key), id);
        return id;
    } catch (...) {
        return DISPID_UNKNOWN;
    }
}

}  // namespace events
}  // namespace zuv
