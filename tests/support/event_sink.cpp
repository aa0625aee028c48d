#include "event_sink.h"

#include <gtest/gtest.h>

namespace zuv::test {

EventRecorder::EventRecorder(IUnknown* source, REFIID events)
    : sink_(ComPtr<EventSink>::Adopt(new EventSink(events))) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out()));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(events, point_.Out());
    if (SUCCEEDED(hr)) hr = point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_);
    EXPECT_EQ(hr, S_OK) << "connecting to the events";
}

void EventRecorder::Disconnect() {
    ComPtr<IConnectionPoint> point = std::move(point_);
    DWORD cookie = cookie_;
    cookie_ = 0;
    if (point && cookie) point->Unadvise(cookie);
}

std::wstring EventRecorder::Joined() const {
    std::wstring s;
    for (auto& e : sink_->events) s += (s.empty() ? L"" : L"; ") + e;
    return s;
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) ? static_cast<IDispatch*>(this) : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) EventSink::Release() {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    static const IID menu = {0xBA3D4B30, 0xD264, 0x40A0, {0xB0, 0x36, 0x5B, 0x73, 0xF9, 0xE2, 0x0C, 0x80}};
    static const wchar_t* const menu_names[] = {L"Unknown", L"Click", L"ArrayClick", L"CustomError", L"SystemError"};
    static const wchar_t* const bar_names[] = {L"Unknown", L"ButtonClick", L"ButtonMenuClick", L"CustomError",
                                               L"SystemError"};
    std::wstring e = (iid_ == menu ? menu_names : bar_names)[id >= 1 && id <= 4 ? id : 0];
    for (UINT i = 0; params && i < params->cArgs; ++i) {
        const VARIANT& a = params->rgvarg[params->cArgs - 1 - i];   // reversed
        e += i ? L", " : L"(";
        if (a.vt == VT_DISPATCH || a.vt == VT_UNKNOWN) {
            e += a.punkVal ? L"obj" : L"Nothing";
        } else {
            Variant text;
            if (SUCCEEDED(VariantChangeType(text.Out(), const_cast<VARIANT*>(&a), 0, VT_BSTR)))
                e += Bstr::Copy(text.Get()->bstrVal).Str();
        }
        if (a.vt == VT_DISPATCH) objects.push_back(ComPtr<IDispatch>(a.pdispVal));
        if (i + 1 == params->cArgs) e += L")";
    }
    events.push_back(e);
    // A helper that stops the test must not unwind through the component.
    try {
        if (on_event) on_event(id);
    } catch (const std::exception& x) {
        ADD_FAILURE() << "in an event handler: " << x.what();
    }
    return S_OK;
}

}  // namespace zuv::test
