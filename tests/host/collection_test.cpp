// XCHost.Collection: order, keys, errors and enumeration, through the dual
// interface and late-bound the way the component and scripts call it.
#include <windows.h>
#include <gtest/gtest.h>

#include "collection.h"
#include "host/xchost_client.h"
#include "support/late_bound.h"

namespace {

using zuv::ComPtr;
using zuv::Variant;
using namespace zuv::test;

constexpr HRESULT kDuplicateKey = static_cast<HRESULT>(0x800A01C9);

class CollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        list = xchost::CreateCollection();
        typed = list.As<_Collection>();
        ASSERT_TRUE(typed);
    }
    // Add as a late-bound caller does: by name, with or without a key.
    LateResult Add(Variant item, const wchar_t* key = nullptr) {
        if (!key) return InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {std::move(item)});
        return InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {std::move(item), Variant::String(key)});
    }
    std::wstring ItemText(Variant index) { return Str(InvokeId(list.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {std::move(index)}).value); }
    long Count() {
        LONG n = -1;
        EXPECT_EQ(typed->Count(&n), S_OK);
        return n;
    }

    ComPtr<IDispatch> list;
    ComPtr<_Collection> typed;
};

TEST_F(CollectionTest, KeepsOrderAndFindsByPositionOrFoldedKey) {
    ASSERT_TRUE(Add(Variant::String(L"first"), L"\u00C4pfel").ok());   // Äpfel
    ASSERT_TRUE(Add(Variant::Long(2)).ok());
    ASSERT_TRUE(Add(Variant::String(L"third"), L"Key").ok());
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(ItemText(Variant::Long(1)), L"first");
    EXPECT_EQ(ItemText(Variant::Short(2)), L"2");
    EXPECT_EQ(ItemText(Variant::String(L"\u00E4PFEL")), L"first");    // äPFEL
    EXPECT_EQ(ItemText(Variant::String(L"KEY")), L"third");

    Variant key = Variant::String(L"key"), out;
    ASSERT_EQ(typed->Item(key.Get(), out.Out()), S_OK);
    EXPECT_EQ(Str(out), L"third");
    Variant two = Variant::Long(2);
    ASSERT_EQ(typed->Remove(two.Get()), S_OK);
    EXPECT_EQ(ItemText(Variant::Long(2)), L"third");
    // A removed key may be used again.
    Variant apfel = Variant::String(L"\u00E4pfel");
    ASSERT_EQ(typed->Remove(apfel.Get()), S_OK);
    EXPECT_TRUE(Add(Variant::String(L"again"), L"\u00C4PFEL").ok());
    EXPECT_EQ(Count(), 2);
}

TEST_F(CollectionTest, RefusesDuplicateKeysAndBadIndexes) {
    ASSERT_TRUE(Add(Variant::String(L"a"), L"Stra\u00DFe").ok());
    LateResult dup = Add(Variant::String(L"b"), L"STRA\u00DFE");
    EXPECT_EQ(dup.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(dup.scode, kDuplicateKey);
    EXPECT_EQ(dup.description, L"This key is already associated with an element of this collection");

    // Through the dual interface the description travels as error information.
    Variant item = Variant::String(L"c"), key = Variant::String(L"stra\u00DFe"), none = Missing();
    EXPECT_EQ(typed->Add(item.Get(), key.Get(), none.Get(), none.Get()), kDuplicateKey);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    zuv::Bstr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(description.Str(), L"This key is already associated with an element of this collection");
    EXPECT_EQ(Count(), 1);

    auto number = [&](Variant index) {
        return InvokeId(list.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {std::move(index)}).number;
    };
    EXPECT_EQ(number(Variant::Long(0)), 9);
    EXPECT_EQ(number(Variant::Long(2)), 9);
    EXPECT_EQ(number(Variant::String(L"nope")), 5);
    EXPECT_EQ(number(Variant::String(L"")), 5);
    EXPECT_EQ(InvokeName(list.Get(), L"Remove", DISPATCH_METHOD, {Variant::Long(5)}).number, 9);
    // Positions before or after an entry are not supported.
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Variant::String(L"x"), Missing(), Variant::Long(1)}).number, 5);
    EXPECT_EQ(Count(), 1);
}

TEST_F(CollectionTest, StoresObjectsTheWayTheComponentAddsThem) {
    ComPtr<IDispatch> host = xchost::CreateHost();
    ASSERT_TRUE(Add(Variant::Object(host.Get()), L"host").ok());
    ASSERT_TRUE(Add(Variant::Object(host.Get())).ok());      // no key: cArgs 1
    ASSERT_TRUE(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(host.Get()), Missing()}).ok());
    EXPECT_EQ(Count(), 3);
    LateResult found = InvokeId(list.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant::String(L"HOST")});
    EXPECT_EQ(Object(found.value), host.Get());
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Missing()}).hr, DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(CollectionTest, EnumeratesASnapshotInOrder) {
    for (const wchar_t* s : {L"a", L"b", L"c"}) ASSERT_TRUE(Add(Variant::String(s)).ok());
    // Script enumerators ask with either invoke kind.
    for (WORD kind : {WORD(DISPATCH_METHOD), WORD(DISPATCH_PROPERTYGET)}) {
        LateResult r = InvokeId(list.Get(), DISPID_NEWENUM, kind);
        ASSERT_EQ(r.value.Type(), VT_UNKNOWN) << kind;
        ComPtr<IEnumVARIANT> e = ComPtr<IUnknown>(r.value.Get()->punkVal).As<IEnumVARIANT>();
        ASSERT_TRUE(e);
        Variant one = Variant::Long(1);
        if (kind == DISPATCH_PROPERTYGET) typed->Remove(one.Get());  // the enumerator keeps its snapshot
        VARIANT got[4];
        ULONG fetched = 0;
        EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);
        ASSERT_EQ(fetched, 3u);
        std::wstring joined;
        for (ULONG i = 0; i < fetched; ++i) {
            joined += got[i].bstrVal;
            VariantClear(&got[i]);
        }
        EXPECT_EQ(joined, L"abc");
        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(e->Reset(), S_OK);
        ASSERT_EQ(e->Skip(2), S_OK);
        ASSERT_EQ(e->Clone(clone.Out()), S_OK);
        ASSERT_EQ(clone->Next(1, got, &fetched), S_OK);
        EXPECT_STREQ(got[0].bstrVal, L"c");
        VariantClear(&got[0]);
    }
    EXPECT_EQ(Count(), 2);
}

}  // namespace
