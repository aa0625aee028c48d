// RenderToolBar against the stand-in host: the exact calls, numbering,
// group starts, what the nodes learn, and how failures end the rendering.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Bar = Tree<_xToolBar>;
ComPtr<_xToolBar> Node(const wchar_t* caption = L"") { return NewNode<_xToolBar>(caption); }
std::wstring Labels(_xToolBar* n) {
    return LabelOf(Read(n, &_xToolBar::get_CmdBarButton)) + L"|" + LabelOf(Read(n, &_xToolBar::get_CmdBarPopup));
}

// The host calls of one rendering.  The stand-in numbers controls in the
// order they are added (Control#n), toolbars likewise (ToolBarn).
struct BarCalls : Calls<BarCalls> {
    // A new toolbar "Standard", configured.
    BarCalls& NewBar(int bar) {
        Line(L"CommandBars call 2 (String \"Standard\", Long 0)");
        for (const wchar_t* call : {L" put 23 (Boolean False)", L" put 24 (Boolean False)",
                                    L" call 16 (Long 4194304, Long 4194304)", L" call 8 (Long 96)",
                                    L" put 33 (Boolean False)"})
            Line(L"ToolBar" + N(bar) + call);
        return *this;
    }
    // A button of type 1 (plain) or 4 (with a drop-down) on toolbar `bar`.
    BarCalls& Top(int bar, int n, long type, long id, const wchar_t* caption, bool group,
                  const wchar_t* states = L"FTT") {
        const std::wstring t = L"ToolBar" + N(bar);
        Line(t + L" get 2").Line(t + L".Controls call 2 (" + AddArgs(type, id, caption) + L", Boolean False)");
        return States(n, states).Line(Ctl(n) + L" put 28 (Long 2)").Group(n, group);
    }
    // An entry of the drop-down of control `owner`.
    BarCalls& Sub(int owner, int n, long type, long id, const wchar_t* caption, bool group) {
        return AddByName(DropBar(owner), AddArgs(type, id, caption)).States(n).Group(n, group);
    }
    // The drop-down of control `owner` is fetched.
    BarCalls& Open(int owner) { return Line(Ctl(owner) + L" get 50"); }
    BarCalls& Group(int n, bool group) {
        return Line(Ctl(n) + L" put 3 (Boolean " + (group ? L"True" : L"False") + L")");
    }
};

// StartID 100; the buttons A, a separator, B with the entries C and D, and E.
Bar Example() {
    Bar t(L"A - B{C D} E");
    t.root->put_StartID(100);
    return t;
}

class ToolBarRendering : public NodeTest {};

TEST_F(ToolBarRendering, ExampleTree) {
    Bar t = Example();
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    t[L"-"]->put_ID(77);
    EXPECT_TRUE(Render(t.root.Get()));

    EXPECT_EQ(host.Log(), BarCalls().NewBar(1).Top(1, 1, 1, 101, L"A", false).Top(1, 2, 4, 102, L"B", true)
                              .Open(2).Sub(2, 3, 1, 103, L"C", false).Sub(2, 4, 1, 104, L"D", false)
                              .Top(1, 5, 1, 105, L"E", false).lines);
    EXPECT_EQ(events.Joined(), L"");
    long id = 101;
    for (const wchar_t* n : {L"A", L"B", L"C", L"D", L"E"}) {
        EXPECT_EQ(IdOf(t[n]), id++);
        EXPECT_TRUE(IsDesigned(t[n]));
    }
    EXPECT_EQ(IdOf(t[L"-"]), 77);
    EXPECT_FALSE(IsDesigned(t.root.Get()) || IsDesigned(t[L"-"]));
    EXPECT_EQ(Labels(t[L"A"]), L"Control#1|");
    EXPECT_EQ(Labels(t[L"B"]), L"|Control#2");
    EXPECT_EQ(Labels(t[L"D"]), L"Control#4|");
    auto parent = [](_xToolBar* n) { return Read(n, &_xToolBar::get_Parent); };
    EXPECT_TRUE(Same(parent(t[L"A"]).Get(), t.root.Get()));
    EXPECT_TRUE(Same(parent(t[L"C"]).Get(), t[L"B"]));
    EXPECT_FALSE(parent(t.root.Get()) || parent(t[L"-"]));
}

TEST_F(ToolBarRendering, SeparatorsStatesAndNestedDropDowns) {
    Bar t(L"- A - - B{C - D{F} -} -");
    t.root->put_StartID(10);
    // States are sent; text, tooltip, pressed value and ToolBarID are not.
    _xToolBar* a = t[L"A"];
    a->put_Checked(VARIANT_TRUE);
    a->put_Enabled(VARIANT_FALSE);
    a->put_Visible(VARIANT_FALSE);
    a->put_Text(B(L"text").Get());
    a->put_TooltipText(B(L"tip").Get());
    a->put_Value(xToolBarValue_tblPressed);
    a->put_ToolBarID(9);

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(host.Log(), BarCalls().NewBar(1).Top(1, 1, 1, 11, L"A", true, L"TFF").Top(1, 2, 4, 12, L"B", true)
                              .Open(2).Sub(2, 3, 1, 13, L"C", false).Sub(2, 4, 4, 14, L"D", true).Open(4)
                              .Sub(4, 5, 1, 15, L"F", false).lines);
    EXPECT_TRUE(Same(Read(t[L"F"], &_xToolBar::get_Parent).Get(), t[L"D"]));
}

TEST_F(ToolBarRendering, NothingAndEmptyRoot) {
    Bar t = Example();
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Render(t.root.Get(), nullptr));
    LateResult late = Call(t.root.Get(), L"RenderToolBar", {Variant::Object(nullptr)});
    EXPECT_TRUE(late.ok() && late.value.Type() == VT_BOOL && late.value.Get()->boolVal == VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created); CustomError(2, Object Not Created)");
    EXPECT_EQ(IdOf(t[L"A"]), 0);

    // An empty root still gets its configured toolbar.
    EXPECT_TRUE(Render(Node().Get()));
    EXPECT_EQ(host.Log(), BarCalls().NewBar(1).lines);
}

TEST_F(ToolBarRendering, RenderingAgainLeavesEachNodeTheControlRenderedLast) {
    Bar t(L"A");
    _xToolBar* a = t[L"A"];
    EXPECT_TRUE(Render(t.root.Get()));
    host.ClearLog();

    // A gains a child: its new popup replaces its old button.
    Add(a, Node(L"C"));
    EXPECT_TRUE(Render(t.root.Get()));
    a->put_Caption(B(L"A2").Get());
    EXPECT_EQ(host.Log(), BarCalls().NewBar(2)
                              .Line(L"Control#1 put 6 (Long 1)")   // the ID reaches the old control first
                              .Top(2, 2, 4, 1, L"A", false).Open(2).Sub(2, 3, 1, 2, L"C", false)
                              .Line(L"Control#2 put 4 (String \"A2\")")
                              .lines);
    EXPECT_EQ(Labels(a), L"|Control#2");

    // And back: without children it is a button again.
    Variant first = Variant::Long(1);
    ASSERT_EQ(EntriesOf(a)->Remove(first.Get()), S_OK);
    host.ClearLog();
    EXPECT_TRUE(Render(t.root.Get()));
    a->put_Enabled(VARIANT_FALSE);
    EXPECT_EQ(host.Log(), BarCalls().NewBar(3).Line(L"Control#2 put 6 (Long 1)").Top(3, 4, 1, 1, L"A2", false)
                              .Line(L"Control#4 put 13 (Boolean False)")
                              .lines);
    EXPECT_EQ(Labels(a), L"Control#4|");
}

TEST_F(ToolBarRendering, RenderingAgainIgnoresOnlyFailuresOfTheControlsBeingReplaced) {
    Bar t(L"A B{C}");
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    const auto first = [](int bar) {
        return BarCalls().NewBar(bar).Top(bar, 1, 1, 1, L"A", false).Top(bar, 2, 4, 2, L"B", false).Open(2)
            .Sub(2, 3, 1, 3, L"C", false);
    };
    EXPECT_TRUE(Render(t.root.Get()));

    // The host drops its command bars and renders into new ones.
    HostBars fresh;
    host.bars = nullptr;
    host.object = nullptr;
    EXPECT_TRUE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(fresh.Log(), first(1).lines);
    EXPECT_EQ(events.Joined(), L"");
    fresh.ClearLog();
    EXPECT_EQ(t[L"C"]->put_TooltipText(B(L"tip").Get()), S_OK);
    EXPECT_EQ(fresh.Log(), std::vector<std::wstring>{L"Control#3 put 10 (String \"tip\")"});

    // A host error or a destroyed control where the ID goes to a control
    // being replaced ends nothing; the call is made all the same.
    fresh.FailCall(Ctl(1), L"put 6", 1, 1004, L"Refused");
    ASSERT_EQ(fresh.DestroyControl(3), 1);
    fresh.ClearLog();
    EXPECT_TRUE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(fresh.Log(), BarCalls().NewBar(2).Line(L"Control#1 put 6 (Long 1) -> error 0x800A03EC")
                               .Top(2, 4, 1, 1, L"A", false).Line(L"Control#2 put 6 (Long 2)")
                               .Top(2, 5, 4, 2, L"B", false).Open(5)
                               .Line(L"Control#3 put 6 (Long 3) -> error 0x8000FFFF").Sub(5, 6, 1, 3, L"C", false)
                               .lines);
    EXPECT_EQ(events.Joined(), L"");
    // The same error on a new control still ends the rendering.
    fresh.FailCall(Ctl(7), L"put 14", 1, 1004, L"Refused");
    EXPECT_FALSE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused)");
}

TEST_F(ToolBarRendering, FailureAtTopLevelStopsTheRendering) {
    Bar t = Example();
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    host.FailCall(L"ToolBar1.Controls", L"call 2", 2, 1004, L"Refused by host");   // B's control

    EXPECT_FALSE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused by host)");
    EXPECT_EQ(host.Log(), BarCalls().NewBar(1).Top(1, 1, 1, 101, L"A", false).Line(L"ToolBar1 get 2")
                              .Line(L"ToolBar1.Controls call 2 (Long 4, Long& 102, String \"B\", Boolean False)"
                                    L" -> error 0x800A03EC")
                              .lines);
    // Nothing is undone, nothing more is done.
    EXPECT_TRUE(IsDesigned(t[L"A"]));
    EXPECT_EQ(IdOf(t[L"B"]), 102);
    EXPECT_FALSE(IsDesigned(t[L"B"]));
    EXPECT_EQ(IdOf(t[L"C"]) + IdOf(t[L"E"]), 0);
}

TEST_F(ToolBarRendering, FailureInADropDownEndsOnlyThatLevel) {
    // P2's level fails at its first host call, then P1's level fails on
    // After's control; Q still follows.
    Bar t(L"P1{P2{X} After Never} Q");
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EventRecorder p2_events(t[L"P2"], DIID___xToolBar);
    host.FailCall(L"Control#2.CommandBar", L"get 2", 1, 1006, L"Inner");
    host.FailCall(L"Control#3", L"put 13", 1, 1007, L"Outer");

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1006, Inner); SystemError(1007, Outer)");
    EXPECT_EQ(p2_events.Joined(), L"");
    EXPECT_EQ(IdOf(t[L"X"]), 3);
    EXPECT_FALSE(IsDesigned(t[L"X"]));
    EXPECT_EQ(IdOf(t[L"After"]), 4);
    EXPECT_TRUE(IsDesigned(t[L"After"]));   // entries are marked before their states are sent
    EXPECT_EQ(IdOf(t[L"Never"]), 0);
    EXPECT_EQ(IdOf(t[L"Q"]), 5);
    EXPECT_EQ(host.FindControl(5), L"Control#4");
}

TEST_F(ToolBarRendering, RunningIdOverflow) {
    Bar t(L"P{X} Q");
    t.root->put_StartID(2147483646);
    EventRecorder events(t.root.Get(), DIID___xToolBar);

    // In P's drop-down only that level ends; at the top level Q ends it all.
    EXPECT_FALSE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow); SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(t[L"P"]), 2147483647);
    EXPECT_EQ(host.FindControl(2147483647), L"Control#1");
    EXPECT_EQ(IdOf(t[L"X"]) + IdOf(t[L"Q"]), 0);
}

TEST_F(ToolBarRendering, EmptyEntriesRenderAsFreshDefaultNodes) {
    Bar t(L"-");
    Add(t.root.Get(), nullptr);
    Add(t.root.Get(), Node(L"A"));

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(host.Log(), BarCalls().NewBar(1).Top(1, 1, 1, 1, L"", true).Top(1, 2, 1, 2, L"A", false).lines);
    EXPECT_FALSE(ItemOrNothing(EntriesOf(t.root.Get()).Get(), Variant::Long(2)));   // nothing was stored back
}

TEST_F(ToolBarRendering, HostOwnNodesAndCollections) {
    // The host's collection as Buttons works like ours.
    ComPtr<_xToolBar> root = Node(), a = Node(L"A");
    ComPtr<ForeignButtons> foreign = MakeFake<ForeignButtons>();
    foreign->items.push_back(a);
    root->putref_Buttons(foreign.Get());
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_TRUE(IsDesigned(a.Get()));

    // The host's own node is numbered and given its control and parent
    // through its interface, but cannot be marked rendered: error 13.
    ComPtr<_xToolBar> stranger = NewForeignToolBar();
    foreign->items.push_back(stranger);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(IdOf(stranger.Get()), 2);
    EXPECT_EQ(Labels(stranger.Get()), L"Control#3|");
    EXPECT_TRUE(Same(Read(stranger.Get(), &_xToolBar::get_Parent).Get(), root.Get()));

    // In a drop-down only that level is cut short.
    events.Clear();
    foreign->items.pop_back();
    Add(a.Get(), NewForeignToolBar());
    ComPtr<_xToolBar> next = Add(a.Get(), Node(L"Next"));
    foreign->items.push_back(Node(L"Q"));
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_FALSE(IsDesigned(next.Get()));
    EXPECT_EQ(IdOf(foreign->items.back().Get()), 3);

    // Buttons set to Nothing is a missing object, not a crash.
    events.Clear();
    root->putref_Buttons(nullptr);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(91, Object variable or With block variable not set)");
}

}  // namespace
}  // namespace zuv::test
