// Late-bound calls no script writer should make, and the answers they get:
// objects of the wrong kind, argument counts a member cannot take, members
// called the way another script engine calls them.
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
    for (BSTR text : {info.bstrDescription, info.bstrSource, info.bstrHelpFile}) SysFreeString(text);
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
        LateResult r = InvokeId(c.target, IdOf(c.target, c.member), c.kind, c.args);
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
        LateResult r = InvokeId(c.target, c.id, c.kind, c.args);
        EXPECT_EQ(r.hr, c.hr) << std::hex << c.id << " kind " << c.kind;
        EXPECT_EQ(c.hr == DISP_E_EXCEPTION ? r.number : 0, c.number) << std::hex << c.id;
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

// Every member that hands something back, called through the vtable with a
// null result pointer (a member without one: a null in/out argument) and
// good values in every other argument, fails without doing anything and
// without writing through the pointer.  The members come from the type
// library: a new one is covered as soon as it is declared.
TEST_F(Hostile, NullOutPointersThroughTheVtable) {
    ComPtr<_xMenu> m = NewMenu(), child = NewMenu();
    ComPtr<_xToolBar> t = NewToolBar(), button = NewToolBar();
    Add(m.Get(), child);
    Add(t.Get(), button);
    ComPtr<IDispatch> ms = EntriesOf(m.Get()).Get(), ts = EntriesOf(t.Get()).Get(), list = xchost::CreateCollection();
    // An argument of an interface type is the first of these that has it.
    IUnknown* const pool[] = {child.Get(), button.Get(), host.object.Get(), list.Get()};
    EventRecorder on_m(m.Get(), DIID___xMenu), on_t(t.Get(), DIID___xToolBar);
    int calls = 0;
    for (IDispatch* target : {static_cast<IDispatch*>(m.Get()), ms.Get(), static_cast<IDispatch*>(t.Get()), ts.Get()}) {
        ComPtr<ITypeInfo> dual, face;   // the interface's vtable face
        HREFTYPE href = 0;
        Must(target->GetTypeInfo(0, 0, dual.Out()), "GetTypeInfo");
        Must(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &href), "GetRefTypeOfImplType");
        Must(dual->GetRefTypeInfo(href, face.Out()), "GetRefTypeInfo");
        FUNCDESC* fd = nullptr;
        for (UINT f = 0; SUCCEEDED(face->GetFuncDesc(f, &fd)); ++f) {
            const auto flags = [&](SHORT i) { return fd->lprgelemdescParam[i].paramdesc.wParamFlags; };
            std::vector<SHORT> nulls;
            for (SHORT i = 0; i < fd->cParams; ++i)
                if (flags(i) & PARAMFLAG_FOUT) nulls.push_back(i);
            if (!nulls.empty() && (flags(nulls.back()) & PARAMFLAG_FRETVAL)) nulls = {nulls.back()};
            for (SHORT null : nulls) {
                // Zero, the index 1 or an object; by reference: the same, in `slots`.
                std::vector<VARIANT> values(fd->cParams), slots(fd->cParams);
                std::vector<ComPtr<IUnknown>> objects(fd->cParams);
                std::vector<VARTYPE> types;
                std::vector<VARIANT*> args;
                for (SHORT i = 0; i < fd->cParams; ++i) {
                    const TYPEDESC* type = &fd->lprgelemdescParam[i].tdesc;
                    const bool by_ref = type->vt == VT_PTR && type->lptdesc->vt != VT_USERDEFINED;
                    while (type->vt == VT_PTR) type = type->lptdesc;
                    VARIANT& value = by_ref ? slots[i] : values[i];
                    if (type->vt == VT_VARIANT) value = *Variant::Long(1).Get();
                    if (type->vt == VT_USERDEFINED) {
                        ComPtr<ITypeInfo> ref;
                        TYPEATTR* attr = nullptr;
                        Must(face->GetRefTypeInfo(type->hreftype, ref.Out()), "GetRefTypeInfo");
                        Must(ref->GetTypeAttr(&attr), "GetTypeAttr");
                        for (IUnknown* o : pool)
                            if (!objects[i]) o->QueryInterface(attr->guid, reinterpret_cast<void**>(objects[i].Out()));
                        ref->ReleaseTypeAttr(attr);
                        value.punkVal = objects[i].Get();
                        if (!by_ref) value.vt = VT_UNKNOWN;
                    }
                    void* slot = type->vt == VT_VARIANT ? static_cast<void*>(&slots[i]) : &slots[i].byref;
                    if (by_ref) values[i].vt = VT_BYREF | VT_UI1, values[i].byref = i == null ? nullptr : slot;
                    else if (type->vt != VT_USERDEFINED && type->vt != VT_VARIANT) values[i].vt = type->vt;   // zero
                    types.push_back(by_ref || type->vt != VT_VARIANT ? values[i].vt : VT_VARIANT);
                    args.push_back(&values[i]);
                }
                Variant result;
                ++calls;
                Must(DispCallFunc(target, fd->oVft, CC_STDCALL, VT_I4, fd->cParams, types.data(), args.data(),
                                  result.Get()), "DispCallFunc");
                const HRESULT hr = V_I4(result.Get());
                EXPECT_TRUE(hr == E_POINTER || hr == MAKE_HRESULT(1, FACILITY_CONTROL, kErrInvalidCall))
                    << "slot " << fd->oVft / sizeof(void*) << " argument " << null << ": 0x" << std::hex << hr;
            }
            face->ReleaseFuncDesc(fd);
        }
    }
    EXPECT_EQ(calls, 69);
    // Nothing was done: no control, no event, no entry.
    EXPECT_EQ(host.Log().size(), 0u);
    EXPECT_EQ(on_m.Joined() + on_t.Joined(), L"");
    EXPECT_EQ(Long(Get(ms.Get(), L"Count").value) + Long(Get(ts.Get(), L"Count").value), 2);
}

ULONG Refs(IUnknown* o) { o->AddRef(); return o->Release(); }

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
