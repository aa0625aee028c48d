// RenderToolBar against the stand-in host: the exact calls, numbering,
// group starts, what the nodes learn, and how failures end the rendering.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Bar = Tree<_xToolBar>;
ComPtr<_xToolBar> ParentOf(_xToolBar* n) { return Read(n, &_xToolBar::get_Parent); }

const Lines kNewToolBar = {
    L"CommandBars call 2 (String \"Standard\", Long 0)", L"ToolBar1 put 23 (Boolean False)",
    L"ToolBar1 put 24 (Boolean False)", L"ToolBar1 call 16 (Long 4194304, Long 4194304)", L"ToolBar1 call 8 (Long 96)",
    L"ToolBar1 put 33 (Boolean False)",
};

class ToolBarRendering : public NodeTest {};

TEST_F(ToolBarRendering, MakesExactlyTheseHostCalls) {
    Bar t(L"A - B{C}");
    MUST(t.root->put_StartID(100));
    EXPECT_TRUE(Render(t.root.Get()));
    Lines expected = kNewToolBar;
    expected.insert(expected.end(), {
        L"ToolBar1 get 2", L"ToolBar1.Controls call 2 (Long 1, Long& 101, String \"A\", Boolean False)",
        L"Control#1 put 14 (Boolean False)", L"Control#1 put 13 (Boolean True)", L"Control#1 put 12 (Boolean True)",
        L"Control#1 put 28 (Long 2)", L"Control#1 put 3 (Boolean False)",
        L"ToolBar1 get 2", L"ToolBar1.Controls call 2 (Long 4, Long& 102, String \"B\", Boolean False)",
        L"Control#2 put 14 (Boolean False)", L"Control#2 put 13 (Boolean True)", L"Control#2 put 12 (Boolean True)",
        L"Control#2 put 28 (Long 2)", L"Control#2 put 3 (Boolean True)", L"Control#2 get 50",
        L"Control#2.CommandBar name \"Controls\"", L"Control#2.CommandBar get 2",
        L"Control#2.CommandBar.Controls name \"Add\"",
        L"Control#2.CommandBar.Controls call 2 (Long 1, Long& 103, String \"C\")",
        L"Control#3 put 14 (Boolean False)", L"Control#3 put 13 (Boolean True)", L"Control#3 put 12 (Boolean True)",
        L"Control#3 put 3 (Boolean False)",
    });
    EXPECT_EQ(host.Log(), expected);
}

TEST_F(ToolBarRendering, EachNodeKeepsItsNumberControlAndParent) {
    Bar t(L"A - B{C D} E");
    MUST(t.root->put_StartID(100));
    MUST(t[L"-"]->put_ID(77));
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_EQ(t.Numbers(L"A B C D E -"), L"A=101* B=102* C=103* D=104* E=105* -=77");
    EXPECT_FALSE(IsDesigned(t.root.Get()));
    EXPECT_EQ(Controls(t[L"A"]) + L" " + Controls(t[L"B"]) + L" " + Controls(t[L"D"]), L"|Control#1 Control#2| |Control#4");
    EXPECT_TRUE(Same(ParentOf(t[L"A"]).Get(), t.root.Get()));
    EXPECT_TRUE(Same(ParentOf(t[L"C"]).Get(), t[L"B"]));
    EXPECT_FALSE(ParentOf(t.root.Get()) || ParentOf(t[L"-"]));
}

// A separator makes the next control start a group, within its own level;
// a control with entries is of type 4.
TEST_F(ToolBarRendering, SeparatorsStartGroupsAndDropDownsNest) {
    const wchar_t* top = L"ToolBar1.Controls call 2 ";
    const struct {
        const wchar_t* tree;
        Lines adds;   // after `top` when they start with "(", else as they stand
    } cases[] = {
        {L"- A -", {L"(Long 1, Long& 1, String \"A\", Boolean False)", L"Control#1 put 3 (Boolean True)"}},
        {L"A - - B", {L"(Long 1, Long& 1, String \"A\", Boolean False)", L"Control#1 put 3 (Boolean False)",
                      L"(Long 1, Long& 2, String \"B\", Boolean False)", L"Control#2 put 3 (Boolean True)"}},
        {L"B{C - D{F} -}", {L"(Long 4, Long& 1, String \"B\", Boolean False)", L"Control#1 put 3 (Boolean False)",
                            L"Control#1.CommandBar.Controls call 2 (Long 1, Long& 2, String \"C\")",
                            L"Control#2 put 3 (Boolean False)",
                            L"Control#1.CommandBar.Controls call 2 (Long 4, Long& 3, String \"D\")",
                            L"Control#3 put 3 (Boolean True)",
                            L"Control#3.CommandBar.Controls call 2 (Long 1, Long& 4, String \"F\")",
                            L"Control#4 put 3 (Boolean False)"}},
    };
    for (const auto& c : cases) EXPECT_EQ(AddsOf<_xToolBar>(c.tree), Expand({}, top, c.adds)) << c.tree;
}

// The states are sent; text, tooltip, pressed value and ToolBarID are not.
TEST_F(ToolBarRendering, OnlyTheStatesAreCopiedToTheControl) {
    Bar t(L"A");
    _xToolBar* a = t[L"A"];
    MUST(a->put_Checked(VARIANT_TRUE));
    MUST(a->put_Enabled(VARIANT_FALSE));
    MUST(a->put_Visible(VARIANT_FALSE));
    MUST(a->put_Text(B(L"text").Get()));
    MUST(a->put_TooltipText(B(L"tip").Get()));
    MUST(a->put_Value(xToolBarValue_tblPressed));
    MUST(a->put_ToolBarID(9));
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(Matching(host.Log(), {L"Control#1 put"}),
              (Lines{L"Control#1 put 14 (Boolean True)", L"Control#1 put 13 (Boolean False)",
                     L"Control#1 put 12 (Boolean False)", L"Control#1 put 28 (Long 2)", L"Control#1 put 3 (Boolean False)"}));
}

TEST_F(ToolBarRendering, AnEmptyRootStillGetsItsToolBar) {
    EXPECT_TRUE(Render(NewNode<_xToolBar>().Get()));
    EXPECT_EQ(host.Log(), kNewToolBar);
}

// An error at the top level ends the rendering (False), in a drop-down only
// that level (True); nothing done before is undone.  Entries are marked
// before their states are sent.
TEST_F(ToolBarRendering, AFailureEndsItsLevelAndKeepsWhatWasDone) {
    const FailingRender cases[] = {
        {L"A B{C} E", {{L"ToolBar1.Controls", L"call 2", 1}}, false, 0, false, L"SystemError(1004, Refused)",
         L"A=1 B=0 C=0 E=0"},
        {L"A B{C} E", {{L"Control#1", L"put 3", 1}}, false, 0, false, L"SystemError(1004, Refused)",
         L"A=1 B=0 C=0 E=0"},
        {L"P1{P2{X} After Never} Q", {{L"Control#2.CommandBar", L"get 2", 1}, {L"Control#3", L"put 13", 1}}, false, 0,
         true, L"SystemError(1004, Refused); SystemError(1004, Refused)", L"P1=1* P2=2* X=3 After=4* Never=0 Q=5*"},
        {L"P{X} Q", {}, false, 2147483646, false, L"SystemError(6, Overflow); SystemError(6, Overflow)",
         L"P=2147483647* X=0 Q=0"},
    };
    for (const auto& c : cases) Check<_xToolBar>(c);
}

TEST_F(ToolBarRendering, AHostsCollectionAsButtonsWorksLikeOurs) {
    ComPtr<_xToolBar> root = NewNode<_xToolBar>(), a = NewNode<_xToolBar>(L"A");
    ComPtr<ForeignButtons> foreign = MakeFake<ForeignButtons>();
    foreign->items.push_back(a);
    MUST(root->putref_Buttons(foreign.Get()));
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_TRUE(IsDesigned(a.Get()));
}

// A host's own node is numbered and given its control and parent through
// its interface, but cannot be marked rendered: error 13 ends its level.
TEST_F(ToolBarRendering, AHostsOwnNodeIsFilledThroughItsInterfaceThenRefused) {
    Bar t(L"A{X} Q");
    ComPtr<ForeignToolBar> top = MakeFake<ForeignToolBar>(), inner = MakeFake<ForeignToolBar>();
    Add(t[L"A"], ComPtr<_xToolBar>(inner.Get()));
    ComPtr<_xToolBar> next = Add(t[L"A"], NewNode<_xToolBar>(L"Next"));
    Add(t.root.Get(), ComPtr<_xToolBar>(top.Get()));
    EventRecorder events(t.root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Render(t.root.Get()));
    const Lines calls = top->calls;
    EXPECT_EQ(calls, (Lines{L"get_ToolBarSeperator", L"put_ID", L"get_Buttons", L"get_Caption", L"putref_CmdBarButton",
                            L"putref_Parent", L"get_Checked", L"get_Enabled", L"get_Visible"}));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch); SystemError(13, Type mismatch)");
    EXPECT_EQ(t.Numbers(L"A X Q"), L"A=1* X=2* Q=4*");
    EXPECT_EQ(IdOf(next.Get()), 0);
    EXPECT_EQ(IdOf(top.Get()), 5);
    EXPECT_EQ(Controls(top.Get()), L"|Control#5");
    EXPECT_TRUE(Same(ParentOf(top.Get()).Get(), t.root.Get()));
}

TEST_F(ToolBarRendering, ButtonsSetToNothingIsAMissingObject) {
    ComPtr<_xToolBar> root = NewNode<_xToolBar>();
    MUST(root->putref_Buttons(nullptr));
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(91, Object variable or With block variable not set)");
}

}  // namespace
}  // namespace zuv::test
