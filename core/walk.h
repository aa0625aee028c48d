// The small steps every walk over a tree of either node family is made of
// (rendering, lookup, listing, click dispatch).  A host's own object that
// implements a node or a collection is read through its public interface,
// so that it works in a tree like the component's own; the component's own
// nodes and collections (recognised by their vtable, see OwnVtable) are read
// straight from their fields, which gives the same values and errors
// without a boundary per read.  Every read raises the callee's error; a
// missing (Nothing) object is error 91.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "bar_calls.h"
#include "frame/error.h"
#include "frame/wrappers.h"
#include "own_object.h"

namespace zuv::tree {

// The component's own class behind a node or collection interface; each
// family names its classes (`struct OwnClass<Itf> : OwnClassIs<Class> {}`).
template <class Itf>
struct OwnClass {};
template <class Class>
struct OwnClassIs {
    using Type = Class;
};

template <class Itf, class = void>
struct HasOwnClass : std::false_type {};
template <class Itf>
struct HasOwnClass<Itf, std::void_t<typename OwnClass<Itf>::Type>> : std::true_type {};

// The component's own object behind `object`, or null for any other.
template <class Itf>
auto* Own(Itf* object) noexcept {
    using Type = typename OwnClass<Itf>::Type;
    return OwnVtable<Type>::Matches(object) ? static_cast<Type*>(object) : nullptr;
}

// The readers are inlined where they are used: the getter is then known
// there, and the choice of the field it hands out is made when compiling.
template <class C, class T>
[[gnu::always_inline]] inline T Read(C* object, HRESULT (STDMETHODCALLTYPE C::*getter)(T*)) {
    if (!object) RaiseError(kErrObjectNotSet);
    T value{};
    if constexpr (HasOwnClass<C>::value) {
        if (auto* own = Own(object); own && own->Peek(getter, value)) return value;
    }
    Check((object->*getter)(&value));
    return value;
}

template <class C>
[[gnu::always_inline]] inline bool Flag(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(VARIANT_BOOL*)) {
    return Read(node, getter) != VARIANT_FALSE;
}

template <class C>
Bstr Text(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(BSTR*)) {
    if (!node) RaiseError(kErrObjectNotSet);
    Bstr text;
    if constexpr (HasOwnClass<C>::value) {
        if (auto* own = Own(node); own && own->Peek(getter, text)) return text;
    }
    Check((node->*getter)(text.Out()));
    return text;
}

// The same read into an argument of one host call (see bars::TextArg).
template <class C>
void TextInto(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(BSTR*), bars::TextArg& text) {
    if (!node) RaiseError(kErrObjectNotSet);
    if constexpr (HasOwnClass<C>::value) {
        if (auto* own = Own(node)) {
            if (const Bstr* field = own->PeekText(getter)) return text.Copy(field->Get());
        }
    }
    Bstr read;
    Check((node->*getter)(read.Out()));
    text.Adopt(std::move(read));
}

// A reference property (a node's collection); Nothing stays Nothing.
template <class C, class I>
[[gnu::always_inline]] inline ComPtr<I> Ref(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(I**)) {
    if (!node) RaiseError(kErrObjectNotSet);
    ComPtr<I> ref;
    if constexpr (HasOwnClass<C>::value) {
        if (auto* own = Own(node); own && own->Peek(getter, ref)) return ref;
    }
    Check((node->*getter)(ref.Out()));
    return ref;
}

template <class Collection>
[[gnu::always_inline]] inline long CountOf(Collection* entries) {
    return Read(entries, &Collection::get_Count);
}

// The bound of a loop over positions: a count or index converted to 16 bits
// (error 6 above 32767).  Loops step a wider counter up to this bound, so a
// collection of exactly 32767 entries is walked to its end.
inline short LoopBound(long last) { return ToShort(last); }

// The entry that Item gives for a position or array index, passed as a
// 16-bit integer, as it is stored: an empty entry is Nothing.
template <class Collection, class Node>
ComPtr<Node> StoredEntryAt(Collection* entries, long index,
                           HRESULT (STDMETHODCALLTYPE Collection::*item)(VARIANT, Node**)) {
    if (!entries) RaiseError(kErrObjectNotSet);
    const short position = ToShort(index);
    if constexpr (HasOwnClass<Collection>::value) {
        if (auto* own = Own(entries)) return own->EntryAt(position);
    }
    Variant key = Variant::Short(position);
    ComPtr<Node> entry;
    Check((entries->*item)(*key.Get(), entry.Out()));
    return entry;
}

// Asks the processor to start loading the entry at `position` of one of the
// component's own collections (the one a walk visits next) while the walk
// is busy with the one before it: the walks over large trees wait mostly for
// memory.  A hint only: the entry itself is not read (prefetching never
// faults), so it need not be one of the component's nodes, or be there.
template <class NodeClass, class Collection>
void PrefetchEntry(Collection* entries, long position) noexcept {
    if constexpr (HasOwnClass<Collection>::value) {
        if (auto* own = Own(entries)) {
            if (const auto* next = reinterpret_cast<const char*>(own->List().PeekAt(position)))
                for (size_t at = 0; at < sizeof(NodeClass); at += 64) __builtin_prefetch(next + at);
        }
    }
}

// The same for the walks: an empty (Nothing) entry gives a fresh node of
// `NodeClass` with every default instead, used for this one step and never
// stored back.
template <class NodeClass, class Collection>
auto EntryAt(Collection* entries, long index) {
    auto entry = StoredEntryAt(entries, index, &Collection::get_Item);
    if (!entry) entry = NodeClass::New()->Interface();
    return entry;
}

}  // namespace zuv::tree
