// Late-bound access as scripts and VB hosts make it: names, argument
// repairs, and errors carried back in EXCEPINFO and IErrorInfo.
#include "support/nodes.h"

namespace zuv::test {
namespace {

class Dispatch : public ComTest {};

TEST_F(Dispatch, NamesResolveToTheLibraryDispatchIds) {
    auto menu = NewMenu();
    auto toolbar = NewToolBar();
    const struct {
        IDispatch* object;
        const wchar_t* name;
        DISPID id;
    } cases[] = {
        {menu.Get(), L"Caption", -517}, {toolbar.Get(), L"Caption", -517}, {menu.Get(), L"ArrayMenu", 0},
        {menu.Get(), L"GetMenu", 0x6003001E}, {menu.Get(), L"subMENUS", 0x40030019},   // any letter case
        {toolbar.Get(), L"ButtonMenus", 0x68030013}, {EntriesOf(menu.Get()).Get(), L"Item", 0},
        {EntriesOf(toolbar.Get()).Get(), L"NewEnum", -4}, {EntriesOf(toolbar.Get()).Get(), L"Add", 0x60030001},
        // Internal operations are not reachable.
        {menu.Get(), L"SetMenuDesigned", DISPID_UNKNOWN}, {toolbar.Get(), L"SetToolBarDesigned", DISPID_UNKNOWN},
    };
    for (const auto& c : cases) EXPECT_EQ(IdOf(c.object, c.name), c.id) << std::hex << c.id;
}

TEST_F(Dispatch, ValuesAreConvertedAsAutomationConvertsThem) {
    auto menu = NewMenu();
    const struct {
        const wchar_t* property;
        Variant value;
        bool ok;
        long read;
    } cases[] = {
        {L"StartID", Variant::Short(12), true, 12},          // scripts pass small numbers as 16-bit
        {L"ArrayIndex", Variant::String(L"3"), true, 3},     // and texts for numbers
        {L"ArrayIndex", Variant::Long(40000), false, 3},     // out of range for a short
        {L"IsMenuDesigned", Variant::Bool(true), false, 0},  // read-only
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Put(menu.Get(), c.property, c.value).ok(), c.ok) << c.property;
        EXPECT_EQ(Long(Get(menu.Get(), c.property).value), c.read) << c.property;
    }
}

TEST_F(Dispatch, ItemErrorsCarryNumberAndDescriptionBothWays) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    LateResult r = Get(subs.Get(), L"Item", {Variant::Long(1)});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, static_cast<HRESULT>(0x800A0009));
    EXPECT_EQ(r.description, L"Subscript out of range");
    EXPECT_EQ(Get(subs.Get(), L"Item", {Variant::String(L"nope")}).number, 5);
    // Early bound: the failed HRESULT, and the description as error information.
    ComPtr<_xMenu> item;
    EXPECT_EQ(subs->get_Item(*Variant::Long(3).Get(), item.Out()), static_cast<HRESULT>(0x800A0009));
    EXPECT_FALSE(item);
    ComPtr<ISupportErrorInfo> supports = Required(subs.As<ISupportErrorInfo>(), "ISupportErrorInfo");
    EXPECT_EQ(supports->InterfaceSupportsErrorInfo(IID__xMenuCollection), S_OK);
    EXPECT_EQ(PendingDescription(), L"Subscript out of range");
}

// A key in use fails Add and changes nothing; a free key is taken.  Both families.
TEST_F(Dispatch, AKeyInUseFailsAddAndChangesNothing) {
    const struct {
        ComPtr<IDispatch> collection, first, second;   // the collection outlives its node
    } families[] = {{EntriesOf(NewMenu().Get()).Get(), NewMenu().Get(), NewMenu().Get()},
                    {EntriesOf(NewToolBar().Get()).Get(), NewToolBar().Get(), NewToolBar().Get()}};
    for (const auto& f : families) {
        IDispatch* list = f.collection.Get();
        Must(Put(f.second.Get(), L"Key", Variant::String(L"before")).hr, "Key");
        Must(Call(list, L"Add", {Variant::Object(f.first.Get()), Variant::String(L"k")}).hr, "Add");
        LateResult r = Call(list, L"Add", {Variant::Object(f.second.Get()), Variant::String(L"K")});
        EXPECT_EQ(r.number, 457);
        EXPECT_EQ(r.description, L"This key is already associated with an element of this collection");
        EXPECT_EQ(Str(Get(f.second.Get(), L"Key").value), L"before");
        EXPECT_EQ(Long(Get(list, L"Count").value), 1);
        EXPECT_TRUE(Call(list, L"Add", {Variant::Object(f.second.Get()), Variant::String(L"free")}).ok());
        EXPECT_EQ(Str(Get(f.second.Get(), L"Key").value), L"free");
        EXPECT_EQ(Long(Get(list, L"Count").value), 2);
    }
}

TEST_F(Dispatch, OmittedAndByReferenceArgumentsReachTypedParameters) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    auto child = NewMenu();
    Must(child->put_Key(B(L"kept").Get()), "put_Key");
    // An omitted optional key is an empty key: as Visual Basic omits it (a
    // VT_ERROR placeholder) and as scripts omit it (no argument at all).
    LateResult r = Call(subs.Get(), L"Add", {Variant::Object(child.Get()), Missing()});
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(Object(r.value), static_cast<IDispatch*>(child.Get()));
    ASSERT_TRUE(Call(subs.Get(), L"Add", {Variant::Object(child.Get())}).ok());
    EXPECT_EQ(CountOf(subs.Get()), 2);
    EXPECT_EQ(Str(Get(child.Get(), L"Key").value), L"kept");

    // Script variables passed ByRef: VT_BYREF|VT_VARIANT around the object and the key.
    auto other = NewMenu();
    Variant node = Variant::Object(other.Get()), key = Variant::String(L"Open");
    VARIANT args[2];
    for (int i = 0; i < 2; ++i) args[i].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = node.Get();
    args[1].pvarVal = key.Get();
    r = InvokeRaw(subs.Get(), 0x60030001, DISPATCH_METHOD, args, 2);
    ASSERT_TRUE(r.ok()) << std::hex << r.hr;
    EXPECT_EQ(Str(Get(other.Get(), L"Key").value), L"Open");
    EXPECT_EQ(Object(Get(subs.Get(), L"Item", {Variant::String(L"OPEN")}).value), static_cast<IDispatch*>(other.Get()));
}

TEST_F(Dispatch, EnumeratorIsReachableAsPropertyAndAsMethod) {
    auto menu = NewMenu();
    ComPtr<_xMenuCollection> subs = EntriesOf(menu.Get());
    ComPtr<_xMenu> children[3] = {NewMenu(), NewMenu(), NewMenu()};
    for (auto& c : children) Append(subs.Get(), c);
    Must(Call(subs.Get(), L"Remove", {Variant::Long(2)}).hr, "Remove");
    for (WORD kind : {WORD(DISPATCH_PROPERTYGET), WORD(DISPATCH_METHOD)}) {
        LateResult r = InvokeId(subs.Get(), DISPID_NEWENUM, kind);
        ASSERT_TRUE(r.ok()) << std::hex << r.hr;
        ASSERT_TRUE(r.value.Type() == VT_UNKNOWN || r.value.Type() == VT_DISPATCH);
        ComPtr<IEnumVARIANT> e = Required(ComPtr<IUnknown>(r.value.Get()->punkVal).As<IEnumVARIANT>(), "the enumerator");
        Variant got[3], one;
        ULONG fetched = 7;
        EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
        EXPECT_EQ(fetched, 0u);
        fetched = 7;
        EXPECT_EQ(e->Next(3, got[0].Get(), &fetched), S_FALSE);
        ASSERT_EQ(fetched, 2u);
        EXPECT_EQ(Object(got[0]), static_cast<IDispatch*>(children[0].Get()));
        EXPECT_EQ(Object(got[1]), static_cast<IDispatch*>(children[2].Get()));
        ComPtr<IEnumVARIANT> clone;
        Must(e->Reset(), "Reset");
        Must(e->Skip(1), "Skip");
        Must(e->Clone(clone.Out()), "Clone");
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
    EXPECT_TRUE(Call(menu.Get(), L"RaiseClickEvent", {Missing()}).ok());
    EXPECT_TRUE(Call(menu.Get(), L"RaiseClickEvent", {Variant::Short(0)}).ok());
    EXPECT_EQ(events.Joined(), L"Click; Click; ArrayClick(0)");
}

}  // namespace
}  // namespace zuv::test
