// xMenu: one node of a menu tree (the root, a menu-bar title, an entry, a
// separator, the window-list entry or a menu array), its properties, the
// live forwarding of property changes to its rendered control, and its
// operations: rendering (menu_render.cpp), lookup and click dispatch
// (menu_lookup.cpp) and listing (menu_list.cpp).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <cstdint>
#include <string>
#include <utility>

#include "core/back_reference.h"
#include "frame/wrappers.h"
#include "menu_internal.h"
#include "frame/events.h"
#include "zuvXCHandler.h"

namespace zuv {

// Creates a node (the class factory of xMenu).
HRESULT CreateMenuNode(REFIID iid, void** object) noexcept;

class MenuNode final : public EventSourceObject<MenuNode, _xMenu, IMenuNodeInternal> {
public:
    // A new node with every default and two empty collections.
    static ComPtr<MenuNode> New();

    MenuNode();
    ~MenuNode() override = default;

    static const CLSID& ClassId() noexcept { return CLSID_xMenu; }
    static const IID& SourceIid() noexcept { return DIID___xMenu; }
    ConnectionPoint* const* Points(size_t& count) noexcept {
        count = 1;
        return points_;
    }
    void FinalRelease() noexcept;

    // --- internal operations -------------------------------------------------
    MenuNode* STDMETHODCALLTYPE Self(const void* module_tag) noexcept override;
    // The only writer of the designed flag; rendering always passes true.
    void SetMenuDesigned(bool value) noexcept { designed_ = value; }
    _xMenu* Interface() noexcept { return this; }
    // Rendering's numbering of the node: stores the ID and puts it into the
    // node's control, as the ID property does.  That control belongs to an
    // earlier rendering and is about to be replaced (its command bars may be
    // gone already), so a failure there is not an error of the rendering.
    void SetRenderedId(long id);
    // Rendering has just given the node a control of one role (a popup, or
    // else a plain control): a reference of the other role, left by an
    // earlier rendering, goes, so that changes reach the control rendered last.
    void KeepOnlyRole(bool popup) noexcept;
    // Whether this node is an entry that the menu array `array` (its COM
    // identity) generated in a rendering other than `rendering`.
    bool GeneratedEarlierBy(const void* array, uint64_t rendering) const noexcept {
        return generated_by_ && generated_by_ == array && generated_in_ != rendering;
    }

    // --- _xMenu --------------------------------------------------------------
    STDMETHODIMP get_SubMenus(_xMenuCollection** rhs) noexcept override;
    STDMETHODIMP ReservedSubMenus() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_SubMenus(_xMenuCollection* rhs) noexcept override;
    STDMETHODIMP get_ArrayMenu(_xMenuCollection** rhs) noexcept override;
    STDMETHODIMP ReservedArrayMenu() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_ArrayMenu(_xMenuCollection* rhs) noexcept override;
    STDMETHODIMP put_Caption(BSTR rhs) noexcept override;
    STDMETHODIMP get_Caption(BSTR* rhs) noexcept override;
    STDMETHODIMP put_Key(BSTR rhs) noexcept override;
    STDMETHODIMP get_Key(BSTR* rhs) noexcept override;
    STDMETHODIMP put_Tag(BSTR rhs) noexcept override;
    STDMETHODIMP get_Tag(BSTR* rhs) noexcept override;
    STDMETHODIMP put_ID(LONG rhs) noexcept override;
    STDMETHODIMP get_ID(LONG* rhs) noexcept override;
    STDMETHODIMP get_Count(short* rhs) noexcept override;
    STDMETHODIMP put_Checked(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Checked(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Enabled(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_Visible(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_WindowsList(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_WindowsList(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_MaxButton(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_MaxButton(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_MinButton(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_MinButton(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_ControlBox(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_ControlBox(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_MenuSeperator(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_MenuSeperator(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_ShortCutFirstKey(xMenuShortCutFirstKeys rhs) noexcept override;
    STDMETHODIMP get_ShortCutFirstKey(xMenuShortCutFirstKeys* rhs) noexcept override;
    STDMETHODIMP put_ShortCutSecondKey(xMenuShortCutSecondKeys rhs) noexcept override;
    STDMETHODIMP get_ShortCutSecondKey(xMenuShortCutSecondKeys* rhs) noexcept override;
    STDMETHODIMP put_IsArray(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_IsArray(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP putref_ArrayParent(_xMenu* rhs) noexcept override;
    STDMETHODIMP get_ArrayParent(_xMenu** rhs) noexcept override;
    STDMETHODIMP put_IsArrayChild(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_IsArrayChild(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_ArrayIndex(short rhs) noexcept override;
    STDMETHODIMP get_ArrayIndex(short* rhs) noexcept override;
    STDMETHODIMP put_StartID(LONG rhs) noexcept override;
    STDMETHODIMP get_StartID(LONG* rhs) noexcept override;
    STDMETHODIMP put_ArrayCount(short rhs) noexcept override;
    STDMETHODIMP get_ArrayCount(short* rhs) noexcept override;
    STDMETHODIMP put_IsArrayBaseZero(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_IsArrayBaseZero(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP get_IsMenuDesigned(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP putref_CmdBarControl(ICommandBarControl* rhs) noexcept override;
    STDMETHODIMP get_CmdBarControl(ICommandBarControl** rhs) noexcept override;
    STDMETHODIMP putref_CmdBarPopup(ICommandBarPopup* rhs) noexcept override;
    STDMETHODIMP get_CmdBarPopup(ICommandBarPopup** rhs) noexcept override;
    STDMETHODIMP RenderMenu(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP GetMenu(LONG ID, _xMenu** result) noexcept override;
    STDMETHODIMP GetMenuFromSubMenu(_xMenu** objMenu, LONG ID, _xMenu** result) noexcept override;
    STDMETHODIMP RaiseClickEvent(short Index, VARIANT* result) noexcept override;
    STDMETHODIMP GetMenuList(_Collection** MenuList, VARIANT_BOOL* result) noexcept override;

private:
    // --- events and the two helpers of the setters (menu_node.cpp) -------------
    // Raises CustomError with the message followed by the suffix; false (and
    // no event) when that cannot be done.
    bool RaiseCustomError(long number, const wchar_t* message, const wchar_t* suffix) noexcept;
    // Copies `text` into `target`; false, with `target` unchanged, when the
    // copy cannot be made.
    static bool TryAssignText(Bstr& target, BSTR text) noexcept;
    void RaiseSystemError(long number, const std::wstring& description) noexcept;
    void RaiseClick() noexcept;
    void RaiseArrayClick(short index) noexcept;

    // A text setter's steps: store, or report custom error 1 with the
    // property's suffix.  True when stored.
    bool AssignText(Bstr& field, BSTR text, const wchar_t* suffix) noexcept;
    // Puts a new value into the rendered control (or else popup) of a
    // designed node; host errors go to the caller.
    void Forward(DISPID member, Variant value);

    // --- rendering (menu_render.cpp) ------------------------------------------
    void RenderTopLevel(IDispatch* command_bars);
    void RenderSubMenu(IDispatch* command_bars, IDispatch* bar, _xMenu* parent, long& running_id,
                       menu::Walk& walk) noexcept;
    void RenderMenuArray(IDispatch* bar, _xMenu* array_node, long& running_id, bool& group_start);

    // --- lookup (menu_lookup.cpp) ---------------------------------------------
    ComPtr<_xMenu> SearchBelow(_xMenu* start, long id, menu::Walk& walk) noexcept;
    void ReportSearchError(long number, const std::wstring& description) noexcept;

    // --- listing (menu_list.cpp) ----------------------------------------------
    static void AddSubMenusToList(IDispatch* list, _xMenu* parent, menu::Walk& walk);

    // The boundary of every COM method of the node: keeps the node alive
    // for the whole call (an event handler may release it meanwhile) and
    // turns errors into failed calls.
    template <class F>
    HRESULT AtBoundary(F&& body) noexcept;

    ConnectionPoint events_;
    ConnectionPoint* points_[1];
    LifeToken life_;

    ComPtr<_xMenuCollection> sub_menus_;
    ComPtr<_xMenuCollection> array_menu_;
    Bstr caption_;
    long id_ = 0;
    VARIANT_BOOL checked_ = VARIANT_FALSE;
    VARIANT_BOOL enabled_ = VARIANT_TRUE;
    VARIANT_BOOL visible_ = VARIANT_TRUE;
    VARIANT_BOOL separator_ = VARIANT_FALSE;
    Bstr tag_;
    long start_id_ = 0;
    Bstr key_;
    VARIANT_BOOL windows_list_ = VARIANT_FALSE;
    VARIANT_BOOL max_button_ = VARIANT_TRUE;
    VARIANT_BOOL min_button_ = VARIANT_TRUE;
    VARIANT_BOOL control_box_ = VARIANT_TRUE;
    long shortcut_first_ = 0;
    long shortcut_second_ = 0;
    VARIANT_BOOL is_array_ = VARIANT_FALSE;
    short array_count_ = 0;
    VARIANT_BOOL is_array_child_ = VARIANT_FALSE;
    BackReference<_xMenu> array_parent_;
    short array_index_ = 0;
    VARIANT_BOOL base_zero_ = VARIANT_TRUE;
    bool designed_ = false;
    ComPtr<ICommandBarControl> control_;
    ComPtr<ICommandBarPopup> popup_;
    // A generated entry: its array (identity only, never used as an object)
    // and the rendering that made it.
    const void* generated_by_ = nullptr;
    uint64_t generated_in_ = 0;
    // On a root: the rendering it is running now (0 when none).
    uint64_t rendering_ = 0;
};

template <class F>
HRESULT MenuNode::AtBoundary(F&& body) noexcept {
    ComPtr<IUnknown> keep(Unknown());
    return Boundary(__uuidof(_xMenu), L"zuvXCHandler.xMenu", std::forward<F>(body));
}

}  // namespace zuv
