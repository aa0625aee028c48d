// The toolbar node: properties that share a control property, ButtonMenus,
// a control without ToolBarID, the earlier interface identifier, and a
// host's own nodes in our collections.
#include "support/nodes.h"

namespace zuv::test {
namespace {

constexpr IID kIidToolBarV0 = {0x0483A138, 0x1DCD, 0x4B0A, {0x86, 0x72, 0xC0, 0x1D, 0x0D, 0x32, 0x5D, 0xD5}};
const wchar_t kNoMember[] = L"Object doesn't support this property or method";

class ToolBarNode : public NodeTest {};

// Caption and Text, Checked and Value drive one control property each, but
// each property keeps its own value.  A control without a ToolBarID member:
// error 438, the value is kept.
TEST_F(ToolBarNode, PropertiesKeepTheirOwnValuesWhateverTheControl) {
    Tree<_xToolBar> t(L"A");
    _xToolBar* a = t[L"A"];
    ASSERT_TRUE(Render(t.root.Get()));
    MUST(a->put_Caption(B(L"Cap").Get()));
    MUST(a->put_Text(B(L"Txt").Get()));
    MUST(a->put_Checked(VARIANT_TRUE));
    MUST(a->put_Value(xToolBarValue_tblUnPressed));
    EXPECT_TRUE(Flag(a, &_xToolBar::get_Checked));
    MUST(a->put_Checked(VARIANT_TRUE));
    EXPECT_EQ(Read(a, &_xToolBar::get_Value), xToolBarValue_tblUnPressed);
    EXPECT_EQ(Read(a, &_xToolBar::get_Caption) + Read(a, &_xToolBar::get_Text), L"CapTxt");

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
