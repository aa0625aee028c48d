// Client helpers for the stand-in command bars (XCHost.CommandBars) and
// collection (XCHost.Collection): create them, call members by name, read
// the call log and the dump, inject failures.  Header-only; failures throw
// xchost::CallError.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame/wrappers.h"

namespace xchost {

class CallError : public std::runtime_error {
public:
    CallError(const std::wstring& what, HRESULT hr, std::wstring description)
        : std::runtime_error(Narrow(what + L": " + description)), hr_(hr), description_(std::move(description)) {}
    HRESULT Hresult() const noexcept { return hr_; }
    const std::wstring& Description() const noexcept { return description_; }

private:
    static std::string Narrow(const std::wstring& s) {
        std::string out;
        for (wchar_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    HRESULT hr_;
    std::wstring description_;
};

// Creates a registered class by ProgID.
inline zuv::ComPtr<IDispatch> CreateByProgId(const wchar_t* progid) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progid, &clsid);
    zuv::ComPtr<IDispatch> object;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(object.Out()));
    if (FAILED(hr)) throw CallError(std::wstring(L"create ") + progid, hr, L"");
    return object;
}
inline zuv::ComPtr<IDispatch> CreateHost() { return CreateByProgId(L"XCHost.CommandBars"); }
inline zuv::ComPtr<IDispatch> CreateCollection() { return CreateByProgId(L"XCHost.Collection"); }

// Arguments as automation values.
inline zuv::Variant Arg(int v) { return zuv::Variant::Long(v); }
inline zuv::Variant Arg(long v) { return zuv::Variant::Long(v); }
inline zuv::Variant Arg(bool v) { return zuv::Variant::Bool(v); }
inline zuv::Variant Arg(const wchar_t* v) { return zuv::Variant::String(v); }
inline zuv::Variant Arg(const std::wstring& v) { return zuv::Variant::String(zuv::Bstr(v).Get()); }
inline zuv::Variant Arg(IDispatch* v) { return zuv::Variant::Object(v); }
inline zuv::Variant Arg(zuv::Variant v) { return v; }

// A late-bound call by name, as a script makes it (the name is looked up
// first; DISPATCH_METHOD | DISPATCH_PROPERTYGET); `args` in parameter order.
inline zuv::Variant InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<zuv::Variant> args) {
    if (!object) throw CallError(name, E_POINTER, L"no object");
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw CallError(name, hr, L"unknown name");
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->Get());
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), is_put ? &put : nullptr,
                      static_cast<UINT>(reversed.size()), is_put ? 1u : 0u};
    zuv::Variant result;
    EXCEPINFO info{};
    UINT arg_error = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Out(), &info, &arg_error);
    zuv::Bstr description = zuv::Bstr::Adopt(info.bstrDescription);
    zuv::Bstr source = zuv::Bstr::Adopt(info.bstrSource);
    zuv::Bstr help = zuv::Bstr::Adopt(info.bstrHelpFile);
    if (FAILED(hr)) throw CallError(name, hr == DISP_E_EXCEPTION ? info.scode : hr, description.Str());
    return result;
}

template <class... A>
zuv::Variant CallByName(IDispatch* object, const wchar_t* name, const A&... args) {
    return InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Arg(args)...});
}
template <class A>
void PutByName(IDispatch* object, const wchar_t* name, const A& value) {
    InvokeByName(object, name, DISPATCH_PROPERTYPUT, {Arg(value)});
}

// A value as text (Booleans as True / False) or as a number ("" / 0 when it
// does not convert).
inline std::wstring Text(const zuv::Variant& v) {
    zuv::Variant s;
    if (FAILED(VariantChangeType(s.Get(), const_cast<VARIANT*>(v.Get()), VARIANT_ALPHABOOL, VT_BSTR))) return L"";
    return zuv::Bstr::Copy(s.Get()->bstrVal).Str();
}
inline long Number(const zuv::Variant& v) {
    zuv::Variant n;
    if (FAILED(VariantChangeType(n.Get(), const_cast<VARIANT*>(v.Get()), 0, VT_I4))) return 0;
    return n.Get()->lVal;
}

// --- XCHost.CommandBars ---------------------------------------------------------------

// The label of any host object ("MenuBar", "Control#3", ...).
inline std::wstring Label(IDispatch* object) { return Text(CallByName(object, L"Label")); }

inline std::wstring Log(IDispatch* host) { return Text(CallByName(host, L"Log")); }
inline std::vector<std::wstring> LogLines(IDispatch* host) {
    std::vector<std::wstring> lines;
    std::wstring all = Log(host);
    for (size_t start = 0; !all.empty() && start <= all.size();) {
        size_t end = all.find(L'\n', start);
        if (end == std::wstring::npos) end = all.size();
        lines.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
inline void ClearLog(IDispatch* host) { CallByName(host, L"ClearLog"); }
inline std::wstring Dump(IDispatch* host) { return Text(CallByName(host, L"Dump")); }

// The nth matching call ("get 4", "put 13", "call 2", "name Controls", "* *")
// on the object with this label ("*": any) fails with `number`.
inline void FailCall(IDispatch* host, const wchar_t* label, const wchar_t* selector, long nth, long number,
                     const wchar_t* description = L"") {
    CallByName(host, L"FailCall", label, selector, nth, number, description);
}
// The nth matching call returns an object of no role instead of its result.
inline void WrongKind(IDispatch* host, const wchar_t* label, const wchar_t* selector, long nth) {
    CallByName(host, L"WrongKind", label, selector, nth);
}
// Destroys the controls with this command ID (or this label); returns how many.
inline long DestroyControl(IDispatch* host, long id) { return Number(CallByName(host, L"DestroyControl", id)); }
inline long DestroyControl(IDispatch* host, const wchar_t* label) {
    return Number(CallByName(host, L"DestroyControl", label));
}
// A property of a control by label: Type, ID, Caption, Tooltip, Checked,
// Enabled, Visible, Group, Style, ToolBarID, Destroyed.
inline zuv::Variant ControlProp(IDispatch* host, const wchar_t* label, const wchar_t* property) {
    return CallByName(host, L"ControlProp", label, property);
}
// The label of the first live control with this command ID ("" when none).
inline std::wstring FindControl(IDispatch* host, long id) { return Text(CallByName(host, L"FindControl", id)); }

}  // namespace xchost
