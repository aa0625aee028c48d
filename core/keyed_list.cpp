#include "keyed_list.h"

#include <algorithm>
#include <memory>

#include "frame/enumerator.h"

namespace zuv {

std::wstring FoldKey(BSTR key) {
    UINT n = SysStringLen(key);
    if (n == 0) return std::wstring();
    // Plain ASCII folds the same without the platform's tables.
    if (std::all_of(key, key + n, [](wchar_t c) { return c < 0x80; })) {
        std::wstring folded(key, n);
        for (wchar_t& c : folded)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
        return folded;
    }
    int size = LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, key, static_cast<int>(n), nullptr, 0);
    if (size <= 0) return std::wstring(key, n);
    std::wstring folded(static_cast<size_t>(size), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, key, static_cast<int>(n), &folded[0], size);
    return folded;
}

IndexKey ReadIndexKey(const VARIANT& index) {
    // What callers pass nearly always, read without copies or conversions.
    switch (index.vt) {
    case VT_I2: return IndexKey::Position(index.iVal);
    case VT_I4: return IndexKey::Position(index.lVal);
    case VT_BSTR: return IndexKey::Lent(index.bstrVal);
    default: break;
    }
    Variant v;
    HRESULT hr = VariantCopyInd(v.Get(), const_cast<VARIANT*>(&index));
    if (FAILED(hr)) RaiseError(kErrTypeMismatch);
    if (v.Type() == VT_DISPATCH) {
        // An object stands for its default value.
        IDispatch* d = v.Get()->pdispVal;
        if (!d) RaiseError(kErrObjectNotSet);
        DISPPARAMS none{};
        Variant value;
        EXCEPINFO info{};
        hr = d->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.Out(), &info,
                       nullptr);
        if (FAILED(hr)) RaiseInvokeFailure(hr, info);
        v = std::move(value);
    }
    switch (v.Type()) {
    case VT_BSTR:
        return IndexKey::Copied(v.Get()->bstrVal);
    case VT_EMPTY:
        return IndexKey::Position(0);
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL: case VT_DECIMAL: {
        Variant n;
        hr = VariantChangeType(n.Get(), v.Get(), 0, VT_I4);
        if (hr == DISP_E_OVERFLOW) RaiseError(kErrOverflow);
        if (FAILED(hr)) RaiseError(kErrTypeMismatch);
        return IndexKey::Position(n.Get()->lVal);
    }
    default:
        RaiseError(kErrTypeMismatch);
    }
}

namespace {

// Each value is handed out as a copy the caller owns.
struct VariantItems {
    using Interface = IEnumVARIANT;
    using Out = VARIANT;
    using Item = Variant;
    static HRESULT Copy(const Variant& item, VARIANT* out) noexcept {
        const VARIANT& v = *item.Get();
        if (v.vt == VT_DISPATCH) {
            // The usual entry, a node or Nothing: one more reference.
            *out = v;
            if (v.pdispVal) v.pdispVal->AddRef();
            return S_OK;
        }
        VariantInit(out);
        return VariantCopy(out, const_cast<VARIANT*>(&v));
    }
    static void Clear(VARIANT* out) noexcept { VariantClear(out); }
};

}  // namespace

HRESULT NewVariantEnum(std::vector<Variant> items, IUnknown** out) noexcept {
    if (!out) return E_POINTER;
    IEnumVARIANT* e = nullptr;
    HRESULT hr = SnapshotEnum<VariantItems>::New(std::move(items), &e);
    *out = e;
    return hr;
}

}  // namespace zuv
