// The menu node's properties: live forwarding to rendered controls, the
// computed Count, ArrayParent, and the collection's Item on menu arrays.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;
short CountProp(_xMenu* n) { return Read(n, &_xMenu::get_Count); }
ComPtr<_xMenuCollection> MembersOf(_xMenu* n) { return Read(n, &_xMenu::get_ArrayMenu); }

class MenuNode : public NodeTest {};

TEST_F(MenuNode, ChangesReachTheControlOfADesignedNodeOnly) {
    Menu t(L"T{X}");
    _xMenu *title = t[L"T"], *x = t[L"X"];
    ASSERT_TRUE(Render(t.root.Get()));
    host.ClearLog();

    // Not designed: nothing is sent, even with a control set by the host.
    ComPtr<_xMenu> loose = NewMenu();
    loose->putref_CmdBarControl(Read(x, &_xMenu::get_CmdBarControl).Get());
    loose->put_Caption(B(L"c").Get());
    loose->put_ID(5);
    loose->put_Checked(VARIANT_TRUE);
    loose->put_Enabled(VARIANT_FALSE);
    loose->put_Visible(VARIANT_FALSE);
    loose->put_WindowsList(VARIANT_TRUE);
    EXPECT_TRUE(host.Log().empty());

    // Designed, with a control and a popup: the control only.
    x->putref_CmdBarPopup(Read(title, &_xMenu::get_CmdBarPopup).Get());
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
    EXPECT_TRUE(Put(x, L"Caption", Variant::String(L"New")).ok());
    // A popup only: the popup.
    title->put_Caption(B(L"Title").Get());
    // Neither: the value is only stored.
    x->putref_CmdBarControl(nullptr);
    x->putref_CmdBarPopup(nullptr);
    x->put_Checked(VARIANT_FALSE);
    EXPECT_EQ(host.Log(), (std::vector<std::wstring>{
                              L"Control#2 put 14 (Boolean True)", L"Control#2 put 13 (Boolean False)",
                              L"Control#2 put 12 (Boolean False)", L"Control#2 put 6 (Long 77)",
                              L"Control#2 put 6 (Long 35000)", L"Control#2 put 6 (Long 77)",
                              L"Control#2 put 4 (String \"New\")", L"Control#1 put 4 (String \"Title\")"}));
    EXPECT_EQ(Read(x, &_xMenu::get_Caption), L"New");
}

TEST_F(MenuNode, AFailingForwardFailsTheAssignment) {
    Menu t(L"T{X}");
    _xMenu* x = t[L"X"];
    ASSERT_TRUE(Render(t.root.Get()));
    EventRecorder events(x, DIID___xMenu);

    host.FailCall(L"Control#2", L"put 4", 1, 1004, L"Caption refused");
    LateResult r = Put(x, L"Caption", Variant::String(L"Late"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.number, 1004);
    EXPECT_EQ(r.description, L"Caption refused");
    EXPECT_EQ(Read(x, &_xMenu::get_Caption), L"Late");

    // The host destroyed the control: the early-bound call fails with the
    // host's error and its description; the value is stored.
    EXPECT_EQ(host.DestroyControl(2), 1);
    EXPECT_TRUE(FAILED(x->put_Enabled(VARIANT_FALSE)));
    EXPECT_EQ(PendingDescription(), L"The control has been destroyed");
    EXPECT_FALSE(Flag(x, &_xMenu::get_Enabled));
    EXPECT_EQ(events.Joined(), L"");
}

TEST_F(MenuNode, CountCountsTheVisibleMembersOfAnArray) {
    Menu t(L"T{Z O}");
    _xMenu *zero = MakeArray(t[L"Z"], 3, true), *one = MakeArray(t[L"O"], 3, false);
    EXPECT_EQ(CountProp(zero), 0);
    ASSERT_TRUE(Render(t.root.Get()));
    ItemAt(MembersOf(zero).Get(), 1)->put_Visible(VARIANT_FALSE);
    ItemAt(MembersOf(one).Get(), 1)->put_Visible(VARIANT_FALSE);
    EXPECT_EQ(CountProp(zero), 2);
    EXPECT_EQ(CountProp(one), 2);
    // Not an array: -1 whatever ArrayMenu holds.
    zero->put_IsArray(VARIANT_FALSE);
    EXPECT_EQ(CountProp(zero), -1);

    // Members that rendering did not make count from 1: the member at 0 is
    // missing; the count reached so far is returned.
    ComPtr<_xMenu> manual = NewMenu();
    manual->put_IsArray(VARIANT_TRUE);
    Append(MembersOf(manual.Get()).Get(), NewMenu());
    EventRecorder events(manual.Get(), DIID___xMenu);
    EXPECT_EQ(CountProp(manual.Get()), 0);
    EXPECT_EQ(events.Joined(), L"SystemError(9, Subscript out of range)");
}

TEST_F(MenuNode, ItemCountsFromZeroOnTheMembersOfARenderedZeroBasedArray) {
    Menu t(L"T{Z O}");
    _xMenu *zero = MakeArray(t[L"Z"], 3, true), *one = MakeArray(t[L"O"], 3, false);
    // Before rendering the collection counts from 1.
    ComPtr<_xMenuCollection> unrendered = MembersOf(zero);
    ComPtr<_xMenu> first = Append(unrendered.Get(), NewMenu());
    EXPECT_TRUE(Same(ItemAt(unrendered.Get(), 1).Get(), first.Get()));
    unrendered->Remove(Variant::Long(1).Get());
    ASSERT_TRUE(Render(t.root.Get()));

    ComPtr<_xMenuCollection> members = MembersOf(zero);
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::Short(0)).Get()), 2);
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::Long(2)).Get()), 4);
    EXPECT_EQ(IdOf(ItemOf(members.Get(), Variant::String(L"1")).Get()), 3);
    ComPtr<_xMenu> none;
    EXPECT_EQ(members->get_Item(*Variant::Long(3).Get(), none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 9));
    ComPtr<_xMenuCollection> counted = MembersOf(one);
    EXPECT_EQ(IdOf(ItemAt(counted.Get(), 1).Get()), 5);
    EXPECT_EQ(IdOf(ItemAt(counted.Get(), 3).Get()), 7);
    // Without the mapping a numeric string is a key.
    EXPECT_EQ(counted->get_Item(*Variant::String(L"1").Get(), none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 5));
    // An empty first entry carries no array parent: positions from 1.
    ComPtr<_xMenuCollection> mixed = EntriesOf(NewMenu().Get());
    Append(mixed.Get(), nullptr);
    Append(mixed.Get(), ItemOf(members.Get(), Variant::Short(0)));
    EXPECT_EQ(IdOf(ItemAt(mixed.Get(), 2).Get()), 2);
}

TEST_F(MenuNode, ArrayParentHoldsOnlyAHostsOwnObject) {
    ComPtr<_xMenu> member = NewMenu();
    ComPtr<_xMenu> array = NewMenu();
    ASSERT_EQ(member->putref_ArrayParent(array.Get()), S_OK);
    EXPECT_TRUE(Same(Read(member.Get(), &_xMenu::get_ArrayParent).Get(), array.Get()));
    // The component's own node has gone: Nothing.
    array = nullptr;
    EXPECT_FALSE(Read(member.Get(), &_xMenu::get_ArrayParent));

    // A host's node is held counted.
    int before = Fake<_xMenu>::Alive();
    ASSERT_EQ(member->putref_ArrayParent(NewForeignMenu().Get()), S_OK);
    EXPECT_EQ(Fake<_xMenu>::Alive(), before + 1);
    EXPECT_TRUE(Read(member.Get(), &_xMenu::get_ArrayParent));
    ASSERT_EQ(member->putref_ArrayParent(nullptr), S_OK);
    EXPECT_EQ(Fake<_xMenu>::Alive(), before);
}

}  // namespace
}  // namespace zuv::test
