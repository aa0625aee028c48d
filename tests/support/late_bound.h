// Late-bound calls as a script host makes them (GetIDsOfNames, then Invoke
// with the arguments in a DISPPARAMS, and the error a failed call carries),
// and a host's event sink, which connects to an object's connection point
// and records every event as text ("Click", "ArrayClick(2)", "CustomError(2,
// Object Not Created)", "SystemError(9, Subscript out of range)",
// "ButtonClick(obj)").
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

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
LateResult InvokeId(IDispatch* object, DISPID id, WORD kind, const std::vector<Variant>& args = {});
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

// The sink object the source calls; answers IDispatch and `events` only.
class EventSink final : public IDispatch {
public:
    explicit EventSink(REFIID events) : iid_(events) {}

    std::vector<std::wstring> events;             // oldest first
    std::vector<ComPtr<IDispatch>> objects;       // object arguments (Nothing as null), in order
    std::function<void(DISPID)> on_event;         // after each event: for re-entrant hosts

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    ~EventSink() = default;
    ULONG refs_ = 1;
    IID iid_;
};

// A connection of a recording sink to an object's events, undone when the
// recorder ends (or earlier, by Disconnect: the connection point holds a
// reference to the source object).
class EventRecorder {
public:
    EventRecorder(IUnknown* source, REFIID events);
    ~EventRecorder() { Disconnect(); }
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    void Disconnect();
    const std::vector<std::wstring>& Events() const { return sink_->events; }
    std::wstring Joined() const;   // "Click; ArrayClick(2)"
    const std::vector<ComPtr<IDispatch>>& Objects() const { return sink_->objects; }
    void Clear() { sink_->events.clear(), sink_->objects.clear(); }
    void OnEvent(std::function<void(DISPID)> handler) { sink_->on_event = std::move(handler); }

private:
    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace zuv::test
