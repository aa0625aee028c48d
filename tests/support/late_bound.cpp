#include "late_bound.h"

#include <algorithm>
#include <vector>

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

LateResult InvokeId(IDispatch* object, DISPID id, WORD kind, std::initializer_list<Variant> args) {
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

}  // namespace zuv::test
