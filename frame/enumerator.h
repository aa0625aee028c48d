// The one COM enumerator: Next/Skip/Reset/Clone over a snapshot taken when it
// is made.  Later changes to the source do not show; clones share the
// snapshot and start where the original stands.
//
// Policy describes the items:
//   using Interface = IEnumXxx;          the enumerator interface
//   using Out = ...;                     the element type Next hands out
//   using Item = ...;                    what the snapshot holds (owning)
//   static HRESULT Copy(const Item&, Out*) noexcept;   a copy the caller owns
//   static void Clear(Out*) noexcept;                  undoes Copy
#pragma once

#include <windows.h>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "com_object.h"

namespace zuv {

template <class Policy>
class SnapshotEnum final : public ComObject<SnapshotEnum<Policy>, typename Policy::Interface> {
public:
    using Interface = typename Policy::Interface;
    using Out = typename Policy::Out;
    using Items = std::vector<typename Policy::Item>;

    // A new enumerator at the start of `items`, or E_OUTOFMEMORY.
    static HRESULT New(Items items, Interface** out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            *out = MakeObject<SnapshotEnum>(std::make_shared<const Items>(std::move(items)), 0);
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    SnapshotEnum(std::shared_ptr<const Items> items, size_t pos) noexcept : items_(std::move(items)), pos_(pos) {}

    // A count is optional even when more than one item is asked for.  A copy
    // that fails takes back the ones made before it: the caller gets all or
    // nothing of this call.
    STDMETHODIMP Next(ULONG n, Out* out, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (!out) return E_POINTER;
        ULONG got = 0;
        for (; got < n && pos_ < items_->size(); ++got, ++pos_) {
            HRESULT hr = Policy::Copy((*items_)[pos_], &out[got]);
            if (FAILED(hr)) {
                while (got) Policy::Clear(&out[--got]);
                return hr;
            }
        }
        if (fetched) *fetched = got;
        return got == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) noexcept override {
        size_t left = items_->size() - pos_;
        pos_ += std::min<size_t>(n, left);
        return n <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) noexcept override {
        if (!out) return E_POINTER;
        try {
            *out = MakeObject<SnapshotEnum>(items_, pos_);
            return S_OK;
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    }

private:
    std::shared_ptr<const Items> items_;
    size_t pos_;
};

}  // namespace zuv
