// Listing a menu tree into the host's collection.
#include "menu_test.h"

namespace zuv::test {
namespace {

class MenuList : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        list = CreateHostObject(L"XCHost.Collection");
    }
    void TearDown() override {
        list = nullptr;
        held.Reset();
        MenuTest::TearDown();
    }
    bool ListInto(_xMenu* root) {
        ComPtr<_Collection> typed;
        EXPECT_EQ(list->QueryInterface(__uuidof(_Collection), reinterpret_cast<void**>(typed.Out())), S_OK);
        _Collection* raw = typed.Get();
        VARIANT_BOOL result = 7;
        EXPECT_EQ(root->GetMenuList(&raw, &result), S_OK);
        return result == VARIANT_TRUE;
    }
    long Count() { return Long(Call(list.Get(), L"Count").value); }
    IDispatch* At(Variant index) {
        held = Call(list.Get(), L"Item", {std::move(index)}).value;
        return Object(held);
    }
    ComPtr<IDispatch> list;
    Variant held;
};

TEST_F(MenuList, ListsEveryNodeInTreeOrderUnderItsKey) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> a = AddEntry(root.Get(), L"A", L"a");
    ComPtr<_xMenu> a1 = AddEntry(a.Get(), L"A1", L"a1");
    ComPtr<_xMenu> a2 = AddEntry(a.Get(), L"A2");
    ComPtr<_xMenu> b = AddEntry(root.Get(), L"B", L"b");
    ComPtr<_xMenu> array = AddArray(b.Get(), L"MRU", 2);
    Append(ArrayMenuOf(array.Get()).Get(), NewMenu());
    ComPtr<_xMenu> under_array = AddEntry(array.Get(), L"under", L"u");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(ListInto(root.Get()));
    EXPECT_EQ(events.Joined(), L"");
    // Array members are not listed; the root itself neither.
    ASSERT_EQ(Count(), 6);
    std::vector<_xMenu*> expected = {a.Get(), a1.Get(), a2.Get(), b.Get(), array.Get(), under_array.Get()};
    for (long i = 0; i < 6; ++i) EXPECT_TRUE(Same(At(Variant::Long(i + 1)), expected[i])) << i;
    EXPECT_TRUE(Same(At(Variant::String(L"A1")), a1.Get()));
    EXPECT_TRUE(Same(At(Variant::String(L"u")), under_array.Get()));
}

TEST_F(MenuList, ARefusedKeyEndsTheListing) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> x = AddEntry(root.Get(), L"X", L"x");
    AddEntry(x.Get(), L"plain");
    // The same key in another letter case, in another collection.
    AddEntry(x.Get(), L"Other", L"X");
    AddEntry(root.Get(), L"Never", L"n");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_FALSE(ListInto(root.Get()));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(457, ", 0), 0u);
    EXPECT_EQ(Count(), 2);

    // Listing twice into the same list: the unkeyed nodes before the first
    // keyed one are appended again, then that one is refused.
    events.Clear();
    ComPtr<_xMenu> other = NewMenu();
    AddEntry(other.Get(), L"unkeyed");
    AddEntry(other.Get(), L"keyed", L"k");
    EXPECT_TRUE(ListInto(other.Get()));
    EXPECT_EQ(Count(), 4);
    EXPECT_FALSE(ListInto(other.Get()));
    EXPECT_EQ(Count(), 5);

    // A missing list.
    events.Clear();
    _Collection* nothing = nullptr;
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(root->GetMenuList(&nothing, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(events.Joined(), L"CustomError(2, Object Not Created)");
}

}  // namespace
}  // namespace zuv::test
