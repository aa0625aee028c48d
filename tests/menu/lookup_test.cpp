// Finding a node by command ID, click dispatch, and listing a menu tree
// into the host's collection.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;

// A(1){a1(2){a11(3)}} B(4){b1(5){b11(6){b111(7)}}}
// C(8){separator, MRU (generated entries 9 and 10), s(11){s1(12)}}
Menu Rendered(ICommandBarsObject* bars) {
    Menu t(L"A{a1{a11}} B{b1{b11{b111}}} C{- MRU s{s1}}");
    MakeArray(t[L"MRU"], 2);
    EXPECT_TRUE(Render(t.root.Get(), bars));
    EXPECT_EQ(IdOf(t[L"b111"]), 7);
    return t;
}

ComPtr<_xMenu> Member(_xMenu* array, short index) {
    return ItemOf(Read(array, &_xMenu::get_ArrayMenu).Get(), Variant::Short(index));
}

void Click(_xMenu* node, short index = -1) {
    Variant result;
    EXPECT_EQ(node->RaiseClickEvent(index, result.Out()), S_OK);
    EXPECT_EQ(result.Type(), VT_EMPTY);
}

class MenuLookup : public NodeTest {};

TEST_F(MenuLookup, SearchesDepthFirstBelowTheNode) {
    Menu t = Rendered(host.object.Get());
    _xMenu *root = t.root.Get(), *mru = t[L"MRU"];
    EventRecorder events(root, DIID___xMenu);
    EXPECT_TRUE(Same(Find(root, 7).Get(), t[L"b111"]));
    EXPECT_TRUE(Same(Find(root, 9).Get(), Member(mru, 0).Get()));
    EXPECT_TRUE(Same(Find(root, 10).Get(), Member(mru, 1).Get()));
    // Separators and array nodes keep ID 0: the first of them is found.
    EXPECT_TRUE(Same(Find(root, 0).Get(), t[L"-"]));
    EXPECT_FALSE(Find(root, 13));

    // The first of two equal IDs in search order wins.
    t[L"B"]->put_ID(2);
    EXPECT_TRUE(Same(Find(root, 2).Get(), t[L"a1"]));
    // An array's members come before its own sub-menus, the array node first.
    Add(mru, NewNode<_xMenu>(L"under"))->put_ID(9);
    EXPECT_TRUE(Same(Find(root, 9).Get(), Member(mru, 0).Get()));
    mru->put_ID(9);
    EXPECT_TRUE(Same(Find(root, 9).Get(), mru));
    // The root's own ID is not compared, nor a title's array members.
    root->put_ID(99);
    EXPECT_FALSE(Find(root, 99));
    MakeArray(t[L"A"], 0, false);
    Append(Read(t[L"A"], &_xMenu::get_ArrayMenu).Get(), NewMenu())->put_ID(500);
    EXPECT_FALSE(Find(root, 500));
    EXPECT_EQ(events.Joined(), L"");

    // The recursive step on its own: below the node given, events on the
    // node called.
    ComPtr<_xMenu> found;
    _xMenu* start = t[L"B"];
    EXPECT_EQ(t[L"A"]->GetMenuFromSubMenu(&start, 7, found.Out()), S_OK);
    EXPECT_TRUE(Same(found.Get(), t[L"b111"]));
    EventRecorder on_a(t[L"A"], DIID___xMenu);
    start = nullptr;
    EXPECT_EQ(t[L"A"]->GetMenuFromSubMenu(&start, 7, found.Out()), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(on_a.Joined(), L"SystemError(91, Object variable or With block variable not set)");
}

TEST_F(MenuLookup, AFailureEndsTheSearchOfOneBranch) {
    // A host's collection under A whose Item fails: reported, and the
    // search goes on with B.
    Menu t = Rendered(host.object.Get());
    ComPtr<ForeignMenus> entries = MakeFake<ForeignMenus>();
    Append(entries.Get(), NewMenu());
    entries->fail_item_at = 1;
    entries->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1234);
    t[L"A"]->putref_SubMenus(entries.Get());
    EventRecorder events(t.root.Get(), DIID___xMenu);
    // Error information an earlier failure left pending is not lent to this
    // one, which comes without any.
    ComPtr<ICreateErrorInfo> stale;
    ASSERT_EQ(CreateErrorInfo(stale.Out()), S_OK);
    stale->SetDescription(const_cast<LPOLESTR>(L"stale"));
    SetErrorInfo(0, stale.As<IErrorInfo>().Get());
    EXPECT_TRUE(Same(Find(t.root.Get(), 7).Get(), t[L"b111"]));
    EXPECT_EQ(events.Joined(), L"SystemError(1234, Application-defined or object-defined error)");

    // Errors numbered zero or below are not reported.
    events.Clear();
    entries->item_failure = E_FAIL;
    EXPECT_TRUE(Same(Find(t.root.Get(), 7).Get(), t[L"b111"]));
    EXPECT_EQ(events.Joined(), L"");
}

TEST_F(MenuLookup, RaisesClickOrArrayClick) {
    Menu t = Rendered(host.object.Get());
    _xMenu *a1 = t[L"a1"], *mru = t[L"MRU"];
    EventRecorder on_a1(a1, DIID___xMenu);
    Click(a1);
    Click(a1, 0);
    a1->put_Enabled(VARIANT_FALSE);
    Click(a1);
    a1->put_Enabled(VARIANT_TRUE);
    a1->put_Visible(VARIANT_FALSE);
    Click(a1, 3);
    EXPECT_EQ(on_a1.Joined(), L"Click; ArrayClick(0)");

    // An array reports the click of a member by its index, on itself.
    EventRecorder on_array(mru, DIID___xMenu);
    Click(mru, 1);
    Member(mru, 1)->put_Visible(VARIANT_FALSE);
    Click(mru, 1);
    Click(mru);
    EXPECT_EQ(on_array.Joined(), L"ArrayClick(1); SystemError(9, Subscript out of range)");
}

// A host refreshes its list of recent files: a new ArrayCount, new command
// bars, rendering again; each ID its command bars report leads to the
// entry with that control and to ArrayClick with the entry's index.
TEST_F(MenuLookup, ARefreshedArrayDispatchesEachClickToItsEntry) {
    Menu t(L"File{MRU Exit}");
    t.root->put_StartID(1000);
    _xMenu* mru = t[L"MRU"];
    EventRecorder on_array(mru, DIID___xMenu);
    const struct {
        short count;
        bool base_zero;
        const wchar_t* clicks;
    } steps[] = {
        {2, true, L"ArrayClick(0); ArrayClick(1)"},
        {3, true, L"ArrayClick(0); ArrayClick(1); ArrayClick(2)"},
        {2, false, L"ArrayClick(1); ArrayClick(2)"},
        {0, true, L""},
    };
    for (const auto& step : steps) {
        HostBars bars;
        MakeArray(mru, step.count, step.base_zero);
        ASSERT_TRUE(Render(t.root.Get(), bars.object.Get()));
        ComPtr<_xMenuCollection> members = Read(mru, &_xMenu::get_ArrayMenu);
        ASSERT_EQ(CountOf(members.Get()), step.count);
        EXPECT_EQ(Read(mru, &_xMenu::get_Count), step.count);
        for (short j = 0; j < step.count; ++j) {
            const long id = 1002 + j;
            ComPtr<_xMenu> entry = Find(t.root.Get(), id);
            ASSERT_TRUE(entry) << id;
            const short index = Read(entry.Get(), &_xMenu::get_ArrayIndex);
            EXPECT_EQ(index, step.base_zero ? j : j + 1);
            EXPECT_TRUE(Same(Member(mru, index).Get(), entry.Get()));
            EXPECT_EQ(LabelOf(Read(entry.Get(), &_xMenu::get_CmdBarControl)), bars.FindControl(id));
            Click(mru, index);
        }
        EXPECT_EQ(on_array.Joined(), step.clicks) << step.count;
        EXPECT_EQ(Read(Find(t.root.Get(), 1002 + step.count).Get(), &_xMenu::get_Caption), L"Exit");
        on_array.Clear();
    }
}

class MenuList : public NodeTest {
protected:
    void TearDown() override {
        list = nullptr;
        NodeTest::TearDown();
    }
    bool ListInto(_xMenu* root) {
        ComPtr<_Collection> typed = list.As<_Collection>();
        _Collection* raw = typed.Get();
        VARIANT_BOOL result = 7;
        EXPECT_EQ(root->GetMenuList(&raw, &result), S_OK);
        return result == VARIANT_TRUE;
    }
    long Count() { return Long(Call(list.Get(), L"Count").value); }
    bool At(Variant index, IUnknown* expected) {
        return Same(Object(Call(list.Get(), L"Item", {std::move(index)}).value), expected);
    }
    ComPtr<IDispatch> list = xchost::CreateCollection();
};

TEST_F(MenuList, ListsEveryNodeInTreeOrderUnderItsKey) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> a = Add(root.Get(), NewNode<_xMenu>(L"A"), L"a");
    ComPtr<_xMenu> a1 = Add(a.Get(), NewNode<_xMenu>(L"A1"), L"a1");
    ComPtr<_xMenu> a2 = Add(a.Get(), NewNode<_xMenu>(L"A2"));
    ComPtr<_xMenu> b = Add(root.Get(), NewNode<_xMenu>(L"B"), L"b");
    ComPtr<_xMenu> array = Add(b.Get(), NewNode<_xMenu>(L"MRU"));
    MakeArray(array.Get(), 2);
    Append(Read(array.Get(), &_xMenu::get_ArrayMenu).Get(), NewMenu());
    ComPtr<_xMenu> under_array = Add(array.Get(), NewNode<_xMenu>(L"under"), L"u");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(ListInto(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    // Array members are not listed; the root itself neither.
    ASSERT_EQ(Count(), 6);
    _xMenu* expected[] = {a.Get(), a1.Get(), a2.Get(), b.Get(), array.Get(), under_array.Get()};
    for (long i = 0; i < 6; ++i) EXPECT_TRUE(At(Variant::Long(i + 1), expected[i])) << i;
    EXPECT_TRUE(At(Variant::String(L"A1"), a1.Get()));
    EXPECT_TRUE(At(Variant::String(L"u"), under_array.Get()));
}

TEST_F(MenuList, ARefusedKeyEndsTheListing) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> x = Add(root.Get(), NewNode<_xMenu>(L"X"), L"x");
    Add(x.Get(), NewNode<_xMenu>(L"plain"));
    // The same key in another letter case, in another collection.
    Add(x.Get(), NewNode<_xMenu>(L"Other"), L"X");
    Add(root.Get(), NewNode<_xMenu>(L"Never"), L"n");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_FALSE(ListInto(root.Get()));
    EXPECT_EQ(events.Joined(),
              L"SystemError(457, This key is already associated with an element of this collection)");
    EXPECT_EQ(Count(), 2);

    // Listing twice into the same list: the unkeyed nodes before the first
    // keyed one are appended again, then that one is refused.
    Menu other(L"unkeyed");
    Add(other.root.Get(), NewNode<_xMenu>(L"keyed"), L"k");
    EXPECT_TRUE(ListInto(other.root.Get()));
    EXPECT_EQ(Count(), 4);
    EXPECT_FALSE(ListInto(other.root.Get()));
    EXPECT_EQ(Count(), 5);

    // A missing list.
    events.Clear();
    _Collection* nothing = nullptr;
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(root->GetMenuList(&nothing, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
}

}  // namespace
}  // namespace zuv::test
