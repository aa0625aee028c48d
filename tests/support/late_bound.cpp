#include "late_bound.h"

#include <vector>

namespace zuv::test {

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    return id;
}

LateResult InvokeRaw(IDispatch* object, DISPID id, WORD kind, VARIANT* args_in_order, UINT count) {
    LateResult r;
    std::vector<VARIANT> reversed;
    for (UINT i = count; i > 0; --i) reversed.push_back(args_in_order[i - 1]);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, count, 0};
    if (kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYPUTREF) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, r.value.Out(), &info, &r.arg_error);
    if (r.hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        r.scode = info.scode ? info.scode : MAKE_HRESULT(1, FACILITY_CONTROL, info.wCode);
        r.number = HRESULT_FACILITY(r.scode) == FACILITY_CONTROL ? HRESULT_CODE(r.scode) : static_cast<long>(r.scode);
        if (info.bstrDescription) r.description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
        if (info.bstrSource) r.source.assign(info.bstrSource, SysStringLen(info.bstrSource));
    } else if (FAILED(r.hr)) {
        r.scode = r.hr;
        r.number = HRESULT_FACILITY(r.hr) == FACILITY_CONTROL ? HRESULT_CODE(r.hr) : static_cast<long>(r.hr);
    }
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    return r;
}

LateResult InvokeId(IDispatch* object, DISPID id, WORD kind, std::initializer_list<Variant> args) {
    std::vector<VARIANT> raw;
    for (auto& a : args) raw.push_back(*a.Get());   // shallow: `args` keeps ownership
    return InvokeRaw(object, id, kind, raw.empty() ? nullptr : raw.data(), static_cast<UINT>(raw.size()));
}

LateResult InvokeName(IDispatch* object, const wchar_t* name, WORD kind, std::initializer_list<Variant> args) {
    DISPID id = IdOf(object, name);
    if (id == DISPID_UNKNOWN) {
        LateResult r;
        r.hr = DISP_E_UNKNOWNNAME;
        return r;
    }
    return InvokeId(object, id, kind, args);
}

Variant Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return Variant(v);
}

std::wstring Str(const Variant& v) {
    Variant c;
    if (FAILED(VariantChangeType(c.Out(), const_cast<VARIANT*>(v.Get()), 0, VT_BSTR))) return L"";
    return std::wstring(c.Get()->bstrVal, SysStringLen(c.Get()->bstrVal));
}

long Long(const Variant& v) {
    Variant c;
    if (FAILED(VariantChangeType(c.Out(), const_cast<VARIANT*>(v.Get()), 0, VT_I4))) return 0;
    return c.Get()->lVal;
}

IDispatch* Object(const Variant& v) {
    const VARIANT* p = v.Get();
    if (p->vt == VT_DISPATCH) return p->pdispVal;
    if (p->vt == (VT_BYREF | VT_DISPATCH)) return *p->ppdispVal;
    return nullptr;
}

}  // namespace zuv::test
