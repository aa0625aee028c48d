// Late-bound access as scripts and VB hosts make it: names, argument
// repairs, and errors carried back in EXCEPINFO and IErrorInfo.
#include "support/com_test.h"
#include "support/event_sink.h"
#include "support/late_bound.h"

namespace zuv::test {
namespace {

class Dispatch : public ComTest {};

TEST_F(Dispatch, NamesResolveToTheLibraryDispatchIds) {
    auto menu = NewMenu();
    auto toolbar = NewToolBar();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);
    ComPtr<_xToolBarCollection> buttons;
    ASSERT_EQ(toolbar->get_Buttons(buttons.Out()), S_OK);

    EXPECT_EQ(IdOf(menu.Get(), L"Caption"), -517);
    EXPECT_EQ(IdOf(toolbar.Get(), L"Caption"), -517);
    EXPECT_EQ(IdOf(menu.Get(), L"ArrayMenu"), 0);
    EXPECT_EQ(IdOf(menu.Get(), L"GetMenu"), 0x6003001E);
    EXPECT_EQ(IdOf(menu.Get(), L"subMENUS"), 0x40030019);   // names are case-insensitive
    EXPECT_EQ(IdOf(toolbar.Get(), L"ButtonMenus"), 0x68030013);
    for (IDispatch* c : {static_cast<IDispatch*>(subs.Get()), static_cast<IDispatch*>(buttons.Get())}) {
        EXPECT_EQ(IdOf(c, L"Item"), 0);
        EXPECT_EQ(IdOf(c, L"NewEnum"), -4);
        EXPECT_EQ(IdOf(c, L"Add"), 0x60030001);
    }
    EXPECT_EQ(IdOf(menu.Get(), L"SetMenuDesigned"), DISPID_UNKNOWN);
    EXPECT_EQ(IdOf(toolbar.Get(), L"SetToolBarDesigned"), DISPID_UNKNOWN);
}

TEST_F(Dispatch, PropertiesRoundTripLateBound) {
    auto menu = NewMenu();
    EXPECT_TRUE(Put(menu.Get(), L"Caption", Variant::String(L"&File")).ok());
    EXPECT_EQ(Str(Get(menu.Get(), L"Caption").value), L"&File");
    EXPECT_TRUE(Put(menu.Get(), L"ID", Variant::Long(-7)).ok());
    EXPECT_EQ(Long(Get(menu.Get(), L"ID").value), -7);
    // A script passes small numbers as 16-bit integers and texts for numbers.
    EXPECT_TRUE(Put(menu.Get(), L"StartID", Variant::Short(12)).ok());
    EXPECT_EQ(Long(Get(menu.Get(), L"StartID").value), 12);
    EXPECT_TRUE(Put(menu.Get(), L"ArrayIndex", Variant::String(L"3")).ok());
    EXPECT_EQ(Long(Get(menu.Get(), L"ArrayIndex").value), 3);
    // Out of range for a short: overflow, as the automation conversion reports it.
    LateResult r = Put(menu.Get(), L"ArrayIndex", Variant::Long(40000));
    EXPECT_FALSE(r.ok());
    // A read-only property cannot be assigned.
    EXPECT_FALSE(Put(menu.Get(), L"IsMenuDesigned", Variant::Bool(true)).ok());
    EXPECT_EQ(Get(menu.Get(), L"IsMenuDesigned").value.Get()->boolVal, VARIANT_FALSE);
}

TEST_F(Dispatch, CollectionErrorsReachTheScriptWithNumberAndDescription) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);

    LateResult r = Get(subs.Get(), L"Item", {Variant::Long(1)});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, static_cast<HRESULT>(0x800A0009));
    EXPECT_EQ(r.number, 9);
    EXPECT_FALSE(r.description.empty());

    r = Get(subs.Get(), L"Item", {Variant::String(L"nope")});
    EXPECT_EQ(r.number, 5);

    auto a = NewMenu();
    auto b = NewMenu();
    EXPECT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(a.Get()), Variant::String(L"k")}).ok());
    r = Call(subs.Get(), L"Add", {Variant::Object(b.Get()), Variant::String(L"K")});
    EXPECT_EQ(r.number, 457);
    EXPECT_EQ(r.description, L"This key is already associated with an element of this collection");
    // The key was given to the node before the insertion failed.
    EXPECT_EQ(Str(Get(b.Get(), L"Key").value), L"K");
}

TEST_F(Dispatch, EarlyBoundFailuresCarryErrorInfo) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);
    ComPtr<_xMenu> item;
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = 3;
    EXPECT_EQ(subs->get_Item(index, item.Out()), static_cast<HRESULT>(0x800A0009));
    EXPECT_FALSE(item);

    ComPtr<ISupportErrorInfo> support = subs.As<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__xMenuCollection), S_OK);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    Bstr description;
    ASSERT_EQ(info->GetDescription(description.Out()), S_OK);
    EXPECT_EQ(description.Str(), L"Subscript out of range");
}

TEST_F(Dispatch, OmittedOptionalKeyIsAnEmptyKey) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);
    auto child = NewMenu();
    ASSERT_EQ(child->put_Key(Bstr(L"kept").Get()), S_OK);

    // As Visual Basic omits it: a VT_ERROR placeholder.
    LateResult r = Call(subs.Get(), L"Add", {Variant::Object(child.Get()), Missing()});
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(Object(r.value), static_cast<IDispatch*>(child.Get()));
    // As scripts omit it: no argument at all.
    r = Call(subs.Get(), L"Add", {Variant::Object(child.Get())});
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;

    long count = 0;
    subs->get_Count(&count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Str(Get(child.Get(), L"Key").value), L"kept");
}

TEST_F(Dispatch, VariablesPassedByReferenceReachTypedParameters) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);
    auto child = NewMenu();

    // A script variable passed ByRef: VT_BYREF|VT_VARIANT around the object and the key.
    Variant node = Variant::Object(child.Get());
    Variant key = Variant::String(L"Open");
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = node.Get();
    args[1].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = key.Get();
    LateResult r = InvokeRaw(subs.Get(), 0x60030001, DISPATCH_METHOD, args, 2);
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(Str(Get(child.Get(), L"Key").value), L"Open");
    EXPECT_EQ(Object(Get(subs.Get(), L"Item", {Variant::String(L"OPEN")}).value), static_cast<IDispatch*>(child.Get()));
}

TEST_F(Dispatch, EnumeratorIsReachableAsPropertyAndAsMethod) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs;
    ASSERT_EQ(menu->get_SubMenus(subs.Out()), S_OK);
    ComPtr<_xMenu> children[3] = {NewMenu(), NewMenu(), NewMenu()};
    for (auto& c : children) ASSERT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(c.Get())}).ok());
    ASSERT_TRUE(Call(subs.Get(), L"Remove", {Variant::Long(2)}).ok());

    for (WORD kind : {WORD(DISPATCH_PROPERTYGET), WORD(DISPATCH_METHOD)}) {
        LateResult r = InvokeId(subs.Get(), DISPID_NEWENUM, kind);
        ASSERT_TRUE(r.ok()) << std::hex << r.hr;
        ASSERT_TRUE(r.value.Type() == VT_UNKNOWN || r.value.Type() == VT_DISPATCH);
        ComPtr<IEnumVARIANT> e;
        ASSERT_EQ(r.value.Get()->punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.Out())), S_OK);
        Variant got[3];
        ULONG fetched = 0;
        EXPECT_EQ(e->Next(3, got[0].Get(), &fetched), S_FALSE);
        ASSERT_EQ(fetched, 2u);
        EXPECT_EQ(Object(got[0]), static_cast<IDispatch*>(children[0].Get()));
        EXPECT_EQ(Object(got[1]), static_cast<IDispatch*>(children[2].Get()));

        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(e->Reset(), S_OK);
        ASSERT_EQ(e->Skip(1), S_OK);
        ASSERT_EQ(e->Clone(clone.Out()), S_OK);
        Variant one;
        EXPECT_EQ(clone->Next(1, one.Get(), nullptr), S_OK);
        EXPECT_EQ(Object(one), static_cast<IDispatch*>(children[2].Get()));
        EXPECT_EQ(e->Skip(5), S_FALSE);
    }
}

TEST_F(Dispatch, RaiseClickEventWithoutIndexGetsMinusOne) {
    auto menu = NewMenu();
    EventRecorder events(menu.Get(), DIID___xMenu);
    LateResult r = Call(menu.Get(), L"RaiseClickEvent");
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(r.value.Type(), VT_EMPTY);
    EXPECT_EQ(events.Joined(), L"Click");

    events.Clear();
    r = Call(menu.Get(), L"RaiseClickEvent", {Missing()});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(events.Joined(), L"Click");

    events.Clear();
    r = Call(menu.Get(), L"RaiseClickEvent", {Variant::Short(0)});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(events.Joined(), L"ArrayClick(0)");
}

}  // namespace
}  // namespace zuv::test
