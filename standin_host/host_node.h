// The frame of every object of the stand-in command bars: a member table,
// one generic IDispatch that checks and records each call, and the shared
// state (log, injected failures, every object handed out).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/error.h"
#include "frame/wrappers.h"
#include "frame/com_object.h"

namespace xchost {

class HostState;

// What a recorded call did.
enum class Kind { Get, Put, Call, Name };
const wchar_t* KindName(Kind kind) noexcept;

// Access bits of a member.
enum : unsigned {
    kGet = 1,       // property get
    kPut = 2,       // property put
    kCall = 4,      // method
    kInspect = 8,   // test instrumentation: any invoke kind, never recorded
};

struct Member {
    DISPID id;
    const wchar_t* name;       // answered by GetIDsOfNames; nullptr: reached by id only
    unsigned access;
    VARTYPE type;              // property value type (get/put)
    VARTYPE params[5];         // method parameters (VT_VARIANT: taken as is)
    unsigned min_args, max_args;
    bool logged_by_name;       // recorded under its name instead of its number
};

// A failure that a dispatch call returns as a plain HRESULT (no EXCEPINFO).
struct DispFailure {
    HRESULT hr;
    UINT arg = 0;              // index into rgvarg, for DISP_E_TYPEMISMATCH / DISP_E_PARAMNOTFOUND
};

constexpr HRESULT kDestroyed = static_cast<HRESULT>(0x8000FFFF);

// The data half of an object; the COM half is `HostObject<Derived>`.
class Node {
public:
    Node(std::weak_ptr<HostState> state, std::wstring label) : state_(std::move(state)), label_(std::move(label)) {}
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const std::wstring& Label() const noexcept { return label_; }
    std::shared_ptr<HostState> State() const noexcept { return state_.lock(); }

    virtual std::pair<const Member*, size_t> Members() const noexcept = 0;
    virtual bool HasRole(REFIID iid) const noexcept = 0;
    // Throws a RuntimeError when the object can no longer be used.
    virtual void CheckUsable() const {}
    // Runs a checked call: `args` are converted to the member's types, in
    // parameter order (one value for a put).
    virtual zuv::Variant Perform(HostState& state, const Member& member, Kind kind, std::vector<zuv::Variant>& args) = 0;

private:
    std::weak_ptr<HostState> state_;
    std::wstring label_;
};

// The stand-in's objects answer IDispatch by name only: they have no type
// information.
inline HRESULT NoTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
inline HRESULT NoTypeInfo(ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT NodeGetIDsOfNames(Node& node, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT NodeInvoke(Node& node, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* arg_error) noexcept;

// IDispatch over a Node; QueryInterface answers IDispatch and the node's roles.
template <class Derived>
class HostObject : public zuv::ComObject<Derived, IDispatch>, public Node {
public:
    using Node::Node;

    void* QueryExtra(REFIID iid) noexcept { return HasRole(iid) ? static_cast<IDispatch*>(this) : nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override { return NoTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override { return NoTypeInfo(info); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        return NodeGetIDsOfNames(*this, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* arg_error) noexcept override {
        return NodeInvoke(*this, id, flags, params, result, excep, arg_error);
    }
};

// Text helpers shared by the log and the dump.
std::wstring Quote(const wchar_t* text, size_t length);
inline std::wstring Quote(const std::wstring& s) { return Quote(s.data(), s.size()); }
std::wstring FormatArg(const VARIANT& v);
std::wstring HexHresult(HRESULT hr);
bool SameText(const std::wstring& a, const std::wstring& b) noexcept;  // ASCII-insensitive

// Fills EXCEPINFO (or the thread's error information when there is none)
// and returns the HRESULT a caller sees.
HRESULT ReportException(EXCEPINFO* excep, HRESULT scode, const std::wstring& description) noexcept;

}  // namespace xchost
