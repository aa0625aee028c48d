// Finding a node by command ID, click dispatch, and listing a menu tree
// into the host's collection.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;
const wchar_t kNotSet[] = L"SystemError(91, Object variable or With block variable not set)";

// A(1){a1(2){a11(3)}} B(4){b1(5){b11(6){b111(7)}}}
// C(8){separator, MRU (generated entries 9 and 10), s(11){s1(12)}}
Menu Rendered(ICommandBarsObject* bars) {
    Menu t(L"A{a1{a11}} B{b1{b11{b111}}} C{- MRU*2 s{s1}}");
    EXPECT_TRUE(Render(t.root.Get(), bars));
    EXPECT_EQ(IdOf(t[L"s1"]), 12);
    return t;
}

ComPtr<_xMenu> Member(_xMenu* array, short index) {
    return ItemOf(Read(array, &_xMenu::get_ArrayMenu).Get(), Variant::Short(index));
}

class MenuLookup : public NodeTest {};

TEST_F(MenuLookup, SearchesDepthFirstBelowTheRoot) {
    Menu t = Rendered(host.object.Get());
    _xMenu* mru = t[L"MRU"];
    EventRecorder events(t.root.Get(), DIID___xMenu);
    const struct {
        long id;
        _xMenu* found;   // nullptr: Nothing
    } cases[] = {
        {7, t[L"b111"]}, {9, Member(mru, 0).Get()}, {10, Member(mru, 1).Get()},
        {0, t[L"-"]},   // separators and arrays keep ID 0: the first of them
        {13, nullptr},
    };
    for (const auto& c : cases) EXPECT_TRUE(Same(Find(t.root.Get(), c.id).Get(), c.found)) << c.id;
    EXPECT_EQ(events.Joined(), L"");
}

// The first of two equal IDs in search order wins: an array's members come
// before its own sub-menus, the array node before its members.
TEST_F(MenuLookup, TheFirstOfEqualIdsInSearchOrderWins) {
    Menu t = Rendered(host.object.Get());
    _xMenu* mru = t[L"MRU"];
    MUST(t[L"B"]->put_ID(2));
    EXPECT_TRUE(Same(Find(t.root.Get(), 2).Get(), t[L"a1"]));
    MUST(Add(mru, NewNode<_xMenu>(L"under"))->put_ID(9));
    EXPECT_TRUE(Same(Find(t.root.Get(), 9).Get(), Member(mru, 0).Get()));
    MUST(mru->put_ID(9));
    EXPECT_TRUE(Same(Find(t.root.Get(), 9).Get(), mru));
}

TEST_F(MenuLookup, NeitherTheRootNorATitlesArrayMembersAreCompared) {
    Menu t(L"A#0");
    MUST(t.root->put_ID(99));
    MUST(Append(Read(t[L"A"], &_xMenu::get_ArrayMenu).Get(), NewMenu())->put_ID(500));
    EXPECT_FALSE(Find(t.root.Get(), 99));
    EXPECT_FALSE(Find(t.root.Get(), 500));
}

// The recursive step on its own: below the node given; events on the node called.
TEST_F(MenuLookup, GetMenuFromSubMenuSearchesBelowTheNodeGiven) {
    Menu t = Rendered(host.object.Get());
    ComPtr<_xMenu> found;
    _xMenu* start = t[L"B"];
    MUST(t[L"A"]->GetMenuFromSubMenu(&start, 7, found.Out()));
    EXPECT_TRUE(Same(found.Get(), t[L"b111"]));
    EventRecorder on_a(t[L"A"], DIID___xMenu);
    start = nullptr;
    MUST(t[L"A"]->GetMenuFromSubMenu(&start, 7, found.Out()));
    EXPECT_FALSE(found);
    EXPECT_EQ(on_a.Joined(), kNotSet);
}

// An array reports the click of a visible member by its index, on itself.
TEST_F(MenuLookup, AnArrayRaisesArrayClickForItsVisibleMembers) {
    Menu t = Rendered(host.object.Get());
    _xMenu* mru = t[L"MRU"];
    EventRecorder on_array(mru, DIID___xMenu);
    EXPECT_EQ(Click(mru, 1), S_OK);
    MUST(Member(mru, 1)->put_Visible(VARIANT_FALSE));
    EXPECT_EQ(Click(mru, 1), S_OK);
    EXPECT_EQ(Click(mru), S_OK);
    EXPECT_EQ(on_array.Joined(), L"ArrayClick(1); SystemError(9, Subscript out of range)");
}

template <class Node>
class EitherFamilyLookup : public NodeTest {};
TYPED_TEST_SUITE(EitherFamilyLookup, Families);

// A host's collection under A fails (its Item, or its Count read part-way
// through the walk): reported with a positive number only.  A failure below
// the top level ends that branch and the search goes on with B; the Count
// read by the top level ends the search.  Error information left pending
// earlier is not lent to a failure that comes without any.
TYPED_TEST(EitherFamilyLookup, AFailureEndsTheSearchOfOneBranch) {
    const HRESULT e1234 = MAKE_HRESULT(1, FACILITY_CONTROL, 1234);
    const wchar_t* reported = L"SystemError(1234, Application-defined or object-defined error)";
    const struct {
        long item_at, count_call;
        HRESULT failure;
        const wchar_t* events;
        bool found;
        Lines calls;
    } cases[] = {
        {1, 0, e1234, reported, true, {L"get_Count", L"get_Count", L"get_Item 1"}},
        {1, 0, E_FAIL, L"", true, {L"get_Count", L"get_Count", L"get_Item 1"}},
        {0, 2, e1234, reported, true, {L"get_Count", L"get_Count"}},
        {0, 1, e1234, reported, false, {L"get_Count"}},
    };
    for (const auto& c : cases) {
        Tree<TypeParam> t(L"A B{b1{b11}}");
        MUST(t[L"b11"]->put_ID(7));
        auto entries = MakeFake<ForeignEntries<TypeParam>>();
        entries->items.push_back(NewNode<TypeParam>());
        entries->fail_item_at = c.item_at;
        entries->fail_count_call = c.count_call;
        entries->item_failure = c.failure;
        MUST(SetEntries(t[L"A"], entries.Get()));
        EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
        ComPtr<ICreateErrorInfo> stale;
        MUST(CreateErrorInfo(stale.Out()));
        MUST(stale->SetDescription(const_cast<LPOLESTR>(L"stale")));
        MUST(SetErrorInfo(0, stale.As<IErrorInfo>().Get()));
        EXPECT_TRUE(Same(Find(t.root.Get(), 7).Get(), c.found ? t[L"b11"] : nullptr));
        EXPECT_EQ(events.Joined(), c.events);
        EXPECT_EQ(entries->calls, c.calls);
    }
}

// A click is raised only on an enabled, visible node: a menu node's with an
// index as ArrayClick, a toolbar node's with its argument as it is.
TYPED_TEST(EitherFamilyLookup, AClickIsRaisedOnlyOnAnEnabledVisibleNode) {
    const struct {
        VARIANT_BOOL enabled, visible;
        short index;
        const wchar_t *menu, *toolbar;
    } cases[] = {
        {VARIANT_TRUE, VARIANT_TRUE, -1, L"Click", L"ButtonClick(Nothing)"},
        {VARIANT_TRUE, VARIANT_TRUE, 0, L"ArrayClick(0)", L"ButtonClick(Nothing)"},
        {VARIANT_FALSE, VARIANT_TRUE, -1, L"", L""},
        {VARIANT_TRUE, VARIANT_FALSE, 3, L"", L""},
    };
    for (const auto& c : cases) {
        ComPtr<TypeParam> node = NewNode<TypeParam>();
        MUST(node->put_Enabled(c.enabled));
        MUST(node->put_Visible(c.visible));
        EventRecorder events(node.Get(), EventsOf<TypeParam>());
        EXPECT_EQ(Click(node.Get(), c.index), S_OK);
        EXPECT_EQ(events.Joined(), kIsMenu<TypeParam> ? c.menu : c.toolbar);
    }
}

// A clicked node that its own handler removes and lets go of: the click
// ends normally.
TYPED_TEST(EitherFamilyLookup, AClickHandlerThatReleasesTheClickedNode) {
    Tree<TypeParam> t(L"Item");
    ComPtr<TypeParam> item = t[L"Item"];
    TypeParam* raw = item.Get();
    auto events = std::make_unique<EventRecorder>(raw, EventsOf<TypeParam>());
    events->OnEvent([&](DISPID) {
        MUST(EntriesOf(t.root.Get())->Remove(Variant::Long(1).Get()));
        t = Tree<TypeParam>(L"");
        events->Disconnect();
        item = nullptr;
    });
    EXPECT_EQ(Click(raw), S_OK);
    EXPECT_EQ(events->Joined(), kIsMenu<TypeParam> ? L"Click" : L"ButtonClick(Nothing)");
}

class MenuList : public NodeTest {
protected:
    void TearDown() override {
        list = nullptr;
        NodeTest::TearDown();
    }
    bool ListInto(_xMenu* root) { return List(root, list.As<_Collection>().Get()); }
    long Count() { return Long(Call(list.Get(), L"Count").value); }
    bool At(Variant index, IUnknown* expected) {
        return Same(Object(Call(list.Get(), L"Item", {std::move(index)}).value), expected);
    }
    ComPtr<IDispatch> list = xchost::CreateCollection();
};

// Array members are not listed; the root itself neither.
TEST_F(MenuList, ListsEveryNodeInTreeOrderUnderItsKey) {
    Menu t(L"A:a{A1:a1 A2} B:b{MRU*2{under:u}}");
    Append(Read(t[L"MRU"], &_xMenu::get_ArrayMenu).Get(), NewMenu());
    EventRecorder events(t.root.Get(), DIID___xMenu);

    EXPECT_TRUE(ListInto(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    ASSERT_EQ(Count(), 6);
    const wchar_t* expected[] = {L"A", L"A1", L"A2", L"B", L"MRU", L"under"};
    for (long i = 0; i < 6; ++i) EXPECT_TRUE(At(Variant::Long(i + 1), t[expected[i]])) << i;
    EXPECT_TRUE(At(Variant::String(L"A1"), t[L"A1"]));
    EXPECT_TRUE(At(Variant::String(L"u"), t[L"under"]));
}

// The same key in another letter case, in another collection: refused by
// the host's list, which ends the listing.
TEST_F(MenuList, ARefusedKeyEndsTheListing) {
    Menu t(L"X:x{plain Other:X} Never:n");
    EventRecorder events(t.root.Get(), DIID___xMenu);
    EXPECT_FALSE(ListInto(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(457, This key is already associated with an element of this collection)");
    EXPECT_EQ(Count(), 2);
}

// Listing twice into the same list: the unkeyed nodes before the first
// keyed one are appended again, then that one is refused.
TEST_F(MenuList, ListingTwiceIntoOneListStopsAtTheFirstKey) {
    Menu t(L"unkeyed keyed:k");
    EXPECT_TRUE(ListInto(t.root.Get()));
    EXPECT_EQ(Count(), 2);
    EXPECT_FALSE(ListInto(t.root.Get()));
    EXPECT_EQ(Count(), 3);
}

TEST_F(MenuList, AMissingListIsAnErrorEvent) {
    ComPtr<_xMenu> root = NewMenu();
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(List(root.Get(), nullptr));
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
}

}  // namespace
}  // namespace zuv::test
