// XCHost.Collection: order, keys, errors and enumeration, through the dual
// interface and late-bound the way the component and scripts call it.
#include <windows.h>
#include <gtest/gtest.h>

#include "collection.h"
#include "standin_host/xchost_client.h"
#include "support/late_bound.h"

namespace {

using zuv::ComPtr;
using zuv::Variant;
using namespace zuv::test;

constexpr HRESULT kDuplicateKey = static_cast<HRESULT>(0x800A01C9);
const wchar_t kDuplicateText[] = L"This key is already associated with an element of this collection";

class CollectionTest : public ::testing::Test {
protected:
    // Add as a late-bound caller does: by name, with or without a key.
    LateResult Add(Variant item, const wchar_t* key = nullptr) {
        if (!key) return InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {std::move(item)});
        return InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {std::move(item), Variant::String(key)});
    }
    LateResult Item(Variant index) {
        return InvokeId(list.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {std::move(index)});
    }
    long Count() { return Long(InvokeName(list.Get(), L"Count", DISPATCH_PROPERTYGET).value); }

    ComPtr<IDispatch> list = xchost::CreateCollection();
    ComPtr<_Collection> typed = list.As<_Collection>();
};

TEST_F(CollectionTest, KeepsOrderAndFindsByPositionOrFoldedKey) {
    ASSERT_TRUE(Add(Variant::String(L"first"), L"\u00C4pfel").ok());   // Äpfel
    ASSERT_TRUE(Add(Variant::Long(2)).ok());
    ASSERT_TRUE(Add(Variant::String(L"third"), L"Key").ok());
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Str(Item(Variant::Long(1)).value), L"first");
    EXPECT_EQ(Str(Item(Variant::Short(2)).value), L"2");
    EXPECT_EQ(Str(Item(Variant::String(L"\u00E4PFEL")).value), L"first");   // äPFEL
    Variant key = Variant::String(L"key"), out;
    ASSERT_EQ(typed->Item(key.Get(), out.Out()), S_OK);
    EXPECT_EQ(Str(out), L"third");

    // Objects are stored the way the component adds them: with a key, with
    // none (one argument) and with an omitted one.
    ComPtr<IDispatch> host = xchost::CreateHost();
    ASSERT_TRUE(Add(Variant::Object(host.Get()), L"host").ok());
    ASSERT_TRUE(Add(Variant::Object(host.Get())).ok());
    ASSERT_TRUE(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Variant::Object(host.Get()), Missing()}).ok());
    EXPECT_EQ(Object(Item(Variant::String(L"HOST")).value), host.Get());
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Missing()}).hr, DISP_E_PARAMNOTOPTIONAL);

    // A removed key may be used again; later positions move up.
    Variant two = Variant::Long(2), apfel = Variant::String(L"\u00E4pfel");
    ASSERT_EQ(typed->Remove(two.Get()), S_OK);
    EXPECT_EQ(Str(Item(Variant::Long(2)).value), L"third");
    ASSERT_EQ(typed->Remove(apfel.Get()), S_OK);
    EXPECT_TRUE(Add(Variant::String(L"again"), L"\u00C4PFEL").ok());
    EXPECT_EQ(Count(), 5);
}

TEST_F(CollectionTest, RefusesDuplicateKeysAndBadIndexes) {
    ASSERT_TRUE(Add(Variant::String(L"a"), L"Stra\u00DFe").ok());
    LateResult dup = Add(Variant::String(L"b"), L"STRA\u00DFE");
    EXPECT_EQ(dup.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(dup.scode, kDuplicateKey);
    EXPECT_EQ(dup.description, kDuplicateText);

    // Through the dual interface the description travels as error information.
    Variant item = Variant::String(L"c"), key = Variant::String(L"stra\u00DFe"), none = Missing();
    EXPECT_EQ(typed->Add(item.Get(), key.Get(), none.Get(), none.Get()), kDuplicateKey);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    zuv::Bstr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(description.Str(), kDuplicateText);

    for (long position : {0, 2}) EXPECT_EQ(Item(Variant::Long(position)).number, 9) << position;
    for (const wchar_t* missing : {L"nope", L""}) EXPECT_EQ(Item(Variant::String(missing)).number, 5);
    EXPECT_EQ(InvokeName(list.Get(), L"Remove", DISPATCH_METHOD, {Variant::Long(5)}).number, 9);
    // Positions before or after an entry are not supported.
    EXPECT_EQ(InvokeName(list.Get(), L"Add", DISPATCH_METHOD, {Variant::String(L"x"), Missing(), Variant::Long(1)}).number, 5);
    EXPECT_EQ(Count(), 1);
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
        if (kind == DISPATCH_PROPERTYGET) typed->Remove(one.Get());   // the enumerator keeps its snapshot
        Variant got[4];
        ULONG fetched = 0;
        EXPECT_EQ(e->Next(4, got[0].Get(), &fetched), S_FALSE);
        ASSERT_EQ(fetched, 3u);
        EXPECT_EQ(Str(got[0]) + Str(got[1]) + Str(got[2]), L"abc");
        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(e->Reset(), S_OK);
        ASSERT_EQ(e->Skip(2), S_OK);
        ASSERT_EQ(e->Clone(clone.Out()), S_OK);
        Variant last;
        ASSERT_EQ(clone->Next(1, last.Get(), &fetched), S_OK);
        EXPECT_EQ(Str(last), L"c");
    }
    EXPECT_EQ(Count(), 2);
}

}  // namespace
