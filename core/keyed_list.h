// The ordered list with optional, unique, case-insensitive keys behind both
// node collections.  Positions run from 1 to Count.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/error.h"
#include "lifetime.h"
#include "frame/wrappers.h"

namespace zuv {

// The form in which keys are compared: the platform's case folding, so
// letters beyond ASCII fold too.
std::wstring FoldKey(BSTR key);

// How a VARIANT index names an entry.
struct IndexKey {
    bool is_key;
    long position;       // when !is_key
    Bstr key;            // when is_key
};
// A number (or an object's default value that is one) is a position, a
// string is a key; anything else is error 13.  Overflow is error 6.
IndexKey ReadIndexKey(const VARIANT& index);

template <class Item>
class KeyedList {
public:
    KeyedList() = default;
    KeyedList(const KeyedList&) = delete;
    KeyedList& operator=(const KeyedList&) = delete;
    ~KeyedList() {
        for (auto& e : entries_) DeferredRelease(e.item);
    }

    long Count() const noexcept { return static_cast<long>(entries_.size()); }

    // A non-empty key that an entry already has.
    bool HasKey(BSTR key) const { return SysStringLen(key) > 0 && index_.count(FoldKey(key)) > 0; }

    // Appends; a non-empty key already present is error 457.
    void Add(Item* item, BSTR key) {
        Entry e{ComPtr<Item>(item), std::wstring()};
        if (SysStringLen(key) > 0) {
            e.folded = FoldKey(key);
            if (index_.count(e.folded)) RaiseError(kErrDuplicateKey);
            entries_.push_back(std::move(e));
            try {
                index_.emplace(entries_.back().folded, entries_.back().item.Get());
            } catch (...) {
                entries_.pop_back();
                throw;
            }
            return;
        }
        entries_.push_back(std::move(e));
    }

    // Error 9 outside 1..Count.
    ComPtr<Item> At(long position) const {
        if (position < 1 || position > Count()) RaiseError(kErrSubscript);
        return entries_[static_cast<size_t>(position - 1)].item;
    }
    // Error 5 for a key that is not there.
    ComPtr<Item> ByKey(BSTR key) const {
        auto it = SysStringLen(key) ? index_.find(FoldKey(key)) : index_.end();
        if (it == index_.end()) RaiseError(kErrInvalidCall);
        return ComPtr<Item>(it->second);
    }
    ComPtr<Item> Lookup(const IndexKey& k) const { return k.is_key ? ByKey(k.key.Get()) : At(k.position); }

    void Remove(const IndexKey& k) {
        size_t pos;
        if (k.is_key) {
            std::wstring folded = SysStringLen(k.key.Get()) ? FoldKey(k.key.Get()) : std::wstring();
            auto it = folded.empty() ? index_.end() : index_.find(folded);
            if (it == index_.end()) RaiseError(kErrInvalidCall);
            pos = 0;
            while (entries_[pos].folded != folded) ++pos;
        } else {
            if (k.position < 1 || k.position > Count()) RaiseError(kErrSubscript);
            pos = static_cast<size_t>(k.position - 1);
        }
        ComPtr<Item> removed = std::move(entries_[pos].item);
        if (!entries_[pos].folded.empty()) index_.erase(entries_[pos].folded);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        DeferredRelease(removed);
    }

    // Removes every entry that holds one of `items`; nothing is called on
    // the items until all of them are out of the list.
    void RemoveItems(const std::vector<Item*>& items) {
        if (items.empty()) return;
        std::vector<ComPtr<Item>> removed;
        for (size_t pos = entries_.size(); pos-- > 0;) {
            if (std::find(items.begin(), items.end(), entries_[pos].item.Get()) == items.end()) continue;
            removed.push_back(std::move(entries_[pos].item));
            if (!entries_[pos].folded.empty()) index_.erase(entries_[pos].folded);
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        }
        for (auto& item : removed) DeferredRelease(item);
    }

    std::vector<ComPtr<Item>> Snapshot() const {
        std::vector<ComPtr<Item>> items;
        items.reserve(entries_.size());
        for (auto& e : entries_) items.push_back(e.item);
        return items;
    }

private:
    struct Entry {
        ComPtr<Item> item;     // may be Nothing
        std::wstring folded;   // empty: no key
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::wstring, Item*> index_;
};

// IEnumVARIANT over a snapshot of a collection's values, in order.
HRESULT NewVariantEnum(std::vector<Variant> items, IUnknown** out) noexcept;

}  // namespace zuv
