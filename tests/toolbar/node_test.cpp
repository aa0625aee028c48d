// The toolbar node: Buttons and ButtonMenus, live forwarding to the rendered
// control (early- and late-bound, including failing puts), the earlier
// interface identifier, Parent, and a host's own nodes in our collections.
#include "support/nodes.h"

namespace zuv::test {
namespace {

constexpr IID kIidToolBarV0 = {0x0483A138, 0x1DCD, 0x4B0A, {0x86, 0x72, 0xC0, 0x1D, 0x0D, 0x32, 0x5D, 0xD5}};

ComPtr<_xToolBar> ParentOf(_xToolBar* n) { return Read(n, &_xToolBar::get_Parent); }

// A root with A (a plain button: Control#1, ID 1) and B (with the entry C:
// the popup Control#2, ID 2), rendered.
Tree<_xToolBar> Rendered(HostBars& host) {
    Tree<_xToolBar> t(L"A B{C}");
    EXPECT_TRUE(Render(t.root.Get(), host.object.Get()));
    host.ClearLog();
    return t;
}

class ToolBarNode : public NodeTest {};

TEST_F(ToolBarNode, ButtonMenusIsWhateverButtonsHolds) {
    ComPtr<_xToolBar> n = NewNode<_xToolBar>(L"N"), other = NewToolBar();
    EXPECT_EQ(Read(n.Get(), &_xToolBar::get_ButtonMenus), EntriesOf(n.Get()));
    n->putref_Buttons(EntriesOf(other.Get()).Get());
    EXPECT_TRUE(Same(Object(Get(n.Get(), L"ButtonMenus").value), EntriesOf(other.Get()).Get()));
    EXPECT_FALSE(PutRef(n.Get(), L"ButtonMenus", Variant::Object(EntriesOf(n.Get()).Get())).ok());
    EXPECT_EQ(n->ReservedButtons(), E_NOTIMPL);
    // The earlier interface identifier reaches the same node.
    ComPtr<IUnknown> v0 = n.AsIID(kIidToolBarV0);
    ASSERT_TRUE(v0);
    EXPECT_EQ(Read(reinterpret_cast<_xToolBar*>(v0.Get()), &_xToolBar::get_Caption), L"N");
}

TEST_F(ToolBarNode, DesignedNodeForwardsEachChangeWithOnePut) {
    Tree<_xToolBar> t = Rendered(host);
    _xToolBar *a = t[L"A"], *b = t[L"B"];
    // Not designed: nothing is sent, even with the controls set by the host.
    ComPtr<_xToolBar> n = NewToolBar();
    n->putref_CmdBarButton(Read(a, &_xToolBar::get_CmdBarButton).Get());
    n->putref_CmdBarPopup(Read(b, &_xToolBar::get_CmdBarPopup).Get());
    EXPECT_EQ(n->put_Caption(B(L"x").Get()) | n->put_Text(B(L"x").Get()) | n->put_TooltipText(B(L"x").Get()) |
                  n->put_ID(1) | n->put_ToolBarID(1) | n->put_Value(xToolBarValue_tblPressed) |
                  n->put_Checked(VARIANT_TRUE) | n->put_Enabled(VARIANT_FALSE) | n->put_Visible(VARIANT_FALSE),
              S_OK);
    EXPECT_TRUE(host.Log().empty());

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
    a->putref_Parent(b);
    // A node with only a popup forwards to the popup.
    b->put_TooltipText(B(L"Popup tip").Get());

    std::vector<std::wstring> expected;
    for (const wchar_t* line : {L"put 4 (String \"Cap\")", L"put 4 (String \"Txt\")", L"put 10 (String \"Tip\")",
                                L"put 6 (Long 7)", L"name \"ToolBarID\"", L"put ToolBarID (Long 8)",
                                L"put 14 (Boolean True)", L"put 14 (Boolean True)", L"put 14 (Boolean False)",
                                L"put 14 (Boolean True)", L"put 13 (Boolean False)", L"put 12 (Boolean False)"})
        expected.push_back(std::wstring(L"Control#1 ") + line);
    expected.push_back(L"Control#2 put 10 (String \"Popup tip\")");
    EXPECT_EQ(host.Log(), expected);

    // Where two properties share a control property each keeps its own value.
    EXPECT_EQ(Read(a, &_xToolBar::get_Caption) + Read(a, &_xToolBar::get_Text), L"CapTxt");
    EXPECT_EQ(Read(a, &_xToolBar::get_Value), xToolBarValue_tblUnPressed);
    EXPECT_TRUE(Flag(a, &_xToolBar::get_Checked));
}

TEST_F(ToolBarNode, FailingForwardingFailsTheAssignmentOnly) {
    Tree<_xToolBar> t = Rendered(host);
    _xToolBar* a = t[L"A"];
    EventRecorder events(a, DIID___xToolBar);
    EXPECT_TRUE(Put(a, L"Caption", Variant::String(L"Late")).ok());
    EXPECT_EQ(Str(host.ControlProp(host.FindControl(1), L"Caption")), L"Late");

    // The host destroyed the control: the host's error reaches the caller,
    // the field holds the new value.
    EXPECT_EQ(host.DestroyControl(1), 1);
    LateResult r = Put(a, L"Caption", Variant::String(L"Gone"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(r.description, L"The control has been destroyed");
    EXPECT_EQ(Str(Get(a, L"Caption").value), L"Gone");
    EXPECT_EQ(a->put_Visible(VARIANT_FALSE), static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(PendingDescription(), L"The control has been destroyed");

    // A control without a ToolBarID member: error 438, the value is kept.
    ComPtr<IDispatch> bare = NewBareControl();
    a->putref_CmdBarButton(reinterpret_cast<ICommandBarButton*>(bare.Get()));
    r = Put(a, L"ToolBarID", Variant::Long(42));
    EXPECT_EQ(r.number, 438);
    EXPECT_EQ(r.description, L"Object doesn't support this property or method");
    EXPECT_EQ(Long(Get(a, L"ToolBarID").value), 42);
    EXPECT_EQ(a->put_ToolBarID(43), MAKE_HRESULT(1, FACILITY_CONTROL, 438));
    EXPECT_EQ(PendingDescription(), L"Object doesn't support this property or method");
    EXPECT_EQ(events.Joined(), L"");
}

TEST_F(ToolBarNode, ParentAndHostOwnNodes) {
    // Our own node as Parent is not kept alive by it.
    ComPtr<_xToolBar> child = NewToolBar();
    child->putref_Parent(NewToolBar().Get());
    EXPECT_FALSE(ParentOf(child.Get()));

    // The host's own node is held counted.
    int before = Fake<_xToolBar>::Alive();
    child->putref_Parent(NewForeignToolBar().Get());
    EXPECT_EQ(Fake<_xToolBar>::Alive(), before + 1);
    EXPECT_TRUE(ParentOf(child.Get()));
    child = nullptr;
    EXPECT_EQ(Fake<_xToolBar>::Alive(), before);

    // Added to our collection with a key, it gets the key through its Key property.
    ComPtr<_xToolBar> root = NewToolBar(), stranger = Add(root.Get(), NewForeignToolBar(), L"Mine");
    EXPECT_EQ(Read(stranger.Get(), &_xToolBar::get_Key), L"Mine");
    EXPECT_TRUE(Same(Object(Get(EntriesOf(root.Get()).Get(), L"Item", {Variant::String(L"MINE")}).value),
                     stranger.Get()));
}

}  // namespace
}  // namespace zuv::test
