#include "menu_node.h"

#include <new>

#include "frame/error.h"
#include "core/handler.h"
#include "core/host_calls.h"
#include "core/lifetime.h"
#include "menu_collection.h"

namespace zuv {
namespace {

// Identifies this module's nodes (see IMenuNodeInternal).
const char kModuleTag = 0;

// The largest run of entries a menu array may generate.
constexpr short kMaxArrayCount = 100;

VARIANT_BOOL Normal(VARIANT_BOOL value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

template <class T>
void Store(T* out, T value) {
    if (!out) RaiseError(kErrInvalidCall);
    *out = value;
}

template <class I>
void StoreRef(I** out, const ComPtr<I>& value) {
    if (!out) RaiseError(kErrInvalidCall);
    value.CopyTo(out);
}

void StoreText(BSTR* out, const Bstr& value) {
    if (!out) RaiseError(kErrInvalidCall);
    Check(value.CopyTo(out));
}

}  // namespace

// --- creation and end ------------------------------------------------------------

HRESULT CreateMenuNode(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        ComPtr<MenuNode> node = MenuNode::New();
        return node->QueryInterface(iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

ComPtr<MenuNode> MenuNode::New() { return ComPtr<MenuNode>::Adopt(MakeObject<MenuNode>()); }

MenuNode::MenuNode()
    : events_(static_cast<IConnectionPointContainer*>(this), DIID___xMenu),
      points_{&events_},
      sub_menus_(MenuCollection::New()),
      array_menu_(MenuCollection::New()) {}

void MenuNode::FinalRelease() noexcept {
    // Back references to this node read Nothing from now on.
    life_.End();
    // Released in this order, each through the deferred queue, so that the
    // end of a tree of any depth takes a bounded amount of stack.
    DeferredRelease(sub_menus_);
    DeferredRelease(array_menu_);
    DeferredRelease(control_);
    DeferredRelease(popup_);
    ComPtr<_xMenu> parent = array_parent_.TakeForeign();
    array_parent_.Clear();
    DeferredRelease(parent);
}

MenuNode* STDMETHODCALLTYPE MenuNode::Self(const void* module_tag) noexcept {
    return module_tag == &kModuleTag ? this : nullptr;
}

namespace menu {

MenuNode* OwnNode(IUnknown* object) noexcept {
    if (!object) return nullptr;
    ComPtr<IMenuNodeInternal> internal;
    if (FAILED(object->QueryInterface(__uuidof(IMenuNodeInternal), reinterpret_cast<void**>(internal.Out()))) ||
        !internal)
        return nullptr;
    // The caller's reference keeps the node alive; this one goes now.
    return internal->Self(&kModuleTag);
}

}  // namespace menu

// --- events and the helpers of the setters -----------------------------------------

bool MenuNode::RaiseCustomError(long number, const wchar_t* message, const wchar_t* suffix) noexcept {
    try {
        short custom_number = ToShort(number);
        std::wstring text(message);
        text += suffix;
        Variant args[] = {Variant::Short(custom_number), Variant::String(Bstr(text).Get())};
        FireEvent(L"CustomError", args[0].Get(), 2);
        return true;
    } catch (...) {
        return false;
    }
}

bool MenuNode::TryAssignText(Bstr& target, BSTR text) noexcept {
    try {
        target = Bstr::Copy(text);
        return true;
    } catch (...) {
        return false;
    }
}

void MenuNode::RaiseSystemError(long number, const std::wstring& description) noexcept {
    Variant args[] = {Variant::Long(number), Variant()};
    try {
        args[1] = Variant::String(Bstr(description).Get());
    } catch (...) {
        // No memory for the text: the number still goes out.
        args[1].Get()->vt = VT_BSTR;
        args[1].Get()->bstrVal = nullptr;
    }
    FireEvent(L"SystemError", args[0].Get(), 2);
}

void MenuNode::RaiseClick() noexcept { FireEvent(L"Click", nullptr, 0); }

void MenuNode::RaiseArrayClick(short index) noexcept {
    Variant arg = Variant::Short(index);
    FireEvent(L"ArrayClick", arg.Get(), 1);
}

bool MenuNode::AssignText(Bstr& field, BSTR text, const wchar_t* suffix) noexcept {
    if (TryAssignText(field, text)) return true;
    RaiseCustomError(xMenuCustomErrorNo_CanNotSetProperty, L"Can not set property", suffix);
    return false;
}

void MenuNode::Forward(DISPID member, Variant value) {
    if (!designed_) return;
    // Held for the call: the host may clear the node's references meanwhile.
    ComPtr<IDispatch> target;
    if (control_) target = control_.Get();
    else if (popup_) target = popup_.Get();
    if (target) host::Put(target.Get(), member, std::move(value));
}

void MenuNode::SetRenderedId(long id) {
    id_ = id;
    try {
        Forward(host::id::kId, Variant::Long(id));
    } catch (const RuntimeError&) {
        // The put was made; its failure concerns a control on its way out.
    }
}

void MenuNode::KeepOnlyRole(bool popup) noexcept {
    if (popup) DeferredRelease(control_);
    else DeferredRelease(popup_);
}

// --- collections ------------------------------------------------------------------

STDMETHODIMP MenuNode::get_SubMenus(_xMenuCollection** rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreRef(rhs, sub_menus_); });
}

STDMETHODIMP MenuNode::putref_SubMenus(_xMenuCollection* rhs) noexcept {
    return AtBoundary([&] {
        ComPtr<_xMenuCollection> old = std::move(sub_menus_);
        sub_menus_ = rhs;
        DeferredRelease(old);
    });
}

STDMETHODIMP MenuNode::get_ArrayMenu(_xMenuCollection** rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreRef(rhs, array_menu_); });
}

STDMETHODIMP MenuNode::putref_ArrayMenu(_xMenuCollection* rhs) noexcept {
    return AtBoundary([&] {
        ComPtr<_xMenuCollection> old = std::move(array_menu_);
        array_menu_ = rhs;
        DeferredRelease(old);
    });
}

// --- text properties ----------------------------------------------------------------

STDMETHODIMP MenuNode::put_Caption(BSTR rhs) noexcept {
    return AtBoundary([&] {
        if (!AssignText(caption_, rhs, L" for property named Caption")) return;
        Forward(host::id::kCaption, Variant::String(rhs));
    });
}

STDMETHODIMP MenuNode::get_Caption(BSTR* rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreText(rhs, caption_); });
}

STDMETHODIMP MenuNode::put_Key(BSTR rhs) noexcept {
    return AtBoundary([&] { AssignText(key_, rhs, L" for property named Key"); });
}

STDMETHODIMP MenuNode::get_Key(BSTR* rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreText(rhs, key_); });
}

STDMETHODIMP MenuNode::put_Tag(BSTR rhs) noexcept {
    return AtBoundary([&] { AssignText(tag_, rhs, L" for property named Tag"); });
}

STDMETHODIMP MenuNode::get_Tag(BSTR* rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreText(rhs, tag_); });
}

// --- forwarding properties ------------------------------------------------------------

STDMETHODIMP MenuNode::put_ID(LONG rhs) noexcept {
    return AtBoundary([&] {
        id_ = rhs;
        Forward(host::id::kId, Variant::Long(rhs));
    });
}

STDMETHODIMP MenuNode::get_ID(LONG* rhs) noexcept {
    if (rhs) *rhs = 0;
    return AtBoundary([&] { Store(rhs, static_cast<LONG>(id_)); });
}

STDMETHODIMP MenuNode::put_Checked(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        checked_ = Normal(rhs);
        Forward(host::id::kChecked, Variant::Bool(rhs));
    });
}

STDMETHODIMP MenuNode::get_Checked(VARIANT_BOOL* rhs) noexcept {
    if (rhs) *rhs = VARIANT_FALSE;
    return AtBoundary([&] { Store(rhs, checked_); });
}

STDMETHODIMP MenuNode::put_Enabled(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        enabled_ = Normal(rhs);
        Forward(host::id::kEnabled, Variant::Bool(rhs));
    });
}

STDMETHODIMP MenuNode::get_Enabled(VARIANT_BOOL* rhs) noexcept {
    if (rhs) *rhs = VARIANT_FALSE;
    return AtBoundary([&] { Store(rhs, enabled_); });
}

STDMETHODIMP MenuNode::put_Visible(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        visible_ = Normal(rhs);
        Forward(host::id::kVisible, Variant::Bool(rhs));
    });
}

STDMETHODIMP MenuNode::get_Visible(VARIANT_BOOL* rhs) noexcept {
    if (rhs) *rhs = VARIANT_FALSE;
    return AtBoundary([&] { Store(rhs, visible_); });
}

// Turning the window-list mark on gives the control the window list's fixed
// command ID; turning it off gives the control back the node's own ID, the
// one GetMenu finds the node by.
STDMETHODIMP MenuNode::put_WindowsList(VARIANT_BOOL rhs) noexcept {
    return AtBoundary([&] {
        windows_list_ = Normal(rhs);
        Forward(host::id::kId, Variant::Long(rhs ? menu::kWindowsListId : id_));
    });
}

STDMETHODIMP MenuNode::get_WindowsList(VARIANT_BOOL* rhs) noexcept {
    if (rhs) *rhs = VARIANT_FALSE;
    return AtBoundary([&] { Store(rhs, windows_list_); });
}

// --- plain properties -----------------------------------------------------------------

#define ZUV_PLAIN_FLAG(Name, field)                                                             \
    STDMETHODIMP MenuNode::put_##Name(VARIANT_BOOL rhs) noexcept {                              \
        return AtBoundary([&] { field = Normal(rhs); });                                        \
    }                                                                                           \
    STDMETHODIMP MenuNode::get_##Name(VARIANT_BOOL* rhs) noexcept {                             \
        if (rhs) *rhs = VARIANT_FALSE;                                                          \
        return AtBoundary([&] { Store(rhs, field); });                                          \
    }

ZUV_PLAIN_FLAG(MaxButton, max_button_)
ZUV_PLAIN_FLAG(MinButton, min_button_)
ZUV_PLAIN_FLAG(ControlBox, control_box_)
ZUV_PLAIN_FLAG(MenuSeperator, separator_)
ZUV_PLAIN_FLAG(IsArray, is_array_)
ZUV_PLAIN_FLAG(IsArrayChild, is_array_child_)
ZUV_PLAIN_FLAG(IsArrayBaseZero, base_zero_)
#undef ZUV_PLAIN_FLAG

STDMETHODIMP MenuNode::put_ShortCutFirstKey(xMenuShortCutFirstKeys rhs) noexcept {
    return AtBoundary([&] { shortcut_first_ = rhs; });
}

STDMETHODIMP MenuNode::get_ShortCutFirstKey(xMenuShortCutFirstKeys* rhs) noexcept {
    if (rhs) *rhs = xMenuShortCutFirstKeys_None;
    return AtBoundary([&] { Store(rhs, static_cast<xMenuShortCutFirstKeys>(shortcut_first_)); });
}

STDMETHODIMP MenuNode::put_ShortCutSecondKey(xMenuShortCutSecondKeys rhs) noexcept {
    return AtBoundary([&] { shortcut_second_ = rhs; });
}

STDMETHODIMP MenuNode::get_ShortCutSecondKey(xMenuShortCutSecondKeys* rhs) noexcept {
    if (rhs) *rhs = xMenuShortCutSecondKeys_None;
    return AtBoundary([&] { Store(rhs, static_cast<xMenuShortCutSecondKeys>(shortcut_second_)); });
}

// One of the component's own nodes is referred to without keeping it alive
// (an array and its generated entries refer to each other); a host's own
// object is held.
STDMETHODIMP MenuNode::putref_ArrayParent(_xMenu* rhs) noexcept {
    return AtBoundary([&] {
        ComPtr<_xMenu> previous = array_parent_.TakeForeign();
        if (MenuNode* own = menu::OwnNode(rhs)) array_parent_.SetOwn(own->Interface(), own->life_);
        else if (rhs) array_parent_.SetForeign(rhs);
        else array_parent_.Clear();
        DeferredRelease(previous);
    });
}

STDMETHODIMP MenuNode::get_ArrayParent(_xMenu** rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreRef(rhs, array_parent_.Get()); });
}

STDMETHODIMP MenuNode::put_ArrayIndex(short rhs) noexcept {
    return AtBoundary([&] { array_index_ = rhs; });
}

STDMETHODIMP MenuNode::get_ArrayIndex(short* rhs) noexcept {
    if (rhs) *rhs = 0;
    return AtBoundary([&] { Store(rhs, array_index_); });
}

STDMETHODIMP MenuNode::put_StartID(LONG rhs) noexcept {
    return AtBoundary([&] { start_id_ = rhs; });
}

STDMETHODIMP MenuNode::get_StartID(LONG* rhs) noexcept {
    if (rhs) *rhs = 0;
    return AtBoundary([&] { Store(rhs, static_cast<LONG>(start_id_)); });
}

STDMETHODIMP MenuNode::put_ArrayCount(short rhs) noexcept {
    return AtBoundary([&] {
        if (rhs > kMaxArrayCount) {
            RaiseCustomError(xMenuCustomErrorNo_ArrayCountOverflow, L"MRU List Count Overflow", L"");
            return;
        }
        array_count_ = rhs;
    });
}

STDMETHODIMP MenuNode::get_ArrayCount(short* rhs) noexcept {
    if (rhs) *rhs = 0;
    return AtBoundary([&] { Store(rhs, array_count_); });
}

STDMETHODIMP MenuNode::get_IsMenuDesigned(VARIANT_BOOL* rhs) noexcept {
    if (rhs) *rhs = VARIANT_FALSE;
    return AtBoundary([&] { Store(rhs, ToVB(designed_)); });
}

STDMETHODIMP MenuNode::putref_CmdBarControl(ICommandBarControl* rhs) noexcept {
    return AtBoundary([&] {
        ComPtr<ICommandBarControl> old = std::move(control_);
        control_ = rhs;
        DeferredRelease(old);
    });
}

STDMETHODIMP MenuNode::get_CmdBarControl(ICommandBarControl** rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreRef(rhs, control_); });
}

STDMETHODIMP MenuNode::putref_CmdBarPopup(ICommandBarPopup* rhs) noexcept {
    return AtBoundary([&] {
        ComPtr<ICommandBarPopup> old = std::move(popup_);
        popup_ = rhs;
        DeferredRelease(old);
    });
}

STDMETHODIMP MenuNode::get_CmdBarPopup(ICommandBarPopup** rhs) noexcept {
    if (rhs) *rhs = nullptr;
    return AtBoundary([&] { StoreRef(rhs, popup_); });
}

// --- Count: the visible members of a menu array ------------------------------------------

STDMETHODIMP MenuNode::get_Count(short* rhs) noexcept {
    if (rhs) *rhs = -1;
    return AtBoundary([&] {
        short count = -1;
        RunWithHandler(
            [&] {
                if (!is_array_) return;
                menu::IndexRange range = menu::ArrayIndexes(this);
                count = 0;
                for (long j = range.first; j <= range.last; ++j) {
                    // An empty member is Nothing here (error 91).
                    ComPtr<_xMenu> member = menu::StoredEntryAt(menu::ArrayMenuOf(this).Get(), j);
                    if (menu::Flag(member.Get(), &_xMenu::get_Visible)) count = AddChecked(count, short{1});
                }
            },
            [&](long number, const std::wstring& description) { RaiseSystemError(number, description); });
        Store(rhs, count);
    });
}

}  // namespace zuv
