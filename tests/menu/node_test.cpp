// The node's properties: defaults, live forwarding to rendered controls,
// the limited ArrayCount, the computed Count, ArrayParent, and the
// collection's Item on menu arrays.
#include "foreign.h"
#include "menu_test.h"

namespace zuv::test {
namespace {

class MenuNodeProps : public MenuTest {};

VARIANT_BOOL FlagOf(_xMenu* node, HRESULT (STDMETHODCALLTYPE _xMenu::*getter)(VARIANT_BOOL*)) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ((node->*getter)(&v), S_OK);
    return v;
}

short CountProp(_xMenu* node) {
    short count = -99;
    EXPECT_EQ(node->get_Count(&count), S_OK);
    return count;
}

TEST_F(MenuNodeProps, ChangesReachTheControlOfADesignedNodeOnly) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> x = AddEntry(t.Get(), L"X");
    ASSERT_TRUE(Render(root.Get()));
    host.ClearLog();

    // Not designed: nothing is sent, even with a control set by the host.
    ComPtr<_xMenu> loose = NewMenu();
    loose->putref_CmdBarControl(ControlOf(x.Get()).Get());
    loose->put_Caption(B(L"c").Get());
    loose->put_ID(5);
    loose->put_Checked(VARIANT_TRUE);
    loose->put_Enabled(VARIANT_FALSE);
    loose->put_Visible(VARIANT_FALSE);
    loose->put_WindowsList(VARIANT_TRUE);
    EXPECT_TRUE(host.Log().empty());

    // Designed, with a control and a popup: the control only.
    x->putref_CmdBarPopup(PopupOf(t.Get()).Get());
    x->put_Checked(VARIANT_TRUE);
    x->put_Enabled(VARIANT_FALSE);
    x->put_Visible(VARIANT_FALSE);
    x->put_ID(77);
    x->put_WindowsList(VARIANT_TRUE);
    x->put_WindowsList(VARIANT_FALSE);
    // Plain properties never call the host.
    x->put_Key(B(L"k").Get());
    x->put_Tag(B(L"t").Get());
    x->put_StartID(3);
    x->put_MenuSeperator(VARIANT_TRUE);
    x->put_ShortCutFirstKey(xMenuShortCutFirstKeys_ALT);
    // Late bound, as a script sets it.
    EXPECT_TRUE(Put(x.Get(), L"Caption", Variant::String(L"New")).ok());
    // A popup only: the popup.
    t->put_Caption(B(L"Title").Get());
    // Neither: the value is only stored.
    x->putref_CmdBarControl(nullptr);
    x->putref_CmdBarPopup(nullptr);
    x->put_Checked(VARIANT_FALSE);
    EXPECT_EQ(host.Log(), (std::vector<std::wstring>{
                              L"Control#2 put 14 (Boolean True)", L"Control#2 put 13 (Boolean False)",
                              L"Control#2 put 12 (Boolean False)", L"Control#2 put 6 (Long 77)",
                              L"Control#2 put 6 (Long 35000)", L"Control#2 put 6 (Long 77)",
                              L"Control#2 put 4 (String \"New\")", L"Control#1 put 4 (String \"Title\")"}));
    EXPECT_EQ(CaptionOf(x.Get()), L"New");
}

TEST_F(MenuNodeProps, AFailingForwardFailsTheAssignment) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> x = AddEntry(t.Get(), L"X");
    ASSERT_TRUE(Render(root.Get()));
    EventRecorder events(x.Get(), DIID___xMenu);

    host.FailCall(L"Control#2", L"put 4", 1, 1004, L"Caption refused");
    LateResult r = Put(x.Get(), L"Caption", Variant::String(L"Late"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.number, 1004);
    EXPECT_EQ(r.description, L"Caption refused");
    EXPECT_EQ(CaptionOf(x.Get()), L"Late");

    // The host destroyed the control: the early-bound call fails with the
    // host's error and its description.
    EXPECT_EQ(host.DestroyControl(2), 1);
    HRESULT hr = x->put_Enabled(VARIANT_FALSE);
    EXPECT_TRUE(FAILED(hr));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    Bstr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(description.Str(), L"The control has been destroyed");
    EXPECT_EQ(FlagOf(x.Get(), &_xMenu::get_Enabled), VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"");
}

TEST_F(MenuNodeProps, ArrayCountIsLimitedToOneHundred) {
    ComPtr<_xMenu> n = NewMenu();
    EventRecorder events(n.Get(), DIID___xMenu);
    short count = 0;
    EXPECT_EQ(n->put_ArrayCount(100), S_OK);
    EXPECT_EQ(n->put_ArrayCount(101), S_OK);
    n->get_ArrayCount(&count);
    EXPECT_EQ(count, 100);
    EXPECT_EQ(events.Joined(), L"CustomError(3, MRU List Count Overflow)");
    EXPECT_EQ(n->put_ArrayCount(-5), S_OK);
    n->get_ArrayCount(&count);
    EXPECT_EQ(count, -5);
}

TEST_F(MenuNodeProps, CountCountsTheVisibleMembersOfAnArray) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> zero = AddArray(t.Get(), L"Z", 3, true);
    ComPtr<_xMenu> one = AddArray(t.Get(), L"O", 3, false);
    EXPECT_EQ(CountProp(zero.Get()), 0);
    ASSERT_TRUE(Render(root.Get()));
    ItemOf(ArrayMenuOf(zero.Get()).Get(), Variant::Long(1))->put_Visible(VARIANT_FALSE);
    ItemOf(ArrayMenuOf(one.Get()).Get(), Variant::Long(1))->put_Visible(VARIANT_FALSE);
    EXPECT_EQ(CountProp(zero.Get()), 2);
    EXPECT_EQ(CountProp(one.Get()), 2);
    // Not an array: -1 whatever ArrayMenu holds.
    zero->put_IsArray(VARIANT_FALSE);
    EXPECT_EQ(CountProp(zero.Get()), -1);

    // Members that rendering did not make count from 1: the member at 0 is
    // missing; the count reached so far is returned.
    ComPtr<_xMenu> manual = NewMenu();
    manual->put_IsArray(VARIANT_TRUE);
    Append(ArrayMenuOf(manual.Get()).Get(), NewMenu());
    EventRecorder events(manual.Get(), DIID___xMenu);
    EXPECT_EQ(CountProp(manual.Get()), 0);
    EXPECT_EQ(events.Joined(), L"SystemError(9, Subscript out of range)");
}

TEST_F(MenuNodeProps, ItemCountsFromZeroOnTheMembersOfARenderedZeroBasedArray) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> zero = AddArray(t.Get(), L"Z", 3, true);
    ComPtr<_xMenu> one = AddArray(t.Get(), L"O", 3, false);
    ComPtr<_xMenuCollection> unrendered = ArrayMenuOf(zero.Get());
    ComPtr<_xMenu> first = Append(unrendered.Get(), NewMenu());
    EXPECT_TRUE(Same(ItemAt(unrendered.Get(), 1).Get(), first.Get()));
    unrendered->Remove(Variant::Long(1).Get());
    ASSERT_TRUE(Render(root.Get()));

    ComPtr<_xMenuCollection> members = ArrayMenuOf(zero.Get());
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::Short(0)).Get()), 2);
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::Long(2)).Get()), 4);
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::String(L"1")).Get()), 3);
    ComPtr<_xMenu> none;
    EXPECT_EQ(members->get_Item(*Variant::Long(3).Get(), none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 9));
    ComPtr<_xMenuCollection> counted = ArrayMenuOf(one.Get());
    EXPECT_EQ(IdOf(ItemOf(counted.Get(), Variant::Long(1)).Get()), 5);
    EXPECT_EQ(IdOf(ItemOf(counted.Get(), Variant::Long(3)).Get()), 7);
    // Without the mapping a numeric string is a key.
    EXPECT_EQ(counted->get_Item(*Variant::String(L"1").Get(), none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 5));
    // An empty first entry carries no array parent: positions from 1.
    ComPtr<_xMenuCollection> mixed = SubMenusOf(NewMenu().Get());
    Append(mixed.Get(), nullptr);
    Append(mixed.Get(), ItemOf(members.Get(), Variant::Short(0)));
    EXPECT_EQ(IdOf(ItemAt(mixed.Get(), 2).Get()), 2);
}

TEST_F(MenuNodeProps, ArrayParentHoldsOnlyAHostsOwnObject) {
    ComPtr<_xMenu> member = NewMenu();
    {
        ComPtr<_xMenu> array = NewMenu();
        ASSERT_EQ(member->putref_ArrayParent(array.Get()), S_OK);
        EXPECT_TRUE(Same(ArrayParentOf(member.Get()).Get(), array.Get()));
    }
    // The component's own node has gone: Nothing.
    EXPECT_FALSE(ArrayParentOf(member.Get()));

    int before = Fake<_xMenu>::Alive();
    {
        ComPtr<_xMenu> foreign = NewForeignMenu();
        ASSERT_EQ(member->putref_ArrayParent(foreign.Get()), S_OK);
    }
    EXPECT_EQ(Fake<_xMenu>::Alive(), before + 1);
    EXPECT_TRUE(ArrayParentOf(member.Get()));
    ASSERT_EQ(member->putref_ArrayParent(nullptr), S_OK);
    EXPECT_EQ(Fake<_xMenu>::Alive(), before);
}

}  // namespace
}  // namespace zuv::test
