// xMenu: one node of a menu tree (the root, a menu-bar title, an entry, a
// separator, the window-list entry or a menu array), its properties, the
// live forwarding of property changes to its rendered control, and its
// operations: rendering (menu_render.cpp), lookup and click dispatch
// (menu_lookup.cpp) and listing (menu_list.cpp).  What it shares with the
// toolbar node is in core/node_base.h.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <cstdint>
#include <string>

#include "core/node_base.h"
#include "frame/wrappers.h"
#include "menu_collection.h"
#include "menu_internal.h"
#include "zuvXCHandler.h"

namespace zuv {

// Creates a node (the class factory of xMenu).
HRESULT CreateMenuNode(REFIID iid, void** object) noexcept;

// The menu's rarely set fields (see NodeBase): most entries have no shortcut.
struct MenuRarely {
    xMenuShortCutFirstKeys shortcut_first = xMenuShortCutFirstKeys_None;
    xMenuShortCutSecondKeys shortcut_second = xMenuShortCutSecondKeys_None;
};

class MenuNode final : public NodeBase<MenuNode, _xMenu, ICommandBarControl, IMenuNodeInternal, MenuRarely> {
public:
    static constexpr const wchar_t* kSource = L"zuvXCHandler.xMenu";
    static constexpr auto kPutControl = &_xMenu::putref_CmdBarControl;

    static const CLSID& ClassId() noexcept { return CLSID_xMenu; }
    static const IID& SourceIid() noexcept { return DIID___xMenu; }
    static std::array<const IID*, 1> EventIids() noexcept { return {&DIID___xMenu}; }
    void ReleaseChildren() noexcept;

    // Whether this node is an entry that the menu array `array` (its COM
    // identity) generated in a rendering other than `rendering`.
    bool GeneratedEarlierBy(const void* array, uint64_t rendering) const noexcept {
        return generated_by_ && generated_by_ == array && generated_in_ != rendering;
    }

    // --- the walks' internal path: the menu's own plain fields (see Peek) --------
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(VARIANT_BOOL*), VARIANT_BOOL& value) const noexcept {
        if (getter == &_xMenu::get_IsArray) value = ToVB(is_array_);
        else if (getter == &_xMenu::get_MenuSeperator) value = ToVB(separator_);
        else if (getter == &_xMenu::get_WindowsList) value = ToVB(windows_list_);
        else if (getter == &_xMenu::get_IsArrayBaseZero) value = ToVB(base_zero_);
        else if (getter == &_xMenu::get_IsMenuDesigned) value = ToVB(designed_);
        else if (getter == &_xMenu::get_ArrayCount) value = array_count_;
        else return false;
        return true;
    }
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(xMenuShortCutFirstKeys*),
                 xMenuShortCutFirstKeys& value) const noexcept {
        if (getter != &_xMenu::get_ShortCutFirstKey) return false;
        value = Rare().shortcut_first;
        return true;
    }
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(xMenuShortCutSecondKeys*),
                 xMenuShortCutSecondKeys& value) const noexcept {
        if (getter != &_xMenu::get_ShortCutSecondKey) return false;
        value = Rare().shortcut_second;
        return true;
    }
    // A collection not made yet: its getter is called, and makes it.
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(_xMenuCollection**),
                 ComPtr<_xMenuCollection>& value) const noexcept {
        if (getter == &_xMenu::get_SubMenus && sub_menus_made_) value = sub_menus_;
        else if (getter == &_xMenu::get_ArrayMenu && array_menu_made_) value = array_menu_;
        else return false;
        return true;
    }
    // False while SubMenus has never been made: the node has no entries.
    bool ChildrenMade() const noexcept { return sub_menus_made_; }
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(_xMenu**), ComPtr<_xMenu>& value) const noexcept {
        if (getter != &_xMenu::get_ArrayParent) return false;
        value = up_.Get();
        return true;
    }
    template <class Getter, class T>
    bool PeekOwn(Getter, T&) const noexcept {
        return false;
    }

    // --- _xMenu (the properties both families share are in NodeBase) ----------
    STDMETHODIMP get_SubMenus(_xMenuCollection** rhs) noexcept override {
        return GetCollection(rhs, sub_menus_, sub_menus_made_, &MenuCollection::New);
    }
    STDMETHODIMP ReservedSubMenus() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_SubMenus(_xMenuCollection* rhs) noexcept override {
        return PutCollection(sub_menus_, sub_menus_made_, rhs);
    }
    STDMETHODIMP get_ArrayMenu(_xMenuCollection** rhs) noexcept override {
        return GetCollection(rhs, array_menu_, array_menu_made_, &MenuCollection::New);
    }
    STDMETHODIMP ReservedArrayMenu() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_ArrayMenu(_xMenuCollection* rhs) noexcept override {
        return PutCollection(array_menu_, array_menu_made_, rhs);
    }
    STDMETHODIMP get_Count(short* rhs) noexcept override;
    STDMETHODIMP put_WindowsList(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_WindowsList(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(windows_list_)); }
    STDMETHODIMP put_MaxButton(VARIANT_BOOL rhs) noexcept override { return PutFlag(max_button_, rhs); }
    STDMETHODIMP get_MaxButton(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(max_button_)); }
    STDMETHODIMP put_MinButton(VARIANT_BOOL rhs) noexcept override { return PutFlag(min_button_, rhs); }
    STDMETHODIMP get_MinButton(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(min_button_)); }
    STDMETHODIMP put_ControlBox(VARIANT_BOOL rhs) noexcept override { return PutFlag(control_box_, rhs); }
    STDMETHODIMP get_ControlBox(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(control_box_)); }
    STDMETHODIMP put_MenuSeperator(VARIANT_BOOL rhs) noexcept override { return PutFlag(separator_, rhs); }
    STDMETHODIMP get_MenuSeperator(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(separator_)); }
    STDMETHODIMP put_ShortCutFirstKey(xMenuShortCutFirstKeys rhs) noexcept override {
        return PutRare(&RareBlock::shortcut_first, rhs);
    }
    STDMETHODIMP get_ShortCutFirstKey(xMenuShortCutFirstKeys* rhs) noexcept override {
        return Get(rhs, Rare().shortcut_first);
    }
    STDMETHODIMP put_ShortCutSecondKey(xMenuShortCutSecondKeys rhs) noexcept override {
        return PutRare(&RareBlock::shortcut_second, rhs);
    }
    STDMETHODIMP get_ShortCutSecondKey(xMenuShortCutSecondKeys* rhs) noexcept override {
        return Get(rhs, Rare().shortcut_second);
    }
    STDMETHODIMP put_IsArray(VARIANT_BOOL rhs) noexcept override { return PutFlag(is_array_, rhs); }
    STDMETHODIMP get_IsArray(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(is_array_)); }
    STDMETHODIMP putref_ArrayParent(_xMenu* rhs) noexcept override { return PutUp(rhs); }
    STDMETHODIMP get_ArrayParent(_xMenu** rhs) noexcept override { return GetRef(rhs, up_.Get()); }
    STDMETHODIMP put_IsArrayChild(VARIANT_BOOL rhs) noexcept override { return PutFlag(is_array_child_, rhs); }
    STDMETHODIMP get_IsArrayChild(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(is_array_child_)); }
    STDMETHODIMP put_ArrayIndex(short rhs) noexcept override { return Put(array_index_, rhs); }
    STDMETHODIMP get_ArrayIndex(short* rhs) noexcept override { return Get(rhs, array_index_); }
    STDMETHODIMP put_ArrayCount(short rhs) noexcept override;
    STDMETHODIMP get_ArrayCount(short* rhs) noexcept override { return Get(rhs, array_count_); }
    STDMETHODIMP put_IsArrayBaseZero(VARIANT_BOOL rhs) noexcept override { return PutFlag(base_zero_, rhs); }
    STDMETHODIMP get_IsArrayBaseZero(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(base_zero_)); }
    STDMETHODIMP get_IsMenuDesigned(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(designed_)); }
    STDMETHODIMP putref_CmdBarControl(ICommandBarControl* rhs) noexcept override { return PutRef(control_, rhs); }
    STDMETHODIMP get_CmdBarControl(ICommandBarControl** rhs) noexcept override { return GetRef(rhs, control_); }
    STDMETHODIMP RenderMenu(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP GetMenu(LONG ID, _xMenu** result) noexcept override;
    STDMETHODIMP GetMenuFromSubMenu(_xMenu** objMenu, LONG ID, _xMenu** result) noexcept override;
    STDMETHODIMP RaiseClickEvent(short Index, VARIANT* result) noexcept override;
    STDMETHODIMP GetMenuList(_Collection** MenuList, VARIANT_BOOL* result) noexcept override;

private:
    // --- rendering (menu_render.cpp) ------------------------------------------
    void RenderTopLevel(IDispatch* command_bars);
    void RenderSubMenu(IDispatch* command_bars, IDispatch* bar, _xMenu* parent, long& running_id,
                       Walk& walk) noexcept;
    void RenderMenuArray(IDispatch* bar, _xMenu* array_node, long& running_id, bool& group_start);

    // --- lookup (menu_lookup.cpp) ---------------------------------------------
    // The level directly below the node GetMenu is called on differs from
    // the levels below it (see SearchLevel).
    enum class Level { kTop, kBelow };
    ComPtr<_xMenu> SearchLevel(_xMenu* start, long id, Walk& walk, Level level);
    ComPtr<_xMenu> SearchBelow(_xMenu* start, long id, Walk& walk) noexcept;

    // --- listing (menu_list.cpp) ----------------------------------------------
    static void AddSubMenusToList(IDispatch* list, _xMenu* parent, Walk& walk);

    // What the walks read first, together.
    ComPtr<_xMenuCollection> sub_menus_;
    ComPtr<_xMenuCollection> array_menu_;
    bool separator_ = false;
    bool windows_list_ = false;
    bool is_array_ = false;
    bool base_zero_ = true;
    bool max_button_ = true;
    bool min_button_ = true;
    bool control_box_ = true;
    bool is_array_child_ = false;
    bool sub_menus_made_ = false;
    bool array_menu_made_ = false;
    short array_count_ = 0;
    short array_index_ = 0;
    // A generated entry: its array (identity only, never used as an object)
    // and the rendering that made it.
    const void* generated_by_ = nullptr;
    uint64_t generated_in_ = 0;
    // On a root: the rendering it is running now (0 when none).
    uint64_t rendering_ = 0;
};

}  // namespace zuv
