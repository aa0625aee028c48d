#include "late_bound.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zuv::test {

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    if (!object) return id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ? id : DISPID_UNKNOWN;
}

LateResult InvokeRaw(IDispatch* object, DISPID id, WORD kind, VARIANT* args_in_order, UINT count) {
    LateResult r;
    if (!object) {   // what a failed earlier call left: a failed call, not a crash
        r.hr = r.scode = E_POINTER;
        r.description = L"called on Nothing";
        return r;
    }
    std::vector<VARIANT> reversed(args_in_order, args_in_order + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYPUTREF;
    DISPPARAMS params{count ? reversed.data() : nullptr, is_put ? &put : nullptr, count, is_put ? 1u : 0u};
    EXCEPINFO info{};
    r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, r.value.Out(), &info, &r.arg_error);
    if (r.hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    Bstr description = Bstr::Adopt(info.bstrDescription), source = Bstr::Adopt(info.bstrSource);
    Bstr help = Bstr::Adopt(info.bstrHelpFile);
    if (FAILED(r.hr)) {
        r.scode = r.hr != DISP_E_EXCEPTION ? r.hr : info.scode ? info.scode : MAKE_HRESULT(1, FACILITY_CONTROL, info.wCode);
        r.number = HRESULT_FACILITY(r.scode) == FACILITY_CONTROL ? HRESULT_CODE(r.scode) : static_cast<long>(r.scode);
        r.description = description.Str();
        r.source = source.Str();
    }
    return r;
}

LateResult InvokeId(IDispatch* object, DISPID id, WORD kind, const std::vector<Variant>& args) {
    std::vector<VARIANT> raw;
    for (auto& a : args) raw.push_back(*a.Get());   // shallow: `args` keeps ownership
    return InvokeRaw(object, id, kind, raw.data(), static_cast<UINT>(raw.size()));
}

LateResult InvokeName(IDispatch* object, const wchar_t* name, WORD kind, std::initializer_list<Variant> args) {
    DISPID id = IdOf(object, name);
    if (id != DISPID_UNKNOWN) return InvokeId(object, id, kind, args);
    LateResult r;
    r.hr = DISP_E_UNKNOWNNAME;
    return r;
}

Variant Missing() {
    VARIANT v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return Variant(v);
}

std::wstring Str(const Variant& v) {
    Variant c;
    if (FAILED(VariantChangeType(c.Out(), const_cast<VARIANT*>(v.Get()), 0, VT_BSTR))) return L"";
    return Bstr::Copy(c.Get()->bstrVal).Str();
}

long Long(const Variant& v) {
    Variant c;
    return SUCCEEDED(VariantChangeType(c.Out(), const_cast<VARIANT*>(v.Get()), 0, VT_I4)) ? c.Get()->lVal : 0;
}

IDispatch* Object(const Variant& v) {
    const VARIANT* p = v.Get();
    return p->vt == VT_DISPATCH ? p->pdispVal : p->vt == (VT_BYREF | VT_DISPATCH) ? *p->ppdispVal : nullptr;
}

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
