// A growable array held by a single pointer: an empty one costs one pointer
// instead of a std::vector's three, which matters in the keyed list every
// node carries per collection, most of them empty.  It offers only what its
// users need, with std::vector's names and guarantees: an append that throws
// leaves the array as it was.  T must move without throwing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace zuv {

template <class T>
class CompactVector {
    static_assert(std::is_nothrow_move_constructible_v<T>, "elements are moved when the array grows");

public:
    CompactVector() noexcept = default;
    CompactVector(const CompactVector&) = delete;
    CompactVector& operator=(const CompactVector&) = delete;
    ~CompactVector() {
        erase(begin(), end());
        ::operator delete(block_);
    }

    size_t size() const noexcept { return block_ ? block_->size : 0; }
    bool empty() const noexcept { return size() == 0; }

    T* begin() noexcept { return block_ ? Data() : nullptr; }
    T* end() noexcept { return begin() + size(); }
    const T* begin() const noexcept { return block_ ? Data() : nullptr; }
    const T* end() const noexcept { return begin() + size(); }
    T& operator[](size_t i) noexcept { return Data()[i]; }
    const T& operator[](size_t i) const noexcept { return Data()[i]; }
    T& back() noexcept { return Data()[block_->size - 1]; }

    void push_back(T&& item) {
        if (size() == Capacity()) Grow();
        new (Data() + block_->size) T(std::move(item));
        ++block_->size;
    }
    void pop_back() noexcept { Data()[--block_->size].~T(); }
    // Removes [first, last), moving the later elements down.
    void erase(T* first, T* last) noexcept {
        if (first == last) return;
        T* out = std::move(last, end(), first);
        for (T* p = out; p != end(); ++p) p->~T();
        block_->size = static_cast<size_t>(out - begin());
    }

private:
    // The counts, then the elements, in one allocation.
    struct alignas(std::max(alignof(T), alignof(size_t))) Header {
        size_t size;
        size_t capacity;
    };

    T* Data() const noexcept { return reinterpret_cast<T*>(block_ + 1); }
    size_t Capacity() const noexcept { return block_ ? block_->capacity : 0; }

    // Twice the room (four at first); the elements move into the new block.
    void Grow() {
        size_t capacity = block_ ? block_->capacity * 2 : 4;
        auto* grown = static_cast<Header*>(::operator new(sizeof(Header) + capacity * sizeof(T)));
        grown->size = 0;
        grown->capacity = capacity;
        T* to = reinterpret_cast<T*>(grown + 1);
        for (T& item : *this) {
            new (to + grown->size++) T(std::move(item));
            item.~T();
        }
        ::operator delete(block_);
        block_ = grown;
    }

    Header* block_ = nullptr;
};

}  // namespace zuv
