// Trees that are too large, too deep or contain themselves, hosts that
// change the tree from inside an event handler, and the stack a walk takes.
#include <algorithm>
#include <cstdint>

#include "core/handler.h"
#include "foreign.h"
#include "menu_test.h"

namespace zuv::test {
namespace {

class MenuRobustness : public MenuTest {
protected:
    // Creates nodes through one class object: a 100,000-node chain is
    // built in a moment.
    ComPtr<_xMenu> Fresh() {
        if (!factory_) {
            EXPECT_EQ(CoGetClassObject(CLSID_xMenu, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void**>(factory_.Out())),
                      S_OK);
        }
        ComPtr<_xMenu> node;
        EXPECT_EQ(factory_->CreateInstance(nullptr, __uuidof(_xMenu), reinterpret_cast<void**>(node.Out())), S_OK);
        return node;
    }
    // root -> title -> n1 -> ... -> n(depth), each the only entry of the
    // one above it.  Returns the root; the deepest node goes to `last`.
    ComPtr<_xMenu> Chain(long depth, ComPtr<_xMenu>* last = nullptr) {
        ComPtr<_xMenu> root = Fresh();
        ComPtr<_xMenu> tail = root;
        for (long i = 0; i <= depth; ++i) tail = Append(SubMenusOf(tail.Get()).Get(), Fresh());
        if (last) *last = tail;
        return root;
    }
    // Lists into a caller's own list object that only counts.
    bool List(_xMenu* root, long* count = nullptr) {
        ComPtr<CountingList> list = NewCountingList();
        _Collection* raw = list.Get();
        VARIANT_BOOL result = 7;
        EXPECT_EQ(root->GetMenuList(&raw, &result), S_OK);
        if (count) *count = list->added;
        return result == VARIANT_TRUE;
    }
    void TearDown() override {
        factory_ = nullptr;
        MenuTest::TearDown();
    }

private:
    ComPtr<IClassFactory> factory_;
};

ComPtr<_xMenu> Find(_xMenu* root, long id) {
    ComPtr<_xMenu> found;
    EXPECT_EQ(root->GetMenu(id, found.Out()), S_OK);
    return found;
}

const wchar_t kOutOfStack[] = L"SystemError(28, Out of stack space)";

TEST_F(MenuRobustness, ATreeThatContainsItselfEndsWithOneError) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    // Twice in its own sub-menu: without the stop at the first error the
    // walks would branch at every level.
    Append(SubMenusOf(t.Get()).Get(), t);
    Append(SubMenusOf(t.Get()).Get(), t);
    ComPtr<_xMenu> after = AddEntry(root.Get(), L"After");
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    EXPECT_TRUE(IsDesigned(after.Get()));
    events.Clear();
    EXPECT_FALSE(Find(root.Get(), -7));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    events.Clear();
    EXPECT_FALSE(List(root.Get()));
    EXPECT_EQ(events.Joined(), kOutOfStack);

    // The host breaks the cycle before letting go.
    EXPECT_EQ(t->putref_SubMenus(nullptr), S_OK);
}

TEST_F(MenuRobustness, AChainOfOneHundredThousandLevels) {
    ComPtr<_xMenu> deepest;
    ComPtr<_xMenu> root = Chain(100000, &deepest);
    deepest->put_ID(-5);
    deepest = nullptr;
    EventRecorder events(root.Get(), DIID___xMenu);

    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    events.Clear();
    EXPECT_FALSE(Find(root.Get(), -5));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    events.Clear();
    long listed = 0;
    EXPECT_FALSE(List(root.Get(), &listed));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    EXPECT_EQ(listed, NestingGuard::kLimit);
    // Releasing the root ends the whole chain without deep recursion.
    events.Disconnect();
    root = nullptr;
    EXPECT_EQ(ComponentCanUnloadNow(), S_OK);
}

TEST_F(MenuRobustness, ACollectionOf32767EntriesIsWalkedToItsEnd) {
    ComPtr<_xMenu> root = NewMenu();
    ComPtr<_xMenu> t = AddEntry(root.Get(), L"T");
    ComPtr<_xMenuCollection> entries = SubMenusOf(t.Get());
    ComPtr<_xMenu> filler = NewMenu();
    filler->put_ID(1);
    for (long i = 1; i < 32767; ++i) Append(entries.Get(), filler);
    ComPtr<_xMenu> last = AddEntry(t.Get(), L"Last");
    last->put_ID(-9);
    // The same run as the members of an array counted from 1.
    t->put_IsArray(VARIANT_TRUE);
    t->put_IsArrayBaseZero(VARIANT_FALSE);
    t->putref_ArrayMenu(entries.Get());
    EventRecorder events(root.Get(), DIID___xMenu);
    EventRecorder on_title(t.Get(), DIID___xMenu);

    EXPECT_TRUE(Same(Find(root.Get(), -9).Get(), last.Get()));
    EXPECT_FALSE(Find(root.Get(), -10));
    long listed = 0;
    EXPECT_TRUE(List(root.Get(), &listed));
    EXPECT_EQ(listed, 32768);
    short count = 0;
    EXPECT_EQ(t->get_Count(&count), S_OK);
    EXPECT_EQ(count, 32767);
    EXPECT_EQ(events.Joined() + on_title.Joined(), L"");

    // One more is one too many, before the walk starts.
    Append(entries.Get(), filler);
    EXPECT_FALSE(Find(root.Get(), -9));
    EXPECT_FALSE(List(root.Get(), &listed));
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(t->get_Count(&count), S_OK);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow); SystemError(6, Overflow)");
    EXPECT_EQ(on_title.Joined(), L"SystemError(6, Overflow)");
    t->putref_ArrayMenu(nullptr);
}

TEST_F(MenuRobustness, HandlersThatChangeTheTreeWhileAnEventIsDelivered) {
    // The host lets go of the whole tree while a failure is reported from
    // inside a drop-down; the rendering goes on with what it holds.
    {
        ComPtr<_xMenu> root = NewMenu();
        ComPtr<_xMenu> a = AddEntry(root.Get(), L"A");
        AddEntry(a.Get(), L"a1");
        AddEntry(a.Get(), L"a2");
        AddEntry(AddEntry(root.Get(), L"B").Get(), L"b1");
        host.FailCall(L"Control#1.CommandBar.Controls", L"call 2", 1, 1004, L"No");
        auto events = std::make_unique<EventRecorder>(root.Get(), DIID___xMenu);
        _xMenu* raw = root.Get();
        events->OnEvent([&](DISPID) {
            SubMenusOf(a.Get())->Remove(Variant::Long(1).Get());
            a = nullptr;
            events->Disconnect();
            root = nullptr;
        });
        EXPECT_TRUE(Render(raw));
    }
    // A clicked node is removed and released by its handler.
    {
        ComPtr<_xMenu> root = NewMenu();
        ComPtr<_xMenu> item = AddEntry(root.Get(), L"Item");
        auto events = std::make_unique<EventRecorder>(item.Get(), DIID___xMenu);
        events->OnEvent([&](DISPID) {
            SubMenusOf(root.Get())->Remove(Variant::Long(1).Get());
            root = nullptr;
            events->Disconnect();
            item = nullptr;
        });
        _xMenu* raw = item.Get();
        Variant result;
        EXPECT_EQ(raw->RaiseClickEvent(-1, result.Out()), S_OK);
    }
    // An array's members are dropped while one of them is clicked.
    {
        ComPtr<_xMenu> root = NewMenu();
        ComPtr<_xMenu> array = AddArray(AddEntry(root.Get(), L"T").Get(), L"MRU", 2);
        ASSERT_TRUE(Render(root.Get()));
        auto events = std::make_unique<EventRecorder>(array.Get(), DIID___xMenu);
        events->OnEvent([&](DISPID) {
            array->putref_ArrayMenu(nullptr);
            events->Disconnect();
            root = nullptr;
            array = nullptr;
        });
        _xMenu* raw = array.Get();
        Variant result;
        EXPECT_EQ(raw->RaiseClickEvent(1, result.Out()), S_OK);
    }
}

// How much stack one level of each recursive walk takes, measured at a
// host's node at two depths, and what the deepest possible walk takes in
// all, up to the delivery of its error event.
TEST_F(MenuRobustness, TheNestingLimitLeavesTheStackWideMargins) {
    auto here = [] {
        volatile char mark = 0;
        return reinterpret_cast<std::uintptr_t>(&mark);
    };
    auto depth_of_read = [&](long depth, auto walk) {
        ComPtr<_xMenu> deepest;
        ComPtr<_xMenu> root = Chain(depth, &deepest);
        ComPtr<_xMenu> probe = Append(SubMenusOf(deepest.Get()).Get(), NewForeignMenu());
        std::uintptr_t at = 0;
        g_on_foreign_read = [&] { at = at ? at : here(); };
        walk(root.Get());
        g_on_foreign_read = nullptr;
        EXPECT_NE(at, 0u);
        return at;
    };
    auto per_level = [&](auto walk) {
        std::uintptr_t shallow = depth_of_read(10, walk), deep = depth_of_read(110, walk);
        return static_cast<long>((shallow - deep) / 100);
    };
    long render = per_level([&](_xMenu* root) { Render(root); });
    long search = per_level([&](_xMenu* root) { Find(root, 123456); });
    long list = per_level([&](_xMenu* root) { List(root); });

    ComPtr<_xMenu> root = Chain(NestingGuard::kLimit + 10);
    EventRecorder events(root.Get(), DIID___xMenu);
    std::uintptr_t top = here(), deepest = 0;
    events.OnEvent([&](DISPID) { deepest = here(); });
    EXPECT_TRUE(Render(root.Get()));
    long total = static_cast<long>(top - deepest);
    printf("stack per level: render %ld, search %ld, list %ld bytes; limit %d; deepest event at %ld bytes\n",
           render, search, list, NestingGuard::kLimit, total);
    EXPECT_EQ(events.Joined(), kOutOfStack);
    // A host's main thread has 1 MB; the deepest walk stays within an eighth.
    EXPECT_LT(total, 128 * 1024);
    EXPECT_LT(static_cast<long>(NestingGuard::kLimit) * std::max({render, search, list}), 128 * 1024);
}

}  // namespace
}  // namespace zuv::test
