// GetToolBar, GetToolBarFromSubToolBar and RaiseClickEvent; hosts that
// change the tree from inside an event (the deepest and widest trees are in
// the walks over both families).
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Bar = Tree<_xToolBar>;
const wchar_t kAppError[] = L"SystemError(1010, Application-defined or object-defined error)";

ComPtr<_xToolBar> FindBelow(_xToolBar* receiver, _xToolBar* start, long id) {
    ComPtr<_xToolBar> found;
    MUST(receiver->GetToolBarFromSubToolBar(&start, id, found.Out()));
    return found;
}

// The node's children: a host's collection whose first Item fails with error 1010.
ComPtr<ForeignButtons> FailingChildren(_xToolBar* node) {
    ComPtr<ForeignButtons> children = MakeFake<ForeignButtons>();
    children->items.push_back(NewNode<_xToolBar>(L"X"));
    children->fail_item_at = 1;
    children->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1010);
    MUST(node->putref_Buttons(children.Get()));
    return children;
}

class ToolBarLookup : public NodeTest {};

// Pre-order below the start, the first match wins; neither the root nor
// the start is compared; the receiver only receives.  A separator is
// compared like any node.
TEST_F(ToolBarLookup, PreOrderBelowTheStartFirstMatchWins) {
    Bar t(L"A - B{C D} E");
    MUST(t.root->put_StartID(100));
    _xToolBar* root = t.root.Get();
    EXPECT_TRUE(Render(root));
    MUST(t[L"E"]->put_ID(103));
    EventRecorder events(root, DIID___xToolBar);
    const struct {
        _xToolBar *receiver, *start;
        long id;
        _xToolBar* found;
    } cases[] = {
        {root, root, 103, t[L"C"]}, {root, root, 100, nullptr},   {root, t[L"B"], 102, nullptr},
        {t[L"E"], t[L"B"], 104, t[L"D"]}, {root, root, 0, t[L"-"]},
    };
    for (const auto& c : cases) EXPECT_TRUE(Same(FindBelow(c.receiver, c.start, c.id).Get(), c.found)) << c.id;
    EXPECT_TRUE(Same(Find(root, 102).Get(), t[L"B"]));
    EXPECT_TRUE(Same(Object(Call(root, L"GetToolBar", {Variant::Long(104)}).value), t[L"D"]));
    EXPECT_FALSE(Find(NewToolBar().Get(), 0));
    EXPECT_EQ(events.Joined(), L"");
}

// An empty entry matches ID 0 as a fresh node, never stored back.
TEST_F(ToolBarLookup, AnEmptyEntryMatchesIdZeroAsAFreshNode) {
    Bar u(L"A");
    MUST(u[L"A"]->put_ID(1));
    Add(u.root.Get(), nullptr);
    ComPtr<_xToolBar> fresh = Required(Find(u.root.Get(), 0), "the fresh node");
    EXPECT_NE(fresh, Find(u.root.Get(), 0));
    EXPECT_FALSE(ItemOrNothing(EntriesOf(u.root.Get()).Get(), Variant::Long(2)));
}

TEST_F(ToolBarLookup, TooManyEntriesOrAStartOfNothingEndTheSearch) {
    Bar t(L"B E");
    MUST(t[L"E"]->put_ID(9));
    FailingChildren(t[L"B"])->count_override = 32768;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(FindBelow(t.root.Get(), t[L"B"], 9));
    EXPECT_FALSE(FindBelow(t.root.Get(), nullptr, 9));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow); SystemError(91, Object variable or With block variable not set)");
}

TEST_F(ToolBarLookup, AHostsOwnNodeIsSearchedThroughItsInterface) {
    ComPtr<_xToolBar> root = NewNode<_xToolBar>();
    ComPtr<ForeignToolBar> stranger = MakeFake<ForeignToolBar>();
    Add(root.Get(), ComPtr<_xToolBar>(stranger.Get()));
    ComPtr<_xToolBar> below = Add(static_cast<_xToolBar*>(stranger.Get()), NewNode<_xToolBar>(L"Below"));
    MUST(stranger->put_ID(2));
    MUST(below->put_ID(3));
    stranger->calls.clear();
    EXPECT_TRUE(Same(Find(root.Get(), 3).Get(), below.Get()));
    EXPECT_EQ(stranger->calls, (Lines{L"get_ID", L"get_Buttons", L"get_Buttons"}));
    EXPECT_TRUE(Same(Find(root.Get(), 2).Get(), stranger.Get()));
    EXPECT_TRUE(Same(FindBelow(root.Get(), static_cast<_xToolBar*>(stranger.Get()), 3).Get(), below.Get()));
}

// ButtonClick carries the argument as it is (Nothing, a host's node), on
// the receiver, whatever the argument's own state.
TEST_F(ToolBarLookup, ClickPassesTheArgumentOn) {
    ComPtr<_xToolBar> x = NewNode<_xToolBar>(L"X"), c = NewNode<_xToolBar>(L"C"), stranger = NewForeignToolBar();
    MUST(c->put_Enabled(VARIANT_FALSE));
    EventRecorder events(x.Get(), DIID___xToolBar);
    VARIANT result;
    result.vt = VT_I4;
    MUST(x->RaiseClickEvent(c.Get(), &result));
    EXPECT_EQ(result.vt, VT_EMPTY);
    MUST(x->RaiseClickEvent(nullptr, &result));
    LateResult late = Call(x.Get(), L"RaiseClickEvent", {Variant::Object(stranger.Get())});
    EXPECT_TRUE(late.ok() && late.value.Type() == VT_EMPTY);
    EXPECT_EQ(events.Joined(), L"ButtonClick(obj); ButtonClick(Nothing); ButtonClick(obj)");
    EXPECT_TRUE(Same(events.Objects().at(0).Get(), c.Get()));
    EXPECT_TRUE(Same(events.Objects().at(2).Get(), stranger.Get()));
}

class ToolBarRobust : public NodeTest {};

// During a lookup error the collection is emptied: the walk ends with 9.
TEST_F(ToolBarRobust, AHandlerThatEmptiesTheCollectionDuringALookupError) {
    Bar u(L"B C");
    FailingChildren(u[L"B"]);
    EventRecorder events(u.root.Get(), DIID___xToolBar);
    events.OnEvent([&](DISPID) {
        while (CountOf(EntriesOf(u.root.Get()).Get()) > 0) MUST(EntriesOf(u.root.Get())->Remove(Variant::Long(1).Get()));
    });
    EXPECT_FALSE(Find(u.root.Get(), 77));
    EXPECT_EQ(events.Joined(), std::wstring(kAppError) + L"; SystemError(9, Subscript out of range)");
}

}  // namespace
}  // namespace zuv::test
