// GetToolBar, GetToolBarFromSubToolBar and RaiseClickEvent; hosts that
// change the tree from inside an event; trees that contain themselves or
// are absurdly deep.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class ToolBarLookup : public ToolBarTest {};

ComPtr<_xToolBar> FindBelow(_xToolBar* receiver, _xToolBar* start, long id) {
    ComPtr<_xToolBar> found;
    EXPECT_EQ(receiver->GetToolBarFromSubToolBar(&start, id, found.Out()), S_OK);
    return found;
}

// B's children: a host's collection whose first Item fails with `failure`.
ComPtr<ForeignCollection> FailingChildren(_xToolBar* b, HRESULT failure) {
    ComPtr<ForeignCollection> children = NewForeignCollection();
    children->items.push_back(NewNode(L"X"));
    children->fail_item_at = 1;
    children->item_failure = failure;
    b->putref_Buttons(children.Get());
    return children;
}

const wchar_t kAppError[] = L"SystemError(1010, Application-defined or object-defined error)";

TEST_F(ToolBarLookup, PreOrderBelowTheStartFirstMatchWins) {
    ExampleTree t;
    EXPECT_TRUE(Render(t.root.Get(), Host().Object()));
    EventRecorder events(t.root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(t.root.Get(), 103), t.c);
    EXPECT_EQ(Find(t.root.Get(), 105), t.e);
    EXPECT_FALSE(Find(t.root.Get(), 100));                   // the root is never compared
    EXPECT_FALSE(FindBelow(t.root.Get(), t.b.Get(), 102));   // nor the start
    EXPECT_EQ(FindBelow(t.e.Get(), t.b.Get(), 104), t.d);    // the receiver only receives
    EXPECT_TRUE(Same(Object(Call(t.root.Get(), L"GetToolBar", {Variant::Long(104)}).value), t.d.Get()));

    // Duplicates: the one inside the first drop-down comes first.  ID 0:
    // the separator, never rendered, is compared like any node.
    t.c->put_ID(105);
    EXPECT_EQ(Find(t.root.Get(), 105), t.c);
    EXPECT_EQ(Find(t.root.Get(), 0), t.separator);
    EXPECT_FALSE(Find(NewToolBar().Get(), 0));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(ToolBarLookup, EmptyEntryMatchesIdZeroAsAFreshNode) {
    ComPtr<_xToolBar> root = NewNode();
    Add(root.Get(), NewNode(L"A"))->put_ID(1);
    Add(root.Get(), nullptr);
    ComPtr<_xToolBar> first = Find(root.Get(), 0);
    ASSERT_TRUE(first);
    EXPECT_NE(first, Find(root.Get(), 0));
    EXPECT_FALSE(ItemOf(root.Get(), 2));
}

TEST_F(ToolBarLookup, ErrorsAreReportedPerLevelAndTheSearchGoesOn) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    ComPtr<_xToolBar> e = Add(root.Get(), NewNode(L"E"));
    e->put_ID(9);
    ComPtr<ForeignCollection> children = FailingChildren(b.Get(), MAKE_HRESULT(1, FACILITY_CONTROL, 1010));
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(root.Get(), 9), e);
    EXPECT_EQ(events.Joined(), kAppError);

    // Numbers that are not positive are not reported.
    events.Clear();
    children->item_failure = E_FAIL;
    EXPECT_EQ(Find(root.Get(), 9), e);
    EXPECT_TRUE(events.Events().empty()) << events.Joined();

    // Too many entries for a 16-bit bound; a start of Nothing.
    children->count_override = 32768;
    EXPECT_FALSE(FindBelow(root.Get(), b.Get(), 9));
    EXPECT_FALSE(FindBelow(root.Get(), nullptr, 9));
    ASSERT_EQ(events.Events().size(), 2u);
    EXPECT_EQ(events.Events()[0], L"SystemError(6, Overflow)");
    EXPECT_TRUE(StartsWith(events.Events()[1], L"SystemError(91, ")) << events.Joined();
}

TEST_F(ToolBarLookup, ExactlyShortMaxEntriesAreSearchedToTheLast) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> last;
    NodeFactory factory;
    for (long i = 1; i <= 32767; ++i) Add(root.Get(), last = factory.New());
    last->put_ID(7);
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_EQ(Find(root.Get(), 7), last);
    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(ToolBarLookup, HostOwnNodesAreSearchedThroughTheirInterface) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> stranger = Add(root.Get(), NewForeignNode());
    ComPtr<_xToolBar> below = Add(stranger.Get(), NewNode(L"Below"));
    stranger->put_ID(2);
    below->put_ID(3);
    EXPECT_EQ(Find(root.Get(), 2), stranger);
    EXPECT_EQ(Find(root.Get(), 3), below);
    EXPECT_EQ(FindBelow(root.Get(), stranger.Get(), 3), below);
}

class ToolBarClick : public ToolBarTest {};

TEST_F(ToolBarClick, GuardReadsTheReceiverAndPassesTheArgumentOn) {
    ComPtr<_xToolBar> x = NewNode(L"X"), c = NewNode(L"C"), stranger = NewForeignNode();
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
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(ToolBarClick, SinkMayReleaseTheLastReferenceWhileTheClickIsDelivered) {
    ComPtr<_xToolBar> x = NewNode(L"X");
    _xToolBar* raw = x.Get();
    EventRecorder events(raw, DIID___xToolBar);
    events.OnEvent([&](DISPID) {
        events.Disconnect();
        x.Reset();
    });
    VARIANT result;
    EXPECT_EQ(raw->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_EQ(events.Joined(), L"ButtonClick(Nothing)");
}

TEST_F(ToolBarClick, EndlesslyClickingHandlerIsStopped) {
    ComPtr<_xToolBar> x = NewNode(L"X");
    EventRecorder events(x.Get(), DIID___xToolBar);
    HRESULT innermost = S_OK;
    events.OnEvent([&](DISPID) {
        VARIANT r;
        HRESULT hr = x->RaiseClickEvent(nullptr, &r);
        if (FAILED(hr)) innermost = hr;
    });
    VARIANT result;
    EXPECT_EQ(x->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_EQ(innermost, MAKE_HRESULT(1, FACILITY_CONTROL, 28));
    EXPECT_GT(events.Events().size(), 10u);
}

class ToolBarRobust : public ToolBarTest {};

TEST_F(ToolBarRobust, SinkThrowsTheTreeAwayDuringARenderingError) {
    ComPtr<_xToolBar> root = NewNode();
    Add(Add(root.Get(), NewNode(L"P")).Get(), NewNode(L"X"));
    Add(root.Get(), NewNode(L"Q"));
    EventRecorder events(root.Get(), DIID___xToolBar);
    Host().FailCall(L"Control#1.CommandBar.Controls", L"call Add", 1, 1005, L"No room");
    events.OnEvent([&](DISPID) { root->putref_Buttons(ButtonsOf(NewToolBar().Get()).Get()); });

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1005, No room)");
    EXPECT_EQ(Host().FindControl(3), L"Control#2");   // went on with the buttons it started with
}

TEST_F(ToolBarRobust, SinkEmptiesTheCollectionDuringALookup) {
    ComPtr<_xToolBar> root = NewNode();
    FailingChildren(Add(root.Get(), NewNode(L"B")).Get(), MAKE_HRESULT(1, FACILITY_CONTROL, 1010));
    Add(root.Get(), NewNode(L"C"));
    EventRecorder events(root.Get(), DIID___xToolBar);
    events.OnEvent([&](DISPID) {
        Variant first = Variant::Long(1);
        long count = 0;
        while (ButtonsOf(root.Get())->get_Count(&count) == S_OK && count > 0) ButtonsOf(root.Get())->Remove(first.Get());
    });
    EXPECT_FALSE(Find(root.Get(), 77));
    EXPECT_EQ(events.Joined(), std::wstring(kAppError) + L"; SystemError(9, Subscript out of range)");
}

TEST_F(ToolBarRobust, TreeContainingItselfEndsWithOutOfStackSpace) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    Add(a.Get(), a);
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Find(root.Get(), 12345));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space); SystemError(28, Out of stack space)");
    Variant first = Variant::Long(1);
    ButtonsOf(a.Get())->Remove(first.Get());   // the host breaks its own cycle
}

TEST_F(ToolBarRobust, HundredThousandDeepChain) {
    ComPtr<_xToolBar> root = NewNode();
    NodeFactory factory;
    ComPtr<_xToolBar> tip = root;
    for (int i = 0; i < 100000; ++i) tip = Add(tip.Get(), factory.New());
    tip.Reset();
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space); SystemError(28, Out of stack space)");
    // Releasing the chain takes no more stack than releasing one node.
    events.Disconnect();
    root.Reset();
}

}  // namespace
}  // namespace zuv::test
