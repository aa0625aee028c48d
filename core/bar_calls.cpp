#include "bar_calls.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace zuv::bars {

const IID kIidCommandBar = {0x723CBB00, 0x0690, 0x4528, {0x86, 0x56, 0xE3, 0x3E, 0x61, 0xF3, 0x93, 0x77}};
const IID kIidControls = {0xD87BCC77, 0x27BF, 0x4CB1, {0x9A, 0xBF, 0x17, 0x88, 0xD9, 0x83, 0x52, 0x23}};
const IID kIidControl = {0x1FC5479A, 0x9E07, 0x4079, {0x92, 0x4A, 0x4C, 0xB1, 0xC1, 0x1F, 0xC7, 0x00}};
const IID kIidPopup = {0x09028A35, 0x789A, 0x40D9, {0xB5, 0x64, 0x75, 0x77, 0xDA, 0x54, 0x93, 0x19}};
const IID kIidButton = {0x324B467B, 0x1E0F, 0x446D, {0xB9, 0x2B, 0xBE, 0xDB, 0xEF, 0x77, 0x30, 0x2F}};
const IID kIidKeyBindings = {0x4BE5CC96, 0x7369, 0x4EAB, {0x9B, 0x25, 0x1D, 0x5C, 0x52, 0x91, 0x6D, 0x86}};

namespace {

// One call.  The host's result, when `result` asks for it, is left there
// for the caller (who then owns it); the host's failure is raised.
void InvokeRaw(IDispatch* object, DISPID member, WORD kind, VARIANT* reversed_args, UINT count,
               VARIANT* result) {
    if (!object) RaiseError(kErrObjectNotSet);
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed_args, nullptr, count, 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put_id;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    UINT arg_error = 0;
    HRESULT hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &info, &arg_error);
    if (FAILED(hr)) {
        // Whatever a failing host left in the result goes with the call.
        if (result) VariantClear(result);
        RaiseInvokeFailure(hr, info);
    }
}

Variant Invoke(IDispatch* object, DISPID member, WORD kind, VARIANT* reversed_args, UINT count) {
    Variant result;
    InvokeRaw(object, member, kind, reversed_args, count, kind == DISPATCH_PROPERTYPUT ? nullptr : result.Get());
    return result;
}

// Arguments that own nothing (a number, a Boolean, a reference to the
// caller's number, a lent string): there is nothing to clear after the call.
// Each is written in place, field by field: a VARIANT built elsewhere and
// copied whole is read back before its parts are stored.
void SetLong(VARIANT& v, long value) noexcept {
    v.vt = VT_I4;
    v.lVal = value;
}
void SetBool(VARIANT& v, bool value) noexcept {
    v.vt = VT_BOOL;
    v.boolVal = ToVB(value);
}
void SetLongRef(VARIANT& v, long& value) noexcept {
    v.vt = VT_BYREF | VT_I4;
    v.plVal = &value;
}
void SetString(VARIANT& v, BSTR text) noexcept {
    v.vt = VT_BSTR;
    v.bstrVal = text;
}

void PutArg(IDispatch* object, DISPID member, VARIANT& value) {
    InvokeRaw(object, member, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

// A method call whose arguments own nothing, given in reverse order as
// IDispatch takes them.
void CallReversed(IDispatch* object, DISPID member, VARIANT* reversed_args, UINT count) {
    VARIANT result{};
    InvokeRaw(object, member, DISPATCH_METHOD, reversed_args, count, &result);
    VariantClear(&result);
}

// The object the host handed back in `value`, cast by interface identifier:
// error 13 when it is not an object of that kind; Nothing stays Nothing.
// `value` is taken over: it is empty afterwards, however this ends.
ComPtr<IDispatch> TakeCast(VARIANT& value, REFIID iid) {
    IUnknown* object = nullptr;
    if (value.vt == VT_DISPATCH) {
        object = value.pdispVal;
    } else if (value.vt == VT_UNKNOWN) {
        object = value.punkVal;
    } else {
        const bool nothing = value.vt == VT_EMPTY || value.vt == VT_NULL;
        VariantClear(&value);
        if (nothing) return nullptr;
        RaiseError(kErrTypeMismatch);
    }
    value.vt = VT_EMPTY;
    // The host's reference goes once the cast has its own.
    ComPtr<IUnknown> held = ComPtr<IUnknown>::Adopt(object);
    if (!object) return nullptr;
    ComPtr<IDispatch> cast;
    if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(cast.Out()))) || !cast)
        RaiseError(kErrTypeMismatch);
    return cast;
}

// A property that hands back an object, cast by interface identifier.
ComPtr<IDispatch> GetCast(IDispatch* object, DISPID member, REFIID iid) {
    VARIANT result{};
    InvokeRaw(object, member, DISPATCH_PROPERTYGET, nullptr, 0, &result);
    return TakeCast(result, iid);
}

// The same for a method.
ComPtr<IDispatch> CallCast(IDispatch* object, DISPID member, VARIANT* reversed_args, UINT count, REFIID iid) {
    VARIANT result{};
    InvokeRaw(object, member, DISPATCH_METHOD, reversed_args, count, &result);
    return TakeCast(result, iid);
}

}  // namespace

void TextArg::Copy(BSTR text) {
    owned_.Reset();
    const UINT length = SysStringLen(text);
    if (!text || length > kInline) {
        owned_ = Bstr::Copy(text);
        text_ = owned_.Get();
        return;
    }
    static_assert(offsetof(Inline, chars) == sizeof(DWORD), "a BSTR's length comes right before its text");
    inline_.bytes = length * sizeof(WCHAR);
    std::copy(text, text + length, inline_.chars);
    inline_.chars[length] = L'\0';
    text_ = inline_.chars;
}

void TextArg::Adopt(Bstr text) noexcept {
    owned_ = std::move(text);
    text_ = owned_.Get();
}

DISPID Resolve(IDispatch* object, const wchar_t* member) {
    if (!object) RaiseError(kErrObjectNotSet);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        // The caller sees what a late-bound call of a missing member gives.
        if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND)
            RaiseError(438, L"Object doesn't support this property or method");
        RaiseHresult(hr);
    }
    return id;
}

Variant Get(IDispatch* object, DISPID member) { return Invoke(object, member, DISPATCH_PROPERTYGET, nullptr, 0); }

void Put(IDispatch* object, DISPID member, Variant value) {
    Invoke(object, member, DISPATCH_PROPERTYPUT, value.Get(), 1);
}

Variant Call(IDispatch* object, DISPID member, VARIANT* args, UINT count) {
    // The host calls take at most four arguments: those go on the stack.
    VARIANT few[4];
    std::vector<VARIANT> many;
    VARIANT* reversed = few;
    if (count > 4) {
        many.resize(count);
        reversed = many.data();
    }
    std::reverse_copy(args, args + count, reversed);
    return Invoke(object, member, DISPATCH_METHOD, count ? reversed : nullptr, count);
}

ComPtr<IDispatch> MenuBar(IDispatch* command_bars) {
    return GetCast(command_bars, id::kActiveMenuBar, kIidCommandBar);
}

ComPtr<IDispatch> AddToolBar(IDispatch* command_bars) {
    Variant name = Variant::String(L"Standard");
    VARIANT reversed[2];
    SetLong(reversed[0], 0);
    reversed[1] = *name.Get();
    return CallCast(command_bars, id::kAddToolBar, reversed, 2, kIidCommandBar);
}

ComPtr<IDispatch> KeyBindings(IDispatch* command_bars) {
    return GetCast(command_bars, id::kKeyBindings, kIidKeyBindings);
}

void AddKeyBinding(IDispatch* command_bars, long modifiers, long key, long command_id) {
    ComPtr<IDispatch> bindings = KeyBindings(command_bars);
    VARIANT reversed[3];
    SetLong(reversed[0], command_id);
    SetLong(reversed[1], key);
    SetLong(reversed[2], modifiers);
    CallReversed(bindings.Get(), id::kKeyBindingsAdd, reversed, 3);
}

void PutBool(IDispatch* object, DISPID member, bool value) {
    VARIANT arg;
    SetBool(arg, value);
    PutArg(object, member, arg);
}

void PutLong(IDispatch* object, DISPID member, long value) {
    VARIANT arg;
    SetLong(arg, value);
    PutArg(object, member, arg);
}

void PutString(IDispatch* object, DISPID member, BSTR value) { Put(object, member, Variant::String(value)); }

long GetLong(IDispatch* object, DISPID member) {
    Variant v = Get(object, member);
    Variant converted;
    HRESULT hr = VariantChangeType(converted.Out(), v.Get(), 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) RaiseError(kErrOverflow);
    if (FAILED(hr)) RaiseError(kErrTypeMismatch);
    return converted.Get()->lVal;
}

void CallLongs(IDispatch* object, DISPID member, long a, long b) {
    VARIANT reversed[2];
    SetLong(reversed[0], b);
    SetLong(reversed[1], a);
    CallReversed(object, member, reversed, 2);
}

void CallLong(IDispatch* object, DISPID member, long a) {
    VARIANT arg;
    SetLong(arg, a);
    CallReversed(object, member, &arg, 1);
}

ComPtr<IDispatch> Controls(IDispatch* bar) { return GetCast(bar, id::kBarControls, kIidControls); }

ComPtr<IDispatch> ControlsByName(IDispatch* bar) {
    return GetCast(bar, Resolve(bar, name::kControls), kIidControls);
}

ComPtr<IDispatch> PopupCommandBar(IDispatch* popup) {
    return GetCast(popup, id::kPopupCommandBar, kIidCommandBar);
}

ComPtr<IDispatch> PopupCommandBarByName(IDispatch* popup) {
    return GetCast(popup, Resolve(popup, name::kCommandBar), kIidCommandBar);
}

ComPtr<IDispatch> AddMenuBarPopup(IDispatch* controls, long id, BSTR caption, REFIID kind) {
    VARIANT reversed[3];
    SetString(reversed[0], caption);
    SetLong(reversed[1], id);
    SetLong(reversed[2], type::kMenuBarPopup);
    return CallCast(controls, id::kControlsAdd, reversed, 3, kind);
}

ComPtr<IDispatch> AddControlByName(IDispatch* controls, long type, long& id, BSTR caption, REFIID kind) {
    DISPID add = Resolve(controls, name::kAdd);
    VARIANT reversed[3];
    SetString(reversed[0], caption);
    SetLongRef(reversed[1], id);
    SetLong(reversed[2], type);
    return CallCast(controls, add, reversed, 3, kind);
}

ComPtr<IDispatch> AddToolBarControl(IDispatch* controls, long type, long& id, BSTR caption, REFIID kind) {
    VARIANT reversed[4];
    SetBool(reversed[0], false);
    SetString(reversed[1], caption);
    SetLongRef(reversed[2], id);
    SetLong(reversed[3], type);
    return CallCast(controls, id::kControlsAdd, reversed, 4, kind);
}

void PutToolBarID(IDispatch* control, long value) { PutLong(control, Resolve(control, name::kToolBarID), value); }

}  // namespace zuv::bars
