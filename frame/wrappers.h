// Small owning wrappers for COM interface pointers, BSTRs and VARIANTs.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <utility>
#include <string>

namespace zuv {

// Counted interface pointer; move-only ownership is explicit through Attach/Detach.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& o) noexcept { ComPtr(o).Swap(*this); return *this; }
    ComPtr& operator=(ComPtr&& o) noexcept { ComPtr(std::move(o)).Swap(*this); return *this; }
    ComPtr& operator=(T* p) noexcept { ComPtr(p).Swap(*this); return *this; }
    ComPtr& operator=(std::nullptr_t) noexcept { Reset(); return *this; }

    static ComPtr Adopt(T* p) noexcept { ComPtr r; r.p_ = p; return r; }

    void Reset() noexcept {
        // Clear before releasing: the release may re-enter this holder.
        T* p = p_;
        p_ = nullptr;
        if (p) p->Release();
    }
    void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }
    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T* Detach() noexcept { T* p = p_; p_ = nullptr; return p; }
    // Address for out-parameters; releases what is held first.
    T** Out() noexcept { Reset(); return &p_; }
    // Returns a new reference through a COM out-parameter.
    void CopyTo(T** out) const noexcept { *out = p_; if (p_) p_->AddRef(); }

    template <class U>
    ComPtr<U> As() const noexcept {
        ComPtr<U> r;
        if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(r.Out()));
        return r;
    }
    ComPtr<IUnknown> AsIID(REFIID iid) const noexcept {
        ComPtr<IUnknown> r;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(r.Out()));
        return r;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator!=(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ != b.p_; }

private:
    T* p_ = nullptr;
};

// Owned BSTR.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(const wchar_t* s);                 // throws RuntimeError 7 when out of memory
    Bstr(const wchar_t* s, UINT length);
    explicit Bstr(const std::wstring& s) : Bstr(s.c_str(), static_cast<UINT>(s.size())) {}
    Bstr(const Bstr& o);
    Bstr(Bstr&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    ~Bstr() { Reset(); }
    Bstr& operator=(const Bstr& o) { Bstr(o).Swap(*this); return *this; }
    Bstr& operator=(Bstr&& o) noexcept { Bstr(std::move(o)).Swap(*this); return *this; }

    static Bstr Adopt(BSTR s) noexcept { Bstr r; r.s_ = s; return r; }
    static Bstr Copy(BSTR s);                        // copies with embedded length

    void Reset() noexcept { if (s_) { SysFreeString(s_); s_ = nullptr; } }
    void Swap(Bstr& o) noexcept { std::swap(s_, o.s_); }
    BSTR Get() const noexcept { return s_; }
    BSTR* Out() noexcept { Reset(); return &s_; }
    BSTR Detach() noexcept { BSTR s = s_; s_ = nullptr; return s; }
    UINT Length() const noexcept { return SysStringLen(s_); }
    bool Empty() const noexcept { return Length() == 0; }
    // A new BSTR for a COM out-parameter (an empty text may be returned as null).
    HRESULT CopyTo(BSTR* out) const noexcept;
    std::wstring Str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

private:
    BSTR s_ = nullptr;
};

// Owned VARIANT.
class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const Variant& o);
    Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    explicit Variant(const VARIANT& v);              // copies
    ~Variant() { VariantClear(&v_); }
    Variant& operator=(const Variant& o) { Variant(o).Swap(*this); return *this; }
    Variant& operator=(Variant&& o) noexcept { Variant(std::move(o)).Swap(*this); return *this; }

    static Variant Long(LONG v) noexcept { Variant r; r.v_.vt = VT_I4; r.v_.lVal = v; return r; }
    static Variant Short(SHORT v) noexcept { Variant r; r.v_.vt = VT_I2; r.v_.iVal = v; return r; }
    static Variant Bool(bool v) noexcept { Variant r; r.v_.vt = VT_BOOL; r.v_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; return r; }
    static Variant String(const wchar_t* s);
    static Variant String(BSTR s) ;                  // copies with embedded length
    static Variant Object(IDispatch* d) noexcept { Variant r; r.v_.vt = VT_DISPATCH; r.v_.pdispVal = d; if (d) d->AddRef(); return r; }
    static Variant LongRef(LONG* p) noexcept { Variant r; r.v_.vt = VT_BYREF | VT_I4; r.v_.plVal = p; return r; }

    void Reset() noexcept { VariantClear(&v_); }
    void Swap(Variant& o) noexcept { std::swap(v_, o.v_); }
    VARIANT* Get() noexcept { return &v_; }
    const VARIANT* Get() const noexcept { return &v_; }
    VARIANT* Out() noexcept { VariantClear(&v_); return &v_; }
    VARTYPE Type() const noexcept { return v_.vt; }
    VARIANT Detach() noexcept { VARIANT v = v_; VariantInit(&v_); return v; }

private:
    VARIANT v_;
};

inline VARIANT_BOOL ToVB(bool b) noexcept { return b ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace zuv
