// Late-bound calls no script writer should make, and the answers they get:
// objects of the wrong kind, argument counts a member cannot take, members
// called the way another script engine calls them.
#include <functional>

#include "frame/error.h"
#include "support/nodes.h"

namespace zuv::test {
namespace {

LateResult InvokeNamed(IDispatch* object, DISPID id, WORD kind, std::vector<VARIANT> reversed,
                       std::vector<DISPID> names) {
    DISPPARAMS params{reversed.data(), names.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(names.size())};
    LateResult r;
    EXCEPINFO info{};
    r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, r.value.Out(), &info, &r.arg_error);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    return r;
}

class Hostile : public NodeTest {};

// Every parameter typed with one of the library's interfaces takes only an
// object of that interface (or Nothing): anything else is error 13 and
// changes nothing.
TEST_F(Hostile, ObjectsOfTheWrongKindAreTypeMismatches) {
    ComPtr<_xMenu> menu = NewMenu(), other_menu = NewMenu();
    ComPtr<_xToolBar> bar = NewToolBar(), other_bar = NewToolBar();
    ComPtr<IDispatch> dictionary = xchost::CreateByProgId(L"Scripting.Dictionary");
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    ComPtr<_xToolBarCollection> buttons = EntriesOf(bar.Get());
    ComPtr<IDispatch> bare = NewBareControl();
    const struct {
        IDispatch* target;
        const wchar_t* member;
        WORD kind;
        std::vector<Variant> args;
    } cases[] = {
        {subs.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(dictionary.Get())}},
        {subs.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(bar.Get()), Variant::String(L"k")}},
        {subs.Get(), L"Add", DISPATCH_METHOD, {Variant::Long(5)}},
        {subs.Get(), L"Add", DISPATCH_METHOD, {Variant::String(L"text")}},
        {buttons.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(other_menu.Get())}},
        {buttons.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(bare.Get())}},
        {menu.Get(), L"SubMenus", DISPATCH_PROPERTYPUTREF, {Variant::Object(buttons.Get())}},
        {menu.Get(), L"ArrayMenu", DISPATCH_PROPERTYPUTREF, {Variant::Object(dictionary.Get())}},
        {menu.Get(), L"ArrayParent", DISPATCH_PROPERTYPUTREF, {Variant::Object(other_bar.Get())}},
        {bar.Get(), L"Buttons", DISPATCH_PROPERTYPUTREF, {Variant::Object(subs.Get())}},
        {bar.Get(), L"Parent", DISPATCH_PROPERTYPUTREF, {Variant::Object(other_menu.Get())}},
        {menu.Get(), L"GetMenuFromSubMenu", DISPATCH_METHOD, {Variant::Object(other_bar.Get()), Variant::Long(1)}},
        {bar.Get(), L"GetToolBarFromSubToolBar", DISPATCH_METHOD, {Variant::Object(dictionary.Get()), Variant::Long(1)}},
        {bar.Get(), L"RaiseClickEvent", DISPATCH_METHOD, {Variant::Object(other_menu.Get())}},
        {menu.Get(), L"CmdBarControl", DISPATCH_PROPERTYPUTREF, {Variant::Long(3)}},
    };
    for (const auto& c : cases) {
        std::vector<VARIANT> raw;
        for (auto& a : c.args) raw.push_back(*a.Get());
        LateResult r = InvokeRaw(c.target, IdOf(c.target, c.member), c.kind, raw.data(), static_cast<UINT>(raw.size()));
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << std::string(c.member, c.member + wcslen(c.member));
        EXPECT_EQ(r.number, 13);
        EXPECT_EQ(r.description, L"Type mismatch");
    }
    EXPECT_EQ(CountOf(subs.Get()), 0);
    EXPECT_EQ(CountOf(buttons.Get()), 0);
    EXPECT_TRUE(Same(EntriesOf(menu.Get()).Get(), subs.Get()));
    EXPECT_TRUE(Same(EntriesOf(bar.Get()).Get(), buttons.Get()));
    EXPECT_FALSE(Read(menu.Get(), &_xMenu::get_ArrayParent));
    EXPECT_FALSE(Read(bar.Get(), &_xToolBar::get_Parent));
    EXPECT_EQ(Str(Get(other_menu.Get(), L"Key").value), L"");

    // The right kinds still work: own and foreign nodes, Nothing, Empty.
    ComPtr<_xMenu> foreign = NewForeignMenu();
    EXPECT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(foreign.Get())}).ok());
    EXPECT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(nullptr)}).ok());
    EXPECT_TRUE(Call(subs.Get(), L"Add", {Variant()}).ok());
    EXPECT_TRUE(PutRef(menu.Get(), L"ArrayParent", Variant::Object(foreign.Get())).ok());
    EXPECT_TRUE(PutRef(bar.Get(), L"Buttons", Variant::Object(EntriesOf(other_bar.Get()).Get())).ok());
    EXPECT_EQ(CountOf(subs.Get()), 3);
    Must(subs->Remove(Variant::Long(1).Get()), "Remove");
    Must(menu->putref_ArrayParent(nullptr), "putref_ArrayParent");
}

TEST_F(Hostile, ArgumentCountsAndCallKinds) {
    ComPtr<_xMenu> menu = NewMenu();
    ComPtr<_xToolBar> bar = NewToolBar();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    ComPtr<_xMenu> child = Add(menu.Get(), NewNode<_xMenu>(L"C"), L"c");
    const DISPID item = 0, caption = -517, get_menu = IdOf(menu.Get(), L"GetMenu");
    const struct {
        IDispatch* target;
        DISPID id;
        WORD kind;
        std::vector<Variant> args;
        HRESULT hr;       // the call's own result
        long number;      // the run-time error when hr is DISP_E_EXCEPTION
    } cases[] = {
        // A property get called as a method (JScript): the get's own answer.
        {subs.Get(), item, DISPATCH_METHOD, {Variant::String(L"nope")}, DISP_E_EXCEPTION, 5},
        {subs.Get(), item, DISPATCH_METHOD, {Variant::String(L"C")}, S_OK, 0},
        {menu.Get(), caption, DISPATCH_METHOD, {}, S_OK, 0},
        // Surplus arguments go to the default member of the object read...
        {menu.Get(), IdOf(menu.Get(), L"SubMenus"), DISPATCH_PROPERTYGET, {Variant::Long(1)}, S_OK, 0},
        {menu.Get(), IdOf(menu.Get(), L"SubMenus"), DISPATCH_METHOD, {Variant::Long(2)}, DISP_E_EXCEPTION, 9},
        // ...which, when it is Nothing, is error 91.
        {bar.Get(), IdOf(bar.Get(), L"Parent"), DISPATCH_PROPERTYGET, {Variant::Long(1)}, DISP_E_EXCEPTION, 91},
        {bar.Get(), IdOf(bar.Get(), L"Parent"), DISPATCH_METHOD | DISPATCH_PROPERTYGET,
         {Variant::String(L"x"), Variant::Long(2)}, DISP_E_EXCEPTION, 91},
        // Counts no member can take.
        {menu.Get(), caption, DISPATCH_PROPERTYGET, {Variant::Long(1)}, DISP_E_BADPARAMCOUNT, 0},
        {menu.Get(), caption, DISPATCH_PROPERTYPUT, {Variant::Long(1), Variant::Long(2)}, DISP_E_BADPARAMCOUNT, 0},
        {menu.Get(), get_menu, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 0},
        {menu.Get(), get_menu, DISPATCH_METHOD, {Variant::Long(1), Variant::Long(2)}, DISP_E_BADPARAMCOUNT, 0},
        {subs.Get(), IdOf(subs.Get(), L"Add"), DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 0},
        {subs.Get(), item, DISPATCH_PROPERTYGET, {Missing()}, DISP_E_PARAMNOTOPTIONAL, 0},
        // Members the interface does not have, or not with that kind.
        {menu.Get(), 0x60000000, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0},
        {menu.Get(), 0x60000002, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0},
        {menu.Get(), get_menu, DISPATCH_PROPERTYPUT, {Variant::Long(1)}, DISP_E_MEMBERNOTFOUND, 0},
        {menu.Get(), caption, 0, {}, DISP_E_MEMBERNOTFOUND, 0},
    };
    for (const auto& c : cases) {
        std::vector<VARIANT> raw;
        for (auto& a : c.args) raw.push_back(*a.Get());
        LateResult r = InvokeRaw(c.target, c.id, c.kind, raw.data(), static_cast<UINT>(raw.size()));
        EXPECT_EQ(r.hr, c.hr) << std::hex << c.id << " kind " << c.kind;
        if (c.hr == DISP_E_EXCEPTION) {
            EXPECT_EQ(r.number, c.number) << std::hex << c.id;
        }
    }
    // Nothing where an object was: SubMenus(1) is error 91, not a crash.
    EXPECT_TRUE(PutRef(menu.Get(), L"SubMenus", Variant::Object(nullptr)).ok());
    EXPECT_EQ(Get(menu.Get(), L"SubMenus", {Variant::Long(1)}).number, 91);
    EXPECT_EQ(Get(menu.Get(), L"SubMenus", {Variant::Long(1), Variant::Long(1)}).number, 91);
}

TEST_F(Hostile, NamedAndMalformedArguments) {
    ComPtr<_xMenu> menu = NewMenu(), child = NewMenu();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    const DISPID add = IdOf(subs.Get(), L"Add");
    // By name, in any order: sKey (1) and objMenu (0).
    Variant key = Variant::String(L"k"), node = Variant::Object(child.Get());
    LateResult r = InvokeNamed(subs.Get(), add, DISPATCH_METHOD, {*node.Get(), *key.Get()}, {0, 1});
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(Str(Get(child.Get(), L"Key").value), L"k");
    // A name the member does not have, or one parameter named twice.
    EXPECT_EQ(InvokeNamed(subs.Get(), add, DISPATCH_METHOD, {*node.Get()}, {7}).hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(InvokeNamed(subs.Get(), add, DISPATCH_METHOD, {*node.Get(), *node.Get()}, {0, 0}).hr,
              DISP_E_PARAMNOTFOUND);
    // A by-reference argument that points nowhere.
    VARIANT nowhere;
    nowhere.vt = VT_BYREF | VT_I4;
    nowhere.plVal = nullptr;
    EXPECT_EQ(InvokeRaw(menu.Get(), IdOf(menu.Get(), L"GetMenu"), DISPATCH_METHOD, &nowhere, 1).hr,
              DISP_E_TYPEMISMATCH);
    nowhere.vt = VT_BYREF | VT_VARIANT;
    EXPECT_EQ(InvokeRaw(subs.Get(), add, DISPATCH_METHOD, &nowhere, 1).hr, DISP_E_TYPEMISMATCH);
    // Counts that do not match the arrays.
    DISPPARAMS broken{nullptr, nullptr, 2, 0};
    Variant result;
    EXPECT_EQ(subs->Invoke(add, IID_NULL, 0, DISPATCH_METHOD, &broken, result.Out(), nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(CountOf(subs.Get()), 1);
}

// Every member called through the vtable with a null out-pointer (or a
// null in/out slot) fails without doing anything and without writing
// through the pointer.
TEST_F(Hostile, NullOutPointersThroughTheVtable) {
    ComPtr<_xMenu> m = NewMenu(), child = NewMenu();
    ComPtr<_xToolBar> t = NewToolBar(), button = NewToolBar();
    ComPtr<_xMenuCollection> ms = EntriesOf(m.Get());
    ComPtr<_xToolBarCollection> ts = EntriesOf(t.Get());
    Add(m.Get(), child);
    Add(t.Get(), button);
    ICommandBarsObject* bars = host.object.Get();
    _xMenu* mp = child.Get();
    _xToolBar* tp = button.Get();
    BSTR key = nullptr;
    VARIANT index = *Variant::Long(1).Get();
    EventRecorder on_m(m.Get(), DIID___xMenu), on_t(t.Get(), DIID___xToolBar);
    using Call = std::function<HRESULT()>;
#define ZUV_NULL(object, member) [&] { return object->member(nullptr); }
    const std::vector<Call> calls = {
        ZUV_NULL(m, get_SubMenus), ZUV_NULL(m, get_ArrayMenu), ZUV_NULL(m, get_Caption), ZUV_NULL(m, get_Key),
        ZUV_NULL(m, get_Tag), ZUV_NULL(m, get_ID), ZUV_NULL(m, get_Count), ZUV_NULL(m, get_Checked),
        ZUV_NULL(m, get_Enabled), ZUV_NULL(m, get_Visible), ZUV_NULL(m, get_WindowsList), ZUV_NULL(m, get_MaxButton),
        ZUV_NULL(m, get_MinButton), ZUV_NULL(m, get_ControlBox), ZUV_NULL(m, get_MenuSeperator),
        ZUV_NULL(m, get_ShortCutFirstKey), ZUV_NULL(m, get_ShortCutSecondKey), ZUV_NULL(m, get_IsArray),
        ZUV_NULL(m, get_ArrayParent), ZUV_NULL(m, get_IsArrayChild), ZUV_NULL(m, get_ArrayIndex),
        ZUV_NULL(m, get_StartID), ZUV_NULL(m, get_ArrayCount), ZUV_NULL(m, get_IsArrayBaseZero),
        ZUV_NULL(m, get_IsMenuDesigned), ZUV_NULL(m, get_CmdBarControl), ZUV_NULL(m, get_CmdBarPopup),
        ZUV_NULL(t, get_Buttons), ZUV_NULL(t, get_Parent), ZUV_NULL(t, get_ButtonMenus), ZUV_NULL(t, get_Value),
        ZUV_NULL(t, get_StartID), ZUV_NULL(t, get_Left), ZUV_NULL(t, get_Top), ZUV_NULL(t, get_Width),
        ZUV_NULL(t, get_Height), ZUV_NULL(t, get_Caption), ZUV_NULL(t, get_Text), ZUV_NULL(t, get_TooltipText),
        ZUV_NULL(t, get_Key), ZUV_NULL(t, get_Tag), ZUV_NULL(t, get_ID), ZUV_NULL(t, get_ToolBarID),
        ZUV_NULL(t, get_Checked), ZUV_NULL(t, get_Enabled), ZUV_NULL(t, get_Visible), ZUV_NULL(t, get_ToolBarSeperator),
        ZUV_NULL(t, get_IsToolBarDesigned), ZUV_NULL(t, get_CmdBarButton), ZUV_NULL(t, get_CmdBarPopup),
        ZUV_NULL(ms, get_Count), ZUV_NULL(ms, Remove), ZUV_NULL(ms, get_NewEnum),
        ZUV_NULL(ts, get_Count), ZUV_NULL(ts, Remove), ZUV_NULL(ts, get_NewEnum),
        [&] { return m->RenderMenu(&bars, nullptr); }, [&] { return m->GetMenu(0, nullptr); },
        [&] { return m->GetMenuFromSubMenu(&mp, 0, nullptr); }, [&] { return m->RaiseClickEvent(-1, nullptr); },
        [&] { return m->GetMenuList(nullptr, nullptr); }, [&] { return t->RenderToolBar(&bars, nullptr); },
        [&] { return t->GetToolBar(0, nullptr); }, [&] { return t->GetToolBarFromSubToolBar(&tp, 0, nullptr); },
        [&] { return t->RaiseClickEvent(tp, nullptr); },
        [&] { return ms->Add(nullptr, &key, nullptr); }, [&] { return ms->Add(&mp, &key, nullptr); },
        [&] { return ms->get_Item(index, nullptr); }, [&] { return ts->Add(nullptr, &key, nullptr); },
        [&] { return ts->Add(&tp, &key, nullptr); }, [&] { return ts->get_Item(index, nullptr); },
    };
#undef ZUV_NULL
    for (size_t i = 0; i < calls.size(); ++i) {
        HRESULT hr = calls[i]();
        EXPECT_TRUE(hr == E_POINTER || hr == MAKE_HRESULT(1, FACILITY_CONTROL, kErrInvalidCall))
            << "call " << i << ": 0x" << std::hex << hr;
    }
    // Nothing was done: no control, no event, no entry.
    EXPECT_EQ(host.Log().size(), 0u);
    EXPECT_EQ(on_m.Joined() + on_t.Joined(), L"");
    EXPECT_EQ(CountOf(ms.Get()), 1);
    EXPECT_EQ(CountOf(ts.Get()), 1);
}

ULONG Refs(IUnknown* o) {
    o->AddRef();
    return o->Release();
}

// What the caller passes stays the caller's: no reference taken or dropped
// that the member itself does not keep, no string freed.
TEST_F(Hostile, ArgumentsStayTheCallers) {
    ComPtr<_xMenu> menu = NewMenu(), a = NewMenu(), b = NewMenu();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    const ULONG ra = Refs(a.Get()), rb = Refs(b.Get()), rs = Refs(subs.Get());
    EXPECT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(a.Get()), Variant::String(L"key1")}).ok());
    Variant inner = Variant::Object(b.Get());
    VARIANT by_ref;
    by_ref.vt = VT_BYREF | VT_VARIANT;
    by_ref.pvarVal = inner.Get();
    EXPECT_TRUE(InvokeRaw(subs.Get(), IdOf(subs.Get(), L"Add"), DISPATCH_METHOD, &by_ref, 1).ok());
    EXPECT_TRUE(Get(menu.Get(), L"SubMenus", {Variant::Long(1)}).ok());
    EXPECT_EQ(Refs(a.Get()), ra + 1);   // the collection's
    EXPECT_EQ(Refs(b.Get()), rb + 2);   // and `inner`'s
    EXPECT_EQ(Refs(subs.Get()), rs);
    // Remove's [in, out] key given by value: the caller's string survives.
    Variant key = Variant::String(L"key1");
    EXPECT_TRUE(InvokeRaw(subs.Get(), IdOf(subs.Get(), L"Remove"), DISPATCH_METHOD, key.Get(), 1).ok());
    Bstr reuse(L"zzzz");
    EXPECT_EQ(Str(key), L"key1");
    EXPECT_EQ(Refs(a.Get()), ra);
    // A key that does not convert fails the call before the node is taken.
    VARIANT null_key;
    null_key.vt = VT_NULL;
    EXPECT_EQ(Call(subs.Get(), L"Add", {Variant::Object(a.Get()), Variant(null_key)}).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Refs(a.Get()), ra);
    // A caller that wants no result (null VARIANT*) is given none to leak.
    Variant node = Variant::Object(a.Get());
    DISPPARAMS params{node.Get(), nullptr, 1, 0};
    EXPECT_EQ(subs->Invoke(IdOf(subs.Get(), L"Add"), IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(Refs(a.Get()), ra + 2);   // the collection's and `node`'s
}

}  // namespace
}  // namespace zuv::test
