// xToolBar: one node of a toolbar tree (the toolbar itself, a button or a
// drop-down entry), its properties, the live forwarding of property changes
// to its rendered control, rendering, lookup and click dispatch.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <string>
#include <utility>

#include "core/back_reference.h"
#include "frame/error.h"
#include "frame/wrappers.h"
#include "frame/events.h"
#include "toolbar_internal.h"
#include "zuvXCHandler.h"

namespace zuv {

// Creates a node (the class factory of xToolBar).
HRESULT CreateToolBarNode(REFIID iid, void** object) noexcept;

// Earlier identifiers of the toolbar interface and of its event interface,
// still answered.
inline constexpr const IID& kIidToolBarV0 = IID__xToolBar_v0;
inline constexpr const IID& kIidToolBarEventsV1 = IID___xToolBar_v1;

class ToolBarNode final : public EventSourceObject<ToolBarNode, _xToolBar, IToolBarInternal> {
public:
    ToolBarNode();

    static const CLSID& ClassId() noexcept { return CLSID_xToolBar; }
    static const IID& SourceIid() noexcept { return DIID___xToolBar; }
    ConnectionPoint* const* Points(size_t& count) noexcept {
        count = 2;
        return points_;
    }
    void* QueryExtra(REFIID riid) noexcept;
    void FinalRelease() noexcept;

    // --- internal operations -------------------------------------------------
    ToolBarNode* STDMETHODCALLTYPE Self(const void* module_tag) noexcept override;
    void SetToolBarDesigned(bool value) noexcept { designed_ = value; }
    // Rendering's numbering of the node: stores the ID and puts it into the
    // node's control, as the ID property does.  That control belongs to an
    // earlier rendering and is about to be replaced (its command bars may be
    // gone already), so a failure there is not an error of the rendering.
    void SetRenderedId(long id);
    // Rendering has just given the node a control of one role (a popup, or
    // else a button): a reference of the other role, left by an earlier
    // rendering, goes, so that changes reach the control rendered last.
    void KeepOnlyRole(bool popup) noexcept;
    const LifeToken& Life() const noexcept { return life_; }
    _xToolBar* Interface() noexcept { return this; }

    // --- _xToolBar -----------------------------------------------------------
    STDMETHODIMP get_Buttons(_xToolBarCollection** rhs) noexcept override;
    STDMETHODIMP ReservedButtons() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_Buttons(_xToolBarCollection* rhs) noexcept override;
    STDMETHODIMP putref_Parent(_xToolBar* rhs) noexcept override;
    STDMETHODIMP get_Parent(_xToolBar** rhs) noexcept override;
    STDMETHODIMP get_ButtonMenus(_xToolBarCollection** rhs) noexcept override;
    STDMETHODIMP put_Value(xToolBarValue rhs) noexcept override;
    STDMETHODIMP get_Value(xToolBarValue* rhs) noexcept override;
    STDMETHODIMP put_StartID(LONG rhs) noexcept override;
    STDMETHODIMP get_StartID(LONG* rhs) noexcept override;
    STDMETHODIMP put_Left(LONG rhs) noexcept override;
    STDMETHODIMP get_Left(LONG* rhs) noexcept override;
    STDMETHODIMP put_Top(LONG rhs) noexcept override;
    STDMETHODIMP get_Top(LONG* rhs) noexcept override;
    STDMETHODIMP put_Width(LONG rhs) noexcept override;
    STDMETHODIMP get_Width(LONG* rhs) noexcept override;
    STDMETHODIMP put_Height(LONG rhs) noexcept override;
    STDMETHODIMP get_Height(LONG* rhs) noexcept override;
    STDMETHODIMP put_Caption(BSTR rhs) noexcept override;
    STDMETHODIMP get_Caption(BSTR* rhs) noexcept override;
    STDMETHODIMP put_Text(BSTR rhs) noexcept override;
    STDMETHODIMP get_Text(BSTR* rhs) noexcept override;
    STDMETHODIMP put_TooltipText(BSTR rhs) noexcept override;
    STDMETHODIMP get_TooltipText(BSTR* rhs) noexcept override;
    STDMETHODIMP put_Key(BSTR rhs) noexcept override;
    STDMETHODIMP get_Key(BSTR* rhs) noexcept override;
    STDMETHODIMP put_Tag(BSTR rhs) noexcept override;
    STDMETHODIMP get_Tag(BSTR* rhs) noexcept override;
    STDMETHODIMP put_ID(LONG rhs) noexcept override;
    STDMETHODIMP get_ID(LONG* rhs) noexcept override;
    STDMETHODIMP put_ToolBarID(LONG rhs) noexcept override;
    STDMETHODIMP get_ToolBarID(LONG* rhs) noexcept override;
    STDMETHODIMP put_Checked(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Checked(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Enabled(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_Visible(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP put_ToolBarSeperator(VARIANT_BOOL rhs) noexcept override;
    STDMETHODIMP get_ToolBarSeperator(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP get_IsToolBarDesigned(VARIANT_BOOL* rhs) noexcept override;
    STDMETHODIMP RenderToolBar(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP GetToolBar(LONG ID, _xToolBar** result) noexcept override;
    STDMETHODIMP GetToolBarFromSubToolBar(_xToolBar** objToolbar, LONG ID, _xToolBar** result) noexcept override;
    STDMETHODIMP RaiseClickEvent(_xToolBar* objIco, VARIANT* result) noexcept override;
    STDMETHODIMP putref_CmdBarButton(ICommandBarButton* rhs) noexcept override;
    STDMETHODIMP get_CmdBarButton(ICommandBarButton** rhs) noexcept override;
    STDMETHODIMP putref_CmdBarPopup(ICommandBarPopup* rhs) noexcept override;
    STDMETHODIMP get_CmdBarPopup(ICommandBarPopup** rhs) noexcept override;

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

    ~ToolBarNode() override = default;

private:
    // Error events and the two helpers of the text setters.
    bool RaiseCustomError(long number, const wchar_t* message, const wchar_t* suffix) noexcept;
    static bool TryAssignText(Bstr& target, BSTR text) noexcept;
    void RaiseSystemError(long number, const std::wstring& description) noexcept;
    void RaiseButtonClick(IDispatch* button) noexcept;

    // Setter steps.
    bool AssignGuardedText(Bstr& field, BSTR text, const wchar_t* suffix) noexcept;
    ComPtr<IDispatch> ForwardTarget() const noexcept;
    void ForwardBool(DISPID member, bool value);
    void ForwardLong(DISPID member, long value);
    void ForwardString(DISPID member, BSTR value);

    // Rendering (toolbar_render.cpp) and lookup (toolbar_lookup.cpp).
    void RenderTopLevel(IDispatch* command_bars);
    bool RenderSubToolBar(IDispatch* bar, _xToolBar* owner, long& running_id, Walk& walk) noexcept;
    ComPtr<_xToolBar> SearchBelow(_xToolBar* start, long id, Walk& walk);

    // The boundary of every COM method of the node.
    template <class F>
    static HRESULT AtBoundary(F&& body) noexcept {
        return zuv::Boundary(__uuidof(_xToolBar), L"zuvXCHandler.xToolBar", std::forward<F>(body));
    }

    ConnectionPoint events_;
    ConnectionPoint events_v1_;
    ConnectionPoint* points_[2];
    LifeToken life_;

    ComPtr<_xToolBarCollection> buttons_;
    Bstr caption_;
    Bstr tooltip_text_;
    Bstr key_;
    Bstr tag_;
    long id_ = 0;
    long toolbar_id_ = 0;
    VARIANT_BOOL checked_ = VARIANT_FALSE;
    VARIANT_BOOL enabled_ = VARIANT_TRUE;
    VARIANT_BOOL visible_ = VARIANT_TRUE;
    VARIANT_BOOL separator_ = VARIANT_FALSE;
    long value_ = 0;
    Bstr text_;
    BackReference<_xToolBar> parent_;
    long left_ = 0;
    long top_ = 0;
    long width_ = 0;
    long height_ = 0;
    long start_id_ = 0;
    bool designed_ = false;
    ComPtr<ICommandBarButton> cmd_bar_button_;
    ComPtr<ICommandBarPopup> cmd_bar_popup_;
};

}  // namespace zuv
