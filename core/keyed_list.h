// The ordered list with optional, unique, case-insensitive keys behind both
// node collections.  Positions run from 1 to Count.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "compact_vector.h"
#include "frame/error.h"
#include "lifetime.h"
#include "frame/wrappers.h"

namespace zuv {

// The form in which keys are compared: the platform's case folding, so
// letters beyond ASCII fold too.
std::wstring FoldKey(BSTR key);

// How a VARIANT index names an entry.
struct IndexKey {
    bool is_key = false;
    long position = 0;       // when !is_key
    BSTR key = nullptr;      // when is_key: `owned`, or a string that outlives the call
    Bstr owned;

    static IndexKey Position(long position) {
        IndexKey k;
        k.position = position;
        return k;
    }
    // A string that outlives the key.
    static IndexKey Lent(BSTR key) {
        IndexKey k;
        k.is_key = true;
        k.key = key;
        return k;
    }
    static IndexKey Copied(BSTR key) {
        IndexKey k = Lent(nullptr);
        k.owned = Bstr::Copy(key);
        k.key = k.owned.Get();
        return k;
    }
};
// A number (or an object's default value that is one) is a position, a
// string is a key; anything else is error 13.  Overflow is error 6.  A
// string passed by value is not copied: `index` must outlive the result.
IndexKey ReadIndexKey(const VARIANT& index);

// Entries stay where they were added: removing one leaves a hole instead of
// moving every later entry, and the key index keeps pointing at the slots.
// While there are holes, a position is found by counting live slots (a
// Fenwick tree, O(log n)); once holes make up three quarters of the slots
// they are squeezed out in one pass (emptying a collection oldest first
// moves each remaining entry a third as often as at half), so every
// operation costs O(log n) amortised, whatever the collection's size.
template <class Item>
class KeyedList {
public:
    KeyedList() = default;
    KeyedList(const KeyedList&) = delete;
    KeyedList& operator=(const KeyedList&) = delete;
    ~KeyedList() {
        for (auto& e : slots_) DeferredRelease(e.item);
    }

    long Count() const noexcept { return static_cast<long>(slots_.size() - HoleCount()); }

    // A key, folded (FoldKey), that an entry already has.
    bool HasFoldedKey(const std::wstring& folded) const {
        return !folded.empty() && index_ && index_->count(folded) > 0;
    }

    // Appends under a folded key (empty: no key); a key already present is
    // error 457.
    void AddFolded(Item* item, std::wstring folded) {
        if (HasFoldedKey(folded)) RaiseError(kErrDuplicateKey);
        // Everything that can fail comes before the list changes.
        if (!folded.empty() && !index_) index_ = std::make_unique<Index>();
        if (holes_) holes_->live.reserve(slots_.size() + 1);
        slots_.push_back(Entry{ComPtr<Item>(item), std::move(folded), true});
        if (!slots_.back().folded.empty()) {
            try {
                index_->emplace(slots_.back().folded, slots_.size() - 1);
            } catch (...) {
                slots_.pop_back();
                throw;
            }
        }
        if (holes_) holes_->Append();
    }

    // Error 9 outside 1..Count.
    ComPtr<Item> At(long position) const {
        if (position < 1 || position > Count()) RaiseError(kErrSubscript);
        return slots_[SlotOf(position)].item;
    }
    // The first entry, uncounted (null when there is none or it is
    // Nothing), for a caller that makes no call while it looks at it.
    Item* First() const noexcept { return Count() > 0 ? slots_[SlotOf(1)].item.Get() : nullptr; }
    // The same for any position (null outside 1..Count).
    Item* PeekAt(long position) const noexcept {
        return position >= 1 && position <= Count() ? slots_[SlotOf(position)].item.Get() : nullptr;
    }
    // Error 5 for a key that is not there.
    ComPtr<Item> ByKey(BSTR key) const {
        if (!SysStringLen(key) || !index_) RaiseError(kErrInvalidCall);
        auto it = index_->find(FoldKey(key));
        if (it == index_->end()) RaiseError(kErrInvalidCall);
        return slots_[it->second].item;
    }
    ComPtr<Item> Lookup(const IndexKey& k) const { return k.is_key ? ByKey(k.key) : At(k.position); }

    void Remove(const IndexKey& k) {
        size_t slot;
        bool keyed;
        typename Index::iterator at;
        if (k.is_key) {
            if (!SysStringLen(k.key) || !index_) RaiseError(kErrInvalidCall);
            at = index_->find(FoldKey(k.key));
            if (at == index_->end()) RaiseError(kErrInvalidCall);
            slot = at->second;
            keyed = true;
        } else {
            if (k.position < 1 || k.position > Count()) RaiseError(kErrSubscript);
            slot = SlotOf(k.position);
            keyed = !slots_[slot].folded.empty();
            if (keyed) at = index_->find(slots_[slot].folded);
        }
        // A hole before the last slot needs the position count: made (the
        // only step that can fail) before anything changes.
        if (slot + 1 < slots_.size() && !holes_) holes_ = std::make_unique<Holes>(slots_);
        if (keyed) index_->erase(at);
        ComPtr<Item> removed = TakeOut(slot);
        // The list is whole again before the entry's release, which may
        // re-enter it.
        DeferredRelease(removed);
    }

    // Removes every entry that holds one of `items`; nothing is called on
    // the items until all of them are out of the list.
    void RemoveItems(const std::vector<Item*>& items) {
        if (items.empty()) return;
        auto listed = [&](const Entry& e) {
            return e.live && std::find(items.begin(), items.end(), e.item.Get()) != items.end();
        };
        std::vector<ComPtr<Item>> removed;
        removed.reserve(static_cast<size_t>(std::count_if(slots_.begin(), slots_.end(), listed)));
        // Last first, the order in which they have always been released.
        for (size_t i = slots_.size(); i-- > 0;) {
            Entry& e = slots_[i];
            if (!listed(e)) continue;
            if (!e.folded.empty()) index_->erase(e.folded);
            removed.push_back(std::move(e.item));
            e.live = false;
        }
        Squeeze();
        for (auto& item : removed) DeferredRelease(item);
    }

    std::vector<ComPtr<Item>> Snapshot() const {
        std::vector<ComPtr<Item>> items;
        items.reserve(static_cast<size_t>(Count()));
        for (auto& e : slots_)
            if (e.live) items.push_back(e.item);
        return items;
    }

private:
    struct Entry {
        ComPtr<Item> item;     // may be Nothing
        std::wstring folded;   // empty: no key
        bool live;             // false: a hole left by a removal
    };
    using Index = std::unordered_map<std::wstring, size_t>;   // folded key -> slot

    // Live slots counted in a Fenwick tree: live[i - 1] covers the slots
    // (i - lowbit(i), i], counted from 1.
    struct Holes {
        std::vector<uint32_t> live;
        size_t count = 0;

        explicit Holes(const CompactVector<Entry>& slots) : live(slots.size(), 1) {
            for (size_t i = 1; i <= live.size(); ++i) {
                size_t up = i + (i & (~i + 1));
                if (up <= live.size()) live[up - 1] += live[i - 1];
            }
        }
        uint32_t Prefix(size_t i) const noexcept {
            uint32_t sum = 0;
            for (; i > 0; i -= i & (~i + 1)) sum += live[i - 1];
            return sum;
        }
        // A live slot after the last one (room reserved beforehand).
        void Append() noexcept {
            size_t i = live.size() + 1;
            live.push_back(1 + Prefix(i - 1) - Prefix(i - (i & (~i + 1))));
        }
        void Drop(size_t slot) noexcept {
            for (size_t i = slot + 1; i <= live.size(); i += i & (~i + 1)) --live[i - 1];
            ++count;
        }
        // The slot of the `position`th live entry.
        size_t Find(long position) const noexcept {
            size_t slot = 0;
            uint32_t left = static_cast<uint32_t>(position);
            size_t step = 1;
            while (step * 2 <= live.size()) step *= 2;
            for (; step; step /= 2) {
                if (slot + step <= live.size() && live[slot + step - 1] < left) {
                    slot += step;
                    left -= live[slot - 1];
                }
            }
            return slot;
        }
    };

    size_t HoleCount() const noexcept { return holes_ ? holes_->count : 0; }
    size_t SlotOf(long position) const noexcept {
        return holes_ ? holes_->Find(position) : static_cast<size_t>(position - 1);
    }

    // Takes the entry out of its slot: the last slot goes (with the holes
    // before it), any other becomes a hole.
    ComPtr<Item> TakeOut(size_t slot) noexcept {
        ComPtr<Item> item = std::move(slots_[slot].item);
        slots_[slot].folded = std::wstring();
        slots_[slot].live = false;
        if (holes_) holes_->Drop(slot);
        while (!slots_.empty() && !slots_.back().live) {
            slots_.pop_back();
            if (holes_) {
                holes_->live.pop_back();
                --holes_->count;
            }
        }
        if (holes_ && holes_->count * 4 > slots_.size() * 3) Squeeze();
        else if (holes_ && holes_->count == 0) holes_.reset();
        return item;
    }

    // Closes every hole, keeping the order; the key index follows the moves.
    void Squeeze() noexcept {
        size_t to = 0;
        for (size_t from = 0; from < slots_.size(); ++from) {
            if (!slots_[from].live) continue;
            if (to != from) {
                slots_[to] = std::move(slots_[from]);
                if (!slots_[to].folded.empty()) index_->find(slots_[to].folded)->second = to;
            }
            ++to;
        }
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(to), slots_.end());
        holes_.reset();
    }

    CompactVector<Entry> slots_;     // one pointer while the list is empty
    std::unique_ptr<Index> index_;   // made with the first key
    std::unique_ptr<Holes> holes_;   // only while there are holes
};

// IEnumVARIANT over a snapshot of a collection's values, in order.
HRESULT NewVariantEnum(std::vector<Variant> items, IUnknown** out) noexcept;

}  // namespace zuv
