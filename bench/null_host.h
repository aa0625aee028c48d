// A command-bars host that does nothing: every member returns at once,
// handing back the one object the protocol needs where it needs one (this
// same object, which answers every role).  It can record the calls made on
// it, to replay exactly that sequence later without the component: the
// floor of rendering.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cwchar>
#include <deque>
#include <vector>

#include "core/bar_calls.h"
#include "frame/wrappers.h"

namespace bench {

class NullHost final : public IDispatch {
public:
    // One recorded call: a name look-up, or an Invoke with its arguments
    // (copied; references point into the recording).
    struct Call {
        bool by_name = false;
        const wchar_t* name = nullptr;
        DISPID member = 0;
        WORD flags = 0;
        bool put = false;
        bool wants_result = false;
        std::vector<VARIANT> args;   // reversed, as received
    };

    explicit NullHost(bool recording = false) : recording_(recording) {}
    ~NullHost() {
        for (Call& c : log_)
            for (VARIANT& v : c.args)
                if (!(v.vt & VT_BYREF)) VariantClear(&v);
    }
    NullHost(const NullHost&) = delete;
    NullHost& operator=(const NullHost&) = delete;

    const std::vector<Call>& Log() const noexcept { return log_; }
    long Calls() const noexcept { return calls_; }
    void ResetCalls() noexcept { calls_ = 0; }

    // Makes the recorded calls again, in order, on `target`.  `checked`:
    // each object handed back is also asked for a control's interface and
    // released, the check of its kind no caller of the protocol can skip.
    static void Replay(IDispatch* target, const std::vector<Call>& log, bool checked = false) {
        static DISPID put_id = DISPID_PROPERTYPUT;
        for (const Call& c : log) {
            if (c.by_name) {
                LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
                DISPID id;
                target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
                continue;
            }
            DISPPARAMS params{const_cast<VARIANT*>(c.args.data()), c.put ? &put_id : nullptr,
                              static_cast<UINT>(c.args.size()), c.put ? 1u : 0u};
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO info{};
            UINT arg_error = 0;
            target->Invoke(c.member, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params,
                           c.wants_result ? &result : nullptr, &info, &arg_error);
            if (checked && result.vt == VT_DISPATCH && result.pdispVal) {
                IUnknown* kind = nullptr;
                if (SUCCEEDED(result.pdispVal->QueryInterface(zuv::bars::kIidControl, reinterpret_cast<void**>(&kind))))
                    kind->Release();
            }
            VariantClear(&result);
        }
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        namespace h = zuv::bars;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == h::kIidCommandBar || iid == h::kIidControls ||
            iid == h::kIidControl || iid == h::kIidPopup || iid == h::kIidButton || iid == h::kIidKeyBindings) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the benchmark's stack: counting is all there is to do.
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return --refs_; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        namespace n = zuv::bars::name;
        static const struct { const wchar_t* name; DISPID id; } known[] = {
            {n::kControls, 2}, {n::kAdd, 2}, {n::kCommandBar, 50}, {n::kToolBarID, 500}};
        if (count != 1) return DISP_E_UNKNOWNNAME;
        for (const auto& k : known) {
            if (std::wcscmp(names[0], k.name) != 0) continue;
            ids[0] = k.id;
            ++calls_;
            if (recording_) {
                Call c;
                c.by_name = true;
                c.name = k.name;
                log_.push_back(std::move(c));
            }
            return S_OK;
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) noexcept override {
        ++calls_;
        if (recording_) Record(member, flags, params, result != nullptr);
        if (!result || (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) return S_OK;
        namespace id = zuv::bars::id;
        switch (member) {
        case id::kActiveMenuBar: case id::kKeyBindings: case id::kControlsAdd: case id::kPopupCommandBar:
            // The command bars' toolbar Add, a bar's Controls and a
            // collection's Add share dispatch id 2.
            AddRef();
            result->vt = VT_DISPATCH;
            result->pdispVal = this;
            break;
        case id::kId:
            result->vt = VT_I4;
            result->lVal = 0;
            break;
        default:
            break;
        }
        return S_OK;
    }

private:
    void Record(DISPID member, WORD flags, DISPPARAMS* params, bool wants_result) {
        Call c;
        c.member = member;
        c.flags = flags;
        c.put = params->cNamedArgs == 1;
        c.wants_result = wants_result;
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT v;
            VariantInit(&v);
            if (params->rgvarg[i].vt == (VT_BYREF | VT_I4)) {
                // An ID passed by reference is replayed by reference, to a
                // copy of its own.
                ids_.push_back(*params->rgvarg[i].plVal);
                v.vt = VT_BYREF | VT_I4;
                v.plVal = &ids_.back();
            } else {
                VariantCopy(&v, &params->rgvarg[i]);
            }
            c.args.push_back(v);
        }
        log_.push_back(std::move(c));
    }

    bool recording_;
    ULONG refs_ = 1;
    long calls_ = 0;
    std::vector<Call> log_;
    std::deque<long> ids_;
};

}  // namespace bench
