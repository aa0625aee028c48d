#include "keyed_list.h"

#include <algorithm>
#include <memory>

#include "frame/com_object.h"

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
    case VT_I2: return IndexKey{false, index.iVal, Bstr()};
    case VT_I4: return IndexKey{false, index.lVal, Bstr()};
    case VT_BSTR: return IndexKey{true, 0, Bstr::Copy(index.bstrVal)};
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
        return IndexKey{true, 0, Bstr::Copy(v.Get()->bstrVal)};
    case VT_EMPTY:
        return IndexKey{false, 0, Bstr()};
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL: case VT_DECIMAL: {
        Variant n;
        hr = VariantChangeType(n.Get(), v.Get(), 0, VT_I4);
        if (hr == DISP_E_OVERFLOW) RaiseError(kErrOverflow);
        if (FAILED(hr)) RaiseError(kErrTypeMismatch);
        return IndexKey{false, n.Get()->lVal, Bstr()};
    }
    default:
        RaiseError(kErrTypeMismatch);
    }
}

namespace {

using Items = std::vector<Variant>;

// Enumerates a snapshot; clones share it.
class VariantEnum final : public ComObject<VariantEnum, IEnumVARIANT> {
public:
    VariantEnum(std::shared_ptr<const Items> items, size_t pos) : items_(std::move(items)), pos_(pos) {}

    STDMETHODIMP Next(ULONG n, VARIANT* out, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (!out) return E_POINTER;
        ULONG got = 0;
        for (; got < n && pos_ < items_->size(); ++got, ++pos_) {
            VariantInit(&out[got]);
            HRESULT hr = VariantCopy(&out[got], const_cast<VARIANT*>((*items_)[pos_].Get()));
            if (FAILED(hr)) {
                while (got) VariantClear(&out[--got]);
                return hr;
            }
        }
        if (fetched) *fetched = got;
        return got == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) noexcept override {
        size_t left = items_->size() - pos_;
        pos_ += std::min<size_t>(n, left);
        return n <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) noexcept override {
        if (!out) return E_POINTER;
        try {
            *out = MakeObject<VariantEnum>(items_, pos_);
            return S_OK;
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    }

private:
    std::shared_ptr<const Items> items_;
    size_t pos_;
};

}  // namespace

HRESULT NewVariantEnum(std::vector<Variant> items, IUnknown** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        auto shared = std::make_shared<const Items>(std::move(items));
        *out = static_cast<IEnumVARIANT*>(MakeObject<VariantEnum>(std::move(shared), 0));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace zuv
