// GetToolBar, GetToolBarFromSubToolBar and RaiseClickEvent; hosts that
// change the tree from inside an event; trees that contain themselves, are
// absurdly deep or as wide as a 16-bit bound allows.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Bar = Tree<_xToolBar>;
ComPtr<_xToolBar> Node(const wchar_t* caption = L"") { return NewNode<_xToolBar>(caption); }
const wchar_t kAppError[] = L"SystemError(1010, Application-defined or object-defined error)";
const wchar_t kOutOfStack[] = L"SystemError(28, Out of stack space)";

ComPtr<_xToolBar> FindBelow(_xToolBar* receiver, _xToolBar* start, long id) {
    ComPtr<_xToolBar> found;
    EXPECT_EQ(receiver->GetToolBarFromSubToolBar(&start, id, found.Out()), S_OK);
    return found;
}

// The node's children: a host's collection whose first Item fails with error 1010.
ComPtr<ForeignButtons> FailingChildren(_xToolBar* node) {
    ComPtr<ForeignButtons> children = MakeFake<ForeignButtons>();
    children->items.push_back(Node(L"X"));
    children->fail_item_at = 1;
    children->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1010);
    node->putref_Buttons(children.Get());
    return children;
}

class ToolBarLookup : public NodeTest {};

TEST_F(ToolBarLookup, PreOrderBelowTheStartFirstMatchWins) {
    Bar t(L"A - B{C D} E");
    t.root->put_StartID(100);
    _xToolBar* root = t.root.Get();
    EXPECT_TRUE(Render(root));
    EventRecorder events(root, DIID___xToolBar);

    EXPECT_EQ(Find(root, 103).Get(), t[L"C"]);
    EXPECT_EQ(Find(root, 105).Get(), t[L"E"]);
    EXPECT_FALSE(Find(root, 100));                  // the root is never compared
    EXPECT_FALSE(FindBelow(root, t[L"B"], 102));    // nor the start
    EXPECT_EQ(FindBelow(t[L"E"], t[L"B"], 104).Get(), t[L"D"]);   // the receiver only receives
    EXPECT_TRUE(Same(Object(Call(root, L"GetToolBar", {Variant::Long(104)}).value), t[L"D"]));

    // Duplicates: the one inside the first drop-down comes first.  ID 0:
    // the separator, never rendered, is compared like any node.
    t[L"C"]->put_ID(105);
    EXPECT_EQ(Find(root, 105).Get(), t[L"C"]);
    EXPECT_EQ(Find(root, 0).Get(), t[L"-"]);
    EXPECT_FALSE(Find(NewToolBar().Get(), 0));
    EXPECT_EQ(events.Joined(), L"");

    // An empty entry matches ID 0 as a fresh node, never stored back.
    Bar u(L"A");
    u[L"A"]->put_ID(1);
    Add(u.root.Get(), nullptr);
    ComPtr<_xToolBar> fresh = Find(u.root.Get(), 0);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, Find(u.root.Get(), 0));
    EXPECT_FALSE(ItemOrNothing(EntriesOf(u.root.Get()).Get(), Variant::Long(2)));
}

TEST_F(ToolBarLookup, ErrorsAreReportedPerLevelAndTheSearchGoesOn) {
    Bar t(L"B E");
    t[L"E"]->put_ID(9);
    ComPtr<ForeignButtons> children = FailingChildren(t[L"B"]);
    EventRecorder events(t.root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(t.root.Get(), 9).Get(), t[L"E"]);
    EXPECT_EQ(events.Joined(), kAppError);

    // Numbers that are not positive are not reported.
    events.Clear();
    children->item_failure = E_FAIL;
    EXPECT_EQ(Find(t.root.Get(), 9).Get(), t[L"E"]);
    EXPECT_EQ(events.Joined(), L"");

    // Too many entries for a 16-bit bound; a start of Nothing.
    children->count_override = 32768;
    EXPECT_FALSE(FindBelow(t.root.Get(), t[L"B"], 9));
    EXPECT_FALSE(FindBelow(t.root.Get(), nullptr, 9));
    EXPECT_EQ(events.Joined(),
              L"SystemError(6, Overflow); SystemError(91, Object variable or With block variable not set)");
}

TEST_F(ToolBarLookup, HostOwnNodesAreSearchedThroughTheirInterface) {
    ComPtr<_xToolBar> root = Node();
    ComPtr<_xToolBar> stranger = Add(root.Get(), NewForeignToolBar());
    ComPtr<_xToolBar> below = Add(stranger.Get(), Node(L"Below"));
    stranger->put_ID(2);
    below->put_ID(3);
    EXPECT_EQ(Find(root.Get(), 2), stranger);
    EXPECT_EQ(Find(root.Get(), 3), below);
    EXPECT_EQ(FindBelow(root.Get(), stranger.Get(), 3), below);
}

TEST_F(ToolBarLookup, ClickReadsTheReceiverAndPassesTheArgumentOn) {
    ComPtr<_xToolBar> x = Node(L"X"), c = Node(L"C"), stranger = NewForeignToolBar();
    c->put_Enabled(VARIANT_FALSE);   // the argument's state does not matter
    EventRecorder events(x.Get(), DIID___xToolBar);
    VARIANT result;
    result.vt = VT_I4;
    EXPECT_EQ(x->RaiseClickEvent(c.Get(), &result), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(x->RaiseClickEvent(nullptr, &result), S_OK);
    LateResult late = Call(x.Get(), L"RaiseClickEvent", {Variant::Object(stranger.Get())});
    EXPECT_TRUE(late.ok() && late.value.Type() == VT_EMPTY);
    EXPECT_EQ(events.Joined(), L"ButtonClick(obj); ButtonClick(Nothing); ButtonClick(obj)");
    EXPECT_TRUE(Same(events.Objects().at(0).Get(), c.Get()));
    EXPECT_TRUE(Same(events.Objects().at(2).Get(), stranger.Get()));

    // A disabled or hidden receiver raises nothing.
    events.Clear();
    x->put_Enabled(VARIANT_FALSE);
    x->RaiseClickEvent(x.Get(), &result);
    x->put_Enabled(VARIANT_TRUE);
    x->put_Visible(VARIANT_FALSE);
    x->RaiseClickEvent(x.Get(), &result);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(events.Joined(), L"");
}

class ToolBarRobust : public NodeTest {};

TEST_F(ToolBarRobust, ClickHandlersThatReleaseTheNodeOrClickEndlessly) {
    ComPtr<_xToolBar> x = Node(L"X");
    _xToolBar* raw = x.Get();
    auto events = std::make_unique<EventRecorder>(raw, DIID___xToolBar);
    events->OnEvent([&](DISPID) {
        events->Disconnect();
        x.Reset();
    });
    VARIANT result;
    EXPECT_EQ(raw->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_EQ(events->Joined(), L"ButtonClick(Nothing)");

    // A handler that clicks again and again is stopped by the nesting limit.
    x = Node(L"X");
    events = std::make_unique<EventRecorder>(x.Get(), DIID___xToolBar);
    HRESULT innermost = S_OK;
    events->OnEvent([&](DISPID) {
        VARIANT r;
        HRESULT hr = x->RaiseClickEvent(nullptr, &r);
        if (FAILED(hr)) innermost = hr;
    });
    EXPECT_EQ(x->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_EQ(innermost, MAKE_HRESULT(1, FACILITY_CONTROL, 28));
    EXPECT_GT(events->Events().size(), 10u);
}

TEST_F(ToolBarRobust, HandlersThatChangeTheTreeDuringAnError) {
    // During a rendering error the tree is thrown away: the rendering goes
    // on with the buttons it started with.
    Bar t(L"P{X} Q");
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    host.FailCall(L"Control#1.CommandBar.Controls", L"call Add", 1, 1005, L"No room");
    events.OnEvent([&](DISPID) { t.root->putref_Buttons(EntriesOf(NewToolBar().Get()).Get()); });
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1005, No room)");
    EXPECT_EQ(host.FindControl(3), L"Control#2");

    // During a lookup error the collection is emptied: the walk ends with 9.
    Bar u(L"B C");
    FailingChildren(u[L"B"]);
    EventRecorder on_u(u.root.Get(), DIID___xToolBar);
    on_u.OnEvent([&](DISPID) {
        Variant first = Variant::Long(1);
        while (CountOf(EntriesOf(u.root.Get()).Get()) > 0) EntriesOf(u.root.Get())->Remove(first.Get());
    });
    EXPECT_FALSE(Find(u.root.Get(), 77));
    EXPECT_EQ(on_u.Joined(), std::wstring(kAppError) + L"; SystemError(9, Subscript out of range)");
}

TEST_F(ToolBarRobust, TreeContainingItselfAndAHundredThousandDeepChain) {
    // Three times in its own Buttons: once the limit fires the whole walk
    // ends, or it would descend again from every level (exponential).
    Bar t(L"A{x} B");
    for (int i = 0; i < 3; ++i) Add(t[L"A"], t[L"A"]);
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Find(t.root.Get(), 12345));
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), std::wstring(kOutOfStack) + L"; " + kOutOfStack);
    EXPECT_TRUE(IsDesigned(t[L"B"]));   // the next top-level button still follows
    t[L"A"]->putref_Buttons(nullptr);   // the host breaks its own cycle

    ComPtr<_xToolBar> root = Node(), tip = root;
    NodeFactory<_xToolBar> factory;
    for (int i = 0; i < 100000; ++i) tip = Add(tip.Get(), factory.New());
    tip.Reset();
    EventRecorder on_chain(root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(on_chain.Joined(), std::wstring(kOutOfStack) + L"; " + kOutOfStack);
    // Releasing the chain takes no more stack than releasing one node.
    on_chain.Disconnect();
    root.Reset();
}

TEST_F(ToolBarRobust, ExactlyShortMaxEntriesAreWalkedToTheLast) {
    ComPtr<_xToolBar> root = Node(), separator = Node(L"-"), last;
    NodeFactory<_xToolBar> factory;
    for (int i = 1; i < 32767; ++i) Add(root.Get(), separator);
    last = Add(root.Get(), factory.New());
    last->put_ID(-7);
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(root.Get(), -7), last);
    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_TRUE(IsDesigned(last.Get()));

    // One more and the bound does not fit: error 6 before any control.
    Add(root.Get(), Node(L"Extra"));
    host.ClearLog();
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_FALSE(Find(root.Get(), IdOf(last.Get())));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow); SystemError(6, Overflow)");
    EXPECT_EQ(host.Log().size(), 6u);   // the new toolbar's own set-up only
}

}  // namespace
}  // namespace zuv::test
