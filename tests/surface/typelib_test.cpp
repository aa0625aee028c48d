// The embedded type library, rendered as text and compared line by line
// with the published interface in typelib.txt: library attributes, every
// type with its kind, identifier and flags, every function with its vtable
// slot, dispatch id, parameters and types, the enumerations, the classes,
// the aliases, the generated header's vtable entries and the DLL's version
// resource.  typelib.txt is the contract, written by hand: on a mismatch the
// rendering is saved in the build's tests/surface folder for a diff, never
// copied over the contract.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "frame/wrappers.h"
#include "surface_test_paths.h"

namespace zuv::test {

std::vector<std::string> HeaderLines();   // vtable_layout.cpp

namespace {

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

std::string Hex(unsigned long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", value);
    return buffer;
}

std::string NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL) {
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

std::string LibText(ITypeLib* lib) {
    TLIBATTR* attr = nullptr;
    if (FAILED(lib->GetLibAttr(&attr))) return "<no attributes>";
    std::string text = GuidText(attr->guid) + " v" + std::to_string(attr->wMajorVerNum) + "." +
                       std::to_string(attr->wMinorVerNum);
    lib->ReleaseTLibAttr(attr);
    return text;
}

// "import <Name> <guid> from <library guid> v<M.m>" for each imported type
// a rendering refers to by name.
std::set<std::string> g_imports;

std::string TypeText(ITypeInfo* context, const TYPEDESC& desc) {
    switch (desc.vt) {
    case VT_PTR: return TypeText(context, *desc.lptdesc) + "*";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        HRESULT hr = context->GetRefTypeInfo(desc.hreftype, ref.Out());
        if (FAILED(hr)) return "<unresolved " + Hex(static_cast<unsigned long>(hr)) + ">";
        ComPtr<ITypeLib> own, theirs;
        UINT index = 0;
        if (FAILED(context->GetContainingTypeLib(own.Out(), &index)) ||
            FAILED(ref->GetContainingTypeLib(theirs.Out(), &index)))
            return "<no library>";
        if (LibText(theirs.Get()) != LibText(own.Get()))
            g_imports.insert("import " + NameOf(ref.Get()) + " " + GuidText(AttrOf(ref.Get()).guid) + " from " +
                             LibText(theirs.Get()));
        return NameOf(ref.Get());
    }
    case VT_I2: return "short";
    case VT_I4: return "long";
    case VT_INT: return "int";
    case VT_BSTR: return "BSTR";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_VARIANT: return "VARIANT";
    case VT_UNKNOWN: return "IUnknown*";
    case VT_DISPATCH: return "IDispatch*";
    default: return "vt" + std::to_string(desc.vt);
    }
}

// "a,b,c" of the names whose bits are set, then any unnamed bits as a number.
std::string FlagsText(unsigned flags, std::initializer_list<std::pair<unsigned, const char*>> names) {
    std::string text;
    for (const auto& [bit, name] : names)
        if (flags & bit) text += (text.empty() ? "" : ",") + std::string(name), flags &= ~bit;
    return flags ? text + (text.empty() ? "" : ",") + std::to_string(flags) : text;
}

std::string ParamText(ITypeInfo* info, const ELEMDESC& elem, const wchar_t* name) {
    const USHORT flags = elem.paramdesc.wParamFlags;
    std::string attrs = FlagsText(flags & ~PARAMFLAG_FHASDEFAULT, {{PARAMFLAG_FIN, "in"}, {PARAMFLAG_FOUT, "out"},
                                  {PARAMFLAG_FLCID, "lcid"}, {PARAMFLAG_FOPT, "opt"}, {PARAMFLAG_FRETVAL, "retval"}});
    if ((flags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
        VARIANT& stored = elem.paramdesc.pparamdescex->varDefaultValue;
        Variant value;
        attrs += ",def=";
        attrs += SUCCEEDED(VariantChangeType(value.Get(), &stored, 0, VT_I4)) ? std::to_string(V_I4(value.Get())) : "?";
        if (V_VT(&stored) != elem.tdesc.vt) attrs += "(vt" + std::to_string(V_VT(&stored)) + ")";
    }
    return "[" + attrs + "] " + TypeText(info, elem.tdesc) + (name ? " " + Narrow(name) : "");
}

// "<slot> <get|put|putref|method> <Name> <memid>[ hidden] (<params>)" for a
// vtable function, "event <Name> <memid> (<params>)" for a dispatch one.
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

ComPtr<ITypeInfo> VtableFace(ITypeInfo* dispatch) {
    HREFTYPE href = 0;
    ComPtr<ITypeInfo> face;
    if (SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href))) dispatch->GetRefTypeInfo(href, face.Out());
    return face;
}

// Flags the library uses by name, any other as a number.
std::string TypeFlags(WORD flags) {
    return "[" + FlagsText(flags, {{TYPEFLAG_FCANCREATE, "cancreate"}, {TYPEFLAG_FHIDDEN, "hidden"},
        {TYPEFLAG_FCONTROL, "control"}, {TYPEFLAG_FDUAL, "dual"}, {TYPEFLAG_FNONEXTENSIBLE, "nonextensible"},
        {TYPEFLAG_FOLEAUTOMATION, "oleautomation"}, {TYPEFLAG_FRESTRICTED, "restricted"},
        {TYPEFLAG_FDISPATCHABLE, "dispatchable"}}) + "]";
}

// "  [default,source] <name> <guid>" for each implemented type.
void AddImplTypes(ITypeInfo* info, std::vector<std::string>& lines) {
    for (UINT i = 0, n = AttrOf(info).cImplTypes; i < n; ++i) {
        INT flags = 0;
        HREFTYPE href = 0;
        ComPtr<ITypeInfo> ref;
        info->GetImplTypeFlags(i, &flags);
        std::string line = "  [" + FlagsText(static_cast<unsigned>(flags), {{IMPLTYPEFLAG_FDEFAULT, "default"},
                           {IMPLTYPEFLAG_FSOURCE, "source"}, {IMPLTYPEFLAG_FRESTRICTED, "restricted"}}) + "] ";
        if (SUCCEEDED(info->GetRefTypeOfImplType(i, &href)) && SUCCEEDED(info->GetRefTypeInfo(href, ref.Out())))
            line += NameOf(ref.Get()) + " " + GuidText(AttrOf(ref.Get()).guid);
        lines.push_back(line + (ref ? "" : "<unresolved>"));
    }
}

void AddFunctions(ITypeInfo* info, std::vector<std::string>& lines) {
    for (UINT i = 0, n = AttrOf(info).cFuncs; i < n; ++i) lines.push_back("  " + FunctionText(info, i));
}

// One type: "<KIND> <Name> <guid> [<flags>]", then indented its implemented
// types, alias target, enumeration values or functions.  A dual interface
// shows the flags of its vtable face (the loader drops oleautomation from the
// dispatch face), then "vtable <guid> <n> entries" and the face's functions.
std::vector<std::string> TypeBlock(ITypeInfo* info) {
    static const char* const kinds[] = {"ENUM", "RECORD", "MODULE", "INTERFACE", "DISPATCH", "COCLASS", "ALIAS", "UNION"};
    const TYPEATTR attr = AttrOf(info);
    ComPtr<ITypeInfo> face = attr.typekind == TKIND_DISPATCH && (attr.wTypeFlags & TYPEFLAG_FDUAL) ? VtableFace(info)
                                                                                                 : nullptr;
    std::string head = std::string(attr.typekind < TKIND_MAX ? kinds[attr.typekind] : "?") + " " + NameOf(info) + " " +
                       GuidText(attr.guid) + " " + TypeFlags(face ? AttrOf(face.Get()).wTypeFlags : attr.wTypeFlags);
    if (attr.typekind == TKIND_ENUM) head += " size " + std::to_string(attr.cbSizeInstance);
    if (attr.typekind == TKIND_ALIAS) head += " = " + TypeText(info, attr.tdescAlias);
    std::vector<std::string> lines{head};
    AddImplTypes(info, lines);
    for (UINT i = 0; i < attr.cVars; ++i) {
        VARDESC* var = nullptr;
        if (FAILED(info->GetVarDesc(i, &var))) continue;
        std::string line = "  " + NameOf(info, var->memid) + " = ";
        if (var->varkind == VAR_CONST && V_VT(var->lpvarValue) == VT_I4) line += std::to_string(V_I4(var->lpvarValue));
        else line += "<not a 32-bit constant>";
        lines.push_back(line);
        info->ReleaseVarDesc(var);
    }
    if (face) {
        const TYPEATTR vtable = AttrOf(face.Get());
        lines.push_back("  vtable " + std::string(vtable.typekind == TKIND_INTERFACE ? "" : "<not an interface> ") +
                        GuidText(vtable.guid) + " " + std::to_string(vtable.cbSizeVft / sizeof(void*)) + " entries");
        AddImplTypes(face.Get(), lines);
        AddFunctions(face.Get(), lines);
    } else if (attr.typekind == TKIND_DISPATCH) {
        AddFunctions(info, lines);
    }
    return lines;
}

std::vector<std::string> ReadLines(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

// The version resource as one line: fixed part, translation, strings.
std::string VersionText(const wchar_t* path) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* translation = nullptr;   // language, code page
    UINT length = 0, translation_length = 0;
    if (!size || !GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO) ||
        !VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &translation_length) || translation_length != 4)
        return "version <missing or incomplete>";
    const auto dotted = [](DWORD ms, DWORD ls) {
        return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." + std::to_string(HIWORD(ls)) + "." +
               std::to_string(LOWORD(ls));
    };
    std::string text = "version " + Hex(fixed->dwSignature) + " file " +
                       dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " product " +
                       dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + " type " +
                       std::to_string(fixed->dwFileType) + " " + Hex(MAKELONG(translation[1], translation[0]));
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"InternalName", L"OriginalFilename", L"OLESelfRegister"}) {
        wchar_t* value = nullptr;
        text += "|" + Narrow(name) + "=";
        text += VerQueryValueW(data.data(), (std::wstring(L"\\StringFileInfo\\040904B0\\") + name).c_str(),
                               reinterpret_cast<void**>(&value), &length) ? Narrow(length ? value : L"") : "<missing>";
    }
    return text;
}

// The DLL under test, this process' build; the other build's test program
// checks its own.
TEST(TypeLibrary, MatchesThePublishedInterface) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(ZUV_TEST_DLL, REGKIND_NONE, lib.Out()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    std::vector<std::string> actual{"library " + LibText(lib.Get()) + " lcid " + Hex(attr->lcid)};
    lib->ReleaseTLibAttr(attr);
    Bstr name, doc, helpfile;
    DWORD context = 1;
    ASSERT_EQ(lib->GetDocumentation(-1, name.Out(), doc.Out(), &context, helpfile.Out()), S_OK);
    actual.back() += " " + Narrow(name.Get()) + " \"" + Narrow(doc.Get()) + "\" help " + std::to_string(context) +
                     (helpfile.Get() ? " " + Narrow(helpfile.Get()) : "");

    std::map<std::string, std::vector<std::string>> blocks;   // by type name
    g_imports.clear();
    for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(lib->GetTypeInfo(i, info.Out()), S_OK);
        blocks[NameOf(info.Get())] = TypeBlock(info.Get());
    }
    for (const auto& [type, lines] : blocks) actual.insert(actual.end(), lines.begin(), lines.end());
    actual.insert(actual.end(), g_imports.begin(), g_imports.end());
    for (const std::string& line : HeaderLines()) actual.push_back(line);
    actual.push_back(VersionText(ZUV_TEST_DLL));

    const std::vector<std::string> expected = ReadLines(ZUV_TEST_TYPELIB_GOLDEN);
    ASSERT_GT(expected.size(), 100u) << "cannot read " << ZUV_TEST_TYPELIB_GOLDEN;
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i)
        EXPECT_EQ(i < actual.size() ? actual[i] : "<none>", i < expected.size() ? expected[i] : "<none>")
            << "line " << i;
    if (actual != expected) {
        std::ofstream out(ZUV_TEST_OUTPUT_DIR "/typelib.txt");
        for (const std::string& line : actual) out << line << "\n";
    }
}

}  // namespace
}  // namespace zuv::test
