// Finding a node by command ID, and click dispatch.
#include "foreign.h"
#include "menu_test.h"

namespace zuv::test {
namespace {

ComPtr<_xMenu> Find(_xMenu* root, long id) {
    ComPtr<_xMenu> found;
    EXPECT_EQ(root->GetMenu(id, found.Out()), S_OK);
    return found;
}

Variant Click(_xMenu* node, short index = -1) {
    Variant result;
    EXPECT_EQ(node->RaiseClickEvent(index, result.Out()), S_OK);
    EXPECT_EQ(result.Type(), VT_EMPTY);
    return result;
}

// root
//   A(1): a1(2): a11(3)
//   B(4): b1(5): b11(6): b111(7)
//   C(8): separator, MRU (two entries, 9 and 10), s(11): s1(12)
class MenuLookup : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        root = NewMenu();
        a = AddEntry(root.Get(), L"A");
        a1 = AddEntry(a.Get(), L"a1");
        AddEntry(a1.Get(), L"a11");
        b = AddEntry(root.Get(), L"B");
        b111 = AddEntry(AddEntry(AddEntry(b.Get(), L"b1").Get(), L"b11").Get(), L"b111");
        c = AddEntry(root.Get(), L"C");
        separator = AddSeparator(c.Get());
        mru = AddArray(c.Get(), L"MRU", 2);
        AddEntry(AddEntry(c.Get(), L"s").Get(), L"s1");
        ASSERT_TRUE(Render(root.Get()));
        ASSERT_EQ(IdOf(b111.Get()), 7);
        member0 = ItemOf(ArrayMenuOf(mru.Get()).Get(), Variant::Short(0));
        member1 = ItemOf(ArrayMenuOf(mru.Get()).Get(), Variant::Short(1));
    }
    void TearDown() override {
        root = a = a1 = b = b111 = c = separator = mru = member0 = member1 = nullptr;
        MenuTest::TearDown();
    }
    ComPtr<_xMenu> root, a, a1, b, b111, c, separator, mru, member0, member1;
};

TEST_F(MenuLookup, SearchesDepthFirstBelowTheNode) {
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_TRUE(Same(Find(root.Get(), 7).Get(), b111.Get()));
    EXPECT_TRUE(Same(Find(root.Get(), 9).Get(), member0.Get()));
    EXPECT_TRUE(Same(Find(root.Get(), 10).Get(), member1.Get()));
    // Separators and array nodes keep ID 0: the first of them is found.
    EXPECT_TRUE(Same(Find(root.Get(), 0).Get(), separator.Get()));
    EXPECT_FALSE(Find(root.Get(), 13));

    // The first of two equal IDs in search order wins.
    b->put_ID(2);
    EXPECT_TRUE(Same(Find(root.Get(), 2).Get(), a1.Get()));
    // An array's members come before its own sub-menus, the array node first.
    ComPtr<_xMenu> under_array = AddEntry(mru.Get(), L"under");
    under_array->put_ID(9);
    EXPECT_TRUE(Same(Find(root.Get(), 9).Get(), member0.Get()));
    mru->put_ID(9);
    EXPECT_TRUE(Same(Find(root.Get(), 9).Get(), mru.Get()));
    // The root's own ID is not compared, nor a title's array members.
    root->put_ID(99);
    EXPECT_FALSE(Find(root.Get(), 99));
    a->put_IsArray(VARIANT_TRUE);
    a->put_IsArrayBaseZero(VARIANT_FALSE);
    ComPtr<_xMenu> title_member = Append(ArrayMenuOf(a.Get()).Get(), NewMenu());
    title_member->put_ID(500);
    EXPECT_FALSE(Find(root.Get(), 500));
    EXPECT_EQ(events.Joined(), L"");

    // The recursive step on its own: below the node given, events on the
    // node called.
    ComPtr<_xMenu> found;
    _xMenu* start = b.Get();
    EXPECT_EQ(a->GetMenuFromSubMenu(&start, 7, found.Out()), S_OK);
    EXPECT_TRUE(Same(found.Get(), b111.Get()));
    EventRecorder on_a(a.Get(), DIID___xMenu);
    start = nullptr;
    EXPECT_EQ(a->GetMenuFromSubMenu(&start, 7, found.Out()), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(on_a.Joined(), L"SystemError(91, Object variable or With block variable not set)");
}

TEST_F(MenuLookup, AFailureEndsTheSearchOfOneBranch) {
    // A host's collection under A whose Item fails: reported, and the
    // search goes on with B.
    ComPtr<ForeignCollection> entries = NewForeignCollection();
    Append(entries.Get(), NewMenu());
    entries->fail_item_at = 1;
    entries->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1234);
    a->putref_SubMenus(entries.Get());
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_TRUE(Same(Find(root.Get(), 7).Get(), b111.Get()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(1234, ", 0), 0u);

    // Errors numbered zero or below are not reported.
    events.Clear();
    entries->item_failure = E_FAIL;
    EXPECT_TRUE(Same(Find(root.Get(), 7).Get(), b111.Get()));
    EXPECT_EQ(events.Joined(), L"");
}

TEST_F(MenuLookup, RaisesClickOrArrayClick) {
    EventRecorder on_a1(a1.Get(), DIID___xMenu);
    Click(a1.Get());
    Click(a1.Get(), 0);
    a1->put_Enabled(VARIANT_FALSE);
    Click(a1.Get());
    a1->put_Enabled(VARIANT_TRUE);
    a1->put_Visible(VARIANT_FALSE);
    Click(a1.Get(), 3);
    EXPECT_EQ(on_a1.Joined(), L"Click; ArrayClick(0)");

    // An array reports the click of a member by its index, on itself.
    EventRecorder on_array(mru.Get(), DIID___xMenu);
    Click(mru.Get(), 1);
    member1->put_Visible(VARIANT_FALSE);
    Click(mru.Get(), 1);
    Click(mru.Get());
    EXPECT_EQ(on_array.Joined(), L"ArrayClick(1); SystemError(9, Subscript out of range)");

    // Late bound without an argument: the default index is -1.
    on_a1.Clear();
    a1->put_Visible(VARIANT_TRUE);
    LateResult r = Call(a1.Get(), L"RaiseClickEvent");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value.Type(), VT_EMPTY);
    EXPECT_EQ(on_a1.Joined(), L"Click");
}

}  // namespace
}  // namespace zuv::test
