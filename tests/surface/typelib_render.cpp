#include "typelib_render.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>

namespace zuv::test {
namespace {

// Imported types, named by the role they play for the component.  A type is
// shown by role only when both its own and its library's identity match.
struct KnownImport {
    const char* library;
    WORD major, minor;
    const char* type;
    const char* role;
};

const KnownImport kKnownImports[] = {
    {"{00020430-0000-0000-C000-000000000046}", 2, 0, "{00020400-0000-0000-C000-000000000046}", "IDispatch"},
    {"{00020430-0000-0000-C000-000000000046}", 2, 0, "{00000000-0000-0000-C000-000000000046}", "IUnknown"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451}", 10, 3, "{1616DC35-B997-432B-AB4F-439341A769E5}", "CommandBars"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451}", 10, 3, "{1FC5479A-9E07-4079-924A-4CB1C11FC700}", "Control"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451}", 10, 3, "{09028A35-789A-40D9-B564-7577DA549319}", "Popup"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451}", 10, 3, "{324B467B-1E0F-446D-B92B-BEDBEF77302F}", "Button"},
    {"{000204EF-0000-0000-C000-000000000046}", 6, 0, "{A4C46780-499F-101B-BB78-00AA00383CBB}", "_Collection"},
};

std::string Hex(const char* format, unsigned long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string MemberIdText(MEMBERID id) {
    if (id < 0) return std::to_string(id);
    return id == 0 ? "0x0" : Hex("0x%08lX", static_cast<unsigned long>(id));
}

std::string BaseTypeText(VARTYPE vt) {
    switch (vt) {
    case VT_I2: return "short";
    case VT_I4: return "long";
    case VT_INT: return "int";
    case VT_BSTR: return "BSTR";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_VARIANT: return "VARIANT";
    case VT_UNKNOWN: return "IUnknown*";
    case VT_DISPATCH: return "IDispatch*";
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "void";
    default: return "vt" + std::to_string(vt);
    }
}

std::string UserTypeText(ITypeInfo* context, HREFTYPE href) {
    ITypeInfo* ref = nullptr;
    HRESULT hr = context->GetRefTypeInfo(href, &ref);
    if (FAILED(hr)) return "<unresolved " + Hex("%08lX", static_cast<unsigned long>(hr)) + ">";
    std::string result;
    ITypeLib* own = nullptr;
    ITypeLib* theirs = nullptr;
    UINT index = 0;
    TLIBATTR* own_attr = nullptr;
    TLIBATTR* their_attr = nullptr;
    TYPEATTR* type_attr = nullptr;
    if (SUCCEEDED(context->GetContainingTypeLib(&own, &index)) && SUCCEEDED(own->GetLibAttr(&own_attr)) &&
        SUCCEEDED(ref->GetContainingTypeLib(&theirs, &index)) && SUCCEEDED(theirs->GetLibAttr(&their_attr)) &&
        SUCCEEDED(ref->GetTypeAttr(&type_attr))) {
        if (IsEqualGUID(own_attr->guid, their_attr->guid)) {
            result = NameOf(ref);
        } else {
            const std::string lib = GuidText(their_attr->guid);
            const std::string type = GuidText(type_attr->guid);
            for (const KnownImport& known : kKnownImports) {
                if (lib == known.library && type == known.type && their_attr->wMajorVerNum == known.major &&
                    their_attr->wMinorVerNum == known.minor)
                    result = known.role;
            }
            if (result.empty())
                result = lib + " v" + std::to_string(their_attr->wMajorVerNum) + "." +
                         std::to_string(their_attr->wMinorVerNum) + "/" + type;
        }
    } else {
        result = "<no library>";
    }
    if (type_attr) ref->ReleaseTypeAttr(type_attr);
    if (their_attr) theirs->ReleaseTLibAttr(their_attr);
    if (own_attr) own->ReleaseTLibAttr(own_attr);
    if (theirs) theirs->Release();
    if (own) own->Release();
    ref->Release();
    return result;
}

std::string ParamText(ITypeInfo* info, const ELEMDESC& elem, const wchar_t* name) {
    const USHORT flags = elem.paramdesc.wParamFlags;
    std::string attrs;
    auto add = [&attrs](const char* text) {
        if (!attrs.empty()) attrs += ",";
        attrs += text;
    };
    if (flags & PARAMFLAG_FIN) add("in");
    if (flags & PARAMFLAG_FOUT) add("out");
    if (flags & PARAMFLAG_FLCID) add("lcid");
    if (flags & PARAMFLAG_FOPT) add("opt");
    if (flags & PARAMFLAG_FRETVAL) add("retval");
    if ((flags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
        VARIANT value;
        VariantInit(&value);
        VARIANT& stored = elem.paramdesc.pparamdescex->varDefaultValue;
        std::string text = "def=";
        if (SUCCEEDED(VariantChangeType(&value, &stored, 0, VT_I4))) text += std::to_string(V_I4(&value));
        else text += "?";
        if (V_VT(&stored) != elem.tdesc.vt) text += "(vt" + std::to_string(V_VT(&stored)) + ")";
        add(text.c_str());
        VariantClear(&value);
    }
    std::string text = "[" + attrs + "] " + TypeText(info, elem.tdesc);
    if (name) text += " " + Narrow(name);
    return text;
}

}  // namespace

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

std::string NameOf(ITypeInfo* info, MEMBERID member) {
    BSTR name = nullptr;
    if (FAILED(info->GetDocumentation(member, &name, nullptr, nullptr, nullptr))) return "<no name>";
    std::string text = Narrow(name);
    SysFreeString(name);
    return text;
}

std::string TypeText(ITypeInfo* context, const TYPEDESC& desc) {
    switch (desc.vt) {
    case VT_PTR: return TypeText(context, *desc.lptdesc) + "*";
    case VT_USERDEFINED: return UserTypeText(context, desc.hreftype);
    default: return BaseTypeText(desc.vt);
    }
}

std::string FunctionText(ITypeInfo* info, UINT index) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(index, &func))) return "<no funcdesc>";
    BSTR names[32] = {};
    UINT count = 0;
    info->GetNames(func->memid, names, 32, &count);

    std::string text;
    if (func->funckind == FUNC_DISPATCH) {
        text = "event";
    } else {
        // The loader scales the offsets of a library built for another
        // pointer size to this process' pointers: the slot is the same.
        text = std::to_string(func->oVft / static_cast<SHORT>(sizeof(void*)));
        switch (func->invkind) {
        case INVOKE_PROPERTYGET: text += " get"; break;
        case INVOKE_PROPERTYPUT: text += " put"; break;
        case INVOKE_PROPERTYPUTREF: text += " putref"; break;
        default: text += " method"; break;
        }
    }
    text += " " + (count ? Narrow(names[0]) : std::string("<no name>")) + " " + MemberIdText(func->memid);
    WORD flags = func->wFuncFlags;
    if (flags & FUNCFLAG_FHIDDEN) text += " hidden";
    flags &= ~FUNCFLAG_FHIDDEN;
    if (flags) text += Hex(" funcflags=0x%lx", flags);

    // The value of a property assignment has no name of its own.
    const bool named = func->invkind != INVOKE_PROPERTYPUT && func->invkind != INVOKE_PROPERTYPUTREF;
    text += " (";
    for (SHORT i = 0; i < func->cParams; ++i) {
        const ELEMDESC& elem = func->lprgelemdescParam[i];
        const bool retval = elem.paramdesc.wParamFlags & PARAMFLAG_FRETVAL;
        const wchar_t* name = (named && !retval && static_cast<UINT>(i + 1) < count) ? names[i + 1] : nullptr;
        if (i) text += ", ";
        text += ParamText(info, elem, name);
    }
    text += ")";
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    info->ReleaseFuncDesc(func);
    return text;
}

std::vector<std::string> EnumText(ITypeInfo* info) {
    std::vector<std::string> lines;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return lines;
    for (UINT i = 0; i < attr->cVars; ++i) {
        VARDESC* var = nullptr;
        if (FAILED(info->GetVarDesc(i, &var))) continue;
        std::string line = NameOf(info, var->memid) + " = ";
        VARIANT value;
        VariantInit(&value);
        if (var->varkind == VAR_CONST && SUCCEEDED(VariantChangeType(&value, var->lpvarValue, 0, VT_I4)))
            line += std::to_string(V_I4(&value));
        else
            line += "<not a constant>";
        if (var->varkind == VAR_CONST && V_VT(var->lpvarValue) != VT_I4)
            line += " (vt" + std::to_string(V_VT(var->lpvarValue)) + ")";
        lines.push_back(line);
        info->ReleaseVarDesc(var);
    }
    info->ReleaseTypeAttr(attr);
    return lines;
}

std::vector<std::string> ImplTypesText(ITypeInfo* info) {
    std::vector<std::string> lines;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return lines;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE href = 0;
        ITypeInfo* ref = nullptr;
        std::string line = "[";
        info->GetImplTypeFlags(i, &flags);
        if (flags & IMPLTYPEFLAG_FDEFAULT) line += "default";
        if (flags & IMPLTYPEFLAG_FSOURCE) line += line.size() > 1 ? ",source" : "source";
        if (flags & IMPLTYPEFLAG_FRESTRICTED) line += line.size() > 1 ? ",restricted" : "restricted";
        line += "] ";
        if (SUCCEEDED(info->GetRefTypeOfImplType(i, &href)) && SUCCEEDED(info->GetRefTypeInfo(href, &ref))) {
            TYPEATTR* ref_attr = nullptr;
            line += NameOf(ref);
            if (SUCCEEDED(ref->GetTypeAttr(&ref_attr))) {
                line += " " + GuidText(ref_attr->guid);
                ref->ReleaseTypeAttr(ref_attr);
            }
            ref->Release();
        } else {
            line += "<unresolved>";
        }
        lines.push_back(line);
    }
    info->ReleaseTypeAttr(attr);
    return lines;
}

}  // namespace zuv::test
