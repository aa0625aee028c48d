// The one IDispatch of every host object: resolves the member, checks the
// invoke kind and the arguments, applies injected outcomes, runs the member
// and records the call.
#include <cwchar>
#include <new>

#include "host_objects.h"

namespace xchost {

const wchar_t* KindName(Kind kind) noexcept {
    switch (kind) {
    case Kind::Get: return L"get";
    case Kind::Put: return L"put";
    case Kind::Call: return L"call";
    case Kind::Name: return L"name";
    }
    return L"?";
}

bool SameText(const std::wstring& a, const std::wstring& b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towlower(a[i]) != towlower(b[i])) return false;
    return true;
}

std::wstring Quote(const wchar_t* text, size_t length) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        if (c == L'"') {
            out += L"\"\"";
        } else if (c < 0x20 || c == 0x7F) {
            wchar_t code[8];
            swprintf(code, 8, L"\\x%02X", static_cast<unsigned>(c));
            out += code;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring HexHresult(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::wstring FormatArg(const VARIANT& v) {
    const bool ref = (v.vt & VT_BYREF) != 0;
    const VARTYPE base = v.vt & ~VT_BYREF;
    const wchar_t* amp = ref ? L"& " : L" ";
    if (ref && !v.byref) return L"Null reference";
    switch (base) {
    case VT_EMPTY: return L"Empty";
    case VT_NULL: return L"Null";
    case VT_I4: return L"Long" + (amp + std::to_wstring(ref ? *v.plVal : v.lVal));
    case VT_I2: return L"Integer" + (amp + std::to_wstring(ref ? *v.piVal : v.iVal));
    case VT_UI1: return L"Byte" + (amp + std::to_wstring(ref ? *v.pbVal : v.bVal));
    case VT_R8: return L"Double" + (amp + std::to_wstring(ref ? *v.pdblVal : v.dblVal));
    case VT_BOOL: {
        VARIANT_BOOL b = ref ? *v.pboolVal : v.boolVal;
        return L"Boolean" + (amp + (b == VARIANT_TRUE ? std::wstring(L"True")
                                    : b == VARIANT_FALSE ? std::wstring(L"False") : std::to_wstring(b)));
    }
    case VT_BSTR: {
        BSTR s = ref ? *v.pbstrVal : v.bstrVal;
        return L"String" + (amp + Quote(s ? s : L"", SysStringLen(s)));
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* p = ref ? *v.ppunkVal : v.punkVal;
        return p ? std::wstring(L"Object") + (ref ? L"&" : L"") : std::wstring(L"Nothing");
    }
    case VT_ERROR: {
        SCODE e = ref ? *v.pscode : v.scode;
        if (e == DISP_E_PARAMNOTFOUND) return L"Missing";
        return L"Error" + (amp + HexHresult(e));
    }
    case VT_VARIANT:
        if (ref) return L"Variant& (" + FormatArg(*v.pvarVal) + L")";
        break;
    }
    wchar_t text[32];
    swprintf(text, 32, L"VT 0x%04X", static_cast<unsigned>(v.vt));
    return text;
}

HRESULT ReportException(EXCEPINFO* excep, HRESULT scode, const std::wstring& description) noexcept {
    if (excep) {
        *excep = EXCEPINFO{};
        excep->scode = scode;
        excep->bstrSource = SysAllocString(L"XCHost");
        excep->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
        return DISP_E_EXCEPTION;
    }
    zuv::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Out()))) {
        create->SetSource(const_cast<LPOLESTR>(L"XCHost"));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        zuv::ComPtr<IErrorInfo> info = create.As<IErrorInfo>();
        SetErrorInfo(0, info.Get());
    }
    return scode;
}

namespace {

const Member* FindMember(const Node& node, DISPID id) noexcept {
    auto [members, count] = node.Members();
    for (size_t i = 0; i < count; ++i)
        if (members[i].id == id) return &members[i];
    return nullptr;
}

const Member* FindMember(const Node& node, const wchar_t* name) noexcept {
    auto [members, count] = node.Members();
    for (size_t i = 0; i < count; ++i)
        if (members[i].name && _wcsicmp(members[i].name, name) == 0) return &members[i];
    return nullptr;
}

Kind KindOfFlags(WORD flags) noexcept {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return Kind::Put;
    if (flags & DISPATCH_PROPERTYGET) return Kind::Get;
    return Kind::Call;
}

// The kind of call the member answers to with these flags; false when it
// answers to none.
bool Resolve(const Member& m, WORD flags, Kind& kind) noexcept {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        kind = Kind::Put;
        return (m.access & kPut) != 0;
    }
    if (m.access & kInspect) {
        kind = Kind::Call;
        return true;
    }
    if ((flags & DISPATCH_PROPERTYGET) && (m.access & kGet)) {
        kind = Kind::Get;
        return true;
    }
    if ((flags & DISPATCH_METHOD) && (m.access & kCall)) {
        kind = Kind::Call;
        return true;
    }
    return false;
}

bool IsMissing(const VARIANT& v) noexcept { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// The arguments in parameter order, converted to the member's types.
std::vector<zuv::Variant> ReadArgs(const Member& m, Kind kind, const DISPPARAMS& params) {
    const UINT n = params.cArgs;
    std::vector<zuv::Variant> args;
    auto convert = [&](UINT index, VARTYPE type) {
        const VARIANT& raw = params.rgvarg[index];
        zuv::Variant value;
        if (FAILED(VariantCopyInd(value.Get(), const_cast<VARIANT*>(&raw)))) throw DispFailure{DISP_E_TYPEMISMATCH, index};
        if (value.Type() == (VT_BYREF | VT_VARIANT)) throw DispFailure{DISP_E_TYPEMISMATCH, index};
        if (type != VT_VARIANT && value.Type() != type &&
            FAILED(VariantChangeType(value.Get(), value.Get(), 0, type)))
            throw DispFailure{DISP_E_TYPEMISMATCH, index};
        args.push_back(std::move(value));
    };
    if (kind == Kind::Put) {
        if (n != 1) throw DispFailure{DISP_E_BADPARAMCOUNT};
        if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            throw DispFailure{DISP_E_PARAMNOTFOUND};
        convert(0, m.type);
        return args;
    }
    if (params.cNamedArgs != 0) throw DispFailure{DISP_E_NONAMEDARGS};
    const bool method = kind == Kind::Call;
    if (n < (method ? m.min_args : 0) || n > (method ? m.max_args : 0)) throw DispFailure{DISP_E_BADPARAMCOUNT};
    for (UINT i = 0; i < n; ++i) {
        UINT index = n - 1 - i;
        if (IsMissing(params.rgvarg[index])) {
            if (i < m.min_args) throw DispFailure{DISP_E_PARAMNOTOPTIONAL, index};
            args.emplace_back();  // an omitted optional argument stays Empty
            continue;
        }
        convert(index, m.params[i]);
    }
    return args;
}

std::wstring Token(const Member& m) { return m.logged_by_name ? std::wstring(m.name) : std::to_wstring(m.id); }

}  // namespace

HRESULT NodeGetIDsOfNames(Node& node, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    std::shared_ptr<HostState> state = node.State();
    if (!state) return ReportException(nullptr, kDestroyed, L"The command bars object has been released");
    try {
        const wchar_t* name = names[0] ? names[0] : L"";
        const Member* m = FindMember(node, name);
        HRESULT hr = S_OK;
        std::wstring description;
        if (!m) {
            hr = DISP_E_UNKNOWNNAME;
        } else if (!(m->access & kInspect)) {
            if (const Rule* rule = state->Match(node.Label(), Kind::Name, name, nullptr)) {
                hr = rule->hr;
                description = rule->description;
            }
        }
        if ((!m || !(m->access & kInspect)) && state->recording) {
            std::wstring line = node.Label() + L" name " + Quote(name, wcslen(name));
            if (FAILED(hr)) line += L" -> error " + HexHresult(hr);
            state->log.push_back(std::move(line));
        }
        if (FAILED(hr)) {
            if (hr == DISP_E_UNKNOWNNAME) return hr;
            return ReportException(nullptr, hr, description);
        }
        ids[0] = m->id;
        // Parameter names are not supported.
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT NodeInvoke(Node& node, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* arg_error) noexcept {
    if (result) VariantInit(result);
    if (!params || (params->cArgs && !params->rgvarg)) return E_INVALIDARG;
    std::shared_ptr<HostState> state = node.State();
    if (!state) return ReportException(excep, kDestroyed, L"The command bars object has been released");

    std::wstring line;
    // Traced calls (all but the test members) are logged and may meet an
    // injected outcome.
    bool traced = false, wrong_kind = false;
    HRESULT hr = S_OK, shown = S_OK;  // returned / logged
    try {
        const Member* m = FindMember(node, id);
        traced = !m || !(m->access & kInspect);
        Kind kind = KindOfFlags(flags);
        const bool found = m && Resolve(*m, flags, kind);
        if (traced && state->recording) {
            line = node.Label() + L" " + KindName(kind) + L" " + (m ? Token(*m) : std::to_wstring(id));
            for (UINT i = params->cArgs; i-- > 0;)
                line += (i + 1 == params->cArgs ? L" (" : L", ") + FormatArg(params->rgvarg[i]) + (i ? L"" : L")");
        }
        if (!found) throw DispFailure{DISP_E_MEMBERNOTFOUND};
        std::vector<zuv::Variant> args = ReadArgs(*m, kind, *params);
        node.CheckUsable();
        if (traced) {
            if (const Rule* rule = state->Match(node.Label(), kind, Token(*m), m->name)) {
                if (rule->fail) throw zuv::RuntimeError(rule->hr, zuv::ErrorNumberOf(rule->hr), rule->description);
                wrong_kind = true;
            }
        }
        zuv::Variant value = node.Perform(*state, *m, kind, args);
        if (wrong_kind) value = zuv::Variant::Object(state->NewStray());
        if (result && kind != Kind::Put) *result = value.Detach();
    } catch (const DispFailure& f) {
        if (arg_error && (f.hr == DISP_E_TYPEMISMATCH || f.hr == DISP_E_PARAMNOTFOUND ||
                          f.hr == DISP_E_PARAMNOTOPTIONAL))
            *arg_error = f.arg;
        SetErrorInfo(0, nullptr);
        hr = shown = f.hr;
    } catch (const zuv::RuntimeError& e) {
        shown = e.Hresult();
        hr = ReportException(excep, shown, e.Description());
    } catch (const std::bad_alloc&) {
        hr = shown = E_OUTOFMEMORY;
    } catch (...) {
        hr = shown = E_UNEXPECTED;
    }
    if (traced && state->recording) {
        try {
            if (FAILED(shown)) line += L" -> error " + HexHresult(shown);
            else if (wrong_kind) line += L" -> wrong kind";
            state->log.push_back(std::move(line));
        } catch (...) {
        }
    }
    return hr;
}

}  // namespace xchost
