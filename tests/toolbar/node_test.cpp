// The xToolBar node and its collection: defaults, the Buttons/ButtonMenus
// identity, live forwarding to the rendered control (early- and late-bound,
// including failing puts), the earlier identifiers, Parent, and a host's
// own implementations of the two interfaces.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class Node : public ToolBarTest {};

std::wstring Text(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(BSTR*), _xToolBar* node) {
    Bstr s;
    EXPECT_EQ((node->*getter)(s.Out()), S_OK);
    return s.Str();
}

long Number(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(LONG*), _xToolBar* node) {
    LONG n = -1;
    EXPECT_EQ((node->*getter)(&n), S_OK);
    return n;
}

VARIANT_BOOL Flag(HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(VARIANT_BOOL*), _xToolBar* node) {
    VARIANT_BOOL b = 7;
    EXPECT_EQ((node->*getter)(&b), S_OK);
    return b;
}

// The error information a failed early-bound call left behind.
std::wstring PendingDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Out()) != S_OK || !info) return L"";
    Bstr d;
    info->GetDescription(d.Out());
    return d.Str();
}

TEST_F(Node, NewNodeHasItsDefaults) {
    ComPtr<_xToolBar> n = NewToolBar();
    for (auto getter : {&_xToolBar::get_Caption, &_xToolBar::get_Text, &_xToolBar::get_TooltipText,
                        &_xToolBar::get_Key, &_xToolBar::get_Tag})
        EXPECT_EQ(Text(getter, n.Get()), L"");
    for (auto getter : {&_xToolBar::get_ID, &_xToolBar::get_ToolBarID, &_xToolBar::get_StartID,
                        &_xToolBar::get_Left, &_xToolBar::get_Top, &_xToolBar::get_Width, &_xToolBar::get_Height})
        EXPECT_EQ(Number(getter, n.Get()), 0);
    xToolBarValue value = xToolBarValue_tblPressed;
    EXPECT_EQ(n->get_Value(&value), S_OK);
    EXPECT_EQ(value, xToolBarValue_tblUnPressed);
    EXPECT_EQ(Flag(&_xToolBar::get_Checked, n.Get()), VARIANT_FALSE);
    EXPECT_EQ(Flag(&_xToolBar::get_Enabled, n.Get()), VARIANT_TRUE);
    EXPECT_EQ(Flag(&_xToolBar::get_Visible, n.Get()), VARIANT_TRUE);
    EXPECT_EQ(Flag(&_xToolBar::get_ToolBarSeperator, n.Get()), VARIANT_FALSE);
    EXPECT_EQ(Flag(&_xToolBar::get_IsToolBarDesigned, n.Get()), VARIANT_FALSE);
    EXPECT_FALSE(ParentOf(n.Get()));
    EXPECT_FALSE(ButtonControlOf(n.Get()));
    EXPECT_FALSE(PopupControlOf(n.Get()));
    long count = -1;
    EXPECT_EQ(ButtonsOf(n.Get())->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(n->ReservedButtons(), E_NOTIMPL);
}

TEST_F(Node, ButtonMenusIsAlwaysTheButtonsCollection) {
    ComPtr<_xToolBar> n = NewToolBar();
    ComPtr<_xToolBarCollection> menus;
    EXPECT_EQ(n->get_ButtonMenus(menus.Out()), S_OK);
    EXPECT_EQ(menus, ButtonsOf(n.Get()));

    ComPtr<_xToolBar> other = NewToolBar();
    EXPECT_EQ(n->putref_Buttons(ButtonsOf(other.Get()).Get()), S_OK);
    EXPECT_EQ(n->get_ButtonMenus(menus.Out()), S_OK);
    EXPECT_EQ(menus, ButtonsOf(other.Get()));

    // Late-bound too; ButtonMenus cannot be assigned.
    EXPECT_TRUE(Same(Object(Get(n.Get(), L"ButtonMenus").value), ButtonsOf(other.Get()).Get()));
    EXPECT_FALSE(PutRef(n.Get(), L"ButtonMenus", Variant::Object(ButtonsOf(n.Get()).Get())).ok());
}

TEST_F(Node, CollectionKeysPositionsAndErrors) {
    ComPtr<_xToolBar> root = NewToolBar();
    ComPtr<_xToolBarCollection> buttons = ButtonsOf(root.Get());
    ComPtr<_xToolBar> a = NewNode(L"A"), b = NewNode(L"B"), c = NewNode(L"C");
    EXPECT_EQ(a->put_Key(B(L"old").Get()), S_OK);

    // Late-bound Add without the optional key keeps the node's Key.
    EXPECT_TRUE(Call(buttons.Get(), L"Add", {Variant::Object(a.Get())}).ok());
    EXPECT_EQ(Text(&_xToolBar::get_Key, a.Get()), L"old");
    EXPECT_TRUE(Call(buttons.Get(), L"Add", {Variant::Object(b.Get()), Variant::String(L"KeyB")}).ok());
    EXPECT_EQ(Text(&_xToolBar::get_Key, b.Get()), L"KeyB");
    // A duplicate key fails with 457, after the node's Key was set.
    LateResult dup = Call(buttons.Get(), L"Add", {Variant::Object(c.Get()), Variant::String(L"keyb")});
    EXPECT_EQ(dup.number, 457);
    EXPECT_EQ(Text(&_xToolBar::get_Key, c.Get()), L"keyb");
    Add(root.Get(), c);

    EXPECT_TRUE(Same(Object(Get(buttons.Get(), L"Item", {Variant::String(L"KEYB")}).value), b.Get()));
    EXPECT_EQ(Get(buttons.Get(), L"Item", {Variant::Long(0)}).number, 9);
    EXPECT_EQ(Get(buttons.Get(), L"Item", {Variant::String(L"none")}).number, 5);

    // Removing the first makes the second the first.
    Variant first = Variant::Long(1);
    EXPECT_EQ(buttons->Remove(first.Get()), S_OK);
    EXPECT_TRUE(Same(Object(InvokeId(buttons.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant::Long(1)}).value),
                     b.Get()));
    EXPECT_EQ(Long(Get(buttons.Get(), L"Count").value), 2);
}

// Renders a root with A (a plain button) and B (with the entry C): A holds
// Control#1, B the popup Control#2.
struct Rendered {
    ComPtr<_xToolBar> root, a, b, c;
    explicit Rendered(HostBars& host) {
        root = NewNode();
        a = Add(root.Get(), NewNode(L"A"));
        b = Add(root.Get(), NewNode(L"B"));
        c = Add(b.Get(), NewNode(L"C"));
        EXPECT_TRUE(Render(root.Get(), host.Object()));
        host.ClearLog();
    }
};

TEST_F(Node, DesignedNodeForwardsEachChangeWithOnePut) {
    Rendered t(Host());
    _xToolBar* a = t.a.Get();
    EXPECT_EQ(a->put_Caption(B(L"Cap").Get()), S_OK);
    EXPECT_EQ(a->put_Text(B(L"Txt").Get()), S_OK);
    EXPECT_EQ(a->put_TooltipText(B(L"Tip").Get()), S_OK);
    EXPECT_EQ(a->put_ID(7), S_OK);
    EXPECT_EQ(a->put_ToolBarID(8), S_OK);
    EXPECT_EQ(a->put_Value(xToolBarValue_tblPressed), S_OK);
    EXPECT_EQ(a->put_Value(static_cast<xToolBarValue>(5)), S_OK);
    EXPECT_EQ(a->put_Value(xToolBarValue_tblUnPressed), S_OK);
    EXPECT_EQ(a->put_Checked(VARIANT_TRUE), S_OK);
    EXPECT_EQ(a->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_EQ(a->put_Visible(VARIANT_FALSE), S_OK);
    // Plain properties never reach the host.
    EXPECT_EQ(a->put_Key(B(L"k").Get()), S_OK);
    EXPECT_EQ(a->put_Tag(B(L"t").Get()), S_OK);
    EXPECT_EQ(a->put_StartID(1), S_OK);
    EXPECT_EQ(a->put_ToolBarSeperator(VARIANT_FALSE), S_OK);
    EXPECT_EQ(a->put_Left(1), S_OK);
    EXPECT_EQ(a->put_Top(1), S_OK);
    EXPECT_EQ(a->put_Width(1), S_OK);
    EXPECT_EQ(a->put_Height(1), S_OK);
    EXPECT_EQ(a->putref_Parent(t.b.Get()), S_OK);
    // Only a popup: the popup receives it.
    EXPECT_EQ(t.b->put_TooltipText(B(L"Popup tip").Get()), S_OK);

    Calls expected;
    expected.Add(L"Control#1 put 4 (String \"Cap\")")
        .Add(L"Control#1 put 4 (String \"Txt\")")
        .Add(L"Control#1 put 10 (String \"Tip\")")
        .Add(L"Control#1 put 6 (Long 7)")
        .Add(L"Control#1 name \"ToolBarID\"")
        .Add(L"Control#1 put ToolBarID (Long 8)")
        .Add(L"Control#1 put 14 (Boolean True)")
        .Add(L"Control#1 put 14 (Boolean True)")
        .Add(L"Control#1 put 14 (Boolean False)")
        .Add(L"Control#1 put 14 (Boolean True)")
        .Add(L"Control#1 put 13 (Boolean False)")
        .Add(L"Control#1 put 12 (Boolean False)")
        .Add(L"Control#2 put 10 (String \"Popup tip\")");
    EXPECT_CALLS(Host(), expected);

    // Each property keeps its own value where two share a control property.
    EXPECT_EQ(Text(&_xToolBar::get_Caption, a), L"Cap");
    EXPECT_EQ(Text(&_xToolBar::get_Text, a), L"Txt");
    xToolBarValue value = xToolBarValue_tblPressed;
    EXPECT_EQ(a->get_Value(&value), S_OK);
    EXPECT_EQ(value, xToolBarValue_tblUnPressed);
    EXPECT_EQ(Flag(&_xToolBar::get_Checked, a), VARIANT_TRUE);
    EXPECT_EQ(Str(Host().ControlProp(L"Control#1", L"Caption")), L"Txt");
    EXPECT_EQ(Long(Host().ControlProp(L"Control#1", L"ToolBarID")), 8);
}

TEST_F(Node, UndesignedNodeNeverCallsTheHost) {
    Rendered t(Host());
    ComPtr<_xToolBar> n = NewToolBar();
    // Controls set by the host do not make it a rendered node.
    EXPECT_EQ(n->putref_CmdBarButton(ButtonControlOf(t.a.Get()).Get()), S_OK);
    EXPECT_EQ(n->putref_CmdBarPopup(PopupControlOf(t.b.Get()).Get()), S_OK);
    EXPECT_EQ(n->put_Caption(B(L"x").Get()), S_OK);
    EXPECT_EQ(n->put_Text(B(L"x").Get()), S_OK);
    EXPECT_EQ(n->put_TooltipText(B(L"x").Get()), S_OK);
    EXPECT_EQ(n->put_ID(1), S_OK);
    EXPECT_EQ(n->put_ToolBarID(1), S_OK);
    EXPECT_EQ(n->put_Value(xToolBarValue_tblPressed), S_OK);
    EXPECT_EQ(n->put_Checked(VARIANT_TRUE), S_OK);
    EXPECT_EQ(n->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_EQ(n->put_Visible(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(Host().Log().empty()) << Lines(Host().Log());
    EXPECT_EQ(Number(&_xToolBar::get_ToolBarID, n.Get()), 1);
}

TEST_F(Node, LateBoundForwardingAndItsFailures) {
    Rendered t(Host());
    IDispatch* a = t.a.Get();
    EventRecorder events(t.a.Get(), DIID___xToolBar);

    EXPECT_TRUE(Put(a, L"Caption", Variant::String(L"Late")).ok());
    EXPECT_TRUE(Put(a, L"Enabled", Variant::Bool(false)).ok());
    EXPECT_TRUE(Put(a, L"Value", Variant::Long(1)).ok());
    Calls expected;
    expected.Add(L"Control#1 put 4 (String \"Late\")")
        .Add(L"Control#1 put 13 (Boolean False)")
        .Add(L"Control#1 put 14 (Boolean True)");
    EXPECT_CALLS(Host(), expected);
    EXPECT_EQ(Str(Get(a, L"Caption").value), L"Late");

    // The host destroyed the control: the assignment itself fails with the
    // host's error, the field holds the new value, and no event is raised.
    EXPECT_EQ(Host().DestroyControl(1), 1);
    LateResult r = Put(a, L"Caption", Variant::String(L"Gone"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(r.description, L"The control has been destroyed");
    EXPECT_EQ(Str(Get(a, L"Caption").value), L"Gone");

    SetErrorInfo(0, nullptr);
    EXPECT_EQ(t.a->put_Visible(VARIANT_FALSE), static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(PendingDescription(), L"The control has been destroyed");
    EXPECT_EQ(Flag(&_xToolBar::get_Visible, t.a.Get()), VARIANT_FALSE);

    // A control without a ToolBarID member: error 438, the value is kept.
    ComPtr<IDispatch> bare = NewBareControl();
    EXPECT_EQ(t.a->putref_CmdBarButton(reinterpret_cast<ICommandBarButton*>(bare.Get())), S_OK);
    LateResult missing = Put(a, L"ToolBarID", Variant::Long(42));
    EXPECT_EQ(missing.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(missing.number, 438);
    EXPECT_EQ(missing.description, L"Object doesn't support this property or method");
    EXPECT_EQ(Long(Get(a, L"ToolBarID").value), 42);
    EXPECT_EQ(t.a->put_ToolBarID(43), MAKE_HRESULT(1, FACILITY_CONTROL, 438));
    EXPECT_EQ(PendingDescription(), L"Object doesn't support this property or method");

    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(Node, EarlierInterfaceAndEventIdentifiers) {
    ComPtr<_xToolBar> n = NewNode(L"N");
    ComPtr<IUnknown> v0 = ComPtr<_xToolBar>(n).AsIID(kIidToolBarV0);
    ASSERT_TRUE(v0);
    // Same function table as the current interface.
    auto* through_v0 = reinterpret_cast<_xToolBar*>(v0.Get());
    EXPECT_EQ(Text(&_xToolBar::get_Caption, through_v0), L"N");
    EXPECT_EQ(through_v0->put_StartID(5), S_OK);
    EXPECT_EQ(Number(&_xToolBar::get_StartID, n.Get()), 5);

    // Sinks of both event identifiers receive every event.
    EventRecorder current(n.Get(), DIID___xToolBar);
    EventRecorder earlier(n.Get(), kIidToolBarEventsV1);
    VARIANT result;
    EXPECT_EQ(n->RaiseClickEvent(n.Get(), &result), S_OK);
    EXPECT_FALSE(Render(n.Get(), nullptr));
    EXPECT_EQ(current.Joined(), L"ButtonClick(obj); CustomError(2, Object Not Created)");
    EXPECT_EQ(earlier.Joined(), current.Joined());
    ASSERT_EQ(earlier.Objects().size(), 1u);
    EXPECT_TRUE(Same(earlier.Objects()[0].Get(), n.Get()));
}

TEST_F(Node, ParentOfOwnNodeDoesNotKeepItAlive) {
    ComPtr<_xToolBar> child = NewToolBar();
    {
        ComPtr<_xToolBar> parent = NewToolBar();
        EXPECT_EQ(child->putref_Parent(parent.Get()), S_OK);
        EXPECT_TRUE(Same(ParentOf(child.Get()).Get(), parent.Get()));
    }
    EXPECT_FALSE(ParentOf(child.Get()));

    // A rendered pair does not keep itself alive either (checked at teardown).
    ExampleTree t;
    EXPECT_TRUE(Render(t.root.Get(), Host().Object()));
}

TEST_F(Node, HostOwnNodeAsParentIsHeldCounted) {
    ComPtr<_xToolBar> child = NewToolBar();
    {
        ComPtr<_xToolBar> stranger = NewForeignNode();
        EXPECT_EQ(child->putref_Parent(stranger.Get()), S_OK);
    }
    EXPECT_EQ(ForeignNodesAlive(), 1);
    ComPtr<_xToolBar> parent = ParentOf(child.Get());
    EXPECT_TRUE(parent);
    parent.Reset();
    child.Reset();
    EXPECT_EQ(ForeignNodesAlive(), 0);
}

TEST_F(Node, HostOwnNodeInOurCollection) {
    ComPtr<_xToolBar> root = NewToolBar();
    ComPtr<_xToolBar> stranger = NewForeignNode();
    _xToolBar* raw = stranger.Get();
    Bstr key(L"Mine");
    BSTR raw_key = key.Get();
    ComPtr<_xToolBar> added;
    // The key reaches the host's node through its public Key property.
    EXPECT_EQ(ButtonsOf(root.Get())->Add(&raw, &raw_key, added.Out()), S_OK);
    EXPECT_EQ(added, stranger);
    EXPECT_EQ(Text(&_xToolBar::get_Key, stranger.Get()), L"Mine");
    EXPECT_TRUE(Same(Object(Get(ButtonsOf(root.Get()).Get(), L"Item", {Variant::String(L"MINE")}).value),
                     stranger.Get()));
}

}  // namespace
}  // namespace zuv::test
