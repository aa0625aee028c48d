// The small steps every walk over a tree of either node family is made of
// (rendering, lookup, listing, click dispatch).  Nodes and collections are
// read through their public interfaces only, so that a host's own object
// that implements one works in a tree like the component's own.  Every
// read raises the callee's error; a missing (Nothing) object is error 91.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "frame/error.h"
#include "frame/wrappers.h"

namespace zuv::tree {

template <class C, class T>
T Read(C* object, HRESULT (STDMETHODCALLTYPE C::*getter)(T*)) {
    if (!object) RaiseError(kErrObjectNotSet);
    T value{};
    Check((object->*getter)(&value));
    return value;
}

template <class C>
bool Flag(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(VARIANT_BOOL*)) {
    return Read(node, getter) != VARIANT_FALSE;
}

template <class C>
Bstr Text(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(BSTR*)) {
    if (!node) RaiseError(kErrObjectNotSet);
    Bstr text;
    Check((node->*getter)(text.Out()));
    return text;
}

// A reference property (a node's collection); Nothing stays Nothing.
template <class C, class I>
ComPtr<I> Ref(C* node, HRESULT (STDMETHODCALLTYPE C::*getter)(I**)) {
    if (!node) RaiseError(kErrObjectNotSet);
    ComPtr<I> ref;
    Check((node->*getter)(ref.Out()));
    return ref;
}

template <class Collection>
long CountOf(Collection* entries) {
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
    Variant key = Variant::Short(ToShort(index));
    ComPtr<Node> entry;
    Check((entries->*item)(*key.Get(), entry.Out()));
    return entry;
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
