#include "error.h"
#include "wrappers.h"

#include <climits>

namespace zuv {

RuntimeError::RuntimeError(long number, std::wstring description)
    : hr_(HresultOfNumber(number)), number_(number), description_(std::move(description)) {}

const wchar_t* StandardDescription(long number) noexcept {
    switch (number) {
    case kErrInvalidCall: return L"Invalid procedure call or argument";
    case kErrOverflow: return L"Overflow";
    case kErrOutOfMemory: return L"Out of memory";
    case kErrSubscript: return L"Subscript out of range";
    case kErrTypeMismatch: return L"Type mismatch";
    case kErrOutOfStack: return L"Out of stack space";
    case kErrObjectNotSet: return L"Object variable or With block variable not set";
    case kErrDuplicateKey: return L"This key is already associated with an element of this collection";
    default: return L"Application-defined or object-defined error";
    }
}

long ErrorNumberOf(HRESULT hr) noexcept {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
    return static_cast<long>(hr);
}

HRESULT HresultOfNumber(long number) noexcept {
    if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    return static_cast<HRESULT>(number);
}

void RaiseError(long number) { throw RuntimeError(number, StandardDescription(number)); }

void RaiseError(long number, std::wstring description) { throw RuntimeError(number, std::move(description)); }

static std::wstring DescriptionOfHresult(HRESULT hr) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s;
    if (n && text) {
        s.assign(text, n);
        while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
    }
    if (text) LocalFree(text);
    if (s.empty()) s = L"Automation error";
    return s;
}

void RaiseHresult(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
        ComPtr<IErrorInfo> info;
        std::wstring description;
        if (GetErrorInfo(0, info.Out()) == S_OK && info) {
            Bstr d;
            if (SUCCEEDED(info->GetDescription(d.Out()))) description = d.Str();
        }
        if (description.empty()) description = StandardDescription(HRESULT_CODE(hr));
        throw RuntimeError(hr, HRESULT_CODE(hr), std::move(description));
    }
    if (hr == E_OUTOFMEMORY) RaiseError(kErrOutOfMemory);
    ComPtr<IErrorInfo> info;
    std::wstring description;
    if (GetErrorInfo(0, info.Out()) == S_OK && info) {
        Bstr d;
        if (SUCCEEDED(info->GetDescription(d.Out()))) description = d.Str();
    }
    if (description.empty()) description = DescriptionOfHresult(hr);
    throw RuntimeError(hr, ErrorNumberOf(hr), std::move(description));
}

void RaiseInvokeFailure(HRESULT hr, EXCEPINFO& info) {
    if (hr != DISP_E_EXCEPTION) {
        if (info.bstrSource) SysFreeString(info.bstrSource);
        if (info.bstrDescription) SysFreeString(info.bstrDescription);
        if (info.bstrHelpFile) SysFreeString(info.bstrHelpFile);
        RaiseHresult(hr);
    }
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    Bstr source = Bstr::Adopt(info.bstrSource);
    Bstr description = Bstr::Adopt(info.bstrDescription);
    Bstr help = Bstr::Adopt(info.bstrHelpFile);
    HRESULT code = info.scode ? info.scode : HresultOfNumber(info.wCode);
    std::wstring text = description.Str();
    if (text.empty()) text = HRESULT_FACILITY(code) == FACILITY_CONTROL ? StandardDescription(HRESULT_CODE(code))
                                                                         : DescriptionOfHresult(code);
    throw RuntimeError(code, ErrorNumberOf(code), std::move(text));
}

HRESULT ReportToCaller(const RuntimeError& e, REFIID iid, const wchar_t* source) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Out()))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(e.Description().c_str()));
        ComPtr<IErrorInfo> info = create.As<IErrorInfo>();
        SetErrorInfo(0, info.Get());
    }
    return e.Hresult();
}

short ToShort(long value) {
    if (value < SHRT_MIN || value > SHRT_MAX) RaiseError(kErrOverflow);
    return static_cast<short>(value);
}

short ToShort(LONGLONG value) {
    if (value < SHRT_MIN || value > SHRT_MAX) RaiseError(kErrOverflow);
    return static_cast<short>(value);
}

long AddChecked(long a, long b) {
    LONGLONG r = static_cast<LONGLONG>(a) + b;
    if (r < LONG_MIN || r > LONG_MAX) RaiseError(kErrOverflow);
    return static_cast<long>(r);
}

short AddChecked(short a, short b) { return ToShort(static_cast<long>(a) + b); }

}  // namespace zuv
