#include "event_sink.h"

#include <gtest/gtest.h>

namespace zuv::test {
namespace {

std::wstring Text(const VARIANT& v) {
    VARIANT c;
    VariantInit(&c);
    std::wstring s;
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
        s = v.punkVal ? L"obj" : L"Nothing";
    } else if (SUCCEEDED(VariantChangeType(&c, const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
        s.assign(c.bstrVal, SysStringLen(c.bstrVal));
    }
    VariantClear(&c);
    return s;
}

const wchar_t* Name(REFIID events, DISPID id) {
    static const IID menu = {0xBA3D4B30, 0xD264, 0x40A0, {0xB0, 0x36, 0x5B, 0x73, 0xF9, 0xE2, 0x0C, 0x80}};
    bool is_menu = events == menu;
    switch (id) {
    case 1: return is_menu ? L"Click" : L"ButtonClick";
    case 2: return is_menu ? L"ArrayClick" : L"ButtonMenuClick";
    case 3: return L"CustomError";
    case 4: return L"SystemError";
    default: return L"Unknown";
    }
}

}  // namespace

EventRecorder::EventRecorder(IUnknown* source, REFIID events)
    : sink_(ComPtr<EventSink>::Adopt(new EventSink(events))) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out()));
    EXPECT_EQ(hr, S_OK) << "IConnectionPointContainer";
    if (FAILED(hr)) return;
    hr = container->FindConnectionPoint(events, point_.Out());
    EXPECT_EQ(hr, S_OK) << "FindConnectionPoint";
    if (FAILED(hr)) return;
    hr = point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_);
    EXPECT_EQ(hr, S_OK) << "Advise";
}

void EventRecorder::Disconnect() {
    ComPtr<IConnectionPoint> point = std::move(point_);
    DWORD cookie = cookie_;
    cookie_ = 0;
    if (point && cookie) point->Unadvise(cookie);
}

std::wstring EventSink::Joined() const {
    std::wstring s;
    for (auto& e : events_) {
        if (!s.empty()) s += L"; ";
        s += e;
    }
    return s;
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::Release() {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    std::wstring e = Name(iid_, id);
    if (params && params->cArgs) {
        e += L"(";
        for (UINT i = 0; i < params->cArgs; ++i) {
            const VARIANT& a = params->rgvarg[params->cArgs - 1 - i];   // reversed
            if (i) e += L", ";
            e += Text(a);
            if (a.vt == VT_DISPATCH) objects_.push_back(ComPtr<IDispatch>(a.pdispVal));
        }
        e += L")";
    }
    events_.push_back(e);
    if (on_event) on_event(id);
    return S_OK;
}

}  // namespace zuv::test
