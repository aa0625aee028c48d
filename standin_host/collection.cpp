// XCHost.Collection: an ordered collection of variants with optional
// unique keys (compared with the platform's case folding), positions from 1.
// It serves the dual _Collection and a hand-written IDispatch by name.
#include <cwchar>
#include <memory>
#include <unordered_set>
#include <vector>

#include "classes.h"
#include "collection.h"  // the _Collection interface
#include "core/keyed_list.h"
#include "frame/class_factory.h"
#include "host_node.h"

namespace xchost {
namespace {

using zuv::Variant;
using Items = std::vector<Variant>;

const wchar_t kSource[] = L"XCHost";

bool Absent(const VARIANT* v) noexcept {
    return !v || v->vt == VT_EMPTY || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) ||
           (v->vt == (VT_BYREF | VT_VARIANT) && Absent(v->pvarVal));
}

class Collection final : public zuv::ComObject<Collection, _Collection> {
public:
    // --- _Collection ---------------------------------------------------------------
    STDMETHODIMP Item(VARIANT* index, VARIANT* result) noexcept override {
        if (!index || !result) return E_POINTER;
        VariantInit(result);
        return Guard([&] { *result = Variant(*entries_[Find(*index)].value.Get()).Detach(); });
    }
    STDMETHODIMP Add(VARIANT* item, VARIANT* key, VARIANT* before, VARIANT* after) noexcept override {
        if (!item) return E_POINTER;
        return Guard([&] { DoAdd(*item, key, before, after); });
    }
    STDMETHODIMP Count(LONG* count) noexcept override {
        if (!count) return E_POINTER;
        *count = static_cast<LONG>(entries_.size());
        return S_OK;
    }
    STDMETHODIMP Remove(VARIANT* index) noexcept override {
        if (!index) return E_POINTER;
        return Guard([&] {
            size_t pos = Find(*index);
            if (!entries_[pos].folded.empty()) keys_.erase(entries_[pos].folded);
            Variant removed = std::move(entries_[pos].value);
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        });
    }
    STDMETHODIMP _NewEnum(IUnknown** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return Guard([&] {
            Items items;
            items.reserve(entries_.size());
            for (const Entry& e : entries_) items.push_back(e.value);
            zuv::Check(zuv::NewVariantEnum(std::move(items), out));
        });
    }

    // --- IDispatch ---------------------------------------------------------------------
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override { return NoTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override { return NoTypeInfo(info); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        static const struct {
            const wchar_t* name;
            DISPID id;
        } members[] = {{L"Item", 0}, {L"Add", 1}, {L"Count", 2}, {L"Remove", 3}, {L"_NewEnum", DISPID_NEWENUM}};
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (const auto& m : members)
            if (names[0] && _wcsicmp(names[0], m.name) == 0) ids[0] = m.id;
        return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* arg_error) noexcept override {
        if (!params || (params->cArgs && !params->rgvarg)) return E_INVALIDARG;
        if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
        Variant ignored;
        if (!result) result = ignored.Get();
        VariantInit(result);
        const UINT n = params->cArgs;
        auto arg = [&](UINT i) { return i < n ? &params->rgvarg[n - 1 - i] : nullptr; };  // parameter order
        const bool get = (flags & DISPATCH_PROPERTYGET) != 0, call = (flags & DISPATCH_METHOD) != 0;
        HRESULT hr;
        switch (id) {
        case DISPID_VALUE:
            if (!get && !call) return DISP_E_MEMBERNOTFOUND;
            if (n != 1) return DISP_E_BADPARAMCOUNT;
            hr = Item(arg(0), result);
            break;
        case 1:
            if (!call) return DISP_E_MEMBERNOTFOUND;
            if (n < 1 || n > 4) return DISP_E_BADPARAMCOUNT;
            if (arg(0)->vt == VT_ERROR && arg(0)->scode == DISP_E_PARAMNOTFOUND) {
                if (arg_error) *arg_error = n - 1;
                return DISP_E_PARAMNOTOPTIONAL;
            }
            hr = Add(arg(0), arg(1), arg(2), arg(3));
            break;
        case 2: {
            if (!get && !call) return DISP_E_MEMBERNOTFOUND;
            if (n != 0) return DISP_E_BADPARAMCOUNT;
            LONG count = 0;
            hr = Count(&count);
            result->vt = VT_I4;
            result->lVal = count;
            break;
        }
        case 3:
            if (!call) return DISP_E_MEMBERNOTFOUND;
            if (n != 1) return DISP_E_BADPARAMCOUNT;
            hr = Remove(arg(0));
            break;
        case DISPID_NEWENUM:
            // Script enumerators ask with either flag.
            if (!get && !call) return DISP_E_MEMBERNOTFOUND;
            if (n != 0) return DISP_E_BADPARAMCOUNT;
            hr = _NewEnum(&result->punkVal);
            if (SUCCEEDED(hr)) result->vt = VT_UNKNOWN;
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
        if (FAILED(hr) && excep) {
            zuv::ComPtr<IErrorInfo> info;
            zuv::Bstr description;
            if (GetErrorInfo(0, info.Out()) == S_OK && info) info->GetDescription(description.Out());
            return ReportException(excep, hr, description.Str());
        }
        return hr;
    }

private:
    struct Entry {
        Variant value;
        std::wstring folded;  // empty: no key
    };

    template <class F>
    HRESULT Guard(F&& body) noexcept {
        return zuv::Boundary(__uuidof(_Collection), kSource, std::forward<F>(body));
    }

    // The position (0-based) that an index names: error 9 for a position out
    // of range, 5 for a key that is not there.
    size_t Find(const VARIANT& index) const {
        zuv::IndexKey k = zuv::ReadIndexKey(index);
        if (!k.is_key) {
            if (k.position < 1 || static_cast<size_t>(k.position) > entries_.size()) zuv::RaiseError(zuv::kErrSubscript);
            return static_cast<size_t>(k.position - 1);
        }
        std::wstring folded = zuv::FoldKey(k.key);
        if (!folded.empty() && keys_.count(folded))
            for (size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].folded == folded) return i;
        zuv::RaiseError(zuv::kErrInvalidCall);
    }

    void DoAdd(const VARIANT& item, const VARIANT* key, const VARIANT* before, const VARIANT* after) {
        if (!Absent(before) || !Absent(after))
            zuv::RaiseError(zuv::kErrInvalidCall, L"Before and After are not supported by this collection");
        Entry entry;
        if (FAILED(VariantCopyInd(entry.value.Get(), const_cast<VARIANT*>(&item)))) zuv::RaiseError(zuv::kErrTypeMismatch);
        if (!Absent(key)) {
            Variant text;
            if (FAILED(VariantCopyInd(text.Get(), const_cast<VARIANT*>(key))) ||
                FAILED(VariantChangeType(text.Get(), text.Get(), 0, VT_BSTR)))
                zuv::RaiseError(zuv::kErrTypeMismatch);
            entry.folded = zuv::FoldKey(text.Get()->bstrVal);
        }
        if (!entry.folded.empty() && keys_.count(entry.folded)) zuv::RaiseError(zuv::kErrDuplicateKey);
        // Room first, so that the append below cannot fail after the key is taken.
        if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() * 2 + 16);
        if (!entry.folded.empty()) keys_.insert(entry.folded);
        entries_.push_back(std::move(entry));
    }

    std::vector<Entry> entries_;
    std::unordered_set<std::wstring> keys_;
};

}  // namespace

HRESULT CreateCollection(REFIID iid, void** ppv) noexcept { return zuv::CreateInstance<Collection>(iid, ppv); }

}  // namespace xchost
