// Rendering a menu tree: the exact calls on the host's command bars, the
// numbering, what each rendered node keeps, and what failures leave behind.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;

const Lines kMenuBarSetup = {
    L"CommandBars get 4", L"MenuBar put 23 (Boolean False)",
    L"CommandBars get 4", L"MenuBar put 24 (Boolean False)",
    L"CommandBars get 4", L"MenuBar call 16 (Long 4194304, Long 4194304)",
    L"CommandBars get 4", L"MenuBar call 8 (Long 96)",
};

class MenuRender : public NodeTest {};

TEST_F(MenuRender, MakesExactlyTheseHostCalls) {
    Menu t(L"File{Open}");
    MUST(t.root->put_StartID(1000));
    Shortcut(t[L"Open"], 8, 'O');
    EXPECT_TRUE(Render(t.root.Get()));
    Lines expected = kMenuBarSetup;
    expected.insert(expected.end(), {
        L"CommandBars get 4", L"MenuBar get 2", L"MenuBar.Controls call 2 (Long 2, Long 1001, String \"File\")",
        L"Control#1 put 14 (Boolean False)", L"Control#1 put 13 (Boolean True)", L"Control#1 put 12 (Boolean True)",
        L"Control#1 put 28 (Long 1)", L"Control#1 get 50",
        L"Control#1.CommandBar name \"Controls\"", L"Control#1.CommandBar get 2",
        L"Control#1.CommandBar.Controls name \"Add\"",
        L"Control#1.CommandBar.Controls call 2 (Long 1, Long& 1002, String \"Open\")",
        L"Control#2 put 14 (Boolean False)", L"Control#2 put 13 (Boolean True)", L"Control#2 put 12 (Boolean True)",
        L"Control#2 get 6", L"CommandBars get 10", L"KeyBindings call 1 (Long 8, Long 79, Long 1002)",
    });
    EXPECT_EQ(host.Log(), expected);
}

// Either key alone binds (a key code such as F5, or modifiers alone), on a
// title as on an entry, with both values as they stand; both 0 bind nothing.
TEST_F(MenuRender, BindsAShortcutWhenEitherKeyIsSet) {
    const struct {
        long modifiers, key;
        Lines bindings;
    } cases[] = {
        {0, VK_F5, {L"KeyBindings call 1 (Long 0, Long 116, Long 1)", L"KeyBindings call 1 (Long 0, Long 116, Long 2)"}},
        {8, 0, {L"KeyBindings call 1 (Long 8, Long 0, Long 1)", L"KeyBindings call 1 (Long 8, Long 0, Long 2)"}},
        {12, 'O', {L"KeyBindings call 1 (Long 12, Long 79, Long 1)", L"KeyBindings call 1 (Long 12, Long 79, Long 2)"}},
        {0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(N(c.modifiers) + L"+" + N(c.key));
        HostBars bars;
        Menu t(L"File{Open}");
        for (_xMenu* n : {t[L"File"], t[L"Open"]}) Shortcut(n, c.modifiers, c.key);
        EXPECT_TRUE(Render(t.root.Get(), bars.object.Get()));
        EXPECT_EQ(Matching(bars.Log(), {L"KeyBindings"}), c.bindings);
    }
}

TEST_F(MenuRender, TheRootsButtonsSettingsHideMenuBarButtons) {
    const struct {
        VARIANT_BOOL max, min, box;
        Lines calls;
    } cases[] = {
        {VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, {}},
        {VARIANT_FALSE, VARIANT_TRUE, VARIANT_FALSE,
         {L"MenuBar call 18 (Long 512, Long 512)", L"MenuBar call 18 (Long 4864, Long 8192)"}},
        {VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE, {L"MenuBar call 18 (Long 256, Long 256)"}},
    };
    for (const auto& c : cases) {
        HostBars bars;
        ComPtr<_xMenu> root = NewMenu();
        MUST(root->put_MaxButton(c.max));
        MUST(root->put_MinButton(c.min));
        MUST(root->put_ControlBox(c.box));
        EXPECT_TRUE(Render(root.Get(), bars.object.Get()));
        Lines expected = kMenuBarSetup;
        for (const std::wstring& call : c.calls) expected.insert(expected.end(), {L"CommandBars get 4", call});
        EXPECT_EQ(bars.Log(), expected);
    }
}

// Pre-order from StartID + 1; the window list gets 35000 and still uses up
// its number.  The root is a container only.
TEST_F(MenuRender, NumbersDepthFirstFromStartId) {
    Menu t(L"A{a1 a2{a21 a22} a3} B@ C{c1@ c2}");
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(t.Numbers(L"A a1 a2 a21 a22 a3 B C c1 c2"),
              L"A=1* a1=2* a2=3* a21=4* a22=5* a3=6* B=35000* C=8* c1=35000* c2=10*");
    EXPECT_EQ(IdOf(t.root.Get()), 0);
    EXPECT_FALSE(IsDesigned(t.root.Get()));
}

// Separators and arrays at the top level are plain numbered titles with
// their captions, and the array generates no entries there.
TEST_F(MenuRender, ASeparatorOrArrayAtTheTopLevelIsATitleWithItsCaption) {
    Menu t(L"- MRU*2 X");
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(Adds(host), (Lines{L"MenuBar.Controls call 2 (Long 2, Long 1, String \"-\")",
                                L"MenuBar.Controls call 2 (Long 2, Long 2, String \"MRU\")",
                                L"MenuBar.Controls call 2 (Long 2, Long 3, String \"X\")"}));
    EXPECT_EQ(t.Numbers(L"- MRU X"), L"-=1* MRU=2* X=3*");
    EXPECT_EQ(CountOf(Read(t[L"MRU"], &_xMenu::get_ArrayMenu).Get()), 0);
}

// Below the top level a separator makes the next control start a group;
// an array becomes its generated entries.
TEST_F(MenuRender, SeparatorsAndArraysInADropDown) {
    const wchar_t* add = L"Control#1.CommandBar.Controls call 2 ";
    const struct {
        const wchar_t* tree;
        Lines adds;   // after `add`, or a group start
    } cases[] = {
        // The first entry after a separator; a trailing separator does nothing.
        {L"T{- X -}", {L"(Long 1, Long& 2, String \"X\")", L"Control#2 put 3 (Boolean True)"}},
        // Separators in a row start one group.
        {L"T{X - - Y}", {L"(Long 1, Long& 2, String \"X\")", L"(Long 1, Long& 3, String \"Y\")",
                         L"Control#3 put 3 (Boolean True)"}},
        // The first generated entry only; they take the array's caption.
        {L"T{- MRU*2}", {L"(Long 1, Long& 2, String \"MRU\")", L"Control#2 put 3 (Boolean True)",
                         L"(Long 1, Long& 3, String \"MRU\")"}},
        // An empty array passes the mark on and takes no number.
        {L"T{- None*0 Z}", {L"(Long 1, Long& 2, String \"Z\")", L"Control#2 put 3 (Boolean True)"}},
        // The entry with a sub-menu, not the sub-menu's first entry.
        {L"T{- S{s1}}", {L"(Long 3, Long& 2, String \"S\")", L"Control#2 put 3 (Boolean True)",
                         L"Control#2.CommandBar.Controls call 2 (Long 1, Long& 3, String \"s1\")"}},
        {L"T{Win@ One#2}", {L"(Long 1, Long& 35000, String \"Win\")", L"(Long 1, Long& 3, String \"One\")",
                            L"(Long 1, Long& 4, String \"One\")"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddsOf<_xMenu>(c.tree), Expand({L"MenuBar.Controls call 2 (Long 2, Long 1, String \"T\")"}, add, c.adds))
            << c.tree;
}

TEST_F(MenuRender, GeneratedEntriesAreNewDesignedNodesInArrayMenu) {
    Menu t(L"T{- Z*2 O#2}");
    EXPECT_TRUE(Render(t.root.Get()));
    const struct {
        const wchar_t* array;
        short position, index;
        long id;
        const wchar_t* control;
    } cases[] = {{L"Z", 0, 0, 2, L"Control#2"}, {L"Z", 1, 1, 3, L"Control#3"},
                 {L"O", 1, 1, 4, L"Control#4"}, {L"O", 2, 2, 5, L"Control#5"}};
    for (const auto& c : cases) {
        ComPtr<_xMenu> m = ItemOf(Read(t[c.array], &_xMenu::get_ArrayMenu).Get(), Variant::Short(c.position));
        EXPECT_EQ(IdOf(m.Get()), c.id);
        EXPECT_EQ(Read(m.Get(), &_xMenu::get_ArrayIndex), c.index);
        EXPECT_TRUE(IsDesigned(m.Get()) && Flag(m.Get(), &_xMenu::get_IsArrayChild));
        EXPECT_TRUE(Same(Read(m.Get(), &_xMenu::get_ArrayParent).Get(), t[c.array]));
        EXPECT_EQ(Controls(m.Get()), std::wstring(L"|") + c.control);
        EXPECT_EQ(Read(m.Get(), &_xMenu::get_Caption), L"");
    }
    // Separators and array nodes get no number, no control, no mark.
    EXPECT_EQ(t.Numbers(L"- Z O"), L"-=0 Z=0 O=0");
    EXPECT_EQ(Controls(t[L"-"]) + Controls(t[L"Z"]), L"||");
}

TEST_F(MenuRender, RenderingAgainReplacesTheGeneratedEntriesButKeepsTheHostsOwn) {
    Menu t(L"T{MRU*2}");
    EXPECT_TRUE(Render(t.root.Get()));
    ComPtr<_xMenuCollection> members = Read(t[L"MRU"], &_xMenu::get_ArrayMenu);
    ComPtr<_xMenu> old = ItemOf(members.Get(), Variant::Short(0));
    ComPtr<_xMenu> own = Append(members.Get(), NewNode<_xMenu>(L"mine"));
    EXPECT_TRUE(Render(t.root.Get()));
    ASSERT_EQ(CountOf(members.Get()), 3);
    EXPECT_TRUE(Same(ItemAt(members.Get(), 1).Get(), own.Get()));
    EXPECT_EQ(Controls(ItemAt(members.Get(), 2).Get()) + Controls(ItemAt(members.Get(), 3).Get()),
              L"|Control#5|Control#6");
    // The entry taken out is left as it was, and still drives its control.
    host.ClearLog();
    MUST(old->put_Caption(B(L"gone").Get()));
    EXPECT_EQ(host.Log(), Lines{L"Control#2 put 4 (String \"gone\")"});
    EXPECT_TRUE(IsDesigned(old.Get()) && Same(Read(old.Get(), &_xMenu::get_ArrayParent).Get(), t[L"MRU"]));
}

TEST_F(MenuRender, AnArrayInTwoPlacesKeepsTheEntriesOfBothInEachRendering) {
    Menu t(L"A{MRU*2} B");
    _xMenu* mru = t[L"MRU"];
    Add(t[L"B"], ComPtr<_xMenu>(mru));
    for (int round = 0; round < 2; ++round) {
        HostBars bars;
        EXPECT_TRUE(Render(t.root.Get(), bars.object.Get()));
        EXPECT_EQ(CountOf(Read(mru, &_xMenu::get_ArrayMenu).Get()), 4);
        for (long id : {2, 3, 5, 6}) {
            ComPtr<_xMenu> entry = Required(Find(t.root.Get(), id), "the entry");
            EXPECT_EQ(Controls(entry.Get()), L"|" + bars.FindControl(id));
        }
    }
}

// An error at the top level ends the rendering (False), below it only the
// drop-down it happened in (True); nothing done before is undone.
TEST_F(MenuRender, AFailureEndsItsLevelAndKeepsWhatWasDone) {
    const FailingRender cases[] = {
        {L"A{a1} B C", {{L"MenuBar.Controls", L"call 2", 2}}, false, 0, false, L"SystemError(1004, Refused)",
         L"A=1* a1=2* B=3 C=0"},
        {L"A{a1} B", {{L"MenuBar.Controls", L"call 2", 1}}, true, 0, false, L"SystemError(13, Type mismatch)",
         L"A=1 a1=0 B=0"},
        {L"A{a1 a2 a3{a31}} B{b1}", {{L"Control#1.CommandBar.Controls", L"call 2", 2}}, false, 0, true,
         L"SystemError(1004, Refused)", L"a1=2* a2=3 a3=0 B=4* b1=5*"},
        {L"T{t1} U", {}, false, 2147483646, false, L"SystemError(6, Overflow); SystemError(6, Overflow)",
         L"T=2147483647* t1=0 U=0"},
    };
    for (const auto& c : cases) Check<_xMenu>(c);
    // An overflow at the first title: after the menu bar's set-up, nothing.
    EXPECT_EQ(Check<_xMenu>({L"T{t1}", {}, false, 2147483647, false, L"SystemError(6, Overflow)", L"T=0"}),
              kMenuBarSetup);
}

// A host's node as a title is numbered and given its popup through its
// interface, but cannot be marked designed: error 13 ends the rendering.
TEST_F(MenuRender, AHostsOwnTitleIsReadThroughItsInterfaceThenRefused) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<ForeignMenu> foreign = MakeFake<ForeignMenu>();
    Add(root.Get(), ComPtr<_xMenu>(foreign.Get()));
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(foreign->calls, (Lines{L"get_ArrayParent", L"put_ID", L"get_WindowsList", L"get_ID", L"get_Caption", L"get_Checked",
                                     L"get_Enabled", L"get_Visible", L"get_ShortCutFirstKey",
                                     L"get_ShortCutSecondKey"}));
    EXPECT_EQ(IdOf(foreign.Get()), 1);
    EXPECT_FALSE(IsDesigned(foreign.Get()));
}

// A host's collection as a drop-down, holding a host's array node: the
// generated entries go into that node's ArrayMenu and point back to it.
TEST_F(MenuRender, AHostsCollectionAndArrayNodeInADropDown) {
    Menu t(L"T");
    ComPtr<ForeignMenus> entries = MakeFake<ForeignMenus>();
    MUST(t[L"T"]->putref_SubMenus(entries.Get()));
    ComPtr<_xMenu> array = Append(entries.Get(), NewForeignMenu());
    MakeArray(array.Get(), 2);
    EventRecorder events(t.root.Get(), DIID___xMenu);
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    ComPtr<_xMenuCollection> members = Read(array.Get(), &_xMenu::get_ArrayMenu);
    ASSERT_EQ(CountOf(members.Get()), 2);
    EXPECT_TRUE(Same(Read(ItemAt(members.Get(), 0).Get(), &_xMenu::get_ArrayParent).Get(), array.Get()));
    EXPECT_EQ(IdOf(ItemAt(members.Get(), 1).Get()), 3);
    // A host's object is held counted: the host breaks the pair itself.
    MUST(array->putref_ArrayMenu(nullptr));
}

// Rendering of either family, the same for both.
template <class Node>
class EitherFamilyRender : public NodeTest {};
TYPED_TEST_SUITE(EitherFamilyRender, Families);

// One CustomError, early- or late-bound, and no host call.
TYPED_TEST(EitherFamilyRender, NothingAsCommandBarsIsAnErrorEventAndNoCall) {
    Tree<TypeParam> t(L"A");
    EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
    EXPECT_FALSE(Render(t.root.Get(), nullptr));
    LateResult late = Call(t.root.Get(), kIsMenu<TypeParam> ? L"RenderMenu" : L"RenderToolBar", {Variant::Object(nullptr)});
    EXPECT_TRUE(late.ok() && late.value.Type() == VT_BOOL && late.value.Get()->boolVal == VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created); CustomError(2, Object Not Created)");
    EXPECT_EQ(t.Numbers(L"A"), L"A=0");
    EXPECT_EQ(this->host.Log(), Lines{});
}

// A caption reaches the host whole, at every level and every length (a short
// one is passed from storage of the rendering's own, a longer one from an
// allocation), embedded nulls included.
TYPED_TEST(EitherFamilyRender, CaptionsReachTheHostWholeAtEveryLength) {
    const std::wstring a31(31, L'a'), b32(32, L'b'), c300(300, L'c');
    const struct {
        std::wstring caption, shown;
    } cases[] = {{L"", L"\"\""}, {a31, L'"' + a31 + L'"'}, {b32, L'"' + b32 + L'"'},
                 {std::wstring(L"n\0l", 3), L"\"n\\x00l\""}, {c300, L'"' + c300 + L'"'}};
    for (const auto& c : cases) {
        Tree<TypeParam> t(L"T{X}");
        MUST(t[L"T"]->put_Caption(Bstr(c.caption).Get()));
        MUST(t[L"X"]->put_Caption(Bstr(c.caption).Get()));
        this->host = HostBars();
        EXPECT_TRUE(this->Render(t.root.Get()));
        const Lines adds = Matching(this->host.Log(), {L"Controls call 2"});
        ASSERT_EQ(adds.size(), 2u);
        const std::wstring arg = L"String " + c.shown;
        for (const std::wstring& line : adds)
            EXPECT_TRUE(line.find(arg + L")") != line.npos || line.find(arg + L",") != line.npos) << line.c_str();
    }
}

// The host drops its command bars and renders into new ones: the calls of
// a first rendering (the old controls are renumbered in the old bars), and
// changes reach the new controls.
TYPED_TEST(EitherFamilyRender, IntoNewCommandBarsTheCallsOfAFirstRenderingAndChangesGoThere) {
    Tree<TypeParam> t(L"File{Open}");
    if constexpr (kIsMenu<TypeParam>) Shortcut(t[L"Open"], 8, 'O');
    EXPECT_TRUE(this->Render(t.root.Get()));
    const Lines first = this->host.Log();
    this->host = HostBars();
    EXPECT_TRUE(this->Render(t.root.Get()));
    EXPECT_EQ(this->host.Log(), first);
    this->host.ClearLog();
    MUST(t[L"Open"]->put_Checked(VARIANT_TRUE));
    EXPECT_EQ(this->host.Log(), Lines{L"Control#2 put 14 (Boolean True)"});
}

// A node that gains entries becomes a popup, and a plain control again when
// it loses them: each new ID goes into the node's old control before its new
// control is added, and changes reach only the control rendered last.
TYPED_TEST(EitherFamilyRender, RenderingAgainLeavesEachNodeOnlyItsNewControl) {
    const bool menu = kIsMenu<TypeParam>;
    Tree<TypeParam> t(L"T{X Y{y1}}");
    EXPECT_TRUE(this->Render(t.root.Get()));
    Add(t[L"X"], NewNode<TypeParam>(L"x1"));
    MUST(EntriesOf(t[L"Y"])->Remove(Variant::Long(1).Get()));
    this->host.ClearLog();
    EXPECT_TRUE(this->Render(t.root.Get()));
    MUST(t[L"X"]->put_Caption(B(L"X2").Get()));
    MUST(t[L"Y"]->put_Enabled(VARIANT_FALSE));
    const std::wstring add = L"Control#5.CommandBar.Controls call 2 (Long ";
    EXPECT_EQ(Matching(this->host.Log(), {L"put 6 ", L"Controls call 2 ", L"put 4 ", L"put 13 (Boolean False)"}),
              (Lines{L"Control#1 put 6 (Long 1)",
                     menu ? L"MenuBar.Controls call 2 (Long 2, Long 1, String \"T\")"
                          : L"ToolBar2.Controls call 2 (Long 4, Long& 1, String \"T\", Boolean False)",
                     L"Control#2 put 6 (Long 2)", add + (menu ? L"3" : L"4") + L", Long& 2, String \"X\")",
                     L"Control#6.CommandBar.Controls call 2 (Long 1, Long& 3, String \"x1\")",
                     L"Control#3 put 6 (Long 4)", add + L"1, Long& 4, String \"Y\")",
                     L"Control#6 put 4 (String \"X2\")", L"Control#8 put 13 (Boolean False)"}));
    EXPECT_EQ(Controls(t[L"X"]) + L" " + Controls(t[L"Y"]), L"Control#6| |Control#8");
}

// Putting the new ID into a control being replaced may fail (the host
// refuses, or destroyed it): that ends nothing.  The same failure on a new
// control ends the rendering.  (A menu's window list is numbered, then given
// 35000; its generated entries are new nodes with new controls only.)
TYPED_TEST(EitherFamilyRender, RenderingAgainIgnoresOnlyFailuresOfTheControlsBeingReplaced) {
    const bool menu = kIsMenu<TypeParam>;
    Tree<TypeParam> t(menu ? L"File{Open Win@ MRU*1}" : L"A B{C}");
    EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
    EXPECT_TRUE(this->Render(t.root.Get()));
    this->host.FailCall(L"Control#1", L"put 6", 1, 1004, L"Refused");
    ASSERT_EQ(this->host.DestroyControl(menu ? 2 : 3), 1);
    this->host.ClearLog();
    EXPECT_TRUE(this->Render(t.root.Get()));
    Lines expected = {L"Control#1 put 6 (Long 1) -> error 0x800A03EC"};
    if (menu) expected.insert(expected.end(), {L"Control#2 put 6 (Long 2) -> error 0x8000FFFF",
                                               L"Control#3 put 6 (Long 3)", L"Control#3 put 6 (Long 35000)"});
    else expected.insert(expected.end(), {L"Control#2 put 6 (Long 2)", L"Control#3 put 6 (Long 3) -> error 0x8000FFFF"});
    EXPECT_EQ(Matching(this->host.Log(), {L"put 6 "}), expected);
    EXPECT_EQ(events.Joined(), L"");
    this->host.FailCall(menu ? L"Control#9" : L"Control#7", L"put 14", 1, 1004, L"Refused");
    EXPECT_FALSE(this->Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused)");
}

// An empty (Nothing) entry renders as a new default node, which is not
// kept; after a toolbar's separator it starts the group.
TYPED_TEST(EitherFamilyRender, EmptyEntriesRenderAsDefaultNodesThatAreNotKept) {
    Tree<TypeParam> t(L"-");
    Add(t.root.Get(), nullptr);
    TypeParam* title = Add(t.root.Get(), NewNode<TypeParam>(L"T")).Get();
    Add(title, nullptr);
    EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
    EXPECT_TRUE(this->Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    const Lines menu = {L"MenuBar.Controls call 2 (Long 2, Long 1, String \"-\")",
                        L"MenuBar.Controls call 2 (Long 2, Long 2, String \"\")",
                        L"MenuBar.Controls call 2 (Long 2, Long 3, String \"T\")",
                        L"Control#3.CommandBar.Controls call 2 (Long 1, Long& 4, String \"\")"};
    const Lines toolbar = {L"ToolBar1.Controls call 2 (Long 1, Long& 1, String \"\", Boolean False)",
                           L"Control#1 put 3 (Boolean True)",
                           L"ToolBar1.Controls call 2 (Long 4, Long& 2, String \"T\", Boolean False)",
                           L"Control#2 put 3 (Boolean False)",
                           L"Control#2.CommandBar.Controls call 2 (Long 1, Long& 3, String \"\")",
                           L"Control#3 put 3 (Boolean False)"};
    EXPECT_EQ(Adds(this->host), kIsMenu<TypeParam> ? menu : toolbar);
    EXPECT_FALSE(ItemOrNothing(EntriesOf(t.root.Get()).Get(), Variant::Long(2)));
    EXPECT_FALSE(ItemOrNothing(EntriesOf(title).Get(), Variant::Long(1)));
}

// The Count of a host's collection fails part-way through the walk, in
// either family: read first by the top level, the rendering ends (a menu
// title is marked before its entries are counted, a toolbar button after);
// read again by the level below, only that level ends.
TYPED_TEST(EitherFamilyRender, ACountFailingPartWayThroughTheRendering) {
    const struct {
        long failing_call;
        bool result;
        const wchar_t* numbers;
    } cases[] = {{1, false, kIsMenu<TypeParam> ? L"A=1* B=0" : L"A=1 B=0"}, {2, true, L"A=1* B=2*"}};
    for (const auto& c : cases) {
        HostBars bars;
        Tree<TypeParam> t(L"A B");
        auto entries = MakeFake<ForeignEntries<TypeParam>>();
        entries->items.push_back(NewNode<TypeParam>(L"a1"));
        entries->fail_count_call = c.failing_call;
        entries->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1234);
        MUST(SetEntries(t[L"A"], entries.Get()));
        EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
        EXPECT_EQ(Render(t.root.Get(), bars.object.Get()), c.result);
        EXPECT_EQ(events.Joined(), L"SystemError(1234, Application-defined or object-defined error)");
        EXPECT_EQ(t.Numbers(L"A B"), c.numbers);
        EXPECT_EQ(entries->calls, (Lines(c.failing_call, L"get_Count")));
    }
}

}  // namespace
}  // namespace zuv::test
