// The audit: each finding from a tree that has exactly that fault, next to a
// clean tree that must yield nothing; then what the audit must never do
// (change, render or raise anything; loop; crash) and how it takes its input.
#include <algorithm>
#include <functional>
#include <sstream>

#include "support/nodes.h"
#include "zuvXCHandlerAudit.h"

namespace zuv::test {
namespace {

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The roots of one case, from a notation: roots separated by ";", each
// "M<StartID> <tree>" or "T<StartID> <tree>" (support/nodes.h's tree
// notation), "!" in front for a root rendered before the audit.
struct Roots {
    std::vector<ComPtr<_xMenu>> menus;
    std::vector<ComPtr<_xToolBar>> toolbars;
    std::vector<IUnknown*> render;              // in this order
    std::vector<std::function<void()>> undo;    // breaks the cycles a case made
    std::map<std::wstring, ComPtr<_xMenu>> nodes;
    std::map<std::wstring, ComPtr<_xToolBar>> bars;

    explicit Roots(const wchar_t* text) {
        std::wstringstream all(text);
        for (std::wstring root; std::getline(all, root, L';');) {
            root.erase(0, root.find_first_not_of(L' '));
            bool rendered = root[0] == L'!';
            size_t kind = rendered ? 1 : 0, space = root.find(L' ');
            long start = std::stol(root.substr(kind + 1, space - kind - 1));
            std::wstring tree = space == std::wstring::npos ? L"" : root.substr(space + 1);
            IUnknown* made = root[kind] == L'M' ? static_cast<IUnknown*>(Add(menus, nodes, tree, start))
                                                : Add(toolbars, bars, tree, start);
            if (rendered) render.push_back(made);
        }
    }
    ~Roots() {
        for (auto& u : undo) u();
    }
    template <class Node>
    Node* Add(std::vector<ComPtr<Node>>& roots, std::map<std::wstring, ComPtr<Node>>& by_caption,
              const std::wstring& text, long start) {
        Tree<Node> t(text.c_str());
        Must(t.root->put_StartID(start), "StartID");
        roots.push_back(t.root);
        by_caption.insert(t.nodes.begin(), t.nodes.end());
        return t.root.Get();
    }
    _xMenu* operator[](const wchar_t* caption) { return Required(nodes[caption].Get(), "the node"); }

    // Settings on menu nodes by caption, separated by spaces: "Open.key=open",
    // "Open.keys=8+79" (the shortcut's two keys), "-.id=3", "R.array=3",
    // "Open.hidden", "Open.off", "W.winlist".
    void Set(const wchar_t* settings) {
        std::wstringstream all(settings);
        for (std::wstring s; all >> s;) {
            size_t dot = s.find(L'.'), eq = s.find(L'=');
            _xMenu* n = (*this)[s.substr(0, dot).c_str()];
            std::wstring what = s.substr(dot + 1, eq - dot - 1), value = eq == std::wstring::npos ? L"" : s.substr(eq + 1);
            if (what == L"key") Must(n->put_Key(B(value.c_str()).Get()), "Key");
            else if (what == L"id") Must(n->put_ID(std::stol(value)), "ID");
            else if (what == L"array") MakeArray(n, static_cast<short>(std::stol(value)));
            else if (what == L"hidden") Must(n->put_Visible(VARIANT_FALSE), "Visible");
            else if (what == L"off") Must(n->put_Enabled(VARIANT_FALSE), "Enabled");
            else if (what == L"winlist") Must(n->put_WindowsList(VARIANT_TRUE), "WindowsList");
            else if (what == L"keys") Shortcut(n, std::stol(value), std::stol(value.substr(value.find(L'+') + 1)));
            else throw TestStopped("unknown setting " + Narrow(s));
        }
    }
    // Appends `child` to the parent's SubMenus, and takes it out again at the end.
    void Cycle(_xMenu* parent, _xMenu* child) {
        test::Add(parent, ComPtr<_xMenu>(child));
        ComPtr<_xMenu> p(parent);
        undo.push_back([p] {
            auto subs = EntriesOf(p.Get());
            EXPECT_EQ(subs->Remove(Variant::Long(CountOf(subs.Get())).Get()), S_OK);
        });
    }
};

struct Case {
    const char* name;
    const wchar_t* roots;
    const wchar_t* settings;
    std::vector<std::wstring> codes;   // sorted
    std::function<void(Roots&)> more = nullptr;   // what the notation cannot say
};

// Each fault, alone, and its clean counterpart.
const Case kCases[] = {
    {"clean unrendered trees", L"M1000 &File{&Open &Save - E&xit} &Edit{Cu&t &Copy}; T2000 New Open{A B} - Print", L"", {}},
    {"clean rendered trees", L"!M1000 &File{&Open Recent - E&xit} &Window; !T2000 New Open{A B}",
     L"&Window.winlist Recent.array=3", {}},

    // IDs of rendered trees.
    {"rendered: two roots numbered alike", L"!M0 A; !T0 B", L"", {L"DuplicateID"}},
    {"rendered: three nodes with one ID, each later one against the first", L"!M0 A; !T0 B; !T0 C", L"",
     {L"DuplicateID", L"DuplicateID"}},
    {"rendered: a generated array entry and a button", L"!M0 F{R}; !T2 X", L"R.array=2", {L"DuplicateID"}},   // R 2 3, X 3
    {"rendered: a separator keeps an ID a rendered node was given", L"!M0 F{a - b}", L"-.id=3", {L"DuplicateID"}},
    {"rendered: 35000 on an entry that is not the window list", L"!M34998 A B", L"", {L"WindowListID"}},
    {"rendered: 35000 on the window list", L"!M34998 A B; !M0 W", L"B.winlist W.winlist", {}},

    // IDs rendering will give.
    {"unrendered: menu and toolbar ranges overlap", L"M1000 A{A1 A2}; T1002 X Y", L"", {L"IDOverlap"}},   // 1001-1003, 1003-
    {"unrendered: ranges that touch", L"M1000 A{A1 A2}; T1003 X Y", L"", {}},
    {"unrendered: an array's range overlaps", L"M0 F{R}; T100 X", L"R.array=100", {L"IDOverlap"}},   // R 2-101, X 101
    {"unrendered: separators take no number", L"M0 F{- a - b}; T3 - X", L"", {}},
    {"unrendered: a rendered tree and an unrendered one", L"!M1000 A B; T1001 X", L"", {L"IDOverlap"}},
    {"unrendered: numbering reaches 35000", L"M34997 F{R}", L"R.array=5", {L"WindowListID"}},
    {"unrendered: a window list beside a numbered range", L"M34998 A W", L"W.winlist", {}},
    {"unrendered: numbering passes 2147483647", L"M2147483646 A B", L"", {L"IDOverflow"}},

    // Keys.
    {"keys: one key in two sub-menus, letter case aside", L"M1000 File{Open} Recent{Open2}",
     L"Open.key=open Open2.key=OPEN", {L"DuplicateKey"}},
    {"keys: one key three times, and keys beyond ASCII", L"M1000 A{B C} D E",
     L"B.key=same C.key=Same D.key=SAME A.key=\u00C4pfel E.key=\u00E4pfel",
     {L"DuplicateKey", L"DuplicateKey", L"DuplicateKey"}},
    {"keys: distinct keys, and a key twice in two trees", L"M1000 File{Open} Recent{Open2}; M5000 Other",
     L"Open.key=open Open2.key=open2 Other.key=open", {}},

    // Shortcuts (Ctrl 8, Shift 4).
    {"shortcuts: one combination in two menus", L"M1000 File{Open}; M5000 Other{Load}", L"Open.keys=8+79 Load.keys=8+79",
     {L"DuplicateShortcut"}},
    {"shortcuts: on a hidden and on a disabled node", L"M1000 File{Open Save}",
     L"Open.keys=8+79 Save.keys=8+83 Open.hidden Save.off", {L"ShortcutOnInactiveNode", L"ShortcutOnInactiveNode"}},
    {"shortcuts: a modifier without a key", L"M1000 File{Open}", L"Open.keys=12+0", {L"ModifierWithoutKey"}},
    {"shortcuts: distinct, a key alone, and never bound (a separator, an array node)", L"M1000 File{Open Save Help - R}",
     L"Open.keys=8+79 Save.keys=12+79 Help.keys=0+112 -.keys=8+79 R.array=2 R.keys=8+79", {}},

    // Access keys.
    {"access keys: one letter twice in a level", L"M1000 F{&Open &over}", L"", {L"DuplicateAccessKey"}},
    {"access keys: && is no access key", L"M1000 F{Tom&&Jerry &Cut &Copy}", L"", {L"DuplicateAccessKey"}},
    {"access keys: a dangling &", L"M1000 F{Save&}", L"", {L"AccessKeyAtEnd"}},
    {"access keys: other levels, hidden entries and &&", L"M1000 &File{&Open &Fax{&Open}} F&ormat{A&&B &Hidden}",
     L"&Hidden.hidden", {}},

    // Structure.
    {"structure: a node in two sub-menus, three times", L"M1000 A B", L"", {L"SharedNode"}, [](Roots& r) {
         auto shared = NewNode<_xMenu>(L"Shared");
         for (auto* parent : {r[L"A"], r[L"B"], r[L"B"]}) Add(parent, shared);
     }},
    {"structure: a node in two roots", L"M1000 A; M5000 B", L"", {L"SharedNode"},
     [](Roots& r) { Add(r[L"B"], ComPtr<_xMenu>(r[L"A"])); }},
    {"structure: a node below itself", L"M1000 A{B}", L"", {L"NodeContainsItself"},
     [](Roots& r) { r.Cycle(r[L"B"], r[L"A"]); }},
    {"structure: an array with sub-menus", L"M1000 F{R{X}}", L"R.array=2", {L"ArrayWithSubMenus"}},
    {"structure: a negative ArrayCount", L"M1000 F{R a}", L"R.array=-5", {L"ArrayCountRange"}},
    {"structure: a toolbar drop-down of separators only", L"T2000 X{- -} Y{a}", L"", {L"EmptyDropDown"}},
    {"structure: a menu entry with nothing to show", L"M1000 F{E{- R}}", L"R.array=0", {L"EmptyDropDown"}},
    {"structure: Nothing in a collection", L"M1000 F", L"", {L"EmptyEntry"},
     [](Roots& r) { Add(r.menus[0].Get(), ComPtr<_xMenu>()); }},

    // Hostile trees end with findings; a host's own nodes are read through
    // their public interfaces; a failing host object is a finding, not a failure.
    {"hostile: a chain 300 levels deep", L"M1000 x", L"", {L"TooDeep"}, [](Roots& r) {
         ComPtr<_xMenu> at(r[L"x"]);
         for (int i = 0; i < 299; ++i) at = Add(at.Get(), NewNode<_xMenu>(L"x"));
     }},
    {"hostile: a root inside its own tree", L"M1000 A{B}", L"", {L"NodeContainsItself"},
     [](Roots& r) { r.Cycle(r[L"B"], r.menus[0].Get()); }},
    {"hostile: a root that lies in another root's tree", L"M1000 A{B{C}}", L"", {L"SharedNode"},
     [](Roots& r) { r.menus.push_back(r[L"B"]); }},
    {"hostile: a host's own nodes", L"M0", L"", {L"DuplicateAccessKey"}, [](Roots& r) {
         for (const wchar_t* caption : {L"&Alpha", L"&apple"})
             Must(Add(r.menus[0].Get(), NewForeignMenu())->put_Caption(B(caption).Get()), "Caption");
     }},
    {"hostile: a host's collection that fails", L"M1000 A", L"", {L"ReadFailed"}, [](Roots& r) {
         auto list = MakeFake<ForeignMenus>();
         list->items = {NewNode<_xMenu>(L"a1"), NewNode<_xMenu>(L"a2")};
         list->fail_item_at = 2;
         Must(r[L"A"]->putref_SubMenus(list.Get()), "SubMenus");
     }},
};

class AuditTest : public NodeTest {
protected:
    ComPtr<_xAudit> audit = Create<_xAudit>(CLSID_xAudit);

    // The audit holds the roots and the findings their nodes.
    void TearDown() override {
        audit = nullptr;
        NodeTest::TearDown();
    }
    void AddRoots(const Roots& r) {
        for (auto& m : r.menus) Must(audit->AddMenu(*Variant::Object(m.Get()).Get()), "AddMenu");
        for (auto& t : r.toolbars) Must(audit->AddToolBar(*Variant::Object(t.Get()).Get()), "AddToolBar");
    }
    ComPtr<_xAuditFindings> Run() {
        ComPtr<_xAuditFindings> f;
        Must(audit->Run(f.Out()), "Run");
        return f;
    }
    static ComPtr<_xAuditFinding> At(_xAuditFindings* f, long i) {
        ComPtr<_xAuditFinding> item;
        Must(f->get_Item(i, item.Out()), "Item");
        return item;
    }
    std::vector<std::wstring> Codes() {
        auto f = Run();
        std::vector<std::wstring> codes;
        for (long i = 1; i <= Read(f.Get(), &_xAuditFindings::get_Count); ++i)
            codes.push_back(Read(At(f.Get(), i).Get(), &_xAuditFinding::get_Code));
        std::sort(codes.begin(), codes.end());
        return codes;
    }
    std::wstring Report() { return Read(audit.Get(), &_xAudit::get_Report); }
};

TEST_F(AuditTest, EachFaultAloneAndItsCleanTree) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Roots r(c.roots);
        r.Set(c.settings);
        if (c.more) c.more(r);
        for (IUnknown* root : r.render) {
            ComPtr<_xMenu> m;
            if (root->QueryInterface(IID__xMenu, reinterpret_cast<void**>(m.Out())) == S_OK) ASSERT_TRUE(Render(m.Get()));
            else ASSERT_TRUE(Render(static_cast<_xToolBar*>(root)));
        }
        Must(audit->Clear(), "Clear");
        AddRoots(r);
        EXPECT_EQ(Codes(), c.codes) << Narrow(Report());
    }
}

// What a finding carries, how the report reads, and how a script walks the findings.
TEST_F(AuditTest, FindingNamesBothNodesAndTheirPaths) {
    Roots r(L"M1000 &File{&Open} &Recent{Open2}");
    r.Set(L"&Open.key=open Open2.key=Open");
    AddRoots(r);
    auto findings = Run();
    ASSERT_EQ(Read(findings.Get(), &_xAuditFindings::get_Count), 1);
    EXPECT_EQ(Read(findings.Get(), &_xAuditFindings::get_ErrorCount), 1);
    auto f = At(findings.Get(), 1);
    EXPECT_EQ(Read(f.Get(), &_xAuditFinding::get_Severity), auditError);
    EXPECT_TRUE(Same(Read(f.Get(), &_xAuditFinding::get_Node).Get(), r[L"&Open"]));
    EXPECT_TRUE(Same(Read(f.Get(), &_xAuditFinding::get_OtherNode).Get(), r[L"Open2"]));
    EXPECT_EQ(Read(f.Get(), &_xAuditFinding::get_Path), L"Menu 1 > 1 \"&File\" > 1 \"&Open\"");
    EXPECT_EQ(Read(f.Get(), &_xAuditFinding::get_OtherPath), L"Menu 1 > 2 \"&Recent\" > 1 \"Open2\"");
    EXPECT_EQ(Report(),
              L"Audit of 1 menu and 0 toolbars: 5 nodes, 1 error, 0 warnings.\r\n"
              L"error   DuplicateKey: The key \"Open\" is used twice in one menu tree: GetMenuList fails with error "
              L"457 at the second node and lists nothing after it.\r\n"
              L"        at Menu 1 > 1 \"&File\" > 1 \"&Open\"\r\n"
              L"        and Menu 1 > 2 \"&Recent\" > 1 \"Open2\"\r\n");
    ComPtr<_xAuditFinding> none;
    EXPECT_EQ(findings->get_Item(0, none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 9));
    EXPECT_EQ(findings->get_Item(2, none.Out()), MAKE_HRESULT(1, FACILITY_CONTROL, 9));
    // The default member and For Each, as a script reaches them.
    EXPECT_TRUE(Same(Object(InvokeId(findings.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant::Long(1)}).value), f.Get()));
    LateResult walked = Get(findings.Get(), L"_NewEnum");
    ASSERT_TRUE(walked.ok());
    auto e = Required(ComPtr<IUnknown>(walked.value.Get()->punkVal).As<IEnumVARIANT>(), "IEnumVARIANT");
    Variant v;
    ULONG got = 0;
    EXPECT_EQ(e->Next(1, v.Out(), &got), S_OK);
    EXPECT_TRUE(Same(Object(v), f.Get()));
    EXPECT_EQ(e->Next(1, v.Out(), &got), S_FALSE);
}

// Each Run reads the trees as they are now.
TEST_F(AuditTest, RunReadsTheTreesAgain) {
    Roots r(L"M1000 F{&Open &Options}");
    AddRoots(r);
    EXPECT_EQ(Codes(), std::vector<std::wstring>{L"DuplicateAccessKey"});
    Must(r[L"&Options"]->put_Caption(B(L"O&ptions").Get()), "Caption");
    EXPECT_EQ(Codes(), std::vector<std::wstring>{});
}

TEST_F(AuditTest, ReadsOnlyAndRaisesNothing) {
    Roots r(L"M0 F{Open R}; T0 X{Y}");
    r.Set(L"R.array=2");
    EventRecorder menu_events(r.menus[0].Get(), DIID___xMenu);
    EventRecorder bar_events(r.toolbars[0].Get(), DIID___xToolBar);
    host.ClearLog();
    AddRoots(r);
    EXPECT_EQ(Codes(), std::vector<std::wstring>{L"IDOverlap"});
    EXPECT_EQ(host.Log(), std::vector<std::wstring>{});
    EXPECT_EQ(menu_events.Joined() + bar_events.Joined(), L"");
    for (auto& [caption, node] : r.nodes) {
        EXPECT_FALSE(IsDesigned(node.Get())) << Narrow(caption);
        EXPECT_EQ(IdOf(node.Get()), 0) << Narrow(caption);
    }
    EXPECT_EQ(CountOf(Read(r[L"R"], &_xMenu::get_ArrayMenu).Get()), 0);
    EXPECT_FALSE(IsDesigned(r.bars.at(L"X").Get()));
}

// A host's node that calls back into the audit while it is read.
TEST_F(AuditTest, RunFromInsideARunIsRefused) {
    Roots r(L"M0");
    Add(r.menus[0].Get(), NewForeignMenu());
    AddRoots(r);
    HRESULT nested = S_OK;
    long clears = 0;
    g_on_foreign_read = [&] {
        ComPtr<_xAuditFindings> inner;
        nested = audit->Run(inner.Out());
        clears += audit->Clear() == S_OK;   // the running audit keeps its own copy of the roots
    };
    EXPECT_EQ(Codes(), std::vector<std::wstring>{});
    g_on_foreign_read = nullptr;
    EXPECT_EQ(nested, MAKE_HRESULT(1, FACILITY_CONTROL, 5));
    EXPECT_GT(clears, 0);
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_RootCount), 0);
}

// Anything a late-bound caller may pass: a clear run-time error, nothing taken.
TEST_F(AuditTest, WrongInputIsAClearError) {
    auto toolbar = NewToolBar();
    auto menu = NewMenu();
    const std::tuple<const wchar_t*, Variant, long, const wchar_t*> cases[] = {
        {L"AddMenu", Variant::Object(nullptr), 91, L"Nothing"},
        {L"AddMenu", Variant::String(L"File"), 13, L"not an object"},
        {L"AddMenu", Variant::Long(42), 13, L"not an object"},
        {L"AddMenu", Variant(), 5, L"no node"},
        {L"AddMenu", Variant::Object(xchost::CreateByProgId(L"Scripting.Dictionary").Get()), 13, L"not one"},
        {L"AddMenu", Variant::Object(toolbar.Get()), 13, L"use AddToolBar"},
        {L"AddToolBar", Variant::Object(menu.Get()), 13, L"use AddMenu"},
    };
    for (auto& [method, arg, number, says] : cases) {
        SCOPED_TRACE(Narrow(says));
        LateResult res = Call(audit.Get(), method, {arg});
        EXPECT_EQ(res.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(res.number, number);
        EXPECT_NE(res.description.find(says), std::wstring::npos) << Narrow(res.description);
    }
    // An argument left out never reaches the audit: the dispatch layer
    // answers it as the platform does for a required parameter.
    EXPECT_EQ(Call(audit.Get(), L"AddToolBar", {Missing()}).hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_RootCount), 0);
}

TEST_F(AuditTest, TheSameRootTwiceIsAuditedOnce) {
    auto menu = NewMenu();
    EXPECT_TRUE(Call(audit.Get(), L"AddMenu", {Variant::Object(menu.Get())}).ok());
    EXPECT_TRUE(Call(audit.Get(), L"AddMenu", {Variant::Object(menu.Get())}).ok());
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_RootCount), 1);
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_MaxDepth), 256);
}

}  // namespace
}  // namespace zuv::test
