// RenderToolBar against the stand-in host: the exact calls, numbering,
// group starts, what the nodes learn, and how failures end the rendering.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class Rendering : public ToolBarTest {};

TEST_F(Rendering, ExampleTreeMakesExactlyTheseCalls) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_EQ(t.separator->put_ID(77), S_OK);

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

    // IDs, designed flags, stored controls and parents.
    EXPECT_EQ(IdOf(t.a.Get()), 101);
    EXPECT_EQ(IdOf(t.b.Get()), 102);
    EXPECT_EQ(IdOf(t.c.Get()), 103);
    EXPECT_EQ(IdOf(t.d.Get()), 104);
    EXPECT_EQ(IdOf(t.e.Get()), 105);
    EXPECT_EQ(IdOf(t.separator.Get()), 77);
    EXPECT_FALSE(IsDesigned(t.root.Get()));
    EXPECT_FALSE(IsDesigned(t.separator.Get()));
    for (auto* n : {t.a.Get(), t.b.Get(), t.c.Get(), t.d.Get(), t.e.Get()}) EXPECT_TRUE(IsDesigned(n));

    EXPECT_EQ(LabelOf(ButtonControlOf(t.a.Get()).Get()), L"Control#1");
    EXPECT_FALSE(PopupControlOf(t.a.Get()));
    EXPECT_EQ(LabelOf(PopupControlOf(t.b.Get()).Get()), L"Control#2");
    EXPECT_FALSE(ButtonControlOf(t.b.Get()));
    EXPECT_EQ(LabelOf(ButtonControlOf(t.d.Get()).Get()), L"Control#4");

    EXPECT_TRUE(Same(ParentOf(t.a.Get()).Get(), t.root.Get()));
    EXPECT_TRUE(Same(ParentOf(t.b.Get()).Get(), t.root.Get()));
    EXPECT_TRUE(Same(ParentOf(t.c.Get()).Get(), t.b.Get()));
    EXPECT_TRUE(Same(ParentOf(t.d.Get()).Get(), t.b.Get()));
    EXPECT_FALSE(ParentOf(t.root.Get()));
    EXPECT_FALSE(ParentOf(t.separator.Get()));
}

TEST_F(Rendering, NodeStatesAreSentAsRendered) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    EXPECT_EQ(a->put_Checked(VARIANT_TRUE), S_OK);
    EXPECT_EQ(a->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_EQ(a->put_Visible(VARIANT_FALSE), S_OK);
    // Values rendering does not send.
    EXPECT_EQ(a->put_Text(B(L"text").Get()), S_OK);
    EXPECT_EQ(a->put_TooltipText(B(L"tip").Get()), S_OK);
    EXPECT_EQ(a->put_Value(xToolBarValue_tblPressed), S_OK);
    EXPECT_EQ(a->put_ToolBarID(9), S_OK);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1).Top(1, 1, 1, 1, L"A", false, true, false, false);
    EXPECT_CALLS(Host(), expected);
}

TEST_F(Rendering, SeparatorsFirstLastDoubledAndInsideDropDowns) {
    ComPtr<_xToolBar> root = NewNode();
    EXPECT_EQ(root->put_StartID(10), S_OK);
    Add(root.Get(), NewSeparator());
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    Add(root.Get(), NewSeparator());
    Add(root.Get(), NewSeparator());
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    Add(b.Get(), NewNode(L"C"));
    Add(b.Get(), NewSeparator());
    Add(b.Get(), NewNode(L"D"));
    Add(b.Get(), NewSeparator());
    Add(root.Get(), NewSeparator());

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1)
        .Top(1, 1, 1, 11, L"A", true)
        .Top(1, 2, 4, 12, L"B", true)
        .Open(2)
        .Sub(2, 3, 1, 13, L"C", false)
        .Sub(2, 4, 1, 14, L"D", true);
    EXPECT_CALLS(Host(), expected);
}

TEST_F(Rendering, NestedDropDownsCarryTheRunningIdThroughEveryLevel) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    ComPtr<_xToolBar> b = Add(a.Get(), NewNode(L"B"));
    Add(b.Get(), NewNode(L"C"));
    Add(a.Get(), NewNode(L"D"));
    Add(root.Get(), NewNode(L"E"));

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1)
        .Top(1, 1, 4, 1, L"A", false)
        .Open(1)
        .Sub(1, 2, 4, 2, L"B", false)
        .Open(2)
        .Sub(2, 3, 1, 3, L"C", false)
        .Sub(1, 4, 1, 4, L"D", false)
        .Top(1, 5, 1, 5, L"E", false);
    EXPECT_CALLS(Host(), expected);
    EXPECT_TRUE(Same(ParentOf(b.Get()).Get(), a.Get()));
}

TEST_F(Rendering, EmptyRootStillAddsAndConfiguresTheToolBar) {
    ComPtr<_xToolBar> root = NewNode();
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1);
    EXPECT_CALLS(Host(), expected);
}

TEST_F(Rendering, NothingReportsObjectNotCreatedOnly) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Render(t.root.Get(), nullptr));
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
    EXPECT_FALSE(IsDesigned(t.a.Get()));
    EXPECT_EQ(IdOf(t.a.Get()), 0);

    // Late-bound, as a script passes Nothing.
    events.Clear();
    Variant nothing = Variant::Object(nullptr);
    LateResult r = Call(t.root.Get(), L"RenderToolBar", {nothing});
    EXPECT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(r.value.Type(), VT_BOOL);
    EXPECT_EQ(r.value.Get()->boolVal, VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
}

TEST_F(Rendering, SecondRenderingAddsASecondToolBarAndForwardsToOldControls) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Host().ClearLog();

    // A gains a child: its old button stays next to its new popup.
    Add(a.Get(), NewNode(L"C"));
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(2)
        .Add(L"Control#1 put 6 (Long 1)")   // the new ID reaches the old control first
        .Top(2, 2, 4, 1, L"A", false)
        .Open(2)
        .Sub(2, 3, 1, 2, L"C", false);
    EXPECT_CALLS(Host(), expected);
    EXPECT_EQ(LabelOf(ButtonControlOf(a.Get()).Get()), L"Control#1");
    EXPECT_EQ(LabelOf(PopupControlOf(a.Get()).Get()), L"Control#2");

    // The button takes precedence as the target of later changes.
    Host().ClearLog();
    EXPECT_EQ(a->put_Caption(B(L"A2").Get()), S_OK);
    Calls after;
    after.Add(L"Control#1 put 4 (String \"A2\")");
    EXPECT_CALLS(Host(), after);
}

TEST_F(Rendering, FailureAtTopLevelStopsWithFalseAndOneSystemError) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    // The host refuses B's control (the second add on the toolbar).
    Host().FailCall(L"ToolBar1.Controls", L"call 2", 2, 1004, L"Refused by host");

    EXPECT_FALSE(Render(t.root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused by host)");

    Calls expected;
    expected.NewBar(1)
        .Top(1, 1, 1, 101, L"A", false)
        .Add(L"ToolBar1 get 2")
        .Add(L"ToolBar1.Controls call 2 (Long 4, Long& 102, String \"B\", Boolean False) -> error 0x800A03EC");
    EXPECT_CALLS(Host(), expected);
    // What was done stays; B got its number but nothing else; the rest is untouched.
    EXPECT_TRUE(IsDesigned(t.a.Get()));
    EXPECT_EQ(IdOf(t.b.Get()), 102);
    EXPECT_FALSE(IsDesigned(t.b.Get()));
    EXPECT_FALSE(PopupControlOf(t.b.Get()));
    EXPECT_EQ(IdOf(t.c.Get()), 0);
    EXPECT_EQ(IdOf(t.e.Get()), 0);
}

TEST_F(Rendering, FailureInsideADropDownEndsOnlyThatDropDown) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> p = Add(root.Get(), NewNode(L"P"));
    ComPtr<_xToolBar> x = Add(p.Get(), NewNode(L"X"));
    ComPtr<_xToolBar> y = Add(p.Get(), NewNode(L"Y"));
    ComPtr<_xToolBar> z = Add(p.Get(), NewNode(L"Z"));
    ComPtr<_xToolBar> q = Add(root.Get(), NewNode(L"Q"));
    EventRecorder events(root.Get(), DIID___xToolBar);
    EventRecorder y_events(y.Get(), DIID___xToolBar);
    Host().FailCall(L"Control#1.CommandBar.Controls", L"call Add", 2, 1005, L"No room");

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1005, No room)");
    EXPECT_TRUE(y_events.Events().empty());

    EXPECT_EQ(IdOf(x.Get()), 2);
    EXPECT_EQ(IdOf(y.Get()), 3);
    EXPECT_EQ(IdOf(z.Get()), 0);
    EXPECT_FALSE(IsDesigned(y.Get()));
    EXPECT_FALSE(IsDesigned(z.Get()));
    EXPECT_EQ(IdOf(q.Get()), 4);
    EXPECT_TRUE(IsDesigned(q.Get()));
    EXPECT_EQ(Host().FindControl(4), L"Control#3");
}

TEST_F(Rendering, EachFailingLevelReportsItsOwnError) {
    // The drop-down of P2 (inside P1) fails, and then so does P1's level.
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> p1 = Add(root.Get(), NewNode(L"P1"));
    ComPtr<_xToolBar> p2 = Add(p1.Get(), NewNode(L"P2"));
    Add(p2.Get(), NewNode(L"X"));
    ComPtr<_xToolBar> after = Add(p1.Get(), NewNode(L"After"));
    Add(root.Get(), NewNode(L"Q"));
    EventRecorder events(root.Get(), DIID___xToolBar);
    Host().FailCall(L"Control#2.CommandBar", L"get 2", 1, 1006, L"Inner");
    Host().FailCall(L"Control#3", L"put 13", 1, 1007, L"Outer");   // After's control

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1006, Inner); SystemError(1007, Outer)");
    EXPECT_EQ(IdOf(after.Get()), 4);          // X used 3 before its level failed
    EXPECT_TRUE(IsDesigned(after.Get()));     // entries are marked before their states are sent
    EXPECT_EQ(Host().FindControl(5), L"Control#4");   // Q is still rendered
}

TEST_F(Rendering, WrongKindOfControlIsTypeMismatch) {
    ExampleTree t;
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    // B needs a popup; the host hands back something else.
    Host().WrongKind(L"ToolBar1.Controls", L"call 2", 2);
    EXPECT_FALSE(Render(t.root.Get(), Host().Object()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(13, ", 0), 0u) << events.Joined();
    EXPECT_FALSE(PopupControlOf(t.b.Get()));
}

TEST_F(Rendering, RunningIdOverflowAtTopLevelStops) {
    ComPtr<_xToolBar> root = NewNode();
    EXPECT_EQ(root->put_StartID(2147483646), S_OK);
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(a.Get()), 2147483647);
    EXPECT_TRUE(IsDesigned(a.Get()));
    EXPECT_EQ(IdOf(b.Get()), 0);
    EXPECT_EQ(Host().FindControl(2147483647), L"Control#1");
}

TEST_F(Rendering, RunningIdOverflowInsideADropDownEndsThatLevel) {
    ComPtr<_xToolBar> root = NewNode();
    EXPECT_EQ(root->put_StartID(2147483646), S_OK);
    ComPtr<_xToolBar> p = Add(root.Get(), NewNode(L"P"));
    ComPtr<_xToolBar> x = Add(p.Get(), NewNode(L"X"));
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(p.Get()), 2147483647);
    EXPECT_EQ(IdOf(x.Get()), 0);
}

TEST_F(Rendering, EmptyEntriesRenderAsFreshDefaultNodes) {
    ComPtr<_xToolBar> root = NewNode();
    Add(root.Get(), NewSeparator());
    Add(root.Get(), nullptr);   // Nothing, right after a separator
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    Calls expected;
    expected.NewBar(1).Top(1, 1, 1, 1, L"", true).Top(1, 2, 1, 2, L"A", false);
    EXPECT_CALLS(Host(), expected);

    // Nothing was stored back into the collection.
    ComPtr<_xToolBar> entry;
    EXPECT_EQ(ButtonsOf(root.Get())->get_Item(*Variant::Long(2).Get(), entry.Out()), S_OK);
    EXPECT_FALSE(entry);
}

TEST_F(Rendering, ExactlyShortMaxEntriesRenderCompletely) {
    // 32766 separators and one button: the loop runs to the very last entry.
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBarCollection> buttons = ButtonsOf(root.Get());
    ComPtr<_xToolBar> separator = NewSeparator();
    for (int i = 1; i < 32767; ++i) {
        _xToolBar* raw = separator.Get();
        ComPtr<_xToolBar> added;
        ASSERT_EQ(buttons->Add(&raw, nullptr, added.Out()), S_OK);
    }
    ComPtr<_xToolBar> last = Add(root.Get(), NewNode(L"Last"));
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
    Calls expected;
    expected.NewBar(1).Top(1, 1, 1, 1, L"Last", true);
    EXPECT_CALLS(Host(), expected);

    // One more entry and the bound no longer fits: error 6 before any control.
    Add(root.Get(), NewNode(L"Extra"));
    Host().ClearLog();
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    Calls overflow;
    overflow.NewBar(2);
    EXPECT_CALLS(Host(), overflow);
}

TEST_F(Rendering, HostOwnNodesAndCollections) {
    // A host's collection as the root's Buttons, holding one of our nodes.
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<ForeignCollection> foreign = NewForeignCollection();
    ComPtr<_xToolBar> a = NewNode(L"A");
    foreign->items.push_back(a);
    EXPECT_EQ(root->putref_Buttons(foreign.Get()), S_OK);
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
    EXPECT_TRUE(IsDesigned(a.Get()));
    EXPECT_EQ(IdOf(a.Get()), 1);

    // A host's own node can be numbered and given its control and parent,
    // but cannot be marked rendered: type mismatch at that step.
    ComPtr<_xToolBar> stranger = NewForeignNode();
    EXPECT_EQ(stranger->put_Caption(B(L"S").Get()), S_OK);
    foreign->items.push_back(stranger);
    Host().ClearLog();
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(13, ", 0), 0u) << events.Joined();
    EXPECT_EQ(IdOf(stranger.Get()), 2);
    EXPECT_EQ(LabelOf(ButtonControlOf(stranger.Get()).Get()), L"Control#3");
    EXPECT_TRUE(Same(ParentOf(stranger.Get()).Get(), root.Get()));

    // Inside a drop-down only that level is cut short.
    ComPtr<_xToolBar> root2 = NewNode();
    ComPtr<_xToolBar> p = Add(root2.Get(), NewNode(L"P"));
    Add(p.Get(), NewForeignNode());
    ComPtr<_xToolBar> after = Add(p.Get(), NewNode(L"After"));
    ComPtr<_xToolBar> q = Add(root2.Get(), NewNode(L"Q"));
    EventRecorder events2(root2.Get(), DIID___xToolBar);
    EXPECT_TRUE(Render(root2.Get(), Host().Object()));
    EXPECT_EQ(events2.Events().size(), 1u) << events2.Joined();
    EXPECT_FALSE(IsDesigned(after.Get()));
    EXPECT_TRUE(IsDesigned(q.Get()));
    EXPECT_EQ(IdOf(q.Get()), 3);
}

TEST_F(Rendering, ButtonsSetToNothingIsAnErrorNotACrash) {
    ComPtr<_xToolBar> root = NewNode();
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_EQ(root->putref_Buttons(nullptr), S_OK);
    EXPECT_FALSE(Render(root.Get(), Host().Object()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(91, ", 0), 0u) << events.Joined();
}

}  // namespace
}  // namespace zuv::test
