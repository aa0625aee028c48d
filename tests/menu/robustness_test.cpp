// Trees that are too large, too deep or contain themselves, hosts that
// change the tree from inside an event handler, and the stack a walk takes.
#include <cstdint>

#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;
const wchar_t kOutOfStack[] = L"SystemError(28, Out of stack space)";
// How deep the component lets a walk or a nested event go before error 28.
constexpr int kNestingLimit = 256;

// root -> title -> n1 -> ... -> n(depth), each the only entry of the one
// above it, made quickly through one class object.  Returns the root; the
// deepest node goes to `last`.
template <class Node>
ComPtr<Node> Chain(long depth, ComPtr<Node>* last = nullptr) {
    ComPtr<IClassFactory> factory;
    Must(CoGetClassObject(ClassOf<Node>(), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                          reinterpret_cast<void**>(factory.Out())), "CoGetClassObject");
    auto make = [&] {
        ComPtr<Node> node;
        Must(factory->CreateInstance(nullptr, __uuidof(Node), reinterpret_cast<void**>(node.Out())), "CreateInstance");
        return node;
    };
    ComPtr<Node> root = make(), tail = root;
    for (long i = 0; i <= depth; ++i) tail = Add(tail.Get(), make());
    if (last) *last = tail;
    return root;
}

class MenuRobustness : public NodeTest {
protected:
    // Lists into a new collection; `count` receives how many were listed.
    bool List(_xMenu* root, long* count = nullptr) {
        ComPtr<_Collection> list = xchost::CreateCollection().As<_Collection>();
        bool listed = test::List(root, list.Get());
        LONG n = 0;
        if (count) MUST(list->Count(&n)), *count = n;
        return listed;
    }
};

// Walks over trees of either family that contain themselves or are far
// deeper than the nesting limit: each walk ends with one error 28.
template <class Node>
class Walks : public MenuRobustness {
protected:
    // Every walk of the family over the tree under `root`, each ending with
    // one error 28; a menu's listing stops with `listed` nodes (-1: any).
    void ExpectEachWalkEndsWithOneError(Node* root, long id, long listed = -1) {
        EventRecorder events(root, EventsOf<Node>());
        EXPECT_TRUE(Render(root));
        EXPECT_EQ(events.Joined(), kOutOfStack);
        events.Clear();
        EXPECT_FALSE(Find(root, id));
        EXPECT_EQ(events.Joined(), kOutOfStack);
        if constexpr (kIsMenu<Node>) {
            events.Clear();
            long count = 0;
            EXPECT_FALSE(List(root, &count));
            EXPECT_EQ(events.Joined(), kOutOfStack);
            EXPECT_TRUE(listed < 0 || count == listed) << count;
        }
    }
};
TYPED_TEST_SUITE(Walks, Families);

// Three times in its own entries: once the limit fires the whole walk ends,
// or it would descend again from every level (exponential); the next
// top-level node still follows.
TYPED_TEST(Walks, ATreeThatContainsItselfEndsEachWalkWithOneError) {
    Tree<TypeParam> t(L"T{x} After");
    for (int i = 0; i < 3; ++i) Add(t[L"T"], t[L"T"]);
    this->ExpectEachWalkEndsWithOneError(t.root.Get(), -7);
    EXPECT_TRUE(IsDesigned(t[L"After"]));
    // The host breaks the cycle before letting go.
    MUST(SetEntries(t[L"T"], static_cast<ForeignEntries<TypeParam>*>(nullptr)));
}

TYPED_TEST(Walks, AChainOfOneHundredThousandLevels) {
    ComPtr<TypeParam> tail, root = Chain(100000, &tail);
    MUST(tail->put_ID(-5));
    tail = nullptr;
    this->ExpectEachWalkEndsWithOneError(root.Get(), -5, kNestingLimit);
    // Releasing the root ends the whole chain without deep recursion.
    root = nullptr;
    EXPECT_EQ(ComponentCanUnloadNow(), S_OK);
}

// 32,767 entries in one collection are walked to the last; one more is one
// too many, before the walk starts.  A menu's are a title's entries and the
// same run as the members of an array counted from 1 (the listing and the
// array's Count walk them too); a toolbar's are separators at the top level
// (the rendering walks them too, and adds no control when they overflow).
TYPED_TEST(Walks, ExactlyShortMaxEntriesAreWalkedToTheLast) {
    constexpr bool menu = kIsMenu<TypeParam>;
    Tree<TypeParam> t(menu ? L"T" : L"");
    TypeParam* parent = menu ? t[L"T"] : t.root.Get();
    auto entries = EntriesOf(parent);
    ComPtr<TypeParam> filler = NewNode<TypeParam>(menu ? L"" : L"-");
    if (menu) MUST(filler->put_ID(1));
    for (long i = 1; i < 32767; ++i) Append(entries.Get(), filler);
    ComPtr<TypeParam> last = Append(entries.Get(), NewNode<TypeParam>(L"Last"));
    MUST(last->put_ID(-9));
    if constexpr (menu) MUST(MakeArray(parent, 0, false)->putref_ArrayMenu(entries.Get()));
    EventRecorder events(t.root.Get(), EventsOf<TypeParam>());
    EXPECT_FALSE(Find(t.root.Get(), -10));
    for (bool fits : {true, false}) {
        SCOPED_TRACE(fits ? "32767 entries" : "32768 entries");
        if (!fits) Append(entries.Get(), NewNode<TypeParam>(L"Extra"));
        this->host.ClearLog();
        EXPECT_EQ(Same(Find(t.root.Get(), IdOf(last.Get())).Get(), last.Get()), fits);
        if constexpr (menu) {
            EventRecorder on_title(parent, DIID___xMenu);
            long listed = 0;
            EXPECT_EQ(this->List(t.root.Get(), &listed), fits);
            EXPECT_EQ(listed, fits ? 32768 : 1);
            EXPECT_EQ(Read(parent, &_xMenu::get_Count), fits ? 32767 : -1);
            EXPECT_EQ(on_title.Joined(), fits ? L"" : L"SystemError(6, Overflow)");
        } else {
            EXPECT_EQ(this->Render(t.root.Get()), fits);
            EXPECT_TRUE(fits ? IsDesigned(last.Get()) : this->host.Log().size() == 6u);   // the new toolbar's set-up
        }
        EXPECT_EQ(events.Joined(), fits ? L"" : L"SystemError(6, Overflow); SystemError(6, Overflow)");
    }
    if constexpr (menu) MUST(parent->putref_ArrayMenu(nullptr));
}

// A click handler that raises the click again, on the same node or on
// another one (A and B click each other; a menu array's ArrayClick clicks
// the same member again), is stopped by the nesting limit: the innermost
// click of a toolbar node fails with error 28, a menu node's reports it
// through its handler.
TYPED_TEST(Walks, ClickHandlersThatClickAgainEndlessly) {
    constexpr bool menu = kIsMenu<TypeParam>;
    Tree<TypeParam> t(menu ? L"A B{MRU*1}" : L"A B");
    ASSERT_TRUE(this->Render(t.root.Get()));
    struct Case {
        TypeParam* first;
        short index;
        TypeParam* next;
        short next_index;
    };
    std::vector<Case> cases = {{t[L"A"], -1, t[L"B"], -1}, {t[L"A"], -1, t[L"A"], -1}};
    if constexpr (menu) cases.push_back({t[L"MRU"], 0, t[L"MRU"], 0});
    for (const Case& c : cases) {
        EventRecorder on_first(c.first, EventsOf<TypeParam>());
        std::unique_ptr<EventRecorder> on_next;
        if (c.next != c.first) on_next = std::make_unique<EventRecorder>(c.next, EventsOf<TypeParam>());
        int clicks = 0;
        HRESULT innermost = S_OK;
        auto click = [&](TypeParam* node, short index) {
            return [&, node, index](DISPID id) {
                if (id > 2) return;   // the error events
                ++clicks;
                if (HRESULT hr = Click(node, index); FAILED(hr)) innermost = hr;
            };
        };
        on_first.OnEvent(click(c.next, c.next_index));
        if (on_next) on_next->OnEvent(click(c.first, c.index));
        EXPECT_EQ(Click(c.first, c.index), S_OK);
        EXPECT_GT(clicks, 10);
        EXPECT_LE(clicks, kNestingLimit);
        EXPECT_EQ(innermost, menu ? S_OK : MAKE_HRESULT(1, FACILITY_CONTROL, 28));
        std::wstring errors = on_first.Joined() + (on_next ? on_next->Joined() : L"");
        EXPECT_TRUE(!menu || errors.find(kOutOfStack) != std::wstring::npos)
            << std::string(errors.end() - 80, errors.end()).c_str();
    }
}

// An empty (Nothing) member of an array is Nothing outside the walks: the
// click and Count read it and report error 91 through their handlers.
TEST_F(MenuRobustness, EmptyArrayMembersAreNothingForClickAndCount) {
    ComPtr<_xMenu> array = NewMenu();
    MakeArray(array.Get(), 0, false);
    ComPtr<_xMenuCollection> members = Read(array.Get(), &_xMenu::get_ArrayMenu);
    Append(members.Get(), NewMenu());
    Append(members.Get(), nullptr);
    EventRecorder events(array.Get(), DIID___xMenu);
    EXPECT_EQ(Click(array.Get(), 2), S_OK);
    EXPECT_EQ(Read(array.Get(), &_xMenu::get_Count), 1);   // the count reached so far
    EXPECT_EQ(Click(array.Get(), 1), S_OK);
    const std::wstring not_set = L"SystemError(91, Object variable or With block variable not set)";
    EXPECT_EQ(events.Joined(), not_set + L"; " + not_set + L"; ArrayClick(1)");
}

// An array's members dropped, and the array let go of, by the ArrayClick
// handler of one of them: the click returns normally.
TEST_F(MenuRobustness, AnArrayClickHandlerThatDropsTheMembers) {
    Menu t(L"T{MRU*2}");
    ComPtr<_xMenu> array = t[L"MRU"];
    ASSERT_TRUE(Render(t.root.Get()));
    auto events = std::make_unique<EventRecorder>(array.Get(), DIID___xMenu);
    events->OnEvent([&](DISPID) {
        MUST(array->putref_ArrayMenu(nullptr));
        events->Disconnect();
        t = Menu(L"");
        array = nullptr;
    });
    EXPECT_EQ(Click(array.Get(), 1), S_OK);
    EXPECT_EQ(events->Joined(), L"ArrayClick(1)");
}

// The handler of an error in a drop-down takes an entry out and lets go of
// the tree (a toolbar's handler gives the root other buttons too: the
// rendering goes on with those it started with): the rendering goes on with
// what it holds (B and b1 after A's failed drop-down) and returns normally.
TYPED_TEST(Walks, AHandlerThatReleasesTheTreeDuringARenderingError) {
    Tree<TypeParam> t(L"A{a1 a2} B{b1}");
    TypeParam* root = t.root.Get();
    this->host.FailCall(L"Control#1.CommandBar.Controls", L"call 2", 1, 1004, L"Refused");
    auto events = std::make_unique<EventRecorder>(root, EventsOf<TypeParam>());
    events->OnEvent([&](DISPID) {
        MUST(EntriesOf(t[L"A"])->Remove(Variant::Long(1).Get()));
        if constexpr (!kIsMenu<TypeParam>) MUST(SetEntries(t.root.Get(), EntriesOf(NewToolBar().Get()).Get()));
        events->Disconnect();
        t = Tree<TypeParam>(L"");
    });
    EXPECT_TRUE(this->Render(root));
    EXPECT_EQ(events->Joined(), L"SystemError(1004, Refused)");
    EXPECT_EQ(this->host.FindControl(4), L"Control#3");
}

// A host's main thread has 1 MB: the deepest walk stays within an eighth of
// it, both the limit times one level of each walk (measured at a host's node
// 100 levels apart) and the delivery of the error event at the limit.
TEST_F(MenuRobustness, TheNestingLimitLeavesTheStackWideMargins) {
    auto here = [] {
        volatile char mark = 0;
        return reinterpret_cast<std::uintptr_t>(&mark);
    };
    const std::function<void(_xMenu*)> walks[] = {
        [&](_xMenu* r) { Render(r); }, [](_xMenu* r) { Find(r, 123456); }, [&](_xMenu* r) { List(r); }};
    for (const auto& walk : walks) {
        std::uintptr_t at[2] = {};
        for (int i : {0, 1}) {
            ComPtr<_xMenu> deepest, root = Chain(10 + 100 * i, &deepest);
            Add(deepest.Get(), NewForeignMenu());
            g_on_foreign_read = [&] { at[i] = at[i] ? at[i] : here(); };
            walk(root.Get());
            g_on_foreign_read = nullptr;
        }
        EXPECT_TRUE(at[1] && at[0] > at[1]);
        EXPECT_LT((at[0] - at[1]) / 100 * kNestingLimit, 128u * 1024);
    }
    ComPtr<_xMenu> root = Chain<_xMenu>(kNestingLimit + 10);
    EventRecorder events(root.Get(), DIID___xMenu);
    std::uintptr_t top = here(), deepest = 0;
    events.OnEvent([&](DISPID) { deepest = here(); });
    EXPECT_TRUE(Render(root.Get()));
    EXPECT_EQ(events.Joined(), kOutOfStack);
    EXPECT_LT(top - deepest, 128u * 1024);
}

}  // namespace
}  // namespace zuv::test
