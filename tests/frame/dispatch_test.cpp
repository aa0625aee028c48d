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

// The platform's type-library dispatch on an object's own interface, as
// the component's dispatch hands it a call: copies of the arguments, in the
// declared types.
class PlatformDispatch final : public IDispatch {
public:
    PlatformDispatch(IDispatch* object, REFIID dual) {
        ComPtr<ITypeInfo> face;
        HREFTYPE vtable_face = 0;
        MUST(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, face.Out()));
        MUST(face->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_face));
        MUST(face->GetRefTypeInfo(vtable_face, info_.Out()));
        MUST(object->QueryInterface(dual, reinterpret_cast<void**>(instance_.Out())));
        object_ = object;
    }
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        return object_->GetIDsOfNames(IID_NULL, names, n, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* arg_error) override {
        std::vector<Variant> copies;
        copies.reserve(params->cArgs);
        for (UINT i = 0; i < params->cArgs; ++i) copies.emplace_back(params->rgvarg[i]);
        DISPPARAMS own = *params;
        own.rgvarg = copies.empty() ? nullptr : copies[0].Get();
        return info_->Invoke(instance_.Get(), id, kind, &own, result, excep, arg_error);
    }

private:
    ComPtr<ITypeInfo> info_;
    ComPtr<IUnknown> instance_;
    ComPtr<IDispatch> object_;
};

// Calls the component makes straight through the vtable answer exactly as
// the platform's dispatch answers them: result, HRESULT, EXCEPINFO and what
// is left of the error information.
TEST_F(Dispatch, DirectCallsAnswerAsThePlatformDispatchDoes) {
    static_assert(sizeof(Variant) == sizeof(VARIANT), "copies are laid out as a VARIANT array");
    Variant held = Variant::String(L"b");
    VARIANT by_ref{};
    by_ref.vt = VT_BYREF | VT_VARIANT;
    by_ref.pvarVal = held.Get();
    const WORD get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, call = DISPATCH_METHOD;
    const struct {
        bool on_node;
        const wchar_t* name;
        WORD kind;
        std::vector<Variant> args;
    } cases[] = {
        {false, L"Count", get, {}},
        {false, L"Item", get, {Variant::Long(2)}},
        {false, L"Item", get, {Variant::String(L"B")}},
        {false, L"Item", get, {Variant::Short(9)}},          // error 9
        {false, L"Item", get, {Variant::String(L"zz")}},     // error 5
        {false, L"Remove", call, {Variant::String(L"a")}},
        {false, L"Remove", call, {Variant(by_ref)}},
        {false, L"Remove", call, {Variant::Long(7)}},
        {false, L"Add", call, {Variant::Object(NewMenu().Get()), Variant::String(L"c")}},
        {false, L"Add", call, {Variant::Object(NewMenu().Get()), Variant::String(L"A")}},   // error 457
        {false, L"NewEnum", get, {}},
        {true, L"Caption", put, {Variant::String(L"x")}},
        {true, L"Caption", get, {}},
        {true, L"Checked", put, {Variant::Bool(true)}},
        {true, L"Checked", get, {}},
        {true, L"ArrayIndex", put, {Variant::Short(-3)}},
        {true, L"ArrayIndex", get, {}},
        {true, L"ShortCutFirstKey", put, {Variant::Long(2)}},
        {true, L"ShortCutFirstKey", get, {}},
        {true, L"IsMenuDesigned", put, {Variant::Bool(true)}},   // read-only
        {true, L"RaiseClickEvent", call, {Variant::Short(0)}},
    };
    for (const auto& c : cases) {
        LateResult got[2];
        std::wstring pending[2];
        for (int side = 0; side < 2; ++side) {
            auto node = NewMenu();
            ComPtr<_xMenuCollection> subs = EntriesOf(node.Get());
            Append(subs.Get(), NewMenu(), L"a");
            Append(subs.Get(), NewMenu(), L"b");
            IDispatch* object = c.on_node ? static_cast<IDispatch*>(node.Get()) : subs.Get();
            PlatformDispatch platform(object, c.on_node ? IID__xMenu : IID__xMenuCollection);
            IDispatch* target = side ? &platform : object;
            std::vector<VARIANT> raw;
            for (const auto& a : c.args) raw.push_back(*a.Get());
            got[side] = InvokeRaw(target, IdOf(object, c.name), c.kind, raw.data(), static_cast<UINT>(raw.size()));
            pending[side] = PendingDescription();
        }
        const std::wstring what = std::wstring(c.name) + L"/" + N(c.kind);
        EXPECT_EQ(got[0].hr, got[1].hr) << what;
        EXPECT_EQ(got[0].value.Type(), got[1].value.Type()) << what;
        if (got[0].value.Type() != VT_DISPATCH && got[0].value.Type() != VT_UNKNOWN)
            EXPECT_EQ(Str(got[0].value), Str(got[1].value)) << what;
        else
            EXPECT_EQ(!got[0].value.Get()->punkVal, !got[1].value.Get()->punkVal) << what;
        EXPECT_EQ(got[0].scode, got[1].scode) << what;
        EXPECT_EQ(got[0].description, got[1].description) << what;
        EXPECT_EQ(got[0].source, got[1].source) << what;
        EXPECT_EQ(pending[0], pending[1]) << what;
    }
}

}  // namespace
}  // namespace zuv::test
