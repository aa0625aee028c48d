// RenderToolBar against the stand-in host: the exact calls, numbering,
// group starts, what the nodes learn, and how failures end the rendering.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class ToolBarRendering : public ToolBarTest {};

TEST_F(ToolBarRendering, ExampleTree) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    t.separator->put_ID(77);
    EXPECT_TRUE(Render(t.root.Get(), Host().Object()));

    Calls expected;
    expected.NewBar(1)
        .Top(1, 1, 1, 101, L"A", false)
        .Top(1, 2, 4, 102, L"B", true)
        .Open(2)
        .Sub(2, 3, 1, 103, L"C", false)
        .Sub(2, 4, 1, 104, L"D", false)
        .Top(1, 5, 1, 105, L"E", false);
    EXPECT_CALLS(Host(), expected);
    EXPECT_TRUE(events.Events().empty()) << events.Joined();

    long id = 101;
    for (auto* n : {t.a.Get(), t.b.Get(), t.c.Get(), t.d.Get(), t.e.Get()}) {
        EXPECT_EQ(IdOf(n), id++);
        EXPECT_TRUE(IsDesigned(n));
    }
    EXPECT_EQ(IdOf(t.separator.Get()), 77);
    EXPECT_FALSE(IsDesigned(t.root.Get()) || IsDesigned(t.separator.Get()));
    EXPECT_EQ(ButtonLabel(t.a.Get()) + PopupLabel(t.a.Get()), L"Control#1");
    EXPECT_EQ(PopupLabel(t.b.Get()) + ButtonLabel(t.b.Get()), L"Control#2");
    EXPECT_EQ(ButtonLabel(t.d.Get()), L"Control#4");
    EXPECT_TRUE(Same(ParentOf(t.a.Get()).Get(), t.root.Get()));
    EXPECT_TRUE(Same(ParentOf(t.c.Get()).Get(), t.b.Get()));
    EXPECT_FALSE(ParentOf(t.root.Get()) || ParentOf(t.separator.Get()));
}

TEST_F(ToolBarRendering, SeparatorsStatesAndNestedDropDowns) {
    ComPtr<_xToolBar> root = NewNode();
    root->put_StartID(10);
    Add(root.Get(), NewSeparator());
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    Add(root.Get(), NewSeparator());
    Add(root.Get(), NewSeparator());
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    Add(b.Get(), NewNode(L"C"));
    Add(b.Get(), NewSeparator());
    ComPtr<_xToolBar> d = Add(b.Get(), NewNode(L"D"));
    ComPtr<_xToolBar> f = Add(d.Get(), NewNode(L"F"));
    Add(b.Get(), NewSeparator());
    Add(root.Get(), NewSeparator());
    // States are sent; text, tooltip, pressed value and ToolBarID are not.
    a->put_Checked(VARIANT_TRUE);
    a->put_Enabled(VARIANT_FALSE);
    a->put_Visible(VARIANT_FALSE);
    a->put_Text(B(L"text").Get());
    a->put_TooltipText(B(L"tip").Get());
    a->put_Value(xToolBarValue_tblPressed);
    a->put_ToolBarID(9);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1)
        .Top(1, 1, 1, 11, L"A", true, L"TFF")
        .Top(1, 2, 4, 12, L"B", true)
        .Open(2)
        .Sub(2, 3, 1, 13, L"C", false)
        .Sub(2, 4, 4, 14, L"D", true)
        .Open(4)
        .Sub(4, 5, 1, 15, L"F", false);
    EXPECT_CALLS(Host(), expected);
    EXPECT_TRUE(Same(ParentOf(f.Get()).Get(), d.Get()));
}

TEST_F(ToolBarRendering, NothingAndEmptyRoot) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Render(t.root.Get(), nullptr));
    LateResult late = Call(t.root.Get(), L"RenderToolBar", {Variant::Object(nullptr)});
    EXPECT_TRUE(late.ok() && late.value.Type() == VT_BOOL && late.value.Get()->boolVal == VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created); CustomError(2, Object Not Created)");
    EXPECT_EQ(IdOf(t.a.Get()), 0);

    // An empty root still gets its configured toolbar.
    EXPECT_TRUE(Render(NewNode().Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1);
    EXPECT_CALLS(Host(), expected);
}

TEST_F(ToolBarRendering, SecondRenderingForwardsToTheOldControls) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Host().ClearLog();

    // A gains a child: its old button stays next to its new popup.
    Add(a.Get(), NewNode(L"C"));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    a->put_Caption(B(L"A2").Get());
    Calls expected;
    expected.NewBar(2)
        .Line(L"Control#1 put 6 (Long 1)")   // the ID reaches the old control first
        .Top(2, 2, 4, 1, L"A", false)
        .Open(2)
        .Sub(2, 3, 1, 2, L"C", false)
        .Line(L"Control#1 put 4 (String \"A2\")");   // the button takes precedence
    EXPECT_CALLS(Host(), expected);
    EXPECT_EQ(ButtonLabel(a.Get()) + L" " + PopupLabel(a.Get()), L"Control#1 Control#2");
}

TEST_F(ToolBarRendering, FailureAtTopLevelStopsTheRendering) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    Host().FailCall(L"ToolBar1.Controls", L"call 2", 2, 1004, L"Refused by host");   // B's control

    EXPECT_FALSE(Render(t.root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused by host)");
    Calls expected;
    expected.NewBar(1).Top(1, 1, 1, 101, L"A", false).Line(L"ToolBar1 get 2");
    expected.Line(L"ToolBar1.Controls call 2 (Long 4, Long& 102, String \"B\", Boolean False) -> error 0x800A03EC");
    EXPECT_CALLS(Host(), expected);
    // Nothing is undone, nothing more is done.
    EXPECT_TRUE(IsDesigned(t.a.Get()));
    EXPECT_EQ(IdOf(t.b.Get()), 102);
    EXPECT_FALSE(IsDesigned(t.b.Get()));
    EXPECT_EQ(IdOf(t.c.Get()) + IdOf(t.e.Get()), 0);
}

TEST_F(ToolBarRendering, FailureInADropDownEndsOnlyThatLevel) {
    // P1 holds P2 (holding X) and After; Q follows P1.  P2's level fails at
    // its first host call, then P1's level fails on After's control.
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> p1 = Add(root.Get(), NewNode(L"P1"));
    ComPtr<_xToolBar> p2 = Add(p1.Get(), NewNode(L"P2"));
    ComPtr<_xToolBar> x = Add(p2.Get(), NewNode(L"X"));
    ComPtr<_xToolBar> after = Add(p1.Get(), NewNode(L"After"));
    ComPtr<_xToolBar> never = Add(p1.Get(), NewNode(L"Never"));
    ComPtr<_xToolBar> q = Add(root.Get(), NewNode(L"Q"));
    EventRecorder events(root.Get(), DIID___xToolBar);
    EventRecorder p2_events(p2.Get(), DIID___xToolBar);
    Host().FailCall(L"Control#2.CommandBar", L"get 2", 1, 1006, L"Inner");
    Host().FailCall(L"Control#3", L"put 13", 1, 1007, L"Outer");

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1006, Inner); SystemError(1007, Outer)");
    EXPECT_TRUE(p2_events.Events().empty());
    EXPECT_EQ(IdOf(x.Get()), 3);
    EXPECT_FALSE(IsDesigned(x.Get()));
    EXPECT_EQ(IdOf(after.Get()), 4);
    EXPECT_TRUE(IsDesigned(after.Get()));   // entries are marked before their states are sent
    EXPECT_EQ(IdOf(never.Get()), 0);
    EXPECT_EQ(IdOf(q.Get()), 5);
    EXPECT_EQ(Host().FindControl(5), L"Control#4");
}

TEST_F(ToolBarRendering, RunningIdOverflow) {
    ComPtr<_xToolBar> root = NewNode();
    root->put_StartID(2147483646);
    ComPtr<_xToolBar> p = Add(root.Get(), NewNode(L"P"));
    ComPtr<_xToolBar> x = Add(p.Get(), NewNode(L"X"));
    ComPtr<_xToolBar> q = Add(root.Get(), NewNode(L"Q"));
    EventRecorder events(root.Get(), DIID___xToolBar);

    // In P's drop-down only that level ends; at the top level Q ends it all.
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow); SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(p.Get()), 2147483647);
    EXPECT_EQ(Host().FindControl(2147483647), L"Control#1");
    EXPECT_EQ(IdOf(x.Get()) + IdOf(q.Get()), 0);
}

TEST_F(ToolBarRendering, EmptyEntriesRenderAsFreshDefaultNodes) {
    ComPtr<_xToolBar> root = NewNode();
    Add(root.Get(), NewSeparator());
    Add(root.Get(), nullptr);
    Add(root.Get(), NewNode(L"A"));

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1).Top(1, 1, 1, 1, L"", true).Top(1, 2, 1, 2, L"A", false);
    EXPECT_CALLS(Host(), expected);
    EXPECT_FALSE(ItemOf(root.Get(), 2));   // nothing was stored back
}

TEST_F(ToolBarRendering, ExactlyShortMaxEntriesAreRenderedToTheLast) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> separator = NewSeparator();
    for (int i = 1; i < 32767; ++i) Add(root.Get(), separator);
    ComPtr<_xToolBar> last = Add(root.Get(), NewNode(L"Last"));
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
    EXPECT_TRUE(IsDesigned(last.Get()));

    // One more and the bound does not fit: error 6 before any control.
    Add(root.Get(), NewNode(L"Extra"));
    Host().ClearLog();
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    Calls expected;
    expected.NewBar(2);
    EXPECT_CALLS(Host(), expected);
}

TEST_F(ToolBarRendering, HostOwnNodesAndCollections) {
    // The host's collection as Buttons works like ours.
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<ForeignCollection> foreign = NewForeignCollection();
    ComPtr<_xToolBar> a = NewNode(L"A");
    foreign->items.push_back(a);
    root->putref_Buttons(foreign.Get());
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
    EXPECT_TRUE(IsDesigned(a.Get()));

    // The host's own node is numbered and given its control and parent
    // through its interface, but cannot be marked rendered: error 13.
    ComPtr<_xToolBar> stranger = NewForeignNode();
    foreign->items.push_back(stranger);
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_TRUE(StartsWith(events.Events()[0], L"SystemError(13, ")) << events.Joined();
    EXPECT_EQ(IdOf(stranger.Get()), 2);
    EXPECT_EQ(ButtonLabel(stranger.Get()), L"Control#3");
    EXPECT_TRUE(Same(ParentOf(stranger.Get()).Get(), root.Get()));

    // In a drop-down only that level is cut short.
    events.Clear();
    foreign->items.pop_back();
    Add(a.Get(), NewForeignNode());
    ComPtr<_xToolBar> next = Add(a.Get(), NewNode(L"Next"));
    foreign->items.push_back(NewNode(L"Q"));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Events().size(), 1u) << events.Joined();
    EXPECT_FALSE(IsDesigned(next.Get()));
    EXPECT_EQ(IdOf(foreign->items.back().Get()), 3);

    // Buttons set to Nothing is a missing object, not a crash.
    events.Clear();
    root->putref_Buttons(nullptr);
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    EXPECT_TRUE(StartsWith(events.Joined(), L"SystemError(91, ")) << events.Joined();
}

}  // namespace
}  // namespace zuv::test
