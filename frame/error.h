// Run-time errors: a number and a description, thrown inside the component
// and turned into an HRESULT plus error information at every COM boundary.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <new>
#include <string>
#include <utility>

namespace zuv {

// Run-time error numbers the component raises itself.
enum : long {
    kErrInvalidCall = 5,        // invalid procedure call or argument; a key that is not there
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrSubscript = 9,          // a position outside the collection
    kErrTypeMismatch = 13,
    kErrOutOfStack = 28,
    kErrInternal = 51,          // an internal error: a failure that is not a run-time error
    kErrObjectNotSet = 91,
    kErrDuplicateKey = 457,
};

class RuntimeError {
public:
    // A component error: travels as a FACILITY_CONTROL HRESULT.
    RuntimeError(long number, std::wstring description);
    // An error that came back from another object: keeps its own HRESULT.
    RuntimeError(HRESULT hr, long number, std::wstring description)
        : hr_(hr), number_(number), description_(std::move(description)) {}

    HRESULT Hresult() const noexcept { return hr_; }
    long Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }

private:
    HRESULT hr_;
    long number_;
    std::wstring description_;
};

// The description used for the component's own error numbers.
const wchar_t* StandardDescription(long number) noexcept;

// The run-time error number a caller sees for an HRESULT: the code of a
// FACILITY_CONTROL result, the HRESULT itself otherwise.
long ErrorNumberOf(HRESULT hr) noexcept;
// The HRESULT that carries a run-time error number.
HRESULT HresultOfNumber(long number) noexcept;

[[noreturn]] void RaiseError(long number);
[[noreturn]] void RaiseError(long number, std::wstring description);
// A failed HRESULT from a call made by the component: the pending error
// information of the calling thread, if any, supplies the description.
[[noreturn]] void RaiseHresult(HRESULT hr);
// A failed IDispatch::Invoke: DISP_E_EXCEPTION carries its error in EXCEPINFO.
[[noreturn]] void RaiseInvokeFailure(HRESULT hr, EXCEPINFO& info);

inline void Check(HRESULT hr) { if (FAILED(hr)) RaiseHresult(hr); }

// Sets the thread's error information for a failed call and returns the HRESULT.
HRESULT ReportToCaller(const RuntimeError& e, REFIID iid, const wchar_t* source) noexcept;

// The boundary of every COM method: runs the body and turns anything it
// throws into an HRESULT with error information.  Nothing escapes.
//
// Error information left over from an earlier failure is dropped on entry, so
// that a failing callee that sets none cannot lend an old description to
// this call's error.
template <class F>
HRESULT Boundary(REFIID iid, const wchar_t* source, F&& body) noexcept {
    SetErrorInfo(0, nullptr);
    try {
        body();
        return S_OK;
    } catch (const RuntimeError& e) {
        return ReportToCaller(e, iid, source);
    } catch (const std::bad_alloc&) {
        return ReportToCaller(RuntimeError(kErrOutOfMemory, StandardDescription(kErrOutOfMemory)), iid, source);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Checked integer arithmetic of the tree walks (error 6 on overflow).
short ToShort(long value);
short ToShort(LONGLONG value);
long AddChecked(long a, long b);
short AddChecked(short a, short b);

}  // namespace zuv
