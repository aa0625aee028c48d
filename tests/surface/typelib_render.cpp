#include "typelib_render.h"

#include <oleauto.h>

#include <cstdio>

namespace zuv::test {
namespace {

// Imported types, named by the role they play for the component.  A type is
// shown by role only when both its own and its library's identity match.
const struct {
    const char *library, *type, *role;
} kKnownImports[] = {
    {"{00020430-0000-0000-C000-000000000046} v2.0", "{00020400-0000-0000-C000-000000000046}", "IDispatch"},
    {"{00020430-0000-0000-C000-000000000046} v2.0", "{00000000-0000-0000-C000-000000000046}", "IUnknown"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451} v10.3", "{1616DC35-B997-432B-AB4F-439341A769E5}", "CommandBars"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451} v10.3", "{1FC5479A-9E07-4079-924A-4CB1C11FC700}", "Control"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451} v10.3", "{09028A35-789A-40D9-B564-7577DA549319}", "Popup"},
    {"{555E8FCC-830E-45CC-AF00-A012D5AE7451} v10.3", "{324B467B-1E0F-446D-B92B-BEDBEF77302F}", "Button"},
    {"{000204EF-0000-0000-C000-000000000046} v6.0", "{A4C46780-499F-101B-BB78-00AA00383CBB}", "_Collection"},
};

std::string Hex(unsigned long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", value);
    return buffer;
}

std::string LibText(ITypeLib* lib) {
    TLIBATTR* attr = nullptr;
    if (FAILED(lib->GetLibAttr(&attr))) return "<no attributes>";
    std::string text = GuidText(attr->guid) + " v" + std::to_string(attr->wMajorVerNum) + "." +
                       std::to_string(attr->wMinorVerNum);
    lib->ReleaseTLibAttr(attr);
    return text;
}

std::string UserTypeText(ITypeInfo* context, HREFTYPE href) {
    ComPtr<ITypeInfo> ref;
    HRESULT hr = context->GetRefTypeInfo(href, ref.Out());
    if (FAILED(hr)) return "<unresolved " + Hex(static_cast<unsigned long>(hr)) + ">";
    ComPtr<ITypeLib> own, theirs;
    UINT index = 0;
    if (FAILED(context->GetContainingTypeLib(own.Out(), &index)) ||
        FAILED(ref->GetContainingTypeLib(theirs.Out(), &index)))
        return "<no library>";
    const std::string lib = LibText(theirs.Get()), type = GuidText(AttrOf(ref.Get()).guid);
    if (lib == LibText(own.Get())) return NameOf(ref.Get());
    for (const auto& known : kKnownImports)
        if (lib == known.library && type == known.type) return known.role;
    return lib + "/" + type;
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

// "a,b,c" of the names whose bits are set, then any unnamed bits as a number.
template <class Bits, size_t N>
std::string FlagsText(unsigned flags, const Bits (&names)[N]) {
    std::string text;
    for (const auto& n : names) {
        if (!(flags & n.bit)) continue;
        text += (text.empty() ? "" : ",") + std::string(n.name);
        flags &= ~n.bit;
    }
    return flags ? text + (text.empty() ? "" : ",") + std::to_string(flags) : text;
}
struct Bit {
    unsigned bit;
    const char* name;
};

std::string ParamText(ITypeInfo* info, const ELEMDESC& elem, const wchar_t* name) {
    static const Bit names[] = {{PARAMFLAG_FIN, "in"}, {PARAMFLAG_FOUT, "out"}, {PARAMFLAG_FLCID, "lcid"},
                                {PARAMFLAG_FOPT, "opt"}, {PARAMFLAG_FRETVAL, "retval"}};
    const USHORT flags = elem.paramdesc.wParamFlags;
    std::string attrs = FlagsText(flags & ~PARAMFLAG_FHASDEFAULT, names);
    if ((flags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
        VARIANT& stored = elem.paramdesc.pparamdescex->varDefaultValue;
        VARIANT value;
        VariantInit(&value);
        attrs += ",def=";
        attrs += SUCCEEDED(VariantChangeType(&value, &stored, 0, VT_I4)) ? std::to_string(V_I4(&value)) : "?";
        if (V_VT(&stored) != elem.tdesc.vt) attrs += "(vt" + std::to_string(V_VT(&stored)) + ")";
        VariantClear(&value);
    }
    return "[" + attrs + "] " + TypeText(info, elem.tdesc) + (name ? " " + Narrow(name) : "");
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
    Bstr name;
    if (FAILED(info->GetDocumentation(member, name.Out(), nullptr, nullptr, nullptr))) return "<no name>";
    return Narrow(name.Get());
}

TYPEATTR AttrOf(ITypeInfo* info) {
    TYPEATTR copy{}, *attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
        copy = *attr;
        info->ReleaseTypeAttr(attr);
    }
    return copy;
}

ComPtr<ITypeInfo> VtableFace(ITypeInfo* dispatch) {
    HREFTYPE href = 0;
    ComPtr<ITypeInfo> face;
    if (dispatch && SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href))) dispatch->GetRefTypeInfo(href, face.Out());
    return face;
}

std::string TypeLine(ITypeInfo* info) {
    static const char* const kinds[] = {"ENUM", "RECORD", "MODULE", "INTERFACE", "DISPATCH", "COCLASS", "ALIAS", "UNION"};
    static const Bit names[] = {
        {TYPEFLAG_FAPPOBJECT, "appobject"}, {TYPEFLAG_FCANCREATE, "cancreate"}, {TYPEFLAG_FLICENSED, "licensed"},
        {TYPEFLAG_FPREDECLID, "predeclid"}, {TYPEFLAG_FHIDDEN, "hidden"}, {TYPEFLAG_FCONTROL, "control"},
        {TYPEFLAG_FDUAL, "dual"}, {TYPEFLAG_FNONEXTENSIBLE, "nonextensible"},
        {TYPEFLAG_FOLEAUTOMATION, "oleautomation"}, {TYPEFLAG_FRESTRICTED, "restricted"},
        {TYPEFLAG_FAGGREGATABLE, "aggregatable"}, {TYPEFLAG_FREPLACEABLE, "replaceable"},
        {TYPEFLAG_FDISPATCHABLE, "dispatchable"}, {TYPEFLAG_FREVERSEBIND, "reversebind"}, {TYPEFLAG_FPROXY, "proxy"}};
    TYPEATTR attr = AttrOf(info);
    WORD flags = attr.wTypeFlags;
    if (attr.typekind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL)) {
        ComPtr<ITypeInfo> face = VtableFace(info);
        flags = face ? AttrOf(face.Get()).wTypeFlags : 0xFFFF;
    }
    return std::string(attr.typekind < TKIND_MAX ? kinds[attr.typekind] : "?") + " " + NameOf(info) + " " +
           GuidText(attr.guid) + " [" + FlagsText(flags, names) + "]";
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

    std::string text, odd;
    const VARTYPE returns = func->elemdescFunc.tdesc.vt;
    if (func->funckind == FUNC_DISPATCH) {
        text = "event";
        if (func->invkind != INVOKE_FUNC || returns != VT_VOID) odd = " <not a void method>";
    } else {
        // The loader scales the offsets of a library built for another
        // pointer size to this process' pointers: the slot is the same.
        static const char* const kinds[] = {"", " method", " get", "", " put", "", "", "", " putref"};
        text = std::to_string(func->oVft / static_cast<SHORT>(sizeof(void*))) + kinds[func->invkind & 15];
        if (func->funckind != FUNC_PUREVIRTUAL || func->callconv != CC_STDCALL || returns != VT_HRESULT)
            odd = " <not a stdcall HRESULT>";
    }
    const MEMBERID id = func->memid;
    text += " " + (count ? Narrow(names[0]) : std::string("<no name>")) + " " +
            (id < 0 ? std::to_string(id) : id == 0 ? "0x0" : Hex(static_cast<unsigned long>(id)));
    if (func->wFuncFlags & FUNCFLAG_FHIDDEN) text += " hidden";
    if (func->wFuncFlags & ~FUNCFLAG_FHIDDEN) text += " funcflags=" + Hex(func->wFuncFlags & ~FUNCFLAG_FHIDDEN);

    // The value of a property assignment has no name of its own.
    const bool named = func->invkind != INVOKE_PROPERTYPUT && func->invkind != INVOKE_PROPERTYPUTREF;
    text += " (";
    for (SHORT i = 0; i < func->cParams; ++i) {
        const ELEMDESC& elem = func->lprgelemdescParam[i];
        const bool retval = elem.paramdesc.wParamFlags & PARAMFLAG_FRETVAL;
        const wchar_t* name = (named && !retval && static_cast<UINT>(i + 1) < count) ? names[i + 1] : nullptr;
        text += (i ? ", " : "") + ParamText(info, elem, name);
    }
    text += ")" + odd;
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    info->ReleaseFuncDesc(func);
    return text;
}

std::vector<std::string> Functions(ITypeInfo* info) {
    std::vector<std::string> lines;
    for (UINT i = 0, n = AttrOf(info).cFuncs; i < n; ++i) lines.push_back(FunctionText(info, i));
    return lines;
}

std::vector<std::string> EnumText(ITypeInfo* info) {
    std::vector<std::string> lines;
    for (UINT i = 0, n = AttrOf(info).cVars; i < n; ++i) {
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
    return lines;
}

std::vector<std::string> ImplTypesText(ITypeInfo* info) {
    static const Bit names[] = {{IMPLTYPEFLAG_FDEFAULT, "default"}, {IMPLTYPEFLAG_FSOURCE, "source"},
                                {IMPLTYPEFLAG_FRESTRICTED, "restricted"}};
    std::vector<std::string> lines;
    for (UINT i = 0, n = AttrOf(info).cImplTypes; i < n; ++i) {
        INT flags = 0;
        HREFTYPE href = 0;
        ComPtr<ITypeInfo> ref;
        info->GetImplTypeFlags(i, &flags);
        std::string line = "[" + FlagsText(static_cast<unsigned>(flags), names) + "] ";
        if (SUCCEEDED(info->GetRefTypeOfImplType(i, &href)) && SUCCEEDED(info->GetRefTypeInfo(href, ref.Out())))
            line += NameOf(ref.Get()) + " " + GuidText(AttrOf(ref.Get()).guid);
        else
            line += "<unresolved>";
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zuv::test
