// Late-bound calls as a script host makes them: GetIDsOfNames, then Invoke
// with the arguments in a DISPPARAMS, and the error a failed call carries.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <initializer_list>
#include <string>

#include "frame/wrappers.h"

namespace zuv::test {

struct LateResult {
    HRESULT hr = S_OK;
    Variant value;
    // From EXCEPINFO when hr is DISP_E_EXCEPTION.
    HRESULT scode = S_OK;
    long number = 0;            // the run-time error number a script's Err.Number shows
    std::wstring description;
    std::wstring source;
    UINT arg_error = 0;

    bool ok() const { return SUCCEEDED(hr); }
};

// The dispatch id of a name (DISPID_UNKNOWN when not found).
DISPID IdOf(IDispatch* object, const wchar_t* name);

// kind: DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT or
// DISPATCH_PROPERTYPUTREF; `args` in parameter order (as a script writes them).
LateResult InvokeId(IDispatch* object, DISPID id, WORD kind, std::initializer_list<Variant> args = {});
LateResult InvokeName(IDispatch* object, const wchar_t* name, WORD kind, std::initializer_list<Variant> args = {});
// Arguments given as raw VARIANTs (by-reference arguments and omitted ones).
LateResult InvokeRaw(IDispatch* object, DISPID id, WORD kind, VARIANT* args_in_order, UINT count);

inline LateResult Get(IDispatch* o, const wchar_t* name, std::initializer_list<Variant> args = {}) {
    return InvokeName(o, name, DISPATCH_PROPERTYGET, args);
}
inline LateResult Put(IDispatch* o, const wchar_t* name, Variant value) {
    return InvokeName(o, name, DISPATCH_PROPERTYPUT, {std::move(value)});
}
inline LateResult PutRef(IDispatch* o, const wchar_t* name, Variant value) {
    return InvokeName(o, name, DISPATCH_PROPERTYPUTREF, {std::move(value)});
}
inline LateResult Call(IDispatch* o, const wchar_t* name, std::initializer_list<Variant> args = {}) {
    return InvokeName(o, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

// An omitted optional argument, as Visual Basic passes it.
Variant Missing();

// Readable forms for assertions.
std::wstring Str(const Variant& v);        // the value converted to text ("" when it cannot be)
long Long(const Variant& v);               // the value converted to a Long (0 when it cannot be)
IDispatch* Object(const Variant& v);       // the object held, or null (no new reference)

}  // namespace zuv::test
