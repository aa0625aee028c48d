#include "wrappers.h"
#include "error.h"

namespace zuv {

Bstr::Bstr(const wchar_t* s) : Bstr(s, s ? static_cast<UINT>(wcslen(s)) : 0) {}

Bstr::Bstr(const wchar_t* s, UINT length) {
    if (length == 0 && !s) return;
    s_ = SysAllocStringLen(s, length);
    if (!s_) RaiseError(kErrOutOfMemory);
}

Bstr::Bstr(const Bstr& o) : Bstr(o.s_, SysStringLen(o.s_)) {
    if (!o.s_) Reset();
}

Bstr Bstr::Copy(BSTR s) {
    if (!s) return Bstr();
    return Bstr(s, SysStringLen(s));
}

HRESULT Bstr::CopyTo(BSTR* out) const noexcept {
    *out = nullptr;
    if (!s_) return S_OK;
    *out = SysAllocStringLen(s_, SysStringLen(s_));
    return *out ? S_OK : E_OUTOFMEMORY;
}

Variant::Variant(const Variant& o) {
    VariantInit(&v_);
    HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
    if (FAILED(hr)) RaiseHresult(hr);
}

Variant::Variant(const VARIANT& v) {
    VariantInit(&v_);
    HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&v));
    if (FAILED(hr)) RaiseHresult(hr);
}

Variant Variant::String(const wchar_t* s) {
    Variant r;
    r.v_.bstrVal = Bstr(s).Detach();
    r.v_.vt = VT_BSTR;
    return r;
}

Variant Variant::String(BSTR s) {
    Variant r;
    r.v_.bstrVal = Bstr::Copy(s).Detach();
    r.v_.vt = VT_BSTR;
    return r;
}

}  // namespace zuv
