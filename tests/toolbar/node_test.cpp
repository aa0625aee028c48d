// The xToolBar node: defaults, Buttons/ButtonMenus, live forwarding to the
// rendered control (early- and late-bound, including failing puts), the
// earlier identifiers, Parent, and a host's own nodes in our collections.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class ToolBarNode : public ToolBarTest {};

template <class I, class T>
T Read(HRESULT (STDMETHODCALLTYPE I::*getter)(T*), I* node) {
    T value{};
    EXPECT_EQ((node->*getter)(&value), S_OK);
    return value;
}

std::wstring Text(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(BSTR*), _xToolBar* node) {
    Bstr s;
    EXPECT_EQ((node->*getter)(s.Out()), S_OK);
    return s.Str();
}

// The description a failed early-bound call left behind.
std::wstring PendingDescription() {
    ComPtr<IErrorInfo> info;
    Bstr d;
    if (GetErrorInfo(0, info.Out()) == S_OK && info) info->GetDescription(d.Out());
    return d.Str();
}

TEST_F(ToolBarNode, Defaults) {
    ComPtr<_xToolBar> n = NewToolBar();
    for (auto get : {&_xToolBar::get_Caption, &_xToolBar::get_Text, &_xToolBar::get_TooltipText, &_xToolBar::get_Key,
                     &_xToolBar::get_Tag})
        EXPECT_EQ(Text(get, n.Get()), L"");
    for (auto get : {&_xToolBar::get_ID, &_xToolBar::get_ToolBarID, &_xToolBar::get_StartID, &_xToolBar::get_Left,
                     &_xToolBar::get_Top, &_xToolBar::get_Width, &_xToolBar::get_Height})
        EXPECT_EQ(Read(get, n.Get()), 0);
    EXPECT_EQ(Read(&_xToolBar::get_Value, n.Get()), xToolBarValue_tblUnPressed);
    EXPECT_EQ(Read(&_xToolBar::get_Checked, n.Get()), VARIANT_FALSE);
    EXPECT_EQ(Read(&_xToolBar::get_Enabled, n.Get()), VARIANT_TRUE);
    EXPECT_EQ(Read(&_xToolBar::get_Visible, n.Get()), VARIANT_TRUE);
    EXPECT_EQ(Read(&_xToolBar::get_ToolBarSeperator, n.Get()), VARIANT_FALSE);
    EXPECT_FALSE(IsDesigned(n.Get()) || ParentOf(n.Get()));
    EXPECT_EQ(ButtonLabel(n.Get()) + PopupLabel(n.Get()), L"");
    EXPECT_EQ(Read(&_xToolBarCollection::get_Count, ButtonsOf(n.Get()).Get()), 0);
    EXPECT_EQ(n->ReservedButtons(), E_NOTIMPL);

    // ButtonMenus is whatever Buttons holds, also after Buttons is replaced.
    ComPtr<_xToolBarCollection> menus;
    ComPtr<_xToolBar> other = NewToolBar();
    EXPECT_EQ(n->get_ButtonMenus(menus.Out()), S_OK);
    EXPECT_EQ(menus, ButtonsOf(n.Get()));
    n->putref_Buttons(ButtonsOf(other.Get()).Get());
    EXPECT_TRUE(Same(Object(Get(n.Get(), L"ButtonMenus").value), ButtonsOf(other.Get()).Get()));
    EXPECT_FALSE(PutRef(n.Get(), L"ButtonMenus", Variant::Object(menus.Get())).ok());
}

// A root with A (a plain button: Control#1, ID 1) and B (with the entry C:
// the popup Control#2, ID 2), rendered.
struct Rendered {
    ComPtr<_xToolBar> root = NewNode(), a, b;
    explicit Rendered(HostBars& host) {
        a = Add(root.Get(), NewNode(L"A"));
        b = Add(root.Get(), NewNode(L"B"));
        Add(b.Get(), NewNode(L"C"));
        EXPECT_TRUE(Render(root.Get(), host.Object()));
        host.ClearLog();
    }
};

TEST_F(ToolBarNode, DesignedNodeForwardsEachChangeWithOnePut) {
    Rendered t(Host());
    _xToolBar* a = t.a.Get();
    a->put_Caption(B(L"Cap").Get());
    a->put_Text(B(L"Txt").Get());
    a->put_TooltipText(B(L"Tip").Get());
    a->put_ID(7);
    a->put_ToolBarID(8);
    for (long v : {1, 5, 0}) a->put_Value(static_cast<xToolBarValue>(v));
    a->put_Checked(VARIANT_TRUE);
    a->put_Enabled(VARIANT_FALSE);
    a->put_Visible(VARIANT_FALSE);
    // Plain properties never reach the host.
    a->put_Key(B(L"k").Get());
    a->put_Tag(B(L"t").Get());
    a->put_StartID(1);
    a->put_ToolBarSeperator(VARIANT_FALSE);
    a->put_Left(1), a->put_Top(1), a->put_Width(1), a->put_Height(1);
    a->putref_Parent(t.b.Get());
    // A node with only a popup forwards to the popup.
    t.b->put_TooltipText(B(L"Popup tip").Get());

    Calls expected;
    for (const wchar_t* line : {L"put 4 (String \"Cap\")", L"put 4 (String \"Txt\")", L"put 10 (String \"Tip\")",
                                L"put 6 (Long 7)", L"name \"ToolBarID\"", L"put ToolBarID (Long 8)",
                                L"put 14 (Boolean True)", L"put 14 (Boolean True)", L"put 14 (Boolean False)",
                                L"put 14 (Boolean True)", L"put 13 (Boolean False)", L"put 12 (Boolean False)"})
        expected.Line(std::wstring(L"Control#1 ") + line);
    expected.Line(L"Control#2 put 10 (String \"Popup tip\")");
    EXPECT_CALLS(Host(), expected);

    // Where two properties share a control property each keeps its own value.
    EXPECT_EQ(Text(&_xToolBar::get_Caption, a) + Text(&_xToolBar::get_Text, a), L"CapTxt");
    EXPECT_EQ(Read(&_xToolBar::get_Value, a), xToolBarValue_tblUnPressed);
    EXPECT_EQ(Read(&_xToolBar::get_Checked, a), VARIANT_TRUE);
}

TEST_F(ToolBarNode, UndesignedNodeNeverCallsTheHost) {
    Rendered t(Host());
    ComPtr<_xToolBar> n = NewToolBar();
    ComPtr<ICommandBarButton> button;
    ComPtr<ICommandBarPopup> popup;
    t.a->get_CmdBarButton(button.Out());
    t.b->get_CmdBarPopup(popup.Out());
    n->putref_CmdBarButton(button.Get());
    n->putref_CmdBarPopup(popup.Get());
    EXPECT_EQ(n->put_Caption(B(L"x").Get()) | n->put_Text(B(L"x").Get()) | n->put_TooltipText(B(L"x").Get()) |
                  n->put_ID(1) | n->put_ToolBarID(1) | n->put_Value(xToolBarValue_tblPressed) |
                  n->put_Checked(VARIANT_TRUE) | n->put_Enabled(VARIANT_FALSE) | n->put_Visible(VARIANT_FALSE),
              S_OK);
    EXPECT_TRUE(Host().Log().empty()) << Lines(Host().Log());
}

TEST_F(ToolBarNode, FailingForwardingFailsTheAssignmentOnly) {
    Rendered t(Host());
    IDispatch* a = t.a.Get();
    EventRecorder events(a, DIID___xToolBar);
    EXPECT_TRUE(Put(a, L"Caption", Variant::String(L"Late")).ok());
    EXPECT_EQ(Str(Host().ControlProp(1, L"Caption")), L"Late");

    // The host destroyed the control: the host's error reaches the caller,
    // the field holds the new value.
    EXPECT_EQ(Host().DestroyControl(1), 1);
    LateResult r = Put(a, L"Caption", Variant::String(L"Gone"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(r.description, L"The control has been destroyed");
    EXPECT_EQ(Str(Get(a, L"Caption").value), L"Gone");
    EXPECT_EQ(t.a->put_Visible(VARIANT_FALSE), static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(PendingDescription(), L"The control has been destroyed");

    // A control without a ToolBarID member: error 438, the value is kept.
    ComPtr<IDispatch> bare = NewBareControl();
    t.a->putref_CmdBarButton(reinterpret_cast<ICommandBarButton*>(bare.Get()));
    r = Put(a, L"ToolBarID", Variant::Long(42));
    EXPECT_EQ(r.number, 438);
    EXPECT_EQ(r.description, L"Object doesn't support this property or method");
    EXPECT_EQ(Long(Get(a, L"ToolBarID").value), 42);
    EXPECT_EQ(t.a->put_ToolBarID(43), MAKE_HRESULT(1, FACILITY_CONTROL, 438));
    EXPECT_EQ(PendingDescription(), L"Object doesn't support this property or method");
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(ToolBarNode, EarlierInterfaceAndEventIdentifiers) {
    ComPtr<_xToolBar> n = NewNode(L"N");
    ComPtr<IUnknown> v0 = n.AsIID(kIidToolBarV0);
    ASSERT_TRUE(v0);
    EXPECT_EQ(Text(&_xToolBar::get_Caption, reinterpret_cast<_xToolBar*>(v0.Get())), L"N");

    // Sinks of both event identifiers receive every event.
    EventRecorder current(n.Get(), DIID___xToolBar);
    EventRecorder earlier(n.Get(), kIidToolBarEventsV1);
    VARIANT result;
    n->RaiseClickEvent(n.Get(), &result);
    EXPECT_FALSE(Render(n.Get(), nullptr));
    EXPECT_EQ(current.Joined(), L"ButtonClick(obj); CustomError(2, Object Not Created)");
    EXPECT_EQ(earlier.Joined(), current.Joined());
    EXPECT_TRUE(Same(earlier.Objects().at(0).Get(), n.Get()));
}

TEST_F(ToolBarNode, ParentAndHostOwnNodes) {
    // Our own node as Parent is not kept alive by it.
    ComPtr<_xToolBar> child = NewToolBar();
    child->putref_Parent(NewToolBar().Get());
    EXPECT_FALSE(ParentOf(child.Get()));

    // The host's own node is held counted.
    child->putref_Parent(NewForeignNode().Get());
    EXPECT_EQ(ForeignNodesAlive(), 1);
    EXPECT_TRUE(ParentOf(child.Get()));
    child.Reset();
    EXPECT_EQ(ForeignNodesAlive(), 0);

    // Added to our collection with a key, it gets the key through its Key property.
    ComPtr<_xToolBar> root = NewToolBar(), stranger = NewForeignNode();
    _xToolBar* raw = stranger.Get();
    Bstr key(L"Mine");
    BSTR raw_key = key.Get();
    ComPtr<_xToolBar> added;
    EXPECT_EQ(ButtonsOf(root.Get())->Add(&raw, &raw_key, added.Out()), S_OK);
    EXPECT_EQ(Text(&_xToolBar::get_Key, stranger.Get()), L"Mine");
    EXPECT_TRUE(Same(Object(Get(ButtonsOf(root.Get()).Get(), L"Item", {Variant::String(L"MINE")}).value), raw));
}

}  // namespace
}  // namespace zuv::test
