// The public keyed collection of nodes, shared by the menu and toolbar
// collections: Add / Item / Count / Remove / NewEnum over a KeyedList.
//
// Derived provides:
//   static constexpr const wchar_t* kSource;        // error source text
//   IndexKey MapIndex(const VARIANT& index);         // how Item reads its argument
// and may name private interfaces of its own (`Internal`) that it answers.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "frame/dispatch.h"
#include "frame/error.h"
#include "keyed_list.h"
#include "own_object.h"

namespace zuv {

template <class Derived, class CollectionItf, class NodeItf, class... Internal>
class NodeCollection : public AutomationObject<Derived, CollectionItf, ISupportErrorInfo, Internal...> {
public:
    // A new, empty collection (not creatable by hosts: only nodes make them).
    static ComPtr<CollectionItf> New() {
        ComPtr<CollectionItf> collection = ComPtr<CollectionItf>::Adopt(MakeObject<Derived>());
        OwnVtable<Derived>::Remember(collection.Get());
        return collection;
    }

    // Add(objNode, [sKey]): a non-empty key is first given to the node
    // through its own Key property, then the node is appended under it.
    // A key already in use fails the call and leaves the node's Key alone.
    STDMETHODIMP Add(NodeItf** node, BSTR* key, NodeItf** result) noexcept override {
        // Nothing is added for a caller that passes no node slot or cannot
        // take the result (a node is passed as Nothing, not as no slot).
        if (!node || !result) return E_POINTER;
        *result = nullptr;
        return Boundary(__uuidof(CollectionItf), Derived::kSource, [&] {
            NodeItf* n = node ? *node : nullptr;
            BSTR k = key ? *key : nullptr;
            std::wstring folded;
            if (SysStringLen(k) > 0) {
                if (!n) RaiseError(kErrObjectNotSet);
                // A key in use fails the call before the node is touched.
                folded = FoldKey(k);
                if (list_.HasFoldedKey(folded)) RaiseError(kErrDuplicateKey);
                Check(n->put_Key(k));
            }
            // Checked again: the node's Key property may have added one.
            list_.AddFolded(n, std::move(folded));
            if (result) ComPtr<NodeItf>(n).CopyTo(result);
        });
    }

    STDMETHODIMP get_Item(VARIANT index, NodeItf** result) noexcept override {
        if (result) *result = nullptr;
        return Boundary(__uuidof(CollectionItf), Derived::kSource, [&] {
            if (!result) RaiseError(kErrInvalidCall);
            list_.Lookup(static_cast<Derived*>(this)->MapIndex(index)).CopyTo(result);
        });
    }

    STDMETHODIMP get_Count(long* count) noexcept override {
        if (!count) return E_POINTER;
        *count = list_.Count();
        return S_OK;
    }

    STDMETHODIMP Remove(VARIANT* index) noexcept override {
        return Boundary(__uuidof(CollectionItf), Derived::kSource, [&] {
            if (!index) RaiseError(kErrInvalidCall);
            list_.Remove(ReadIndexKey(*index));
        });
    }

    STDMETHODIMP get_NewEnum(IUnknown** result) noexcept override {
        if (!result) return E_POINTER;
        *result = nullptr;
        return Boundary(__uuidof(CollectionItf), Derived::kSource, [&] {
            // A Nothing entry enumerates as Nothing.  Each snapshot reference
            // moves into its value.
            std::vector<ComPtr<NodeItf>> nodes = list_.Snapshot();
            std::vector<Variant> items(nodes.size());
            for (size_t i = 0; i < nodes.size(); ++i) {
                VARIANT* v = items[i].Get();
                v->vt = VT_DISPATCH;
                v->pdispVal = nodes[i].Detach();
            }
            Check(NewVariantEnum(std::move(items), result));
        });
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(CollectionItf) ? S_OK : S_FALSE;
    }

    // Direct access for the component's own walks.
    const KeyedList<NodeItf>& List() const noexcept { return list_; }

    // The walks' internal path (core/walk.h): what Item gives for a 16-bit
    // position or array index, and Count.
    ComPtr<NodeItf> EntryAt(short index) { return list_.At(static_cast<Derived*>(this)->MapPosition(index)); }
    bool Peek(HRESULT (STDMETHODCALLTYPE CollectionItf::*getter)(long*), long& value) const noexcept {
        if (getter != &CollectionItf::get_Count) return false;
        value = list_.Count();
        return true;
    }

protected:
    KeyedList<NodeItf> list_;
};

}  // namespace zuv
