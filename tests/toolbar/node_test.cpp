// The toolbar node: Buttons and ButtonMenus, live forwarding to the rendered
// control (early- and late-bound, including failing puts), the earlier
// interface identifier, Parent, and a host's own nodes in our collections.
#include "support/nodes.h"

namespace zuv::test {
namespace {

constexpr IID kIidToolBarV0 = {0x0483A138, 0x1DCD, 0x4B0A, {0x86, 0x72, 0xC0, 0x1D, 0x0D, 0x32, 0x5D, 0xD5}};
const wchar_t kNoMember[] = L"Object doesn't support this property or method";

// Each assignment and the host calls it makes on the rendered control.
using Assign = HRESULT (*)(_xToolBar*);
const struct Forwarded {
    Assign assign;
    Lines calls;   // after "Control#1 "
} kForwarded[] = {
    {[](_xToolBar* n) { return n->put_Caption(B(L"Cap").Get()); }, {L"put 4 (String \"Cap\")"}},
    {[](_xToolBar* n) { return n->put_Text(B(L"Txt").Get()); }, {L"put 4 (String \"Txt\")"}},
    {[](_xToolBar* n) { return n->put_TooltipText(B(L"Tip").Get()); }, {L"put 10 (String \"Tip\")"}},
    {[](_xToolBar* n) { return n->put_ID(7); }, {L"put 6 (Long 7)"}},
    {[](_xToolBar* n) { return n->put_ToolBarID(8); }, {L"name \"ToolBarID\"", L"put ToolBarID (Long 8)"}},
    {[](_xToolBar* n) { return n->put_Value(xToolBarValue_tblPressed); }, {L"put 14 (Boolean True)"}},
    {[](_xToolBar* n) { return n->put_Value(static_cast<xToolBarValue>(5)); }, {L"put 14 (Boolean True)"}},
    {[](_xToolBar* n) { return n->put_Value(xToolBarValue_tblUnPressed); }, {L"put 14 (Boolean False)"}},
    {[](_xToolBar* n) { return n->put_Checked(VARIANT_TRUE); }, {L"put 14 (Boolean True)"}},
    {[](_xToolBar* n) { return n->put_Enabled(VARIANT_FALSE); }, {L"put 13 (Boolean False)"}},
    {[](_xToolBar* n) { return n->put_Visible(VARIANT_FALSE); }, {L"put 12 (Boolean False)"}},
    {[](_xToolBar* n) { return n->put_Key(B(L"k").Get()); }, {}},
    {[](_xToolBar* n) { return n->put_Tag(B(L"t").Get()); }, {}},
    {[](_xToolBar* n) { return n->put_StartID(1); }, {}},
    {[](_xToolBar* n) { return n->put_ToolBarSeperator(VARIANT_FALSE); }, {}},
    {[](_xToolBar* n) { return n->put_Left(1); }, {}},
    {[](_xToolBar* n) { return n->put_Top(1); }, {}},
    {[](_xToolBar* n) { return n->put_Width(1); }, {}},
    {[](_xToolBar* n) { return n->put_Height(1); }, {}},
    {[](_xToolBar* n) { return n->putref_Parent(nullptr); }, {}},
};

class ToolBarNode : public NodeTest {};

TEST_F(ToolBarNode, ADesignedNodeForwardsEachChangeWithItsOwnCall) {
    for (const Forwarded& f : kForwarded) {
        HostBars bars;
        Tree<_xToolBar> t(L"A");
        ASSERT_TRUE(Render(t.root.Get(), bars.object.Get()));
        bars.ClearLog();
        MUST(f.assign(t[L"A"]));
        Lines expected;
        for (const std::wstring& call : f.calls) expected.push_back(L"Control#1 " + call);
        EXPECT_EQ(bars.Log(), expected);
    }
}

TEST_F(ToolBarNode, ANodeThatIsNotDesignedSendsNothingEvenWithControls) {
    Tree<_xToolBar> t(L"A B{C}");
    ASSERT_TRUE(Render(t.root.Get()));
    ComPtr<_xToolBar> n = NewToolBar();
    MUST(n->putref_CmdBarButton(Read(t[L"A"], &_xToolBar::get_CmdBarButton).Get()));
    MUST(n->putref_CmdBarPopup(Read(t[L"B"], &_xToolBar::get_CmdBarPopup).Get()));
    host.ClearLog();
    for (const Forwarded& f : kForwarded) MUST(f.assign(n.Get()));
    EXPECT_EQ(host.Log(), Lines{});
}

// Where two properties share a control property each keeps its own value.
TEST_F(ToolBarNode, APopupOnlyReceivesTheChangeAndSharedPropertiesKeepTheirValues) {
    Tree<_xToolBar> t(L"A B{C}");
    ASSERT_TRUE(Render(t.root.Get()));
    host.ClearLog();
    MUST(t[L"B"]->put_TooltipText(B(L"Popup tip").Get()));
    EXPECT_EQ(host.Log(), Lines{L"Control#2 put 10 (String \"Popup tip\")"});
    _xToolBar* a = t[L"A"];
    MUST(a->put_Caption(B(L"Cap").Get()));
    MUST(a->put_Text(B(L"Txt").Get()));
    MUST(a->put_Checked(VARIANT_TRUE));
    MUST(a->put_Value(xToolBarValue_tblUnPressed));
    MUST(a->put_Checked(VARIANT_TRUE));
    EXPECT_EQ(Read(a, &_xToolBar::get_Caption) + Read(a, &_xToolBar::get_Text), L"CapTxt");
    EXPECT_EQ(Read(a, &_xToolBar::get_Value), xToolBarValue_tblUnPressed);
    EXPECT_TRUE(Flag(a, &_xToolBar::get_Checked));
}

// A control without a ToolBarID member: error 438, the value is kept.
TEST_F(ToolBarNode, AControlWithoutToolBarIdIsError438) {
    Tree<_xToolBar> t(L"A");
    _xToolBar* a = t[L"A"];
    ASSERT_TRUE(Render(t.root.Get()));
    ComPtr<IDispatch> bare = NewBareControl();
    MUST(a->putref_CmdBarButton(reinterpret_cast<ICommandBarButton*>(bare.Get())));
    LateResult r = Put(a, L"ToolBarID", Variant::Long(42));
    EXPECT_EQ(r.number, 438);
    EXPECT_EQ(r.description, kNoMember);
    EXPECT_EQ(Long(Get(a, L"ToolBarID").value), 42);
    EXPECT_EQ(a->put_ToolBarID(43), MAKE_HRESULT(1, FACILITY_CONTROL, 438));
    EXPECT_EQ(PendingDescription(), kNoMember);
}

TEST_F(ToolBarNode, ButtonMenusIsWhateverButtonsHolds) {
    ComPtr<_xToolBar> n = NewNode<_xToolBar>(L"N"), other = NewToolBar();
    EXPECT_EQ(Read(n.Get(), &_xToolBar::get_ButtonMenus), EntriesOf(n.Get()));
    MUST(n->putref_Buttons(EntriesOf(other.Get()).Get()));
    EXPECT_TRUE(Same(Object(Get(n.Get(), L"ButtonMenus").value), EntriesOf(other.Get()).Get()));
    EXPECT_FALSE(PutRef(n.Get(), L"ButtonMenus", Variant::Object(EntriesOf(n.Get()).Get())).ok());
    EXPECT_EQ(n->ReservedButtons(), E_NOTIMPL);
}

TEST_F(ToolBarNode, TheEarlierInterfaceIdentifierReachesTheSameNode) {
    ComPtr<_xToolBar> n = NewNode<_xToolBar>(L"N");
    ComPtr<IUnknown> v0 = Required(n.AsIID(kIidToolBarV0), "the earlier interface");
    EXPECT_EQ(Read(reinterpret_cast<_xToolBar*>(v0.Get()), &_xToolBar::get_Caption), L"N");
}

// Added to our collection with a key, a host's node gets the key through
// its Key property and is found by it in any letter case.
TEST_F(ToolBarNode, AHostsNodeAddedWithAKeyIsGivenItThroughItsInterface) {
    ComPtr<_xToolBar> root = NewToolBar();
    ComPtr<ForeignToolBar> stranger = MakeFake<ForeignToolBar>();
    Add(root.Get(), ComPtr<_xToolBar>(stranger.Get()), L"Mine");
    EXPECT_EQ(stranger->calls, Lines{L"put_Key"});
    EXPECT_EQ(Read(static_cast<_xToolBar*>(stranger.Get()), &_xToolBar::get_Key), L"Mine");
    EXPECT_TRUE(Same(Object(Get(EntriesOf(root.Get()).Get(), L"Item", {Variant::String(L"MINE")}).value),
                     stranger.Get()));
}

}  // namespace
}  // namespace zuv::test
