#include "dispatch.h"

#include <map>
#include <memory>
#include <mutex>
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
};

struct Function {
    INVOKEKIND kind{};
    std::vector<Param> params;   // without the [out, retval] one
    size_t required = 0;         // leading parameters that are neither optional nor defaulted
    bool returns_object = false;
};

// The vtable face of a dual interface and its functions by (member, kind).
struct InterfaceInfo {
    ComPtr<ITypeInfo> vtable_face;
    std::map<std::pair<DISPID, INVOKEKIND>, Function> functions;
    std::wstring source;   // "zuvXCHandler.xMenu" for _xMenu: the error source
};

std::mutex g_lock;
std::map<GUID, std::shared_ptr<InterfaceInfo>, bool (*)(const GUID&, const GUID&)> g_cache(
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

std::shared_ptr<InterfaceInfo> Load(REFIID dual) {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_cache.find(dual);
    if (it != g_cache.end()) return it->second;

    auto info = std::make_shared<InterfaceInfo>();
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
        // [local] placeholders of reserved vtable entries are not callable.
        if (!(fd->wFuncFlags & FUNCFLAG_FRESTRICTED) || fd->memid == DISPID_NEWENUM)
            info->functions[{fd->memid, fd->invkind}] = std::move(f);
        face->ReleaseFuncDesc(fd);
    }
    g_cache[dual] = info;
    return info;
}

const Function* Find(const InterfaceInfo& info, DISPID member, WORD flags) {
    static const INVOKEKIND kinds[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    for (INVOKEKIND k : kinds) {
        if (!(flags & k)) continue;
        auto it = info.functions.find({member, k});
        if (it != info.functions.end()) return &it->second;
    }
    return nullptr;
}

bool Has(const InterfaceInfo& info, DISPID member, INVOKEKIND kind) {
    return info.functions.count({member, kind}) != 0;
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

}  // namespace

HRESULT GetTypeInfo(REFIID dual, UINT index, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return module::TypeInfoOf(dual, info);
}

HRESULT GetIDsOfNames(REFIID dual, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    try {
        auto info = Load(dual);
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
        auto info = Load(dual);
        if (!info) return E_UNEXPECTED;

        DISPPARAMS empty{};
        if (!params) params = &empty;
        if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
            params->cNamedArgs > params->cArgs)
            return E_INVALIDARG;
        // Surplus arguments go on to a default member, one level per
        // argument at least: a bound keeps that chain short.
        if (params->cArgs > kMaxArguments) return DISP_E_BADPARAMCOUNT;

        // A member that is only a property get answers a method call too
        // (JScript calls `x.Item(1)` and `new Enumerator(x)` that way).
        const WORD puts = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
        if ((flags & DISPATCH_METHOD) && !(flags & puts) && !Has(*info, member, INVOKE_FUNC) &&
            Has(*info, member, INVOKE_PROPERTYGET))
            flags |= DISPATCH_PROPERTYGET;
        const Function* fn = Find(*info, member, flags);
        if (!fn) return DISP_E_MEMBERNOTFOUND;
        const bool is_put = fn->kind == INVOKE_PROPERTYPUT || fn->kind == INVOKE_PROPERTYPUTREF;
        const UINT declared = static_cast<UINT>(fn->params.size());
        const UINT named = params->cNamedArgs;
        const UINT positional = params->cArgs - named;

        if (params->cArgs > declared && (fn->kind != INVOKE_PROPERTYGET || !fn->returns_object || named))
            return DISP_E_BADPARAMCOUNT;

        // The caller's arguments by parameter: positional ones first
        // parameter first, named ones where their ids say (the value of a
        // put is its last parameter).  `from` keeps the caller's index.
        std::vector<VARIANT*> slot(declared, nullptr);
        std::vector<UINT> from(declared, 0);
        for (UINT i = 0; i < positional && i < declared; ++i) {
            slot[i] = &params->rgvarg[params->cArgs - 1 - i];
            from[i] = params->cArgs - 1 - i;
        }
        for (UINT i = 0; i < named; ++i) {
            DISPID id = params->rgdispidNamedArgs[i];
            UINT index = (id == DISPID_PROPERTYPUT && is_put && declared) ? declared - 1 : static_cast<UINT>(id);
            if (id < 0 && id != DISPID_PROPERTYPUT) index = declared;
            if (index >= declared || slot[index]) {
                if (arg_error) *arg_error = i;
                return DISP_E_PARAMNOTFOUND;
            }
            slot[index] = &params->rgvarg[i];
            from[index] = i;
        }
        for (UINT i = 0; i < params->cArgs; ++i) {
            if (!ReferencesAreSound(params->rgvarg[i])) {
                if (arg_error) *arg_error = i;
                return DISP_E_TYPEMISMATCH;
            }
        }

        if (positional > declared) {
            // Surplus arguments: only a property get that returns an object
            // can take them, for that object's default member (so that
            // `root.SubMenus(1)` reaches `Item(1)`).
            DISPPARAMS own{params->rgvarg + (params->cArgs - declared), nullptr, declared, 0};
            Variant object;
            HRESULT hr = Invoke(instance, dual, member, DISPATCH_PROPERTYGET, &own, object.Out(), excep, arg_error);
            if (FAILED(hr)) return hr;
            IUnknown* unknown = nullptr;
            if (!ObjectOf(*object.Get(), unknown)) return DISP_E_BADPARAMCOUNT;
            if (!unknown) return Fail(*info, dual, excep, kErrObjectNotSet);
            ComPtr<IDispatch> target;
            if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(target.Out()))) || !target)
                return Fail(*info, dual, excep, kErrTypeMismatch);
            DISPPARAMS rest{params->rgvarg, nullptr, params->cArgs - declared, 0};
            return target->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, flags, &rest, result, excep,
                                  arg_error);
        }
        for (UINT i = 0; i < fn->required; ++i) {
            if (!slot[i] || IsOmitted(*slot[i])) {
                if (slot[i] && arg_error) *arg_error = from[i];
                return slot[i] ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
            }
        }

        // The arguments as the member declares them.
        std::vector<VARIANT> args(declared);
        std::vector<Bstr> substitutes(declared);
        std::vector<Variant> converted(declared);
        std::vector<ComPtr<IUnknown>> objects(declared);
        std::vector<IUnknown*> object_slots(declared, nullptr);
        for (UINT i = 0; i < declared; ++i) {
            VARIANT& a = args[i];
            VariantInit(&a);
            if (slot[i]) {
                a = *slot[i];   // shallow: the caller owns it
            } else {
                a.vt = VT_ERROR;
                a.scode = DISP_E_PARAMNOTFOUND;
            }
            const Param& p = fn->params[i];
            if (p.object != ObjectKind::None && !IsOmitted(a)) {
                // An object parameter gets an object of the declared kind or
                // none: whatever else arrives is a type mismatch, decided
                // here and not by a blind cast further on.
                IUnknown* given = nullptr;
                if (!ObjectOf(a, given)) {
                    if (arg_error) *arg_error = from[i];
                    return Fail(*info, dual, excep, kErrTypeMismatch);
                }
                if (given) {
                    REFIID wanted = p.object == ObjectKind::Own       ? p.iid
                                    : p.object == ObjectKind::Foreign ? IID_IDispatch
                                                                      : IID_IUnknown;
                    if (FAILED(given->QueryInterface(wanted, reinterpret_cast<void**>(objects[i].Out()))) ||
                        !objects[i]) {
                        if (arg_error) *arg_error = from[i];
                        return Fail(*info, dual, excep, kErrTypeMismatch);
                    }
                }
                // Handed on in exactly the declared form; an [in, out]
                // object parameter of this library is never replaced by
                // its member, so nothing needs copying back.
                object_slots[i] = objects[i].Get();
                VariantInit(&a);
                VARTYPE vt = p.object == ObjectKind::Unknown ? VT_UNKNOWN : VT_DISPATCH;
                if (p.by_ref) {
                    a.vt = VT_BYREF | vt;
                    a.ppunkVal = &object_slots[i];
                } else {
                    a.vt = vt;
                    a.punkVal = object_slots[i];
                }
                continue;
            }
            if (Convertible(p.type) && !IsOmitted(a)) {
                // A value for a typed parameter is converted here, looked
                // through by-reference variants (a script's variables): the
                // platform's dispatch then converts nothing, and a value
                // that does not convert fails before any argument is taken.
                const VARTYPE target = p.type == VT_USERDEFINED ? VARTYPE{VT_I4} : p.type;
                const VARIANT* value = &a;
                while (value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
                Variant plain;
                HRESULT hr = VariantCopyInd(plain.Out(), const_cast<VARIANT*>(value));
                if (SUCCEEDED(hr)) hr = VariantChangeType(converted[i].Out(), plain.Get(), 0, target);
                if (FAILED(hr)) {
                    if (arg_error) *arg_error = from[i];
                    return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
                }
                VariantInit(&a);
                if (p.by_ref) {
                    a.vt = VT_BYREF | target;
                    a.byref = &converted[i].Get()->lVal;
                } else {
                    a = *converted[i].Get();
                }
                continue;
            }
            if (IsOmitted(a) && p.optional && !p.has_default && p.type == VT_BSTR) {
                // An omitted optional string is an empty string.
                substitutes[i] = Bstr(L"");
                VariantInit(&a);
                if (p.by_ref) {
                    a.vt = VT_BYREF | VT_BSTR;
                    a.pbstrVal = substitutes[i].Out();
                    *a.pbstrVal = SysAllocString(L"");
                } else {
                    a.vt = VT_BSTR;
                    a.bstrVal = substitutes[i].Get();
                }
            }
        }
        // The platform's dispatch clears the by-value arguments of [in, out]
        // parameters once the member has run: it gets copies of its own, so
        // that it never frees what the caller (or this function) owns.
        std::vector<VARIANT> reversed(declared);
        struct ClearAll {
            std::vector<VARIANT>& v;
            ~ClearAll() {
                for (VARIANT& x : v) VariantClear(&x);
            }
        } clear_copies{reversed};
        for (UINT i = 0; i < declared; ++i) {
            VARIANT& copy = reversed[declared - 1 - i];
            VariantInit(&copy);
            if (args[i].vt & VT_BYREF) copy = args[i];
            else if (FAILED(VariantCopy(&copy, &args[i]))) return E_OUTOFMEMORY;
        }
        DISPID put_id = DISPID_PROPERTYPUT;
        DISPPARAMS repaired{reversed.empty() ? nullptr : reversed.data(), is_put ? &put_id : nullptr, declared,
                            is_put && declared ? 1u : 0u};
        UINT error_at = 0;
        HRESULT hr = info->vtable_face->Invoke(instance, member, static_cast<WORD>(fn->kind), &repaired, result, excep,
                                               &error_at);
        if (arg_error && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && error_at < declared) {
            // Report the position in the caller's own argument array.
            UINT param = declared - 1 - error_at;
            *arg_error = slot[param] ? from[param] : 0;
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace zuv::dispatch
