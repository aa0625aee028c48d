// What the two node families (xMenu, xToolBar) share, written once: the
// boundary of their COM methods, the two error events, guarded text
// assignment, the guarded-operation shape, the properties both have with one
// behaviour, forwarding a change to the rendered control, and the steps
// rendering takes on a node (own-node check, numbering, storing the control,
// copying states, marking designed).  Each family derives its node class
// from NodeBase and adds what is its own.
//
// Decided once for both families (they used to differ):
// - Every COM method of a node, getters included, runs inside one boundary
//   that keeps the node alive for the whole call (an event handler or a
//   host call may release it meanwhile), drops stale error information, and
//   fails a null out-pointer with run-time error 5.
// - A Boolean is kept as true or false: any value other than False reads
//   back as True (-1) to every caller, `= True` in a script included.
// - No memory for the description while raising SystemError: the event
//   still goes out, with the number and a null (empty) string, so that the
//   host learns that the operation failed.
// - Replacing a reference (a collection, a control, the reference up the
//   tree) releases the old one through the deferred queue.
// - Memory: a tree may hold many thousands of nodes, most of them idle.
//   Fields that few nodes ever set (Key, Tag and the family's own, see
//   `Rarely`) live in one block made on the first set and read as their
//   defaults until then; a node's collections and its connection points are
//   made when a caller first asks for them; Booleans take a byte each.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <array>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "back_reference.h"
#include "bar_calls.h"
#include "frame/error.h"
#include "frame/events.h"
#include "frame/wrappers.h"
#include "handler.h"
#include "lifetime.h"
#include "own_object.h"
#include "walk.h"
#include "zuvXCHandler.h"

namespace zuv {

// The custom error numbers, the same in both families' enumerations.
enum : long {
    kCustomCanNotSetProperty = 1,
    kCustomObjectNotCreated = 2,
    kCustomArrayCountOverflow = 3,
};

// Derived provides, besides EventSourceObject's ClassId and SourceIid:
//   static constexpr const wchar_t* kSource;              // error source text
//   static constexpr auto kPutControl;                    // putref of the control (not popup) role
//   void ReleaseChildren() noexcept;                      // its collections, at the end of its life
//   static std::array<const IID*, kEventInterfaces> EventIids();  // one connection point each
// `Rarely` holds the family's rarely set fields, with their defaults.
template <class Derived, class Itf, class ControlItf, class Internal, class Rarely, size_t kEventInterfaces = 1>
class NodeBase : public EventSourceObject<Derived, Itf, Internal> {
public:
    // A new node with every default.
    static ComPtr<Derived> New() {
        ComPtr<Derived> node = ComPtr<Derived>::Adopt(MakeObject<Derived>());
        OwnVtable<Derived>::Remember(node->Interface());
        return node;
    }
    // The class factory's creation of a node.
    static HRESULT Create(REFIID iid, void** object) noexcept {
        if (!object) return E_POINTER;
        *object = nullptr;
        try {
            return New()->QueryInterface(iid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    // The connection points events go to: none until a caller asks for one.
    ConnectionPoint* const* Points(size_t& count) noexcept { return points_.Made(count); }
    ConnectionPoint* const* MakePoints(size_t& count) noexcept {
        return points_.Make(this, Derived::EventIids(), count);
    }

    // The private interface's one member (see OwnObject).
    Derived* STDMETHODCALLTYPE Self(const void* module_tag) noexcept override {
        return module_tag == ModuleTag() ? static_cast<Derived*>(this) : nullptr;
    }

    // --- what rendering does to a node -----------------------------------------
    static Derived* OwnNode(IUnknown* object) noexcept {
        if (OwnVtable<Derived>::Matches(object)) return static_cast<Derived*>(static_cast<Itf*>(object));
        return OwnObject<Internal>(object);
    }

    // --- the walks' internal path (core/walk.h) --------------------------------
    // The value of a getter that only hands out a field, read straight from
    // the field: no boundary is needed, as the walk holds the node and the
    // read cannot fail.  False for every other getter (it is called).
    bool Peek(HRESULT (STDMETHODCALLTYPE Itf::*getter)(LONG*), LONG& value) const noexcept {
        if (getter == &Itf::get_ID) value = id_;
        else if (getter == &Itf::get_StartID) value = start_id_;
        else return false;
        return true;
    }
    // VARIANT_BOOL is a short: the family's 16-bit getters come here too.
    bool Peek(HRESULT (STDMETHODCALLTYPE Itf::*getter)(VARIANT_BOOL*), VARIANT_BOOL& value) const noexcept {
        if (getter == &Itf::get_Visible) value = ToVB(visible_);
        else if (getter == &Itf::get_Enabled) value = ToVB(enabled_);
        else if (getter == &Itf::get_Checked) value = ToVB(checked_);
        else return static_cast<const Derived*>(this)->PeekOwn(getter, value);
        return true;
    }
    bool Peek(HRESULT (STDMETHODCALLTYPE Itf::*getter)(BSTR*), Bstr& value) const {
        const Bstr* field = PeekText(getter);
        if (!field) return false;
        value = Bstr::Copy(field->Get());
        return true;
    }
    // The field itself, not copied: good until the node's next call.
    const Bstr* PeekText(HRESULT (STDMETHODCALLTYPE Itf::*getter)(BSTR*)) const noexcept {
        return getter == &Itf::get_Caption ? &caption_
               : getter == &Itf::get_Key   ? &Rare().key
               : getter == &Itf::get_Tag   ? &Rare().tag
                                           : nullptr;
    }
    template <class T>
    bool Peek(HRESULT (STDMETHODCALLTYPE Itf::*getter)(T*), T& value) const {
        return static_cast<const Derived*>(this)->PeekOwn(getter, value);
    }
    template <class I>
    bool Peek(HRESULT (STDMETHODCALLTYPE Itf::*getter)(I**), ComPtr<I>& value) const noexcept {
        return static_cast<const Derived*>(this)->PeekOwn(getter, value);
    }

    // Marks a node rendered.  Only the component's own nodes carry the mark;
    // a host's own object in the tree cannot be marked (error 13).
    static void MarkDesigned(Itf* node) {
        Derived* own = OwnNode(node);
        if (!own) RaiseError(kErrTypeMismatch);
        own->SetDesigned(true);
    }

    // The only writer of the designed flag; rendering always passes true.
    void SetDesigned(bool value) noexcept { designed_ = value; }

    // Gives a node its number.  One of the component's own nodes forwards it
    // to the control of an earlier rendering without failing on it: that
    // control is about to be replaced (its command bars may be gone already),
    // so its failure is not an error of the rendering.  A host's own node is
    // numbered through its ID property.
    static void Number(Itf* node, long id) {
        if (Derived* own = OwnNode(node)) {
            own->id_ = id;
            // Only a node rendered before has a control to forward to.
            if (!own->designed_) return;
            try {
                own->Forward(bars::id::kId, Variant::Long(id));
            } catch (const RuntimeError&) {
                // The put was made; its failure concerns a control on its way out.
            }
        } else {
            Check(node->put_ID(id));
        }
    }

    // Stores a node's new control in the reference of its role (`popup`, or
    // else the plain control); the component's own node drops a reference of
    // the other role left by an earlier rendering, so that later changes
    // reach the control rendered last.  The object came from QueryInterface
    // for the role's identifier, so it is that interface.
    static void StoreControl(Itf* node, IDispatch* control, bool popup) {
        if (Derived* own = OwnNode(node)) {
            // What the put does on the component's own node, then the drop.
            if (popup) own->Replace(own->popup_, static_cast<ICommandBarPopup*>(control));
            else own->Replace(own->control_, static_cast<ControlItf*>(control));
            if (popup) DeferredRelease(own->control_);
            else DeferredRelease(own->popup_);
            return;
        }
        if (popup) Check(node->putref_CmdBarPopup(static_cast<ICommandBarPopup*>(control)));
        else Check((node->*Derived::kPutControl)(static_cast<ControlItf*>(control)));
    }

    // Gives a node the node above it (the toolbar's Parent): the put, made
    // on the component's own node without its boundary.
    static void SetUp(Itf* node, Itf* up, HRESULT (STDMETHODCALLTYPE Itf::*put)(Itf*)) {
        if (Derived* own = OwnNode(node)) own->ReplaceUp(up);
        else Check((node->*put)(up));
    }

    // The states of a node go to its new control, in this order.
    static void CopyStates(Itf* node, IDispatch* control) {
        bars::PutBool(control, bars::id::kChecked, tree::Flag(node, &Itf::get_Checked));
        bars::PutBool(control, bars::id::kEnabled, tree::Flag(node, &Itf::get_Enabled));
        bars::PutBool(control, bars::id::kVisible, tree::Flag(node, &Itf::get_Visible));
    }

    Itf* Interface() noexcept { return this; }

    // Called by ComObject when the last reference goes.  Back references to
    // this node read Nothing from now on; the collections, the controls and
    // the reference up the tree go in this order, each through the deferred
    // queue, so that the end of a tree of any depth takes a bounded amount
    // of stack.
    void FinalRelease() noexcept {
        life_.End();
        static_cast<Derived*>(this)->ReleaseChildren();
        DeferredRelease(control_);
        DeferredRelease(popup_);
        ComPtr<Itf> up = up_.TakeForeign();
        up_.Clear();
        DeferredRelease(up);
    }

    // --- the properties both families have, with one behaviour ------------------
    STDMETHODIMP put_Caption(BSTR rhs) noexcept override {
        return PutText(&caption_, rhs, L" for property named Caption", bars::id::kCaption);
    }
    STDMETHODIMP get_Caption(BSTR* rhs) noexcept override { return GetText(rhs, caption_); }
    STDMETHODIMP put_Key(BSTR rhs) noexcept override {
        return PutText(RareText(&RareBlock::key), rhs, L" for property named Key");
    }
    STDMETHODIMP get_Key(BSTR* rhs) noexcept override { return GetText(rhs, Rare().key); }
    STDMETHODIMP put_Tag(BSTR rhs) noexcept override {
        return PutText(RareText(&RareBlock::tag), rhs, L" for property named Tag");
    }
    STDMETHODIMP get_Tag(BSTR* rhs) noexcept override { return GetText(rhs, Rare().tag); }
    STDMETHODIMP put_ID(LONG rhs) noexcept override {
        return AtBoundary([&] {
            id_ = rhs;
            Forward(bars::id::kId, Variant::Long(rhs));
        });
    }
    STDMETHODIMP get_ID(LONG* rhs) noexcept override { return Get(rhs, static_cast<LONG>(id_)); }
    STDMETHODIMP put_Checked(VARIANT_BOOL rhs) noexcept override { return PutFlag(checked_, rhs, bars::id::kChecked); }
    STDMETHODIMP get_Checked(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(checked_)); }
    STDMETHODIMP put_Enabled(VARIANT_BOOL rhs) noexcept override { return PutFlag(enabled_, rhs, bars::id::kEnabled); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(enabled_)); }
    STDMETHODIMP put_Visible(VARIANT_BOOL rhs) noexcept override { return PutFlag(visible_, rhs, bars::id::kVisible); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(visible_)); }
    STDMETHODIMP put_StartID(LONG rhs) noexcept override { return Put(start_id_, static_cast<long>(rhs)); }
    STDMETHODIMP get_StartID(LONG* rhs) noexcept override { return Get(rhs, static_cast<LONG>(start_id_)); }
    STDMETHODIMP putref_CmdBarPopup(ICommandBarPopup* rhs) noexcept override { return PutRef(popup_, rhs); }
    STDMETHODIMP get_CmdBarPopup(ICommandBarPopup** rhs) noexcept override { return GetRef(rhs, popup_); }

    // Levels of this family's recursive walks running on this thread,
    // including walks that an event handler starts from inside another one.
    static int& WalkDepth() noexcept {
        static thread_local int depth = 0;
        return depth;
    }

protected:
    NodeBase() = default;

    // The rarely set fields: the family's own, then the two both have.
    struct RareBlock : Rarely {
        Bstr key;
        Bstr tag;
    };
    // Read: the block, or the defaults while it has not been made.
    const RareBlock& Rare() const noexcept {
        static const RareBlock defaults;
        return rare_ ? *rare_ : defaults;
    }
    // Written: the block, made on the first write (error 7 without memory).
    RareBlock& RareForWrite() {
        if (!rare_) rare_ = std::make_unique<RareBlock>();
        return *rare_;
    }
    // A rarely set text's field for PutText: null when the block cannot be made.
    Bstr* RareText(Bstr RareBlock::*field) noexcept {
        if (!rare_) rare_.reset(new (std::nothrow) RareBlock());
        return rare_ ? &(rare_.get()->*field) : nullptr;
    }

    // The boundary of every COM method of the node: keeps the node alive for
    // the whole call and turns errors into failed calls.
    template <class F>
    HRESULT AtBoundary(F&& body) noexcept {
        ComPtr<IUnknown> keep(this->Unknown());
        return Boundary(__uuidof(Itf), Derived::kSource, std::forward<F>(body));
    }

    // The operations that walk the tree or talk to the host run their body
    // under one handler: a run-time error abandons the body and is reported
    // through SystemError on this node (the searches report only numbers
    // above zero).  True when the body ran to its end.
    enum class Report { kAll, kAboveZero };
    template <class Body>
    bool Guarded(Body&& body, Report report = Report::kAll) noexcept {
        return RunWithHandler(std::forward<Body>(body), [&](long number, const std::wstring& description) {
            if (report == Report::kAll || number > 0) RaiseSystemError(number, description);
        });
    }

    // The operations that need an object from the host (the command bars,
    // a list): Nothing raises custom error 2 and gives False without entering
    // the handler; otherwise the body runs guarded and the result tells
    // whether it ran to its end.
    template <class Body>
    HRESULT WithHostObject(IDispatch* object, VARIANT_BOOL* result, Body&& body) noexcept {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        return AtBoundary([&] {
            ComPtr<IDispatch> held(object);
            if (!held) {
                RaiseCustomError(kCustomObjectNotCreated, L"Object Not Created", L"");
                return;
            }
            *result = ToVB(Guarded([&] { body(held.Get()); }));
        });
    }

    // Raises CustomError with the message followed by the suffix; false (and
    // no event) when that cannot be done.
    bool RaiseCustomError(long number, const wchar_t* message, const wchar_t* suffix) noexcept {
        try {
            short custom_number = ToShort(number);
            std::wstring text(message);
            text += suffix;
            Variant args[] = {Variant::Short(custom_number), Variant::String(Bstr(text).Get())};
            this->FireEvent(L"CustomError", args[0].Get(), 2);
            return true;
        } catch (...) {
            return false;
        }
    }

    // Copies `text` into `target`; false, with `target` unchanged, when the
    // copy cannot be made.
    static bool TryAssignText(Bstr& target, BSTR text) noexcept {
        try {
            target = Bstr::Copy(text);
            return true;
        } catch (...) {
            return false;
        }
    }

    void RaiseSystemError(long number, const std::wstring& description) noexcept {
        Variant args[] = {Variant::Long(number), Variant()};
        try {
            args[1] = Variant::String(Bstr(description).Get());
        } catch (...) {
            // No memory for the text: the number still goes out.
            args[1].Get()->vt = VT_BSTR;
            args[1].Get()->bstrVal = nullptr;
        }
        this->FireEvent(L"SystemError", args[0].Get(), 2);
    }

    // The control a property change goes to: the control (or button) when
    // there is one, else the popup; none while the node is not designed.
    // Held for the call: the host may clear the node's references meanwhile.
    ComPtr<IDispatch> ForwardTarget() const noexcept {
        if (!designed_) return nullptr;
        if (control_) return ComPtr<IDispatch>(control_.Get());
        if (popup_) return ComPtr<IDispatch>(popup_.Get());
        return nullptr;
    }
    // Puts a new value into that control; host errors go to the caller.
    void Forward(DISPID member, Variant value) {
        if (ComPtr<IDispatch> target = ForwardTarget()) bars::Put(target.Get(), member, std::move(value));
    }

    // --- setter and getter shapes ------------------------------------------------
    // A text setter: store (or report custom error 1 with the property's
    // suffix), then forward the text when `forward_to` names a member.  A
    // null `field` is one whose block there was no memory for.
    HRESULT PutText(Bstr* field, BSTR text, const wchar_t* suffix, DISPID forward_to = DISPID_UNKNOWN) noexcept {
        return AtBoundary([&] {
            if (!field || !TryAssignText(*field, text)) {
                RaiseCustomError(kCustomCanNotSetProperty, L"Can not set property", suffix);
                return;
            }
            if (forward_to != DISPID_UNKNOWN) Forward(forward_to, Variant::String(text));
        });
    }
    // A Boolean setter; forwards the new value when `forward_to` names a member.
    HRESULT PutFlag(bool& field, VARIANT_BOOL value, DISPID forward_to = DISPID_UNKNOWN) noexcept {
        return AtBoundary([&] {
            field = value != VARIANT_FALSE;
            if (forward_to != DISPID_UNKNOWN) Forward(forward_to, Variant::Bool(value != VARIANT_FALSE));
        });
    }
    template <class T>
    HRESULT Put(T& field, T value) noexcept {
        return AtBoundary([&] { field = value; });
    }
    // A rarely set field: its default needs no block.
    template <class T, class Of>
    HRESULT PutRare(T Of::*field, T value) noexcept {
        return AtBoundary([&] {
            if (rare_ || value != Rare().*field) RareForWrite().*field = value;
        });
    }
    template <class I>
    HRESULT PutRef(ComPtr<I>& field, I* value) noexcept {
        return AtBoundary([&] { Replace(field, value); });
    }
    template <class I>
    static void Replace(ComPtr<I>& field, I* value) noexcept {
        ComPtr<I> old = std::move(field);
        field = value;
        DeferredRelease(old);
    }
    // The reference up the tree (ArrayParent, Parent): one of the component's
    // own nodes is referred to without keeping it alive (a rendered tree
    // would otherwise be a reference cycle); a host's own object is held.
    HRESULT PutUp(Itf* value) noexcept {
        return AtBoundary([&] { ReplaceUp(value); });
    }
    void ReplaceUp(Itf* value) {
        ComPtr<Itf> previous = up_.TakeForeign();
        if (Derived* own = OwnNode(value)) up_.SetOwn(own->Interface(), own->life_);
        else if (value) up_.SetForeign(value);
        else up_.Clear();
        DeferredRelease(previous);
    }

    template <class T>
    HRESULT Get(T* out, T value) noexcept {
        if (out) *out = T{};
        return AtBoundary([&] {
            if (!out) RaiseError(kErrInvalidCall);
            *out = value;
        });
    }
    HRESULT GetText(BSTR* out, const Bstr& value) noexcept {
        if (out) *out = nullptr;
        return AtBoundary([&] {
            if (!out) RaiseError(kErrInvalidCall);
            Check(value.CopyTo(out));
        });
    }
    template <class I>
    HRESULT GetRef(I** out, const ComPtr<I>& value) noexcept {
        if (out) *out = nullptr;
        return AtBoundary([&] {
            if (!out) RaiseError(kErrInvalidCall);
            value.CopyTo(out);
        });
    }

    // A collection made on first use: until `made`, the node has none.  Its
    // getter makes it (error 7 without memory); a put, Nothing included,
    // replaces it for good.  The walks take a collection never made for an
    // empty one without making it (the family's ChildrenMade), and read one
    // through its getter until it is made.
    template <class C>
    HRESULT GetCollection(C** out, ComPtr<C>& field, bool& made, ComPtr<C> (*make)()) noexcept {
        if (out) *out = nullptr;
        return AtBoundary([&] {
            if (!out) RaiseError(kErrInvalidCall);
            if (!made) {
                field = make();
                made = true;
            }
            field.CopyTo(out);
        });
    }
    template <class C>
    HRESULT PutCollection(ComPtr<C>& field, bool& made, C* value) noexcept {
        return AtBoundary([&] {
            Replace(field, value);
            made = true;
        });
    }

    // The small fields that every walk reads come first, next to the
    // reference count, so that a visit touches few cache lines; then the
    // pointer-sized ones.
    long id_ = 0;
    long start_id_ = 0;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool designed_ = false;
    Bstr caption_;
    ComPtr<ControlItf> control_;
    ComPtr<ICommandBarPopup> popup_;
    std::unique_ptr<RareBlock> rare_;
    LazyConnectionPoints<kEventInterfaces> points_;
    LifeToken life_;
    BackReference<Itf> up_;
};

}  // namespace zuv
