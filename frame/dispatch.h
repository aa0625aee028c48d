// IDispatch served from the embedded type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "com_object.h"

namespace zuv {
namespace dispatch {

// ITypeInfo::Invoke on the vtable face of `dual`, for exactly the calls a
// member can take, decided from the type information first: the member and
// its kind (a property get answers a method call too), the argument count
// (surplus arguments of a property get go to the default member of the
// object it returns, error 91 when that is Nothing), named arguments, the
// kind of every object argument (error 13 for a wrong one), typed values
// converted here (through a script's by-reference variables), omitted
// optional strings given as empty strings.  The member is then called
// through its vtable entry here, with the arguments, result and error the
// platform's dispatch would give; only calls that need its own conversions
// go through it.
HRESULT Invoke(IDispatch* instance, REFIID dual, DISPID member, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;
HRESULT GetIDsOfNames(REFIID dual, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT GetTypeInfo(REFIID dual, UINT index, ITypeInfo** info) noexcept;

}  // namespace dispatch

// A COM object whose default interface is a dual interface of the library.
template <class Derived, class Dual, class... Others>
class AutomationObject : public ComObject<Derived, Dual, Others...> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        return dispatch::GetTypeInfo(__uuidof(Dual), index, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        return dispatch::GetIDsOfNames(__uuidof(Dual), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* arg_error) noexcept override {
        return dispatch::Invoke(static_cast<Dual*>(this), __uuidof(Dual), member, flags, params, result, excep,
                                arg_error);
    }
};

}  // namespace zuv
