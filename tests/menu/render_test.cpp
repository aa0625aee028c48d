// Rendering a menu tree: the exact calls on the host's command bars, the
// numbering, what each rendered node keeps, and what failures leave behind.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;
ComPtr<ICommandBarControl> ControlOf(_xMenu* n) { return Read(n, &_xMenu::get_CmdBarControl); }
ComPtr<ICommandBarPopup> PopupOf(_xMenu* n) { return Read(n, &_xMenu::get_CmdBarPopup); }

// The calls of a menu rendering; controls are numbered by the stand-in in
// the order they are added.
struct MenuCalls : Calls<MenuCalls> {
    // The menu bar's set-up, with the given calls of dispatch id 18.
    MenuCalls& Setup(std::initializer_list<const wchar_t*> buttons = {}) {
        for (const wchar_t* call : {L"put 23 (Boolean False)", L"put 24 (Boolean False)",
                                    L"call 16 (Long 4194304, Long 4194304)", L"call 8 (Long 96)"})
            Line(L"CommandBars get 4").Line(std::wstring(L"MenuBar ") + call);
        for (const wchar_t* b : buttons) Line(L"CommandBars get 4").Line(std::wstring(L"MenuBar call 18 (") + b + L")");
        return *this;
    }
    // A title's popup, control n; `opens` when it has entries.
    MenuCalls& Title(int n, long id, const std::wstring& caption, bool opens = false) {
        Line(L"CommandBars get 4").Line(L"MenuBar get 2");
        Line(L"MenuBar.Controls call 2 (Long 2, Long " + N(id) + L", String \"" + caption + L"\")");
        States(n).Line(Ctl(n) + L" put 28 (Long 1)");
        return opens ? Line(Ctl(n) + L" get 50") : *this;
    }
    // Control n in the drop-down of control `owner`: an entry (with its own
    // entries when it `opens`), or without `states` a generated array entry.
    MenuCalls& Entry(int owner, int n, long id, const std::wstring& caption, bool group = false, bool opens = false,
                     bool states = true) {
        AddByName(DropBar(owner), AddArgs(opens ? 3 : 1, id, caption));
        if (group) Line(Ctl(n) + L" put 3 (Boolean True)");
        if (states) States(n);
        return opens ? Line(Ctl(n) + L" name \"CommandBar\"").Line(Ctl(n) + L" get 50") : *this;
    }
    MenuCalls& Array(int owner, int n, long id, const std::wstring& caption, bool group = false) {
        return Entry(owner, n, id, caption, group, false, false);
    }
    MenuCalls& Shortcut(int n, long flags, long key, long id) {
        return Line(Ctl(n) + L" get 6").Line(L"CommandBars get 10")
            .Line(L"KeyBindings call 1 (Long " + N(flags) + L", Long " + N(key) + L", Long " + N(id) + L")");
    }
};

class MenuRender : public NodeTest {};

TEST_F(MenuRender, RendersATitleWithAnEntryAndItsShortcut) {
    Menu t(L"File{Open}");
    t.root->put_StartID(1000);
    _xMenu *file = t[L"File"], *open = t[L"Open"];
    open->put_ShortCutFirstKey(xMenuShortCutFirstKeys_CTRL);
    open->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>('O'));
    EventRecorder events(t.root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(host.Log(),
              MenuCalls().Setup().Title(1, 1001, L"File", true).Entry(1, 2, 1002, L"Open").Shortcut(2, 8, 'O', 1002).lines);
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_EQ(IdOf(file), 1001);
    EXPECT_EQ(IdOf(open), 1002);
    EXPECT_TRUE(IsDesigned(file) && IsDesigned(open));
    EXPECT_EQ(LabelOf(PopupOf(file)) + L"|" + LabelOf(ControlOf(file)), L"Control#1|");
    EXPECT_EQ(LabelOf(PopupOf(open)) + L"|" + LabelOf(ControlOf(open)), L"|Control#2");
    // The root is a container only.
    EXPECT_FALSE(IsDesigned(t.root.Get()));
    EXPECT_EQ(IdOf(t.root.Get()), 0);
}

// A shortcut is bound when either of its keys is set (a key code alone, such
// as F5, or modifiers alone), on a title as on an entry, with both values as
// they stand; both 0 means no binding.
TEST_F(MenuRender, BindsAShortcutWhenEitherKeyIsSet) {
    struct Case {
        long modifiers, key;
        bool bound;
    };
    for (const Case& c : {Case{0, VK_F5, true}, Case{8, 0, true}, Case{12, 'O', true}, Case{0, 0, false}}) {
        SCOPED_TRACE(N(c.modifiers) + L"+" + N(c.key));
        HostBars bars;
        Menu t(L"File{Open}");
        t.root->put_StartID(1000);
        for (_xMenu* n : {t[L"File"], t[L"Open"]}) {
            n->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(c.modifiers));
            n->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(c.key));
        }
        EXPECT_TRUE(Render(t.root.Get(), bars.object.Get()));
        std::vector<std::wstring> bindings, expected;
        for (const std::wstring& line : bars.Log())
            if (!line.compare(0, 12, L"KeyBindings ")) bindings.push_back(line);
        if (c.bound)
            for (long id : {1001, 1002})
                expected.push_back(L"KeyBindings call 1 (Long " + N(c.modifiers) + L", Long " + N(c.key) + L", Long " +
                                   N(id) + L")");
        EXPECT_EQ(bindings, expected);
    }
}

TEST_F(MenuRender, ConfiguresTheMenuBarAndRefusesAMissingObject) {
    ComPtr<_xMenu> root = NewMenu();
    root->put_MaxButton(VARIANT_FALSE);
    root->put_ControlBox(VARIANT_FALSE);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(host.Log(), MenuCalls().Setup({L"Long 512, Long 512", L"Long 4864, Long 8192"}).lines);

    host.ClearLog();
    root->put_MaxButton(VARIANT_TRUE);
    root->put_ControlBox(VARIANT_TRUE);
    root->put_MinButton(VARIANT_FALSE);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(host.Log(), MenuCalls().Setup({L"Long 256, Long 256"}).lines);

    host.ClearLog();
    Add(root.Get(), NewNode<_xMenu>(L"File"));
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(root.Get(), nullptr));
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
    EXPECT_TRUE(host.Log().empty());
}

TEST_F(MenuRender, NumbersDepthFirstFromStartId) {
    Menu t(L"A{a1 a2{a21 a22} a3} B C{c1 c2}");
    t[L"B"]->put_WindowsList(VARIANT_TRUE);
    t[L"c1"]->put_WindowsList(VARIANT_TRUE);
    EXPECT_TRUE(Render(t.root.Get()));
    // An entry is numbered before its own entries; a window-list node gets
    // 35000 but still uses up its number.
    std::vector<long> ids;
    for (const wchar_t* n : {L"A", L"a1", L"a2", L"a21", L"a22", L"a3", L"B", L"C", L"c1", L"c2"}) ids.push_back(IdOf(t[n]));
    EXPECT_EQ(ids, (std::vector<long>{1, 2, 3, 4, 5, 6, 35000, 8, 35000, 10}));
    EXPECT_EQ(Long(host.ControlProp(LabelOf(PopupOf(t[L"a2"])), L"Type")), 3);
}

TEST_F(MenuRender, SeparatorsArraysAndTheWindowListInADropDown) {
    Menu t(L"T{- X - - MRU Y - None Z - S{s1} Win One -}");
    t.root->put_StartID(10);
    _xMenu *mru = MakeArray(t[L"MRU"], 3), *none = MakeArray(t[L"None"], 0);
    MakeArray(t[L"One"], 2, false);
    t[L"Win"]->put_WindowsList(VARIANT_TRUE);

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(host.Log(), MenuCalls().Setup().Title(1, 11, L"T", true).Entry(1, 2, 12, L"X", true)
                              .Array(1, 3, 13, L"MRU", true).Array(1, 4, 14, L"MRU").Array(1, 5, 15, L"MRU")
                              .Entry(1, 6, 16, L"Y")
                              // A separator before an empty array marks the next control.
                              .Entry(1, 7, 17, L"Z", true)
                              // It marks an entry with a sub-menu, not the sub-menu's first entry.
                              .Entry(1, 8, 18, L"S", true, true).Entry(8, 9, 19, L"s1")
                              .Entry(1, 10, 35000, L"Win").Array(1, 11, 21, L"One").Array(1, 12, 22, L"One")
                              .lines);

    // The generated entries: one new designed node each, in ArrayMenu,
    // reached by their index when the array counts from zero.
    ComPtr<_xMenuCollection> members = Read(mru, &_xMenu::get_ArrayMenu);
    ASSERT_EQ(CountOf(members.Get()), 3);
    for (short j = 0; j < 3; ++j) {
        ComPtr<_xMenu> m = ItemOf(members.Get(), Variant::Short(j));
        EXPECT_EQ(IdOf(m.Get()), 13 + j);
        EXPECT_EQ(Read(m.Get(), &_xMenu::get_ArrayIndex), j);
        EXPECT_TRUE(IsDesigned(m.Get()) && Flag(m.Get(), &_xMenu::get_IsArrayChild));
        EXPECT_TRUE(Same(Read(m.Get(), &_xMenu::get_ArrayParent).Get(), mru));
        EXPECT_EQ(LabelOf(ControlOf(m.Get())), Ctl(3 + j));
        EXPECT_EQ(Read(m.Get(), &_xMenu::get_Caption), L"");
    }
    ComPtr<_xMenuCollection> counted = Read(t[L"One"], &_xMenu::get_ArrayMenu);
    EXPECT_EQ(Read(ItemAt(counted.Get(), 1).Get(), &_xMenu::get_ArrayIndex), 1);
    EXPECT_EQ(Read(ItemAt(counted.Get(), 2).Get(), &_xMenu::get_ArrayIndex), 2);
    EXPECT_EQ(CountOf(Read(none, &_xMenu::get_ArrayMenu).Get()), 0);
    // Separators and array nodes get no number, no control, no mark.
    for (_xMenu* n : {t[L"-"], mru, none}) {
        EXPECT_EQ(IdOf(n), 0);
        EXPECT_FALSE(IsDesigned(n) || ControlOf(n));
    }
}

TEST_F(MenuRender, RenderingAgainReplacesTheGeneratedEntriesOfAnArray) {
    Menu t(L"T{X MRU}");
    _xMenu* mru = MakeArray(t[L"MRU"], 2);
    EXPECT_TRUE(Render(t.root.Get()));
    ComPtr<_xMenuCollection> members = Read(mru, &_xMenu::get_ArrayMenu);
    ComPtr<_xMenu> old = ItemOf(members.Get(), Variant::Short(0));
    // An entry the host adds itself stays through every rendering.
    ComPtr<_xMenu> own = Append(members.Get(), NewNode<_xMenu>(L"mine"));
    host.ClearLog();

    EXPECT_TRUE(Render(t.root.Get()));
    // The renumbering of designed nodes reaches their previous controls first.
    EXPECT_EQ(host.Log(), MenuCalls().Setup().Line(L"Control#1 put 6 (Long 1)").Title(5, 1, L"T", true)
                              .Line(L"Control#2 put 6 (Long 2)").Entry(5, 6, 2, L"X").Array(5, 7, 3, L"MRU")
                              .Array(5, 8, 4, L"MRU").lines);
    EXPECT_EQ(LabelOf(PopupOf(t[L"T"])), Ctl(5));
    // The host's entry, then the new set only.
    ASSERT_EQ(CountOf(members.Get()), 3);
    EXPECT_TRUE(Same(ItemAt(members.Get(), 1).Get(), own.Get()));
    EXPECT_EQ(LabelOf(ControlOf(ItemAt(members.Get(), 2).Get())) + L" " +
                  LabelOf(ControlOf(ItemAt(members.Get(), 3).Get())),
              L"Control#7 Control#8");
    // An entry taken out is left as it was, and still drives its control.
    host.ClearLog();
    EXPECT_EQ(old->put_Caption(B(L"gone").Get()), S_OK);
    EXPECT_EQ(host.Log(), std::vector<std::wstring>{L"Control#3 put 4 (String \"gone\")"});
    EXPECT_TRUE(IsDesigned(old.Get()) && Same(Read(old.Get(), &_xMenu::get_ArrayParent).Get(), mru));
}

TEST_F(MenuRender, AnArrayInTwoPlacesKeepsTheEntriesOfBothInEachRendering) {
    Menu t(L"A{MRU} B");
    _xMenu* mru = MakeArray(t[L"MRU"], 2);
    Add(t[L"B"], ComPtr<_xMenu>(mru));
    for (int round = 0; round < 2; ++round) {
        HostBars bars;
        EXPECT_TRUE(Render(t.root.Get(), bars.object.Get()));
        EXPECT_EQ(CountOf(Read(mru, &_xMenu::get_ArrayMenu).Get()), 4);
        for (long id : {2, 3, 5, 6}) {
            ComPtr<_xMenu> entry = Find(t.root.Get(), id);
            ASSERT_TRUE(entry) << id;
            EXPECT_EQ(LabelOf(ControlOf(entry.Get())), bars.FindControl(id));
        }
    }
}

TEST_F(MenuRender, RenderingAgainIgnoresOnlyFailuresOfTheControlsBeingReplaced) {
    Menu t(L"File{Open Win MRU}");
    t.root->put_StartID(1000);
    t[L"Open"]->put_ShortCutFirstKey(xMenuShortCutFirstKeys_CTRL);
    t[L"Open"]->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>('O'));
    t[L"Win"]->put_WindowsList(VARIANT_TRUE);
    MakeArray(t[L"MRU"], 2);
    EventRecorder events(t.root.Get(), DIID___xMenu);
    const auto first = [] {
        return MenuCalls().Setup().Title(1, 1001, L"File", true).Entry(1, 2, 1002, L"Open").Shortcut(2, 8, 'O', 1002)
            .Entry(1, 3, 35000, L"Win").Array(1, 4, 1004, L"MRU").Array(1, 5, 1005, L"MRU");
    };
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(host.Log(), first().lines);

    // The old controls are destroyed: the IDs are still put there, and the
    // failures end nothing.
    ASSERT_EQ(host.DestroyControl(1001), 1);
    host.ClearLog();
    EXPECT_TRUE(Render(t.root.Get()));
    const std::wstring destroyed = L") -> error 0x8000FFFF";
    EXPECT_EQ(host.Log(), MenuCalls().Setup().Line(L"Control#1 put 6 (Long 1001" + destroyed)
                              .Title(6, 1001, L"File", true)
                              .Line(L"Control#2 put 6 (Long 1002" + destroyed).Entry(6, 7, 1002, L"Open")
                              .Shortcut(7, 8, 'O', 1002)
                              .Line(L"Control#3 put 6 (Long 1003" + destroyed)
                              .Line(L"Control#3 put 6 (Long 35000" + destroyed).Entry(6, 8, 35000, L"Win")
                              .Array(6, 9, 1004, L"MRU").Array(6, 10, 1005, L"MRU").lines);
    EXPECT_EQ(events.Joined(), L"");

    // The host drops its command bars and renders into new ones: the same
    // calls as a first rendering, and changes reach the new controls.
    HostBars fresh;
    host.bars = nullptr;
    host.object = nullptr;
    EXPECT_TRUE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(fresh.Log(), first().lines);
    EXPECT_EQ(events.Joined(), L"");
    fresh.ClearLog();
    EXPECT_EQ(t[L"Open"]->put_Checked(VARIANT_TRUE), S_OK);
    EXPECT_EQ(fresh.Log(), std::vector<std::wstring>{L"Control#2 put 14 (Boolean True)"});

    // A host error on a control being replaced is ignored alike; the same
    // error on the new control still ends the rendering.
    fresh.FailCall(Ctl(1), L"put 6", 1, 1004, L"Refused");
    EXPECT_TRUE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(events.Joined(), L"");
    fresh.FailCall(Ctl(11), L"put 14", 1, 1004, L"Refused");
    EXPECT_FALSE(Render(t.root.Get(), fresh.object.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Refused)");
}

TEST_F(MenuRender, ANodeRenderedInAnotherRoleKeepsOnlyItsNewControl) {
    Menu t(L"T{X Y{y1}}");
    EXPECT_TRUE(Render(t.root.Get()));
    // X gains an entry, Y loses its own.
    Add(t[L"X"], NewNode<_xMenu>(L"x1"));
    Variant first = Variant::Long(1);
    ASSERT_EQ(EntriesOf(t[L"Y"])->Remove(first.Get()), S_OK);
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(LabelOf(PopupOf(t[L"X"])) + L"|" + LabelOf(ControlOf(t[L"X"])), L"Control#6|");
    EXPECT_EQ(LabelOf(PopupOf(t[L"Y"])) + L"|" + LabelOf(ControlOf(t[L"Y"])), L"|Control#8");

    // Changes go to the controls rendered last.
    host.ClearLog();
    t[L"X"]->put_Caption(B(L"X2").Get());
    t[L"Y"]->put_Enabled(VARIANT_FALSE);
    EXPECT_EQ(host.Log(), (std::vector<std::wstring>{L"Control#6 put 4 (String \"X2\")",
                                                     L"Control#8 put 13 (Boolean False)"}));
}

TEST_F(MenuRender, AFailureAtTheTopLevelEndsTheRendering) {
    Menu t(L"A{a1} B C");
    host.FailCall(L"MenuBar.Controls", L"call 2", 2, 1004, L"Host refused");
    EventRecorder events(t.root.Get(), DIID___xMenu);
    EventRecorder on_title(t[L"A"], DIID___xMenu);

    EXPECT_FALSE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Host refused)");
    EXPECT_EQ(on_title.Joined(), L"");
    // Everything done before the failure stays.
    EXPECT_TRUE(IsDesigned(t[L"A"]) && IsDesigned(t[L"a1"]));
    EXPECT_EQ(IdOf(t[L"B"]), 3);
    EXPECT_FALSE(IsDesigned(t[L"B"]) || PopupOf(t[L"B"]));
    EXPECT_EQ(IdOf(t[L"C"]), 0);
    EXPECT_EQ(host.Log().back(), L"MenuBar.Controls call 2 (Long 2, Long 3, String \"B\") -> error 0x800A03EC");

    // An added control that is not a popup: type mismatch, and it stays.
    host.ClearLog();
    events.Clear();
    host.WrongKind(L"MenuBar.Controls", L"call 2", 1);
    EXPECT_FALSE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(host.Log().back(), L"MenuBar.Controls call 2 (Long 2, Long 1, String \"A\") -> wrong kind");
}

TEST_F(MenuRender, AFailureInsideADropDownEndsThatDropDownOnly) {
    Menu t(L"A{a1 a2 a3{a31}} B{b1}");
    host.FailCall(DropBar(1) + L".Controls", L"call 2", 2, 1004, L"Host refused");
    EventRecorder events(t.root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Host refused)");
    EXPECT_TRUE(IsDesigned(t[L"a1"]));
    EXPECT_EQ(IdOf(t[L"a2"]), 3);
    EXPECT_FALSE(IsDesigned(t[L"a2"]) || ControlOf(t[L"a2"]));
    EXPECT_EQ(IdOf(t[L"a3"]), 0);
    EXPECT_EQ(IdOf(t[L"B"]), 4);
    EXPECT_EQ(IdOf(t[L"b1"]), 5);
    EXPECT_TRUE(IsDesigned(t[L"b1"]));
}

TEST_F(MenuRender, TheRunningIdOverflows) {
    Menu t(L"T{t1}");
    t.root->put_StartID(2147483647);
    EventRecorder events(t.root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(host.Log(), MenuCalls().Setup().lines);
    EXPECT_EQ(IdOf(t[L"T"]), 0);

    // Below the top level only the drop-down is cut short.
    events.Clear();
    t.root->put_StartID(2147483646);
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(t[L"T"]), 2147483647);
    EXPECT_FALSE(IsDesigned(t[L"t1"]));
}

TEST_F(MenuRender, EmptyEntriesRenderAsDefaultNodesThatAreNotKept) {
    ComPtr<_xMenu> root = NewMenu();
    Add(root.Get(), nullptr);
    ComPtr<_xMenu> t = Add(root.Get(), NewNode<_xMenu>(L"T"));
    Add(t.Get(), nullptr);
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_EQ(host.Log(), MenuCalls().Setup().Title(1, 1, L"").Title(2, 2, L"T", true).Entry(2, 3, 3, L"").lines);
    EXPECT_FALSE(ItemOrNothing(EntriesOf(root.Get()).Get(), Variant::Long(1)));
    EXPECT_FALSE(ItemOrNothing(EntriesOf(t.Get()).Get(), Variant::Long(1)));
}

TEST_F(MenuRender, HostImplementedNodesAndCollections) {
    // A host's node as a title is numbered and given its popup, but cannot
    // be marked designed.
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> foreign = Add(root.Get(), NewForeignMenu());
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(IdOf(foreign.Get()), 1);
    EXPECT_FALSE(IsDesigned(foreign.Get()));

    // A host's collection as a drop-down, holding a host's array node: the
    // generated entries go into that node's ArrayMenu and point back to it.
    Menu t(L"T");
    ComPtr<ForeignMenus> entries = MakeFake<ForeignMenus>();
    ASSERT_EQ(t[L"T"]->putref_SubMenus(entries.Get()), S_OK);
    ComPtr<_xMenu> array = Append(entries.Get(), NewForeignMenu());
    array->put_IsArray(VARIANT_TRUE);
    array->put_ArrayCount(2);
    EventRecorder events2(t.root.Get(), DIID___xMenu);
    EXPECT_TRUE(Render(t.root.Get()));
    EXPECT_EQ(events2.Joined(), L"");
    ComPtr<_xMenuCollection> members = Read(array.Get(), &_xMenu::get_ArrayMenu);
    ASSERT_EQ(CountOf(members.Get()), 2);
    // Counting from zero, as the host's array node says.
    EXPECT_TRUE(Same(Read(ItemAt(members.Get(), 0).Get(), &_xMenu::get_ArrayParent).Get(), array.Get()));
    EXPECT_EQ(IdOf(ItemAt(members.Get(), 1).Get()), 3);
    // A host's object is held counted: the host breaks the pair itself.
    EXPECT_EQ(array->putref_ArrayMenu(nullptr), S_OK);
}

}  // namespace
}  // namespace zuv::test
