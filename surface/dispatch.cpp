#include "dispatch.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "../core/wrappers.h"
#include "module.h"

namespace zuv::dispatch {
namespace {

struct Param {
    VARTYPE type;        // the base type (VT_PTR resolved one level)
    bool by_ref;         // declared as a pointer
    bool optional;
    bool has_default;
};

struct Function {
    std::vector<Param> params;   // without the [out, retval] one
};

// The vtable face of a dual interface and its functions by (member, kind).
struct InterfaceInfo {
    ComPtr<ITypeInfo> vtable_face;
    std::map<std::pair<DISPID, INVOKEKIND>, Function> functions;
};

std::mutex g_lock;
std::map<GUID, std::shared_ptr<InterfaceInfo>, bool (*)(const GUID&, const GUID&)> g_cache(
    [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; });

VARTYPE BaseType(ITypeInfo* owner, const TYPEDESC& desc, bool& by_ref) {
    const TYPEDESC* d = &desc;
    by_ref = false;
    if (d->vt == VT_PTR) {
        d = d->lptdesc;
        // An interface pointer is one level of indirection by itself.
        if (d->vt == VT_USERDEFINED) {
            ComPtr<ITypeInfo> ref;
            TYPEATTR* attr = nullptr;
            if (SUCCEEDED(owner->GetRefTypeInfo(d->hreftype, ref.Out())) && SUCCEEDED(ref->GetTypeAttr(&attr))) {
                TYPEKIND kind = attr->typekind;
                ref->ReleaseTypeAttr(attr);
                if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH || kind == TKIND_COCLASS) return VT_DISPATCH;
            }
            by_ref = true;
            return VT_USERDEFINED;
        }
        if (d->vt == VT_PTR) {
            by_ref = true;
            return VT_DISPATCH;   // pointer to an interface pointer
        }
        by_ref = true;
    }
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

    TYPEATTR* attr = nullptr;
    if (FAILED(face->GetTypeAttr(&attr))) return nullptr;
    WORD count = attr->cFuncs;
    face->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(face->GetFuncDesc(i, &fd))) continue;
        Function f;
        for (SHORT p = 0; p < fd->cParams; ++p) {
            const ELEMDESC& e = fd->lprgelemdescParam[p];
            USHORT pflags = e.paramdesc.wParamFlags;
            if (pflags & PARAMFLAG_FRETVAL) continue;
            Param param{};
            param.type = BaseType(face.Get(), e.tdesc, param.by_ref);
            param.optional = (pflags & PARAMFLAG_FOPT) != 0;
            param.has_default = (pflags & PARAMFLAG_FHASDEFAULT) != 0;
            f.params.push_back(param);
        }
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

bool IsOmitted(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

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

HRESULT Invoke(IDispatch* instance, REFIID dual, DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_error) noexcept {
    try {
        auto info = Load(dual);
        if (!info) return E_UNEXPECTED;
        if (member == DISPID_NEWENUM && (flags & DISPATCH_METHOD)) flags |= DISPATCH_PROPERTYGET;

        DISPPARAMS empty{};
        if (!params) params = &empty;
        const Function* fn = Find(*info, member, flags);
        bool plain_call = params->cNamedArgs == 0 || (params->cNamedArgs == 1 && params->rgdispidNamedArgs &&
                                                      params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT);
        if (!fn || !plain_call || params->cArgs > fn->params.size()) {
            return info->vtable_face->Invoke(instance, member, flags, params, result, excep, arg_error);
        }

        // Positional arguments, first parameter first.
        const UINT given = params->cArgs;
        const UINT total = (params->cNamedArgs == 1) ? given : static_cast<UINT>(fn->params.size());
        std::vector<VARIANT> args(total);
        std::vector<Bstr> substitutes(total);
        UINT missing_tail = total - given;
        for (UINT i = 0; i < total; ++i) {
            VARIANT& a = args[i];
            VariantInit(&a);
            if (i < given) {
                a = params->rgvarg[given - 1 - i];   // shallow: the caller owns it
            } else {
                a.vt = VT_ERROR;
                a.scode = DISP_E_PARAMNOTFOUND;
            }
            const Param& p = fn->params[i];
            if (a.vt == (VT_BYREF | VT_VARIANT) && a.pvarVal && p.type != VT_VARIANT) {
                // A variable passed by reference to a typed parameter.
                VARIANT* inner = a.pvarVal;
                if (!(inner->vt & VT_BYREF) && inner->vt != VT_DECIMAL && inner->vt != VT_VARIANT) {
                    VARTYPE t = inner->vt;
                    a.vt = VT_BYREF | t;
                    a.byref = &inner->lVal;
                } else if (inner->vt & VT_BYREF) {
                    a = *inner;
                }
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
        (void)missing_tail;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS repaired = *params;
        repaired.cArgs = total;
        repaired.rgvarg = reversed.empty() ? nullptr : reversed.data();
        HRESULT hr = info->vtable_face->Invoke(instance, member, flags, &repaired, result, excep, arg_error);
        if (arg_error && hr == DISP_E_TYPEMISMATCH && *arg_error < total) {
            // Report the position in the caller's own argument array.
            UINT pos = total - 1 - *arg_error;
            *arg_error = pos < given ? given - 1 - pos : 0;
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace zuv::dispatch
