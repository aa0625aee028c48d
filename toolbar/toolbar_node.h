// xToolBar: one node of a toolbar tree (the toolbar itself, a button or a
// drop-down entry), its properties, the live forwarding of property changes
// to its rendered control, rendering (toolbar_render.cpp), lookup and click
// dispatch (toolbar_lookup.cpp).  What it shares with the menu node is in
// core/node_base.h.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "core/node_base.h"
#include "frame/wrappers.h"
#include "toolbar_collection.h"
#include "toolbar_internal.h"
#include "zuvXCHandler.h"

namespace zuv {

// Creates a node (the class factory of xToolBar).
HRESULT CreateToolBarNode(REFIID iid, void** object) noexcept;

// Earlier identifiers of the toolbar interface and of its event interface,
// still answered.
inline constexpr const IID& kIidToolBarV0 = IID__xToolBar_v0;
inline constexpr const IID& kIidToolBarEventsV1 = IID___xToolBar_v1;

// The toolbar's rarely set fields (see NodeBase).
struct ToolBarRarely {
    Bstr tooltip_text;
    Bstr text;
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
};

class ToolBarNode final
    : public NodeBase<ToolBarNode, _xToolBar, ICommandBarButton, IToolBarInternal, ToolBarRarely, 2> {
public:
    static constexpr const wchar_t* kSource = L"zuvXCHandler.xToolBar";
    static constexpr auto kPutControl = &_xToolBar::putref_CmdBarButton;

    static const CLSID& ClassId() noexcept { return CLSID_xToolBar; }
    static const IID& SourceIid() noexcept { return DIID___xToolBar; }
    // Its events go out through the earlier event interface too.
    static std::array<const IID*, 2> EventIids() noexcept { return {&DIID___xToolBar, &kIidToolBarEventsV1}; }
    void* QueryExtra(REFIID riid) noexcept;
    void ReleaseChildren() noexcept;

    // --- _xToolBar (the properties both families share are in NodeBase) -------
    // --- the walks' internal path: the toolbar's own plain fields (see Peek) -----
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(VARIANT_BOOL*), VARIANT_BOOL& value) const noexcept {
        if (getter != &_xToolBar::get_ToolBarSeperator) return false;
        value = ToVB(separator_);
        return true;
    }
    // Buttons only: ButtonMenus reads through Buttons, as a call does.
    // A collection not made yet: its getter is called, and makes it.
    bool PeekOwn(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(_xToolBarCollection**),
                 ComPtr<_xToolBarCollection>& value) const noexcept {
        if (getter != &_xToolBar::get_Buttons || !buttons_made_) return false;
        value = buttons_;
        return true;
    }
    // False while Buttons has never been made: the node has no entries.
    bool ChildrenMade() const noexcept { return buttons_made_; }
    template <class Getter, class T>
    bool PeekOwn(Getter, T&) const noexcept {
        return false;
    }

    STDMETHODIMP get_Buttons(_xToolBarCollection** rhs) noexcept override {
        return GetCollection(rhs, buttons_, buttons_made_, &ToolBarCollection::New);
    }
    STDMETHODIMP ReservedButtons() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_Buttons(_xToolBarCollection* rhs) noexcept override {
        return PutCollection(buttons_, buttons_made_, rhs);
    }
    STDMETHODIMP putref_Parent(_xToolBar* rhs) noexcept override { return PutUp(rhs); }
    STDMETHODIMP get_Parent(_xToolBar** rhs) noexcept override { return GetRef(rhs, up_.Get()); }
    // Another name for Buttons: always the collection Buttons holds right now.
    STDMETHODIMP get_ButtonMenus(_xToolBarCollection** rhs) noexcept override { return get_Buttons(rhs); }
    STDMETHODIMP put_Value(xToolBarValue rhs) noexcept override;
    STDMETHODIMP get_Value(xToolBarValue* rhs) noexcept override { return Get(rhs, value_); }
    STDMETHODIMP put_Left(LONG rhs) noexcept override { return PutRare(&RareBlock::left, rhs); }
    STDMETHODIMP get_Left(LONG* rhs) noexcept override { return Get(rhs, Rare().left); }
    STDMETHODIMP put_Top(LONG rhs) noexcept override { return PutRare(&RareBlock::top, rhs); }
    STDMETHODIMP get_Top(LONG* rhs) noexcept override { return Get(rhs, Rare().top); }
    STDMETHODIMP put_Width(LONG rhs) noexcept override { return PutRare(&RareBlock::width, rhs); }
    STDMETHODIMP get_Width(LONG* rhs) noexcept override { return Get(rhs, Rare().width); }
    STDMETHODIMP put_Height(LONG rhs) noexcept override { return PutRare(&RareBlock::height, rhs); }
    STDMETHODIMP get_Height(LONG* rhs) noexcept override { return Get(rhs, Rare().height); }
    // Text shares the control's caption with Caption; each keeps its own field.
    STDMETHODIMP put_Text(BSTR rhs) noexcept override {
        return PutText(RareText(&RareBlock::text), rhs, L" for property named Text", bars::id::kCaption);
    }
    STDMETHODIMP get_Text(BSTR* rhs) noexcept override { return GetText(rhs, Rare().text); }
    STDMETHODIMP put_TooltipText(BSTR rhs) noexcept override {
        return PutText(RareText(&RareBlock::tooltip_text), rhs, L" for property named TooltipText",
                       bars::id::kTooltip);
    }
    STDMETHODIMP get_TooltipText(BSTR* rhs) noexcept override { return GetText(rhs, Rare().tooltip_text); }
    STDMETHODIMP put_ToolBarID(LONG rhs) noexcept override;
    STDMETHODIMP get_ToolBarID(LONG* rhs) noexcept override { return Get(rhs, toolbar_id_); }
    STDMETHODIMP put_ToolBarSeperator(VARIANT_BOOL rhs) noexcept override { return PutFlag(separator_, rhs); }
    STDMETHODIMP get_ToolBarSeperator(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(separator_)); }
    STDMETHODIMP get_IsToolBarDesigned(VARIANT_BOOL* rhs) noexcept override { return Get(rhs, ToVB(designed_)); }
    STDMETHODIMP RenderToolBar(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP GetToolBar(LONG ID, _xToolBar** result) noexcept override;
    STDMETHODIMP GetToolBarFromSubToolBar(_xToolBar** objToolbar, LONG ID, _xToolBar** result) noexcept override;
    STDMETHODIMP RaiseClickEvent(_xToolBar* objIco, VARIANT* result) noexcept override;
    STDMETHODIMP putref_CmdBarButton(ICommandBarButton* rhs) noexcept override { return PutRef(control_, rhs); }
    STDMETHODIMP get_CmdBarButton(ICommandBarButton** rhs) noexcept override { return GetRef(rhs, control_); }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

private:
    // Rendering (toolbar_render.cpp) and lookup (toolbar_lookup.cpp).
    void RenderTopLevel(IDispatch* command_bars);
    // The top level differs from the levels below it (see RenderLevel).
    enum class Level { kTop, kBelow };
    void RenderLevel(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk, Level level);
    bool RenderSubToolBar(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk) noexcept;
    ComPtr<_xToolBar> SearchBelow(_xToolBar* start, long id, Walk& walk);

    // What the walks read first, together.
    ComPtr<_xToolBarCollection> buttons_;
    bool separator_ = false;
    bool buttons_made_ = false;
    xToolBarValue value_ = xToolBarValue_tblUnPressed;
    LONG toolbar_id_ = 0;
};

}  // namespace zuv
