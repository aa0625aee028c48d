#include "dispatch.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "error.h"
#include "wrappers.h"
#include "module.h"

namespace zuv::dispatch {
namespace {

// What a parameter takes, as far as the repairs and checks below need it.
enum class ObjectKind {
    None,      // not an object
    Own,       // one of the library's own interfaces: the object must answer `iid`
    Foreign,   // another library's interface (the host's objects): any IDispatch
    Unknown,   // IUnknown: any object
};

struct Param {
    VARTYPE type;        // the base type (VT_PTR resolved one level)
    bool by_ref;         // declared as a pointer
    bool optional;
    bool has_default;
    ObjectKind object = ObjectKind::None;
    IID iid{};           // for ObjectKind::Own
    VARTYPE passed = VT_EMPTY;   // the variant type the member is called with
    USHORT flags = 0;            // PARAMFLAG_*
};

// What a member's vtable entry takes in one argument position: a value
// passed in one machine word (integers, strings, objects, pointers), or a
// VARIANT by value.
enum class Slot : unsigned char { Word, Variant };

// A member whose every parameter the component can hand on itself is called
// straight through the vtable, without the platform's type-library dispatch.
constexpr size_t kMaxDirect = 4;   // parameters, the [out, retval] one included

struct DirectCall {
    bool usable = false;
    size_t vtable_index = 0;
    size_t count = 0;            // parameters, the [out, retval] one included
    Slot slots[kMaxDirect] = {};
    VARTYPE retval = VT_EMPTY;   // VT_BYREF | type of the [out, retval] parameter; VT_EMPTY: none
};

struct Function {
    INVOKEKIND kind{};
    std::vector<Param> params;   // without the [out, retval] one
    size_t required = 0;         // leading parameters that are neither optional nor defaulted
    bool returns_object = false;
    DirectCall direct;
};

// The functions of one dispatch id, by invoke kind: method, get, put,
// putref (the order in which a call's flags are tried).
struct Member {
    Function kinds[4];
    bool has[4] = {};

    static size_t Slot(INVOKEKIND kind) noexcept {
        return kind == INVOKE_FUNC ? 0 : kind == INVOKE_PROPERTYGET ? 1 : kind == INVOKE_PROPERTYPUT ? 2 : 3;
    }
};

// The vtable face of a dual interface and its functions by member.
struct InterfaceInfo {
    ComPtr<ITypeInfo> vtable_face;
    std::unordered_map<DISPID, Member> members;
    std::wstring source;   // "zuvXCHandler.xMenu" for _xMenu: the error source
};

// Entries are never removed: what Load hands out lives as long as the module.
std::mutex g_lock;
std::map<GUID, std::unique_ptr<InterfaceInfo>, bool (*)(const GUID&, const GUID&)> g_cache(
    [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; });

// The object kind of a user-defined type: an interface of this library, of
// another one, or no interface at all.
ObjectKind KindOf(ITypeInfo* owner, HREFTYPE href, IID& iid) {
    ComPtr<ITypeInfo> ref;
    TYPEATTR* attr = nullptr;
    // A type of a library that is not registered cannot be resolved; it can
    // only be an imported interface (the host's), so any IDispatch will do.
    if (FAILED(owner->GetRefTypeInfo(href, ref.Out())) || FAILED(ref->GetTypeAttr(&attr))) return ObjectKind::Foreign;
    TYPEKIND kind = attr->typekind;
    iid = attr->guid;
    ref->ReleaseTypeAttr(attr);
    if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH && kind != TKIND_COCLASS) return ObjectKind::None;
    ComPtr<ITypeInfo> own;
    if (kind != TKIND_COCLASS && SUCCEEDED(module::TypeInfoOf(iid, own.Out()))) return ObjectKind::Own;
    return ObjectKind::Foreign;
}

VARTYPE BaseType(ITypeInfo* owner, const TYPEDESC& desc, bool& by_ref, ObjectKind& object, IID& iid) {
    const TYPEDESC* d = &desc;
    by_ref = false;
    object = ObjectKind::None;
    if (d->vt == VT_PTR) {
        d = d->lptdesc;
        if (d->vt == VT_PTR) {
            // Pointer to an interface pointer.
            by_ref = true;
            d = d->lptdesc;
        }
        // An interface pointer is one level of indirection by itself.
        if (d->vt == VT_USERDEFINED) {
            object = KindOf(owner, d->hreftype, iid);
            if (object != ObjectKind::None) return VT_DISPATCH;
            by_ref = true;
            return VT_USERDEFINED;
        }
        if (by_ref && (d->vt == VT_DISPATCH || d->vt == VT_UNKNOWN)) {
            object = d->vt == VT_DISPATCH ? ObjectKind::Foreign : ObjectKind::Unknown;
            return d->vt;
        }
        by_ref = true;
    }
    if (d->vt == VT_DISPATCH) object = ObjectKind::Foreign;
    if (d->vt == VT_UNKNOWN) object = ObjectKind::Unknown;
    return d->vt;
}

// The variant type a parameter of a user-defined type is called with: an
// enumeration is a Long, an interface an object.  False for what is left to
// the platform (aliases, records, types that do not resolve).
bool UserDefinedPassed(ITypeInfo* owner, HREFTYPE href, VARTYPE& vt) {
    ComPtr<ITypeInfo> ref;
    TYPEATTR* attr = nullptr;
    if (FAILED(owner->GetRefTypeInfo(href, ref.Out())) || FAILED(ref->GetTypeAttr(&attr))) return false;
    bool known = true;
    switch (attr->typekind) {
        case TKIND_ENUM: vt |= VT_I4; break;
        case TKIND_INTERFACE: vt |= (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN; break;
        case TKIND_DISPATCH: case TKIND_COCLASS: vt |= VT_DISPATCH; break;
        default: known = false; break;
    }
    ref->ReleaseTypeAttr(attr);
    return known;
}

// The variant type the platform's type-library dispatch calls a parameter
// with: one level of pointer is a reference, a pointer to an interface is the
// object itself (and a pointer to that a reference to an object).
bool PassedType(ITypeInfo* owner, const TYPEDESC& desc, VARTYPE& vt) {
    const TYPEDESC* d = &desc;
    vt = VT_EMPTY;
    if (d->vt == VT_PTR) {
        d = d->lptdesc;
        const bool to_pointer = d->vt == VT_PTR;
        const TYPEDESC* named = to_pointer ? d->lptdesc : d;
        VARTYPE object = to_pointer ? VARTYPE{VT_BYREF} : VARTYPE{VT_EMPTY};
        if (named->vt == VT_USERDEFINED && UserDefinedPassed(owner, named->hreftype, object) &&
            ((object & VT_TYPEMASK) == VT_DISPATCH || (object & VT_TYPEMASK) == VT_UNKNOWN)) {
            vt = object;
            return true;
        }
        vt = VT_BYREF;
    }
    switch (d->vt) {
        case VT_HRESULT: vt |= VT_ERROR; return true;
        case VT_USERDEFINED: return UserDefinedPassed(owner, d->hreftype, vt);
        case VT_INT: vt |= VT_I4; return true;
        case VT_UINT: vt |= VT_UI4; return true;
        case VT_VOID: case VT_CARRAY: case VT_PTR: case VT_LPSTR: case VT_LPWSTR: case VT_SAFEARRAY: return false;
        default: vt |= d->vt; return true;
    }
}

// How a parameter of this variant type sits in the vtable call.  False for
// what does not fit one machine word on both architectures (floating point
// values travel in other registers, 8-byte values take two stack words on
// i686).
bool SlotOf(VARTYPE vt, Slot& slot) {
    if (vt == VT_VARIANT) {
        slot = Slot::Variant;
        return true;
    }
    slot = Slot::Word;
    if (vt & VT_BYREF) return !(vt & VT_ARRAY);
    switch (vt) {
        case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_BOOL: case VT_ERROR:
        case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

// [out, retval] types whose value the call can hand back and release.
bool ReturnableType(VARTYPE vt) {
    switch (vt & ~VT_BYREF) {
        case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_BOOL: case VT_ERROR:
        case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: case VT_VARIANT:
            return (vt & VT_BYREF) != 0;
        default:
            return false;
    }
}

// Whether the member can be called straight through its vtable entry: a
// plain virtual function returning an HRESULT, a handful of parameters that
// each fit a slot, no locale parameter, the [out, retval] one last, and no
// object parameter by value (the platform asks that object for the declared
// interface again on the way in; such members are left to it).
DirectCall DirectOf(ITypeInfo* face, const FUNCDESC& fd, Function& f) {
    DirectCall d;
    if ((fd.funckind != FUNC_PUREVIRTUAL && fd.funckind != FUNC_VIRTUAL) || fd.callconv != CC_STDCALL ||
        fd.elemdescFunc.tdesc.vt != VT_HRESULT || fd.cParamsOpt < 0 || fd.cParams < 0 ||
        static_cast<size_t>(fd.cParams) > kMaxDirect)
        return d;
    size_t declared = 0;
    for (SHORT p = 0; p < fd.cParams; ++p) {
        const ELEMDESC& e = fd.lprgelemdescParam[p];
        const USHORT flags = e.paramdesc.wParamFlags;
        VARTYPE vt = VT_EMPTY;
        if ((flags & PARAMFLAG_FLCID) || !PassedType(face, e.tdesc, vt)) return d;
        if (flags & PARAMFLAG_FRETVAL) {
            if (p != fd.cParams - 1 || !ReturnableType(vt)) return d;
            d.retval = vt;
            d.slots[p] = Slot::Word;
            continue;
        }
        const bool userdefined = e.tdesc.vt == VT_USERDEFINED ||
                                 (e.tdesc.vt == VT_PTR && e.tdesc.lptdesc->vt == VT_USERDEFINED);
        if (!SlotOf(vt, d.slots[p]) || (userdefined && (vt == VT_DISPATCH || vt == VT_UNKNOWN))) return d;
        if (declared >= f.params.size()) return d;
        f.params[declared].passed = vt;
        f.params[declared].flags = flags;
        ++declared;
    }
    if (declared != f.params.size()) return d;
    d.vtable_index = (fd.oVft & 0xFFFC) / sizeof(void*);
    d.count = static_cast<size_t>(fd.cParams);
    d.usable = true;
    return d;
}

// The first entries again, readable without the lock (every call reads
// one): a slot is filled, under the lock, before the count that covers it
// is raised.
struct Published {
    GUID dual;
    const InterfaceInfo* info;
};
constexpr size_t kPublished = 16;
Published g_published[kPublished];
std::atomic<size_t> g_published_count{0};

const InterfaceInfo* Publish(REFIID dual, const InterfaceInfo* info) noexcept {
    size_t count = g_published_count.load(std::memory_order_relaxed);
    if (count < kPublished) {
        g_published[count] = Published{dual, info};
        g_published_count.store(count + 1, std::memory_order_release);
    }
    return info;
}

const InterfaceInfo* Load(REFIID dual) {
    const size_t published = g_published_count.load(std::memory_order_acquire);
    for (size_t i = 0; i < published; ++i)
        if (IsEqualGUID(g_published[i].dual, dual)) return g_published[i].info;

    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_cache.find(dual);
    if (it != g_cache.end()) return it->second.get();

    auto info = std::make_unique<InterfaceInfo>();
    ComPtr<ITypeInfo> face;
    if (FAILED(module::TypeInfoOf(dual, face.Out()))) return nullptr;
    // The dispatch face of a dual interface refers to its vtable face as -1.
    HREFTYPE vtable_ref = 0;
    if (SUCCEEDED(face->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref))) {
        ComPtr<ITypeInfo> vt;
        if (SUCCEEDED(face->GetRefTypeInfo(vtable_ref, vt.Out()))) face = vt;
    }
    info->vtable_face = face;

    Bstr name;
    if (SUCCEEDED(face->GetDocumentation(MEMBERID_NIL, name.Out(), nullptr, nullptr, nullptr)) && name.Get()) {
        std::wstring n = name.Str();
        info->source = L"zuvXCHandler." + (n.size() > 1 && n[0] == L'_' ? n.substr(1) : n);
    }

    TYPEATTR* attr = nullptr;
    if (FAILED(face->GetTypeAttr(&attr))) return nullptr;
    WORD count = attr->cFuncs;
    // The platform's dispatch answers no member of a restricted interface.
    const bool restricted = (attr->wTypeFlags & TYPEFLAG_FRESTRICTED) != 0;
    face->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(face->GetFuncDesc(i, &fd))) continue;
        Function f;
        f.kind = fd->invkind;
        bool optional_seen = false;
        for (SHORT p = 0; p < fd->cParams; ++p) {
            const ELEMDESC& e = fd->lprgelemdescParam[p];
            USHORT pflags = e.paramdesc.wParamFlags;
            Param param{};
            param.type = BaseType(face.Get(), e.tdesc, param.by_ref, param.object, param.iid);
            if (pflags & PARAMFLAG_FRETVAL) {
                f.returns_object = param.object != ObjectKind::None;
                continue;
            }
            param.optional = (pflags & PARAMFLAG_FOPT) != 0;
            param.has_default = (pflags & PARAMFLAG_FHASDEFAULT) != 0;
            if (param.optional || param.has_default) optional_seen = true;
            if (!optional_seen) ++f.required;
            f.params.push_back(param);
        }
        if (!restricted) f.direct = DirectOf(face.Get(), *fd, f);
        // [local] placeholders of reserved vtable entries are not callable.
        if (!(fd->wFuncFlags & FUNCFLAG_FRESTRICTED) || fd->memid == DISPID_NEWENUM) {
            Member& m = info->members[fd->memid];
            // Of two functions with one id and kind, the platform calls the
            // first: a second one is only ever left to it.
            if (m.has[Member::Slot(fd->invkind)]) f.direct.usable = false;
            m.kinds[Member::Slot(fd->invkind)] = std::move(f);
            m.has[Member::Slot(fd->invkind)] = true;
        }
        face->ReleaseFuncDesc(fd);
    }
    return Publish(dual, (g_cache[dual] = std::move(info)).get());
}

const Member* MemberOf(const InterfaceInfo& info, DISPID member) {
    auto it = info.members.find(member);
    return it == info.members.end() ? nullptr : &it->second;
}

// The first kind of the member that the call's flags ask for.
const Function* Find(const Member& m, WORD flags) {
    static const INVOKEKIND kinds[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    for (INVOKEKIND k : kinds)
        if ((flags & k) && m.has[Member::Slot(k)]) return &m.kinds[Member::Slot(k)];
    return nullptr;
}

// No member takes more than a handful; a call with more is no call.
constexpr UINT kMaxArguments = 32;

// Types of parameters whose values this layer converts itself.
bool Convertible(VARTYPE type) {
    switch (type) {
        case VT_I2: case VT_I4: case VT_BSTR: case VT_BOOL: case VT_R4: case VT_R8: case VT_DATE: case VT_CY:
        case VT_UI1: case VT_USERDEFINED:
            return true;
        default:
            return false;
    }
}

bool IsOmitted(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// A run-time error of the call itself, reported as ITypeInfo::Invoke
// reports one a member raised: DISP_E_EXCEPTION with EXCEPINFO, and the
// thread's error information for callers that read that instead.
HRESULT Fail(const InterfaceInfo& info, REFIID dual, EXCEPINFO* excep, long number) noexcept {
    try {
        RuntimeError error(number, StandardDescription(number));
        ReportToCaller(error, dual, info.source.c_str());
        if (excep) {
            *excep = EXCEPINFO{};
            excep->scode = error.Hresult();
            excep->bstrSource = SysAllocString(info.source.c_str());
            excep->bstrDescription = SysAllocString(error.Description().c_str());
        }
        return DISP_E_EXCEPTION;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The object an argument for an object parameter carries, looked through
// by-reference variants.  False when the argument is no object at all;
// Empty and Nothing give a null object.
bool ObjectOf(const VARIANT& arg, IUnknown*& object) {
    const VARIANT* v = &arg;
    while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    switch (v->vt) {
        case VT_EMPTY: object = nullptr; return true;
        case VT_DISPATCH: object = v->pdispVal; return true;
        case VT_UNKNOWN: object = v->punkVal; return true;
        case VT_BYREF | VT_DISPATCH: object = *v->ppdispVal; return true;
        case VT_BYREF | VT_UNKNOWN: object = *v->ppunkVal; return true;
        default: return false;
    }
}

// Any by-reference argument must point somewhere (a by-reference variant
// at every level of its nesting).
bool ReferencesAreSound(const VARIANT& arg) {
    const VARIANT* v = &arg;
    for (int depth = 0; depth < 8; ++depth) {
        if (!(v->vt & VT_BYREF)) return true;
        if (!v->byref) return false;
        if (v->vt != (VT_BYREF | VT_VARIANT)) return true;
        v = v->pvarVal;
    }
    return false;
}

// Per-parameter state of one call, on the stack for the usual handful of
// parameters (no member here declares more than four), on the heap beyond;
// only as many as the member declares are made.
template <class T, size_t N = 4>
class PerParameter {
public:
    explicit PerParameter(size_t n) : n_(n) {
        if (n > N) {
            heap_ = std::make_unique<T[]>(n);
            data_ = heap_.get();
            return;
        }
        data_ = reinterpret_cast<T*>(inline_);
        for (size_t i = 0; i < n; ++i) new (&data_[i]) T();
    }
    ~PerParameter() {
        if (!heap_)
            for (size_t i = n_; i-- > 0;) data_[i].~T();
    }
    PerParameter(const PerParameter&) = delete;
    PerParameter& operator=(const PerParameter&) = delete;
    T& operator[](size_t i) noexcept { return data_[i]; }
    T* data() noexcept { return data_; }

private:
    alignas(T) unsigned char inline_[N * sizeof(T)];
    std::unique_ptr<T[]> heap_;
    T* data_;
    size_t n_;
};

// One argument of a call made straight through the vtable.
struct Passed {
    uintptr_t word = 0;   // Slot::Word
    VARIANT variant{};    // Slot::Variant: the value itself
};

// The vtable entry `index` of `object`, called as the member is declared:
// each argument in a machine word or as a VARIANT by value, under the COM
// calling convention, exactly as the compiler calls the interface method.
template <class... A>
HRESULT CallEntry(void* object, size_t index, A... args) {
    using Entry = HRESULT(STDMETHODCALLTYPE*)(void*, A...);
    void* const* vtable = *static_cast<void* const* const*>(object);
    return reinterpret_cast<Entry>(vtable[index])(object, args...);
}

template <class... A>
HRESULT CallThrough(void* object, const DirectCall& d, const Passed* passed, A... args) {
    constexpr size_t i = sizeof...(A);
    if constexpr (i == kMaxDirect) {
        return CallEntry(object, d.vtable_index, args...);
    } else {
        if (i == d.count) return CallEntry(object, d.vtable_index, args...);
        if (d.slots[i] == Slot::Variant) return CallThrough(object, d, passed, args..., passed[i].variant);
        return CallThrough(object, d, passed, args..., passed[i].word);
    }
}

// A value the platform's VariantCopy copies without fail but for memory: a
// plain value, a string, an object, or a reference (copied as the reference).
bool PlainValue(const VARIANT& v) {
    const VARTYPE base = v.vt & ~VT_BYREF;
    if (v.vt & VT_BYREF) {
        if (base == VT_VARIANT) return true;
        if (base <= VT_NULL) return false;
    }
    switch (base) {
        case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
        case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_I1: case VT_UI1:
        case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
            return true;
        default:
            return false;
    }
}

// The machine word a value of the parameter's own type travels in: a
// VARIANT_BOOL widened with its sign, anything else the first word of the
// value (a pointer for a reference).
uintptr_t WordOf(const VARIANT& v) {
    if (v.vt == VT_BOOL) return static_cast<uintptr_t>(static_cast<intptr_t>(v.boolVal));
    uintptr_t word;
    memcpy(&word, &v.byref, sizeof word);
    return word;
}

// The value a member left in its [out, retval] reference (`type`, pointing
// at `held`: a value at its start, or a whole VARIANT), given to the caller
// as the platform's dispatch gives it, a copy, with the member's own
// released.  A number or an object moves over as it is (the same value, the
// same references); strings and variants are copied.
HRESULT HandBack(VARTYPE type, VARIANT& held, VARIANT* result) {
    const VARTYPE vt = type & ~VT_BYREF;
    void* first;
    memcpy(&first, &held, sizeof first);
    if (vt != VT_BSTR && vt != VT_VARIANT) {
        IUnknown* object = vt == VT_DISPATCH || vt == VT_UNKNOWN ? static_cast<IUnknown*>(first) : nullptr;
        if (!result) {
            if (object) object->Release();
            return S_OK;
        }
        *result = VARIANT{};
        result->vt = vt;
        memcpy(&result->llVal, &held, sizeof result->llVal);
        return S_OK;
    }
    VARIANT ref{};
    ref.vt = type;
    ref.byref = &held;
    HRESULT hr = S_OK;
    if (result) {
        VariantInit(result);
        hr = VariantCopyInd(result, &ref);
    }
    if (vt == VT_BSTR) SysFreeString(static_cast<BSTR>(first));
    else VariantClear(&held);
    return hr;
}

// A failed member's error, in EXCEPINFO as the platform's dispatch puts it
// there: its HRESULT and what the thread's error information (taken
// from the thread) says.
void TakeErrorInfo(EXCEPINFO* excep, HRESULT failure) {
    excep->scode = failure;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return;
    info->GetDescription(&excep->bstrDescription);
    info->GetHelpFile(&excep->bstrHelpFile);
    info->GetSource(&excep->bstrSource);
    info->GetHelpContext(&excep->dwHelpContext);
    info->Release();
}

// One declared parameter of the call being made.
struct Argument {
    VARIANT* given = nullptr;         // the caller's argument; none when left out
    UINT from = 0;                    // its index in the caller's array
    VARIANT value{};                  // as handed on: shallow, owned by `given` or below
    Variant converted;                // a typed value converted here
    Bstr substitute;                  // an omitted optional string
    ComPtr<IUnknown> object;          // an object argument of the declared kind
    IUnknown* object_slot = nullptr;  // its address for a by-reference parameter
};

// One late-bound call, step by step: the checks of the call as a whole, the
// arguments placed by parameter, each argument made what its parameter
// declares, and the platform's type-library dispatch on exactly that.
class Call {
public:
    Call(IDispatch* instance, REFIID dual, const InterfaceInfo& info, DISPPARAMS& params, EXCEPINFO* excep,
         UINT* arg_error)
        : instance_(instance), dual_(dual), info_(info), params_(params), excep_(excep), arg_error_(arg_error) {}

    // The member the call reaches, and whether the argument count fits it.
    HRESULT Resolve(DISPID member, WORD& flags) {
        // A member that is only a property get answers a method call too
        // (JScript calls `x.Item(1)` and `new Enumerator(x)` that way).
        const Member* m = MemberOf(info_, member);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        const WORD puts = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
        if ((flags & DISPATCH_METHOD) && !(flags & puts) && !m->has[Member::Slot(INVOKE_FUNC)] &&
            m->has[Member::Slot(INVOKE_PROPERTYGET)])
            flags |= DISPATCH_PROPERTYGET;
        fn_ = Find(*m, flags);
        if (!fn_) return DISP_E_MEMBERNOTFOUND;
        member_ = member;
        declared_ = static_cast<UINT>(fn_->params.size());
        if (params_.cArgs > declared_ && (fn_->kind != INVOKE_PROPERTYGET || !fn_->returns_object || Named()))
            return DISP_E_BADPARAMCOUNT;
        return S_OK;
    }

    // The caller's arguments by parameter: positional ones first parameter
    // first, named ones where their ids say (the value of a put is its last
    // parameter).  Every by-reference argument must point somewhere.
    HRESULT Place(PerParameter<Argument>& args) {
        const UINT positional = Positional();
        for (UINT i = 0; i < positional && i < declared_; ++i) {
            args[i].given = &params_.rgvarg[params_.cArgs - 1 - i];
            args[i].from = params_.cArgs - 1 - i;
        }
        for (UINT i = 0; i < Named(); ++i) {
            DISPID id = params_.rgdispidNamedArgs[i];
            UINT index = (id == DISPID_PROPERTYPUT && IsPut() && declared_) ? declared_ - 1 : static_cast<UINT>(id);
            if (id < 0 && id != DISPID_PROPERTYPUT) index = declared_;
            if (index >= declared_ || args[index].given) return FailAt(i, DISP_E_PARAMNOTFOUND);
            args[index].given = &params_.rgvarg[i];
            args[index].from = i;
        }
        for (UINT i = 0; i < params_.cArgs; ++i)
            if (!ReferencesAreSound(params_.rgvarg[i])) return FailAt(i, DISP_E_TYPEMISMATCH);
        return S_OK;
    }

    bool HasSurplus() const noexcept { return Positional() > declared_; }

    // Surplus arguments: only a property get that returns an object can
    // take them, for that object's default member (so that
    // `root.SubMenus(1)` reaches `Item(1)`).
    HRESULT ForwardSurplus(WORD flags, VARIANT* result) {
        DISPPARAMS own{params_.rgvarg + (params_.cArgs - declared_), nullptr, declared_, 0};
        Variant object;
        HRESULT hr = Invoke(instance_, dual_, member_, DISPATCH_PROPERTYGET, &own, object.Out(), excep_, arg_error_);
        if (FAILED(hr)) return hr;
        IUnknown* unknown = nullptr;
        if (!ObjectOf(*object.Get(), unknown)) return DISP_E_BADPARAMCOUNT;
        if (!unknown) return Fail(info_, dual_, excep_, kErrObjectNotSet);
        ComPtr<IDispatch> target;
        if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(target.Out()))) || !target)
            return Fail(info_, dual_, excep_, kErrTypeMismatch);
        DISPPARAMS rest{params_.rgvarg, nullptr, params_.cArgs - declared_, 0};
        return target->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, flags, &rest, result, excep_, arg_error_);
    }

    // Every leading parameter that is neither optional nor defaulted has
    // an argument.
    HRESULT CheckRequired(PerParameter<Argument>& args) {
        for (UINT i = 0; i < fn_->required; ++i) {
            const VARIANT* given = args[i].given;
            if (!given) return DISP_E_BADPARAMCOUNT;
            if (IsOmitted(*given)) return FailAt(args[i].from, DISP_E_PARAMNOTOPTIONAL);
        }
        return S_OK;
    }

    // The arguments as the member declares them.
    HRESULT Prepare(PerParameter<Argument>& args) {
        for (UINT i = 0; i < declared_; ++i) {
            Argument& a = args[i];
            if (a.given) {
                a.value = *a.given;   // shallow: the caller owns it
            } else {
                a.value.vt = VT_ERROR;
                a.value.scode = DISP_E_PARAMNOTFOUND;
            }
            const Param& p = fn_->params[i];
            if (IsOmitted(a.value)) {
                if (p.optional && !p.has_default && p.type == VT_BSTR) SubstituteEmptyString(a, p);
                continue;
            }
            HRESULT hr = S_OK;
            if (p.object != ObjectKind::None) hr = PrepareObject(a, p);
            else if (Convertible(p.type)) hr = Convert(a, p);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    // The platform's type-library dispatch on the prepared arguments.  It
    // clears the by-value arguments of [in, out] parameters once the member
    // has run: it gets copies of its own, so that it never frees what the
    // caller (or this call) owns.
    HRESULT Run(PerParameter<Argument>& args, VARIANT* result) {
        HRESULT direct = S_OK;
        if (RunDirect(args, result, direct)) return direct;
        PerParameter<VARIANT> reversed(declared_);
        struct ClearAll {
            PerParameter<VARIANT>& v;
            UINT n;
            ~ClearAll() {
                for (UINT i = 0; i < n; ++i) VariantClear(&v[i]);
            }
        } clear_copies{reversed, declared_};
        for (UINT i = 0; i < declared_; ++i) {
            VARIANT& copy = reversed[declared_ - 1 - i];
            if (args[i].value.vt & VT_BYREF) copy = args[i].value;
            else if (FAILED(VariantCopy(&copy, &args[i].value))) return E_OUTOFMEMORY;
        }
        DISPID put_id = DISPID_PROPERTYPUT;
        DISPPARAMS repaired{declared_ ? reversed.data() : nullptr, IsPut() ? &put_id : nullptr, declared_,
                            IsPut() && declared_ ? 1u : 0u};
        UINT error_at = 0;
        HRESULT hr = info_.vtable_face->Invoke(instance_, member_, static_cast<WORD>(fn_->kind), &repaired, result,
                                               excep_, &error_at);
        if (arg_error_ && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && error_at < declared_) {
            // Report the position in the caller's own argument array.
            const Argument& a = args[declared_ - 1 - error_at];
            *arg_error_ = a.given ? a.from : 0;
        }
        return hr;
    }

    // The member called straight through its vtable entry with what the
    // platform's dispatch would hand it, and its result and error given back
    // as that dispatch gives them.  False, with nothing done, when an
    // argument needs the platform's own conversions.
    bool RunDirect(PerParameter<Argument>& args, VARIANT* result, HRESULT& hr) {
        const DirectCall& d = fn_->direct;
        if (!d.usable) return false;
        Passed passed[kMaxDirect];
        for (UINT i = 0; i < declared_; ++i)
            if (!Hand(args[i], fn_->params[i], d.slots[i], passed[i])) return false;
        VARIANT retval{};
        if (d.retval != VT_EMPTY) passed[declared_].word = reinterpret_cast<uintptr_t>(&retval);

        const HRESULT called = CallThrough(instance_, d, passed);

        hr = d.retval != VT_EMPTY ? HandBack(d.retval, retval, result) : S_OK;
        if (FAILED(called)) {
            hr = DISP_E_EXCEPTION;
            if (excep_) TakeErrorInfo(excep_, called);
        }
        return true;
    }

    UINT Declared() const noexcept { return declared_; }

private:
    UINT Named() const noexcept { return params_.cNamedArgs; }
    UINT Positional() const noexcept { return params_.cArgs - params_.cNamedArgs; }
    bool IsPut() const noexcept { return fn_->kind == INVOKE_PROPERTYPUT || fn_->kind == INVOKE_PROPERTYPUTREF; }

    HRESULT FailAt(UINT caller_index, HRESULT hr) noexcept {
        if (arg_error_) *arg_error_ = caller_index;
        return hr;
    }

    // How one prepared argument reaches its parameter in a direct call:
    // exactly what the platform's dispatch hands on.  False when that
    // takes a conversion of its own (or a default value).
    static bool Hand(Argument& a, const Param& p, Slot slot, Passed& out) {
        const VARIANT& v = a.value;
        const VARTYPE want = p.passed;
        if ((p.flags & PARAMFLAG_FOPT) && IsOmitted(v)) {
            // Handed on as the omitted value itself; a default is the platform's.
            if (want != VT_VARIANT || (p.flags & PARAMFLAG_FHASDEFAULT)) return false;
            out.variant = v;
            return true;
        }
        if (v.vt == want) {
            if (slot != Slot::Word) return false;
            out.word = WordOf(v);
            return true;
        }
        if (!PlainValue(v)) return false;
        if (want == VT_VARIANT) {
            // The member gets the value for the length of the call; it
            // owns none of it, as with the platform's copy.
            out.variant = v;
            return true;
        }
        if (want != (VT_BYREF | VT_VARIANT) || !(p.flags & PARAMFLAG_FIN) || !a.given) return false;
        // The caller's own argument, lent: what the member puts in it
        // replaces what it frees there, and the caller owns that.
        out.word = reinterpret_cast<uintptr_t>(a.given);
        return true;
    }

    // An object parameter gets an object of the declared kind or none:
    // whatever else arrives is a type mismatch, decided here and not by a
    // blind cast further on.
    HRESULT PrepareObject(Argument& a, const Param& p) {
        IUnknown* given = nullptr;
        if (!ObjectOf(a.value, given)) return FailAt(a.from, Fail(info_, dual_, excep_, kErrTypeMismatch));
        if (given) {
            REFIID wanted = p.object == ObjectKind::Own       ? p.iid
                            : p.object == ObjectKind::Foreign ? IID_IDispatch
                                                              : IID_IUnknown;
            if (FAILED(given->QueryInterface(wanted, reinterpret_cast<void**>(a.object.Out()))) || !a.object)
                return FailAt(a.from, Fail(info_, dual_, excep_, kErrTypeMismatch));
        }
        // Handed on in exactly the declared form; an [in, out] object
        // parameter of this library is never replaced by its member, so
        // nothing needs copying back.
        a.object_slot = a.object.Get();
        VariantInit(&a.value);
        VARTYPE vt = p.object == ObjectKind::Unknown ? VT_UNKNOWN : VT_DISPATCH;
        if (p.by_ref) {
            a.value.vt = VT_BYREF | vt;
            a.value.ppunkVal = &a.object_slot;
        } else {
            a.value.vt = vt;
            a.value.punkVal = a.object_slot;
        }
        return S_OK;
    }

    // A value for a typed parameter is converted here, looked through
    // by-reference variants (a script's variables): the platform's dispatch
    // then converts nothing, and a value that does not convert fails before
    // any argument is taken.
    HRESULT Convert(Argument& a, const Param& p) {
        const VARTYPE target = p.type == VT_USERDEFINED ? VARTYPE{VT_I4} : p.type;
        const VARIANT* value = &a.value;
        while (value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
        if (p.by_ref && value->vt == target && a.given) {
            // A by-reference parameter given a value of its type gets the
            // caller's own value, lent: what the member puts there replaces
            // what it frees there, and the caller owns that.
            VARIANT* own = value == &a.value ? a.given : const_cast<VARIANT*>(value);
            VariantInit(&a.value);
            a.value.vt = VT_BYREF | target;
            a.value.byref = &own->lVal;
            return S_OK;
        }
        HRESULT hr;
        if (value->vt == target) {
            // Already of the declared type: nothing to convert.
            hr = VariantCopy(a.converted.Out(), const_cast<VARIANT*>(value));
        } else {
            Variant plain;
            hr = VariantCopyInd(plain.Out(), const_cast<VARIANT*>(value));
            if (SUCCEEDED(hr)) hr = VariantChangeType(a.converted.Out(), plain.Get(), 0, target);
        }
        if (FAILED(hr))
            return FailAt(a.from, hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH);
        VariantInit(&a.value);
        if (p.by_ref) {
            a.value.vt = VT_BYREF | target;
            a.value.byref = &a.converted.Get()->lVal;
        } else {
            a.value = *a.converted.Get();
        }
        return S_OK;
    }

    // An omitted optional string is an empty string.
    static void SubstituteEmptyString(Argument& a, const Param& p) {
        VariantInit(&a.value);
        if (p.by_ref) {
            a.value.vt = VT_BYREF | VT_BSTR;
            a.value.pbstrVal = a.substitute.Out();
            *a.value.pbstrVal = SysAllocString(L"");
        } else {
            a.substitute = Bstr(L"");
            a.value.vt = VT_BSTR;
            a.value.bstrVal = a.substitute.Get();
        }
    }

    IDispatch* instance_;
    REFIID dual_;
    const InterfaceInfo& info_;
    DISPPARAMS& params_;
    EXCEPINFO* excep_;
    UINT* arg_error_;
    const Function* fn_ = nullptr;
    DISPID member_ = 0;
    UINT declared_ = 0;
};

}  // namespace

HRESULT GetTypeInfo(REFIID dual, UINT index, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return module::TypeInfoOf(dual, info);
}

HRESULT GetIDsOfNames(REFIID dual, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    try {
        const InterfaceInfo* info = Load(dual);
        if (!info) return E_UNEXPECTED;
        return info->vtable_face->GetIDsOfNames(names, count, ids);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The component's own dispatch decides every call it can judge from the type
// information before the platform's type-library dispatch sees it: the
// member and its kind, the argument count, the kind of every object
// argument.  The platform then only ever gets exactly the parameters the
// member declares, each of the declared kind.
HRESULT Invoke(IDispatch* instance, REFIID dual, DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_error) noexcept {
    try {
        const InterfaceInfo* info = Load(dual);
        if (!info) return E_UNEXPECTED;
        DISPPARAMS empty{};
        if (!params) params = &empty;
        if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
            params->cNamedArgs > params->cArgs)
            return E_INVALIDARG;
        // Surplus arguments go on to a default member, one level per
        // argument at least: a bound keeps that chain short.
        if (params->cArgs > kMaxArguments) return DISP_E_BADPARAMCOUNT;

        Call call(instance, dual, *info, *params, excep, arg_error);
        HRESULT hr = call.Resolve(member, flags);
        if (FAILED(hr)) return hr;
        PerParameter<Argument> args(call.Declared());
        if (FAILED(hr = call.Place(args))) return hr;
        if (call.HasSurplus()) return call.ForwardSurplus(flags, result);
        if (FAILED(hr = call.CheckRequired(args))) return hr;
        if (FAILED(hr = call.Prepare(args))) return hr;
        return call.Run(args, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace zuv::dispatch
