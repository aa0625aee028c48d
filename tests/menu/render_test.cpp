// Rendering a menu tree: the exact calls on the host's command bars, the
// numbering, what each rendered node keeps, and what failures leave behind.
#include "foreign.h"
#include "menu_test.h"

namespace zuv::test {
namespace {

using Log = std::vector<std::wstring>;

std::wstring Ctl(int n) { return L"Control#" + std::to_wstring(n); }
std::wstring DropBar(int n) { return Ctl(n) + L".CommandBar"; }
std::wstring N(long v) { return std::to_wstring(v); }

// The menu-bar set-up, with the given optional calls of dispatch id 18.
Log MenuBarSetup(std::initializer_list<const wchar_t*> buttons = {}) {
    Log l = {L"CommandBars get 4", L"MenuBar put 23 (Boolean False)",
             L"CommandBars get 4", L"MenuBar put 24 (Boolean False)",
             L"CommandBars get 4", L"MenuBar call 16 (Long 4194304, Long 4194304)",
             L"CommandBars get 4", L"MenuBar call 8 (Long 96)"};
    for (const wchar_t* b : buttons) {
        l.push_back(L"CommandBars get 4");
        l.push_back(std::wstring(L"MenuBar call 18 (") + b + L")");
    }
    return l;
}

Log States(int n) {
    return {Ctl(n) + L" put 14 (Boolean False)", Ctl(n) + L" put 13 (Boolean True)",
            Ctl(n) + L" put 12 (Boolean True)"};
}

// A title's popup on the menu bar; `opens` when it has entries.
Log Title(int n, long id, const std::wstring& caption, bool opens = false) {
    Log l = Lines({{L"CommandBars get 4", L"MenuBar get 2",
                    L"MenuBar.Controls call 2 (Long 2, Long " + N(id) + L", String \"" + caption + L"\")"},
                   States(n), {Ctl(n) + L" put 28 (Long 1)"}});
    if (opens) l.push_back(Ctl(n) + L" get 50");
    return l;
}

// An entry of a drop-down bar; `opens` when it has entries of its own.
Log Entry(const std::wstring& bar, int n, long id, const std::wstring& caption, bool group = false,
          bool opens = false) {
    Log l = AddByName(bar, L"Long " + N(opens ? 3 : 1) + L", Long& " + N(id) + L", String \"" + caption + L"\"");
    if (group) l.push_back(Ctl(n) + L" put 3 (Boolean True)");
    l = Lines({l, States(n)});
    if (opens) l.insert(l.end(), {Ctl(n) + L" name \"CommandBar\"", Ctl(n) + L" get 50"});
    return l;
}

// One generated entry of a menu array.
Log ArrayEntry(const std::wstring& bar, int n, long id, const std::wstring& caption, bool group = false) {
    Log l = AddByName(bar, L"Long 1, Long& " + N(id) + L", String \"" + caption + L"\"");
    if (group) l.push_back(Ctl(n) + L" put 3 (Boolean True)");
    return l;
}

Log Shortcut(int n, long flags, long key, long id) {
    return {Ctl(n) + L" get 6", L"CommandBars get 10",
            L"KeyBindings call 1 (Long " + N(flags) + L", Long " + N(key) + L", Long " + N(id) + L")"};
}

std::wstring LabelOf(IUnknown* control) {
    ComPtr<IDispatch> d;
    if (!control || FAILED(control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.Out())))) return L"";
    return Str(Get(d.Get(), L"Label").value);
}

class MenuRender : public MenuTest {};

TEST_F(MenuRender, RendersATitleWithAnEntryAndItsShortcut) {
    ComPtr<_xMenu> root = NewMenu();
    ASSERT_EQ(root->put_StartID(1000), S_OK);
    ComPtr<_xMenu> file = AddEntry(root.Get(), L"File");
    ComPtr<_xMenu> open = AddEntry(file.Get(), L"Open");
    open->put_ShortCutFirstKey(xMenuShortCutFirstKeys_CTRL);
    open->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>('O'));
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(host.Log(), Lines({MenuBarSetup(), Title(1, 1001, L"File", true),
                                 Entry(DropBar(1), 2, 1002, L"Open"), Shortcut(2, 8, 'O', 1002)}));
    EXPECT_EQ(events.Joined(), L"");

    EXPECT_EQ(IdOf(file.Get()), 1001);
    EXPECT_EQ(IdOf(open.Get()), 1002);
    EXPECT_TRUE(IsDesigned(file.Get()));
    EXPECT_TRUE(IsDesigned(open.Get()));
    EXPECT_EQ(LabelOf(PopupOf(file.Get()).Get()), L"Control#1");
    EXPECT_FALSE(ControlOf(file.Get()));
    EXPECT_EQ(LabelOf(ControlOf(open.Get()).Get()), L"Control#2");
    EXPECT_FALSE(PopupOf(open.Get()));
    // The root is a container only.
    EXPECT_FALSE(IsDesigned(root.Get()));
    EXPECT_EQ(IdOf(root.Get()), 0);
}

TEST_F(MenuRender, ConfiguresTheMenuBarAndRefusesAMissingObject) {
    ComPtr<_xMenu> root = NewMenu();
    root->put_MaxButton(VARIANT_FALSE);
    root->put_ControlBox(VARIANT_FALSE);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(host.Log(), MenuBarSetup({L"Long 512, Long 512", L"Long 4864, Long 8192"}));

    host.ClearLog();
    root->put_MaxButton(VARIANT_TRUE);
    root->put_ControlBox(VARIANT_TRUE);
    root->put_MinButton(VARIANT_FALSE);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(host.Log(), MenuBarSetup({L"Long 256, Long 256"}));

    host.ClearLog();
    AddEntry(root.Get(), L"File");
    EventRecorder events(root.Get(), DIID___xMenu);
    ICommandBarsObject* nothing = nullptr;
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(root->RenderMenu(&nothing, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
    EXPECT_TRUE(host.Log().empty());
}

TEST_F(MenuRender, NumbersDepthFirstFromStartId) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> a = AddEntry(root.Get(), L"A");
    ComPtr<_xMenu> a1 = AddEntry(a.Get(), L"a1");
    ComPtr<_xMenu> a2 = AddEntry(a.Get(), L"a2");
    ComPtr<_xMenu> a21 = AddEntry(a2.Get(), L"a21");
    ComPtr<_xMenu> a22 = AddEntry(a2.Get(), L"a22");
    ComPtr<_xMenu> a3 = AddEntry(a.Get(), L"a3");
    ComPtr<_xMenu> b = AddEntry(root.Get(), L"B");
    b->put_WindowsList(VARIANT_TRUE);
    ComPtr<_xMenu> c = AddEntry(root.Get(), L"C");
    ComPtr<_xMenu> c1 = AddEntry(c.Get(), L"c1");
    c1->put_WindowsList(VARIANT_TRUE);
    ComPtr<_xMenu> c2 = AddEntry(c.Get(), L"c2");

    EXPECT_TRUE(Render(root.Get()));
    // An entry is numbered before its own entries; a window-list node gets
    // 35000 but still uses up its number.
    std::vector<long> ids;
    for (auto* n : {a.Get(), a1.Get(), a2.Get(), a21.Get(), a22.Get(), a3.Get(), b.Get(), c.Get(), c1.Get(), c2.Get()})
        ids.push_back(IdOf(n));
    EXPECT_EQ(ids, (std::vector<long>{1, 2, 3, 4, 5, 6, 35000, 8, 35000, 10}));
    EXPECT_EQ(host.ControlProp(LabelOf(PopupOf(a2.Get()).Get()), L"Type").Get()->lVal, 3);
}

TEST_F(MenuRender, SeparatorsArraysAndTheWindowListInADropDown) {
    ComPtr<_xMenu> root = NewMenu();
    root->put_StartID(10);
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> first_separator = AddSeparator(t.Get());
    AddEntry(t.Get(), L"X");
    AddSeparator(t.Get());
    AddSeparator(t.Get());
    ComPtr<_xMenu> mru = AddArray(t.Get(), L"MRU", 3);
    AddEntry(t.Get(), L"Y");
    AddSeparator(t.Get());
    ComPtr<_xMenu> none = AddArray(t.Get(), L"None", 0);
    AddEntry(t.Get(), L"Z");
    AddSeparator(t.Get());
    ComPtr<_xMenu> s = AddEntry(t.Get(), L"S");
    AddEntry(s.Get(), L"s1");
    ComPtr<_xMenu> win = AddEntry(t.Get(), L"Win");
    win->put_WindowsList(VARIANT_TRUE);
    ComPtr<_xMenu> counted = AddArray(t.Get(), L"One", 2, false);
    AddSeparator(t.Get());

    EXPECT_TRUE(Render(root.Get()));
    const std::wstring bar = DropBar(1);
    EXPECT_EQ(host.Log(),
              Lines({MenuBarSetup(), Title(1, 11, L"T", true), Entry(bar, 2, 12, L"X", true),
                     ArrayEntry(bar, 3, 13, L"MRU", true), ArrayEntry(bar, 4, 14, L"MRU"),
                     ArrayEntry(bar, 5, 15, L"MRU"), Entry(bar, 6, 16, L"Y"),
                     // A separator before an empty array marks the next control.
                     Entry(bar, 7, 17, L"Z", true),
                     // It marks an entry with a sub-menu, not the sub-menu's first entry.
                     Entry(bar, 8, 18, L"S", true, true), Entry(DropBar(8), 9, 19, L"s1"),
                     Entry(bar, 10, 35000, L"Win"), ArrayEntry(bar, 11, 21, L"One"), ArrayEntry(bar, 12, 22, L"One")}));

    // The generated entries: one new designed node each, in ArrayMenu.
    ComPtr<_xMenuCollection> members = ArrayMenuOf(mru.Get());
    ASSERT_EQ(CountOf(members.Get()), 3);
    for (short j = 0; j < 3; ++j) {
        ComPtr<_xMenu> m = ItemOf(members.Get(), Variant::Short(j));
        EXPECT_EQ(IdOf(m.Get()), 13 + j);
        EXPECT_EQ(ArrayIndexOf(m.Get()), j);
        EXPECT_TRUE(IsDesigned(m.Get()));
        EXPECT_TRUE(Same(ArrayParentOf(m.Get()).Get(), mru.Get()));
        EXPECT_EQ(LabelOf(ControlOf(m.Get()).Get()), Ctl(3 + j));
        EXPECT_EQ(CaptionOf(m.Get()), L"");
        VARIANT_BOOL child = VARIANT_FALSE;
        m->get_IsArrayChild(&child);
        EXPECT_EQ(child, VARIANT_TRUE);
    }
    EXPECT_EQ(ArrayIndexOf(ItemAt(ArrayMenuOf(counted.Get()).Get(), 1).Get()), 1);
    EXPECT_EQ(ArrayIndexOf(ItemAt(ArrayMenuOf(counted.Get()).Get(), 2).Get()), 2);
    EXPECT_EQ(CountOf(ArrayMenuOf(none.Get()).Get()), 0);
    // Separators and array nodes get no number, no control, no mark.
    for (auto* n : {first_separator.Get(), mru.Get(), none.Get()}) {
        EXPECT_EQ(IdOf(n), 0);
        EXPECT_FALSE(IsDesigned(n));
        EXPECT_FALSE(ControlOf(n));
    }
}

TEST_F(MenuRender, RenderingTwiceAddsASecondSetOfControls) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> x = AddEntry(t.Get(), L"X");
    ComPtr<_xMenu> mru = AddArray(t.Get(), L"MRU", 2);
    EXPECT_TRUE(Render(root.Get()));
    host.ClearLog();

    EXPECT_TRUE(Render(root.Get()));
    // The renumbering of designed nodes reaches their previous controls first.
    const std::wstring bar = DropBar(5);
    EXPECT_EQ(host.Log(), Lines({MenuBarSetup(), {Ctl(1) + L" put 6 (Long 1)"}, Title(5, 1, L"T", true),
                                 {Ctl(2) + L" put 6 (Long 2)"}, Entry(bar, 6, 2, L"X"), ArrayEntry(bar, 7, 3, L"MRU"),
                                 ArrayEntry(bar, 8, 4, L"MRU")}));
    EXPECT_EQ(LabelOf(PopupOf(t.Get()).Get()), Ctl(5));
    EXPECT_EQ(CountOf(ArrayMenuOf(mru.Get()).Get()), 4);
}

TEST_F(MenuRender, AFailureAtTheTopLevelEndsTheRendering) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> a = AddEntry(root.Get(), L"A");
    ComPtr<_xMenu> a1 = AddEntry(a.Get(), L"a1");
    ComPtr<_xMenu> b = AddEntry(root.Get(), L"B");
    ComPtr<_xMenu> c = AddEntry(root.Get(), L"C");
    host.FailCall(L"MenuBar.Controls", L"call 2", 2, 1004, L"Host refused");
    EventRecorder events(root.Get(), DIID___xMenu);
    EventRecorder on_title(a.Get(), DIID___xMenu);

    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Host refused)");
    EXPECT_EQ(on_title.Joined(), L"");
    // Everything done before the failure stays.
    EXPECT_TRUE(IsDesigned(a.Get()));
    EXPECT_TRUE(IsDesigned(a1.Get()));
    EXPECT_EQ(IdOf(b.Get()), 3);
    EXPECT_FALSE(IsDesigned(b.Get()));
    EXPECT_FALSE(PopupOf(b.Get()));
    EXPECT_EQ(IdOf(c.Get()), 0);
    EXPECT_EQ(host.Log().back(),
              L"MenuBar.Controls call 2 (Long 2, Long 3, String \"B\") -> error 0x800A03EC");

    // An added control that is not a popup: type mismatch, and it stays.
    host.ClearLog();
    events.Clear();
    host.WrongKind(L"MenuBar.Controls", L"call 2", 1);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(host.Log().back(), L"MenuBar.Controls call 2 (Long 2, Long 1, String \"A\") -> wrong kind");
}

TEST_F(MenuRender, AFailureInsideADropDownEndsThatDropDownOnly) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> a = AddEntry(root.Get(), L"A");
    ComPtr<_xMenu> a1 = AddEntry(a.Get(), L"a1");
    ComPtr<_xMenu> a2 = AddEntry(a.Get(), L"a2");
    ComPtr<_xMenu> a3 = AddEntry(a.Get(), L"a3");
    AddEntry(a3.Get(), L"a31");
    ComPtr<_xMenu> b = AddEntry(root.Get(), L"B");
    ComPtr<_xMenu> b1 = AddEntry(b.Get(), L"b1");
    host.FailCall(DropBar(1).append(L".Controls").c_str(), L"call 2", 2, 1004, L"Host refused");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(1004, Host refused)");
    EXPECT_TRUE(IsDesigned(a1.Get()));
    EXPECT_EQ(IdOf(a2.Get()), 3);
    EXPECT_FALSE(IsDesigned(a2.Get()));
    EXPECT_FALSE(ControlOf(a2.Get()));
    EXPECT_EQ(IdOf(a3.Get()), 0);
    EXPECT_EQ(IdOf(b.Get()), 4);
    EXPECT_EQ(IdOf(b1.Get()), 5);
    EXPECT_TRUE(IsDesigned(b1.Get()));
}

TEST_F(MenuRender, TheRunningIdOverflows) {
    ComPtr<_xMenu> root = NewMenu();
    root->put_StartID(2147483647);
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenu> t1 = AddEntry(t.Get(), L"t1");
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(host.Log(), MenuBarSetup());
    EXPECT_EQ(IdOf(t.Get()), 0);

    // Below the top level only the drop-down is cut short.
    events.Clear();
    root->put_StartID(2147483646);
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");
    EXPECT_EQ(IdOf(t.Get()), 2147483647);
    EXPECT_FALSE(IsDesigned(t1.Get()));
}

TEST_F(MenuRender, EmptyEntriesRenderAsDefaultNodesThatAreNotKept) {
    ComPtr<_xMenu> root = NewMenu();
    Append(SubMenusOf(root.Get()).Get(), nullptr);
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    Append(SubMenusOf(t.Get()).Get(), nullptr);
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    EXPECT_EQ(host.Log(), Lines({MenuBarSetup(), Title(1, 1, L""), Title(2, 2, L"T", true),
                                 Entry(DropBar(2), 3, 3, L"")}));
    EXPECT_FALSE(ItemAt(SubMenusOf(root.Get()).Get(), 1));
    EXPECT_FALSE(ItemAt(SubMenusOf(t.Get()).Get(), 1));
}

TEST_F(MenuRender, HostImplementedNodesAndCollections) {
    // A host's node as a title can be numbered and given its popup, but
    // not marked designed.
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> foreign = Append(SubMenusOf(root.Get()).Get(), NewForeignMenu());
    EventRecorder events(root.Get(), DIID___xMenu);
    EXPECT_FALSE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), L"SystemError(13, Type mismatch)");
    EXPECT_EQ(IdOf(foreign.Get()), 1);
    EXPECT_FALSE(IsDesigned(foreign.Get()));

    // A host's collection as a drop-down, holding a host's array node:
    // the generated entries go into the host node's ArrayMenu and point
    // back to it.
    host.ClearLog();
    events.Clear();
    ComPtr<_xMenu> root2 = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root2.Get(), L"T");
    ComPtr<ForeignCollection> entries = NewForeignCollection();
    ASSERT_EQ(t->putref_SubMenus(entries.Get()), S_OK);
    ComPtr<_xMenu> array = Append(entries.Get(), NewForeignMenu());
    array->put_IsArray(VARIANT_TRUE);
    array->put_ArrayCount(2);
    EventRecorder events2(root2.Get(), DIID___xMenu);
    EXPECT_TRUE(Render(root2.Get()));
    EXPECT_EQ(events2.Joined(), L"");
    ComPtr<_xMenuCollection> members = ArrayMenuOf(array.Get());
    ASSERT_EQ(CountOf(members.Get()), 2);
    // Counting from zero, as the host's array node says.
    EXPECT_TRUE(Same(ArrayParentOf(ItemAt(members.Get(), 0).Get()).Get(), array.Get()));
    EXPECT_EQ(IdOf(ItemAt(members.Get(), 1).Get()), 3);
    // A host's object is held counted: the host breaks the pair itself.
    EXPECT_EQ(array->putref_ArrayMenu(nullptr), S_OK);
}

}  // namespace
}  // namespace zuv::test
