// The audit: each finding from a tree that has exactly that fault, next to a
// clean tree that must yield nothing; then what the audit must never do
// (change, render or raise anything; loop; crash) and how it takes its input.
#include <algorithm>
#include <functional>

#include "support/nodes.h"
#include "zuvXCHandlerAudit.h"

namespace zuv::test {
namespace {

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

ComPtr<_xAudit> NewAudit() { return Create<_xAudit>(CLSID_xAudit); }

Variant Obj(IUnknown* node) {
    ComPtr<IDispatch> d;
    if (node) node->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.Out()));
    return Variant::Object(d.Get());
}

// The roots of one case: menus and toolbars, optionally rendered first.
struct Roots {
    std::vector<ComPtr<_xMenu>> menus;
    std::vector<ComPtr<_xToolBar>> toolbars;
    std::vector<IUnknown*> render;   // rendered into the stand-in host, in this order
    std::vector<std::function<void()>> undo;   // breaks the cycles a case made

    ~Roots() {
        for (auto& u : undo) u();
    }
    // Appends `child` to the parent's SubMenus, and takes it out again at the end.
    void Cycle(_xMenu* parent, _xMenu* child) {
        Add(parent, ComPtr<_xMenu>(child));
        ComPtr<_xMenu> p(parent);
        undo.push_back([p] {
            auto subs = EntriesOf(p.Get());
            Variant last = Variant::Long(CountOf(subs.Get()));
            EXPECT_EQ(subs->Remove(last.Get()), S_OK);
        });
    }

    _xMenu* Menu(const wchar_t* text, long start = 1000) {
        Tree<_xMenu> t(text);
        t.root->put_StartID(start);
        menus.push_back(t.root);
        nodes.insert(t.nodes.begin(), t.nodes.end());
        return t.root.Get();
    }
    _xToolBar* ToolBar(const wchar_t* text, long start = 2000) {
        Tree<_xToolBar> t(text);
        t.root->put_StartID(start);
        toolbars.push_back(t.root);
        bars.insert(t.nodes.begin(), t.nodes.end());
        return t.root.Get();
    }
    _xMenu* operator[](const wchar_t* caption) { return nodes.at(caption).Get(); }
    _xToolBar* Bar(const wchar_t* caption) { return bars.at(caption).Get(); }

    std::map<std::wstring, ComPtr<_xMenu>> nodes;
    std::map<std::wstring, ComPtr<_xToolBar>> bars;
};

void Shortcut(_xMenu* n, long modifiers, long key) {
    n->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(modifiers));
    n->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(key));
}

struct Case {
    const char* name;
    std::function<void(Roots&)> build;
    std::vector<std::wstring> codes;   // sorted
};

const long CTRL = 8, SHIFT = 4;

// Each fault, alone, and its clean counterpart.
const Case kCases[] = {
    {"clean unrendered trees", [](Roots& r) {
         r.Menu(L"&File{&Open &Save - E&xit} &Edit{Cu&t &Copy}");
         r.ToolBar(L"New Open{A B} - Print");
     }, {}},
    {"clean rendered trees", [](Roots& r) {
         r.render = {r.Menu(L"&File{&Open Recent - E&xit} &Window"), r.ToolBar(L"New Open{A B}")};
         r[L"&Window"]->put_WindowsList(VARIANT_TRUE);
         MakeArray(r[L"Recent"], 3);
     }, {}},

    // IDs of rendered trees.
    {"rendered: two roots numbered alike", [](Roots& r) {
         r.render = {r.Menu(L"A", 0), r.ToolBar(L"B", 0)};
     }, {L"DuplicateID"}},
    {"rendered: three nodes with one ID, each later one against the first", [](Roots& r) {
         r.render = {r.Menu(L"A", 0), r.ToolBar(L"B", 0), r.ToolBar(L"C", 0)};
     }, {L"DuplicateID", L"DuplicateID"}},
    {"rendered: a generated array entry and a button", [](Roots& r) {
         r.render = {r.Menu(L"F{R}", 0), r.ToolBar(L"X", 2)};   // F 1, R 2 3; X 3
         MakeArray(r[L"R"], 2);
     }, {L"DuplicateID"}},
    {"rendered: a separator keeps an ID a rendered node was given", [](Roots& r) {
         r.render = {r.Menu(L"F{a - b}", 0)};   // F 1, a 2, b 3
         r[L"-"]->put_ID(3);
     }, {L"DuplicateID"}},
    {"rendered: 35000 on an entry that is not the window list", [](Roots& r) {
         r.render = {r.Menu(L"A B", 34998)};
     }, {L"WindowListID"}},
    {"rendered: 35000 on the window list", [](Roots& r) {
         r.render = {r.Menu(L"A B", 34998), r.Menu(L"W", 0)};
         r[L"B"]->put_WindowsList(VARIANT_TRUE);
         r[L"W"]->put_WindowsList(VARIANT_TRUE);
     }, {}},

    // IDs rendering will give.
    {"unrendered: menu and toolbar ranges overlap", [](Roots& r) {
         r.Menu(L"A{A1 A2}", 1000);        // 1001-1003
         r.ToolBar(L"X Y", 1002);          // 1003-1004
     }, {L"IDOverlap"}},
    {"unrendered: ranges that touch", [](Roots& r) {
         r.Menu(L"A{A1 A2}", 1000);
         r.ToolBar(L"X Y", 1003);
     }, {}},
    {"unrendered: an array's range overlaps", [](Roots& r) {
         r.Menu(L"F{R}", 0);               // F 1, R 2-101
         MakeArray(r[L"R"], 100);
         r.ToolBar(L"X", 100);             // 101
     }, {L"IDOverlap"}},
    {"unrendered: separators take no number", [](Roots& r) {
         r.Menu(L"F{- a - b}", 0);         // F 1, a 2, b 3
         r.ToolBar(L"- X", 3);             // 4
     }, {}},
    {"unrendered: a rendered tree and an unrendered one", [](Roots& r) {
         r.render = {r.Menu(L"A B", 1000)};
         r.ToolBar(L"X", 1001);
     }, {L"IDOverlap"}},
    {"unrendered: numbering reaches 35000", [](Roots& r) {
         r.Menu(L"F{R}", 34997);           // F 34998, R 34999-35003
         MakeArray(r[L"R"], 5);
     }, {L"WindowListID"}},
    {"unrendered: a window list beside a numbered range", [](Roots& r) {
         r.Menu(L"A W", 34998);            // A 34999, W 35000 (window list)
         r[L"W"]->put_WindowsList(VARIANT_TRUE);
     }, {}},
    {"unrendered: numbering passes 2147483647", [](Roots& r) { r.Menu(L"A B", 2147483646); }, {L"IDOverflow"}},

    // Keys.
    {"keys: one key in two sub-menus, letter case aside", [](Roots& r) {
         r.Menu(L"File{Open} Recent{Open2}");
         r[L"Open"]->put_Key(B(L"open").Get());
         r[L"Open2"]->put_Key(B(L"OPEN").Get());
     }, {L"DuplicateKey"}},
    {"keys: one key three times, and keys beyond ASCII", [](Roots& r) {
         r.Menu(L"A{B C} D E");
         r[L"B"]->put_Key(B(L"same").Get());
         r[L"C"]->put_Key(B(L"Same").Get());
         r[L"D"]->put_Key(B(L"SAME").Get());
         r[L"A"]->put_Key(B(L"\u00C4pfel").Get());
         r[L"E"]->put_Key(B(L"\u00E4pfel").Get());
     }, {L"DuplicateKey", L"DuplicateKey", L"DuplicateKey"}},
    {"keys: distinct keys, and a key twice in two trees", [](Roots& r) {
         r.Menu(L"File{Open} Recent{Open2}");
         r.Menu(L"Other", 5000);
         r[L"Open"]->put_Key(B(L"open").Get());
         r[L"Open2"]->put_Key(B(L"open2").Get());
         r[L"Other"]->put_Key(B(L"open").Get());
     }, {}},

    // Shortcuts.
    {"shortcuts: one combination in two menus", [](Roots& r) {
         r.Menu(L"File{Open}");
         r.Menu(L"Other{Load}", 5000);
         Shortcut(r[L"Open"], CTRL, 'O');
         Shortcut(r[L"Load"], CTRL, 'O');
     }, {L"DuplicateShortcut"}},
    {"shortcuts: on a hidden and on a disabled node", [](Roots& r) {
         r.Menu(L"File{Open Save}");
         Shortcut(r[L"Open"], CTRL, 'O');
         Shortcut(r[L"Save"], CTRL, 'S');
         r[L"Open"]->put_Visible(VARIANT_FALSE);
         r[L"Save"]->put_Enabled(VARIANT_FALSE);
     }, {L"ShortcutOnInactiveNode", L"ShortcutOnInactiveNode"}},
    {"shortcuts: a modifier without a key", [](Roots& r) {
         r.Menu(L"File{Open}");
         Shortcut(r[L"Open"], CTRL | SHIFT, 0);
     }, {L"ModifierWithoutKey"}},
    {"shortcuts: distinct, a key alone, and never bound", [](Roots& r) {
         r.Menu(L"File{Open Save Help - R}");
         Shortcut(r[L"Open"], CTRL, 'O');
         Shortcut(r[L"Save"], CTRL | SHIFT, 'O');
         Shortcut(r[L"Help"], 0, 112);
         Shortcut(r[L"-"], CTRL, 'O');   // a separator binds nothing
         MakeArray(r[L"R"], 2);
         Shortcut(r[L"R"], CTRL, 'O');   // nor does an array node
     }, {}},

    // Access keys.
    {"access keys: one letter twice in a level", [](Roots& r) { r.Menu(L"F{&Open &over}"); },
     {L"DuplicateAccessKey"}},
    {"access keys: && is no access key", [](Roots& r) { r.Menu(L"F{Tom&&Jerry &Cut &Copy}"); },
     {L"DuplicateAccessKey"}},
    {"access keys: a dangling &", [](Roots& r) { r.Menu(L"F{Save&}"); }, {L"AccessKeyAtEnd"}},
    {"access keys: other levels, hidden entries and &&", [](Roots& r) {
         r.Menu(L"&File{&Open &Fax{&Open}} F&ormat{A&&B &Hidden}");
         r[L"&Hidden"]->put_Visible(VARIANT_FALSE);
     }, {}},

    // Structure.
    {"structure: a node in two sub-menus", [](Roots& r) {
         r.Menu(L"A B");
         auto shared = NewNode<_xMenu>(L"Shared");
         Add(r[L"A"], shared);
         Add(r[L"B"], shared);
         Add(r[L"B"], shared);   // a third time: still one finding
     }, {L"SharedNode"}},
    {"structure: a node in two roots", [](Roots& r) {
         r.Menu(L"A");
         r.Menu(L"B", 5000);
         Add(r[L"B"], ComPtr<_xMenu>(r[L"A"]));
     }, {L"SharedNode"}},
    {"structure: a node below itself", [](Roots& r) {
         r.Menu(L"A{B}");
         r.Cycle(r[L"B"], r[L"A"]);
     }, {L"NodeContainsItself"}},
    {"structure: an array with sub-menus", [](Roots& r) {
         r.Menu(L"F{R{X}}");
         MakeArray(r[L"R"], 2);
     }, {L"ArrayWithSubMenus"}},
    {"structure: a negative ArrayCount", [](Roots& r) {
         r.Menu(L"F{R a}");
         MakeArray(r[L"R"], -5);
     }, {L"ArrayCountRange"}},
    {"structure: a toolbar drop-down of separators only", [](Roots& r) { r.ToolBar(L"X{- -} Y{a}"); },
     {L"EmptyDropDown"}},
    {"structure: a menu entry with nothing to show", [](Roots& r) {
         r.Menu(L"F{E{- R}}");
         MakeArray(r[L"R"], 0);
     }, {L"EmptyDropDown"}},
    {"structure: Nothing in a collection", [](Roots& r) {
         _xMenu* root = r.Menu(L"F");
         Add(root, ComPtr<_xMenu>());
     }, {L"EmptyEntry"}},
};

class AuditTest : public NodeTest {
protected:
    ComPtr<_xAudit> audit = NewAudit();

    // The audit holds the roots and the findings their nodes.
    void TearDown() override {
        audit = nullptr;
        NodeTest::TearDown();
    }

    void AddRoots(const Roots& r) {
        for (auto& m : r.menus) ASSERT_EQ(audit->AddMenu(*Obj(m.Get()).Get()), S_OK);
        for (auto& t : r.toolbars) ASSERT_EQ(audit->AddToolBar(*Obj(t.Get()).Get()), S_OK);
    }
    ComPtr<_xAuditFindings> Run() {
        ComPtr<_xAuditFindings> f;
        EXPECT_EQ(audit->Run(f.Out()), S_OK);
        return f;
    }
    static ComPtr<_xAuditFinding> At(_xAuditFindings* f, long i) {
        ComPtr<_xAuditFinding> item;
        EXPECT_EQ(f->get_Item(i, item.Out()), S_OK);
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
        Roots r;
        c.build(r);
        for (IUnknown* root : r.render) {
            ComPtr<_xMenu> m;
            root->QueryInterface(IID__xMenu, reinterpret_cast<void**>(m.Out()));
            if (m) ASSERT_TRUE(Render(m.Get()));
            else ASSERT_TRUE(Render(static_cast<_xToolBar*>(root)));
        }
        ASSERT_EQ(audit->Clear(), S_OK);
        AddRoots(r);
        EXPECT_EQ(Codes(), c.codes) << Narrow(Report());
    }
}

// What a finding carries and how the report reads.
TEST_F(AuditTest, FindingNamesBothNodesAndTheirPaths) {
    Roots r;
    r.Menu(L"&File{&Open} &Recent{Open2}");
    r[L"&Open"]->put_Key(B(L"open").Get());
    r[L"Open2"]->put_Key(B(L"Open").Get());
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
    // For Each, as a script walks it.
    LateResult walked = Get(findings.Get(), L"_NewEnum");
    ASSERT_TRUE(walked.ok());
    ComPtr<IEnumVARIANT> e;
    walked.value.Get()->punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.Out()));
    ASSERT_TRUE(e);
    Variant v;
    ULONG got = 0;
    EXPECT_EQ(e->Next(1, v.Out(), &got), S_OK);
    EXPECT_TRUE(Same(Object(v), f.Get()));
    EXPECT_EQ(e->Next(1, v.Out(), &got), S_FALSE);
}

TEST_F(AuditTest, ReadsOnlyAndRaisesNothing) {
    Roots r;
    r.Menu(L"F{Open R}", 0);
    MakeArray(r[L"R"], 2);
    r.ToolBar(L"X{Y}", 0);
    EventRecorder menu_events(r.menus[0].Get(), DIID___xMenu);
    EventRecorder bar_events(r.toolbars[0].Get(), DIID___xToolBar);
    host.ClearLog();
    AddRoots(r);
    EXPECT_FALSE(Codes().empty());   // the two roots will overlap
    EXPECT_TRUE(host.Log().empty());
    EXPECT_TRUE(menu_events.Events().empty());
    EXPECT_TRUE(bar_events.Events().empty());
    for (auto& [caption, node] : r.nodes) {
        EXPECT_FALSE(IsDesigned(node.Get())) << Narrow(caption);
        EXPECT_EQ(IdOf(node.Get()), 0);
    }
    EXPECT_EQ(CountOf(Read(r[L"R"], &_xMenu::get_ArrayMenu).Get()), 0);
    EXPECT_FALSE(IsDesigned(r.Bar(L"X")));
}

// Deep chains and cycles end; a host's own nodes are read through their
// public interfaces; a failing host object is a finding, not a failure.
TEST_F(AuditTest, HostileTreesEndWithFindings) {
    struct Hostile {
        const char* name;
        std::function<void(Roots&)> build;
        std::vector<std::wstring> codes;
    };
    const Hostile cases[] = {
        {"a chain 300 levels deep", [](Roots& r) {
             _xMenu* at = r.Menu(L"");
             std::vector<ComPtr<_xMenu>> chain;
             for (int i = 0; i < 300; ++i) chain.push_back(Add(i ? chain.back().Get() : at, NewNode<_xMenu>(L"x")));
         }, {L"TooDeep"}},
        {"a root inside its own tree", [](Roots& r) {
             _xMenu* root = r.Menu(L"A{B}");
             r.Cycle(r[L"B"], root);
         }, {L"NodeContainsItself"}},
        {"a root that lies in another root's tree", [](Roots& r) {
             r.Menu(L"A{B{C}}");
             r.menus.push_back(r[L"B"]);
         }, {L"SharedNode"}},
        {"a host's own nodes", [](Roots& r) {
             _xMenu* root = r.Menu(L"", 0);
             auto a = Add(root, NewForeignMenu());
             auto b = Add(root, NewForeignMenu());
             a->put_Caption(B(L"&Alpha").Get());
             b->put_Caption(B(L"&apple").Get());
         }, {L"DuplicateAccessKey"}},
        {"a host's collection that fails", [](Roots& r) {
             _xMenu* root = r.Menu(L"A");
             auto list = MakeFake<ForeignMenus>();
             list->items.push_back(NewNode<_xMenu>(L"a1"));
             list->items.push_back(NewNode<_xMenu>(L"a2"));
             list->fail_item_at = 2;
             r[L"A"]->putref_SubMenus(list.Get());
             (void)root;
         }, {L"ReadFailed"}},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        Roots r;
        c.build(r);
        ASSERT_EQ(audit->Clear(), S_OK);
        AddRoots(r);
        EXPECT_EQ(Codes(), c.codes) << Narrow(Report());
    }
}

// A host's node that calls back into the audit while it is read.
TEST_F(AuditTest, RunFromInsideARunIsRefused) {
    Roots r;
    _xMenu* root = r.Menu(L"", 0);
    Add(root, NewForeignMenu());
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
    ComPtr<IDispatch> dictionary;
    CLSID dict_clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &dict_clsid), S_OK);
    dictionary = Create<IDispatch>(dict_clsid);
    auto toolbar = NewToolBar();
    auto menu = NewMenu();
    struct Bad {
        const wchar_t* method;
        Variant arg;
        long number;
        const wchar_t* says;
    };
    const Bad cases[] = {
        {L"AddMenu", Variant::Object(nullptr), 91, L"Nothing"},
        {L"AddMenu", Variant::String(L"File"), 13, L"not an object"},
        {L"AddMenu", Variant(), 5, L"no node"},
        {L"AddMenu", Variant::Object(dictionary.Get()), 13, L"not one"},
        {L"AddMenu", Obj(toolbar.Get()), 13, L"use AddToolBar"},
        {L"AddToolBar", Obj(menu.Get()), 13, L"use AddMenu"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(Narrow(c.says));
        LateResult res = Call(audit.Get(), c.method, {c.arg});
        EXPECT_EQ(res.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(res.number, c.number);
        EXPECT_NE(res.description.find(c.says), std::wstring::npos) << Narrow(res.description);
    }
    // An argument left out never reaches the audit: the dispatch layer
    // answers it as the platform does for a required parameter.
    EXPECT_EQ(Call(audit.Get(), L"AddToolBar", {Missing()}).hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_RootCount), 0);
    // The same root twice is audited once.
    EXPECT_TRUE(Call(audit.Get(), L"AddMenu", {Obj(menu.Get())}).ok());
    EXPECT_TRUE(Call(audit.Get(), L"AddMenu", {Obj(menu.Get())}).ok());
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_RootCount), 1);
    EXPECT_EQ(Read(audit.Get(), &_xAudit::get_MaxDepth), 256);
}

}  // namespace
}  // namespace zuv::test
