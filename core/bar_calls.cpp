#include "bar_calls.h"

#include <algorithm>
#include <vector>

namespace zuv::bars {

const IID kIidCommandBar = {0x723CBB00, 0x0690, 0x4528, {0x86, 0x56, 0xE3, 0x3E, 0x61, 0xF3, 0x93, 0x77}};
const IID kIidControls = {0xD87BCC77, 0x27BF, 0x4CB1, {0x9A, 0xBF, 0x17, 0x88, 0xD9, 0x83, 0x52, 0x23}};
const IID kIidControl = {0x1FC5479A, 0x9E07, 0x4079, {0x92, 0x4A, 0x4C, 0xB1, 0xC1, 0x1F, 0xC7, 0x00}};
const IID kIidPopup = {0x09028A35, 0x789A, 0x40D9, {0xB5, 0x64, 0x75, 0x77, 0xDA, 0x54, 0x93, 0x19}};
const IID kIidButton = {0x324B467B, 0x1E0F, 0x446D, {0xB9, 0x2B, 0xBE, 0xDB, 0xEF, 0x77, 0x30, 0x2F}};
const IID kIidKeyBindings = {0x4BE5CC96, 0x7369, 0x4EAB, {0x9B, 0x25, 0x1D, 0x5C, 0x52, 0x91, 0x6D, 0x86}};

namespace {

Variant Invoke(IDispatch* object, DISPID member, WORD kind, VARIANT* reversed_args, UINT count) {
    if (!object) RaiseError(kErrObjectNotSet);
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed_args, nullptr, count, 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put_id;
        params.cNamedArgs = 1;
    }
    Variant result;
    EXCEPINFO info{};
    UINT arg_error = 0;
    HRESULT hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                                kind == DISPATCH_PROPERTYPUT ? nullptr : result.Out(), &info, &arg_error);
    if (FAILED(hr)) RaiseInvokeFailure(hr, info);
    return result;
}

// A caption passed to one call without a copy: the caller's string outlives
// the call (a callee does not free or change an argument passed by value),
// and the slot gives it back unfreed however the call ends.
class LentString {
public:
    LentString(Variant& slot, BSTR text) noexcept : slot_(slot) {
        slot_.Get()->vt = VT_BSTR;
        slot_.Get()->bstrVal = text;
    }
    ~LentString() { slot_.Detach(); }
    LentString(const LentString&) = delete;
    LentString& operator=(const LentString&) = delete;

private:
    Variant& slot_;
};

}  // namespace

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

ComPtr<IDispatch> Cast(const Variant& value, REFIID iid) {
    const VARIANT* v = value.Get();
    IUnknown* object = nullptr;
    if (v->vt == VT_DISPATCH) object = v->pdispVal;
    else if (v->vt == VT_UNKNOWN) object = v->punkVal;
    else if (v->vt == VT_EMPTY || v->vt == VT_NULL) return nullptr;
    else RaiseError(kErrTypeMismatch);
    if (!object) return nullptr;
    ComPtr<IDispatch> cast;
    if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(cast.Out()))) || !cast)
        RaiseError(kErrTypeMismatch);
    return cast;
}

ComPtr<IDispatch> MenuBar(IDispatch* command_bars) {
    return Cast(Get(command_bars, id::kActiveMenuBar), kIidCommandBar);
}

ComPtr<IDispatch> AddToolBar(IDispatch* command_bars) {
    Variant args[] = {Variant::String(L"Standard"), Variant::Long(0)};
    return Cast(Call(command_bars, id::kAddToolBar, args[0].Get(), 2), kIidCommandBar);
}

ComPtr<IDispatch> KeyBindings(IDispatch* command_bars) {
    return Cast(Get(command_bars, id::kKeyBindings), kIidKeyBindings);
}

void AddKeyBinding(IDispatch* command_bars, long modifiers, long key, long command_id) {
    ComPtr<IDispatch> bindings = KeyBindings(command_bars);
    Variant args[] = {Variant::Long(modifiers), Variant::Long(key), Variant::Long(command_id)};
    Call(bindings.Get(), id::kKeyBindingsAdd, args[0].Get(), 3);
}

void PutBool(IDispatch* object, DISPID member, bool value) { Put(object, member, Variant::Bool(value)); }
void PutLong(IDispatch* object, DISPID member, long value) { Put(object, member, Variant::Long(value)); }
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
    Variant args[] = {Variant::Long(a), Variant::Long(b)};
    Call(object, member, args[0].Get(), 2);
}

void CallLong(IDispatch* object, DISPID member, long a) {
    Variant args[] = {Variant::Long(a)};
    Call(object, member, args[0].Get(), 1);
}

ComPtr<IDispatch> Controls(IDispatch* bar) { return Cast(Get(bar, id::kBarControls), kIidControls); }

ComPtr<IDispatch> ControlsByName(IDispatch* bar) {
    return Cast(Get(bar, Resolve(bar, name::kControls)), kIidControls);
}

ComPtr<IDispatch> PopupCommandBar(IDispatch* popup) {
    return Cast(Get(popup, id::kPopupCommandBar), kIidCommandBar);
}

ComPtr<IDispatch> PopupCommandBarByName(IDispatch* popup) {
    return Cast(Get(popup, Resolve(popup, name::kCommandBar)), kIidCommandBar);
}

Variant AddMenuBarPopup(IDispatch* controls, long id, BSTR caption) {
    Variant args[] = {Variant::Long(type::kMenuBarPopup), Variant::Long(id), Variant()};
    LentString text(args[2], caption);
    return Call(controls, id::kControlsAdd, args[0].Get(), 3);
}

Variant AddControlByName(IDispatch* controls, long type, long& id, BSTR caption) {
    DISPID add = Resolve(controls, name::kAdd);
    Variant args[] = {Variant::Long(type), Variant::LongRef(&id), Variant()};
    LentString text(args[2], caption);
    return Call(controls, add, args[0].Get(), 3);
}

Variant AddToolBarControl(IDispatch* controls, long type, long& id, BSTR caption) {
    Variant args[] = {Variant::Long(type), Variant::LongRef(&id), Variant(), Variant::Bool(false)};
    LentString text(args[2], caption);
    return Call(controls, id::kControlsAdd, args[0].Get(), 4);
}

void PutToolBarID(IDispatch* control, long value) { PutLong(control, Resolve(control, name::kToolBarID), value); }

}  // namespace zuv::bars
