// Common ground of the menu and toolbar tests: reading and building node
// trees of either kind, the stand-in command bars (XCHost.CommandBars) as
// these tests drive it, and the lines its call log is expected to hold.
#pragma once

#include <cwchar>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "standin_host/xchost_client.h"
#include "support/com_test.h"
#include "support/foreign_nodes.h"
#include "support/late_bound.h"

namespace zuv::test {

// ---- reading ---------------------------------------------------------------------

inline std::wstring N(long v) { return std::to_wstring(v); }

// A property read through the vtable (expects S_OK): values, objects, texts.
template <class I, class T>
T Read(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(T*)) {
    T value{};
    EXPECT_EQ((Required(object, "the object read")->*get)(&value), S_OK);
    return value;
}
// An object property may be Nothing; a failed read stops the test.
template <class I, class U>
ComPtr<U> Read(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(U**)) {
    ComPtr<U> value;
    Must((Required(object, "the object read")->*get)(value.Out()), "reading an object property");
    return value;
}
template <class I>
std::wstring Read(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(BSTR*)) {
    Bstr value;
    EXPECT_EQ((Required(object, "the object read")->*get)(value.Out()), S_OK);
    return value.Str();
}
// A Boolean property, which must be exactly True or False.
template <class I>
bool Flag(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = Read(object, get);
    EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE) << value;
    return value == VARIANT_TRUE;
}

inline long IdOf(_xMenu* n) { return Read(n, &_xMenu::get_ID); }
inline long IdOf(_xToolBar* n) { return Read(n, &_xToolBar::get_ID); }
inline bool IsDesigned(_xMenu* n) { return Flag(n, &_xMenu::get_IsMenuDesigned); }
inline bool IsDesigned(_xToolBar* n) { return Flag(n, &_xToolBar::get_IsToolBarDesigned); }
inline ComPtr<_xMenuCollection> EntriesOf(_xMenu* n) { return Required(Read(n, &_xMenu::get_SubMenus), "SubMenus"); }
inline ComPtr<_xToolBarCollection> EntriesOf(_xToolBar* n) {
    return Required(Read(n, &_xToolBar::get_Buttons), "Buttons");
}

template <class Coll> struct ItemType { using type = typename Coll::Item; };
template <> struct ItemType<_xMenuCollection> { using type = _xMenu; };
template <> struct ItemType<_xToolBarCollection> { using type = _xToolBar; };
template <class T> struct NoDeduce { using type = T; };

template <class Coll>
long CountOf(Coll* entries) { return Read(entries, &Coll::get_Count); }

// Item by any index value (a number is a position): an entry that may be
// Nothing, or (ItemOf, ItemAt) one that must be there.  A failed read stops the test.
template <class Coll>
auto ItemOrNothing(Coll* entries, Variant index) {
    ComPtr<typename ItemType<Coll>::type> item;
    Must(Required(entries, "the collection")->get_Item(*index.Get(), item.Out()), "Item");
    return item;
}
template <class Coll>
auto ItemOf(Coll* entries, Variant index) { return Required(ItemOrNothing(entries, std::move(index)), "the item"); }
template <class Coll>
auto ItemAt(Coll* entries, long position) { return ItemOf(entries, Variant::Long(position)); }

// The stand-in's label of a control ("" for Nothing).
template <class C>
std::wstring LabelOf(const ComPtr<C>& control) { return control ? xchost::Label(control.Get()) : L""; }

// COM identity of two objects.
inline bool Same(IUnknown* a, IUnknown* b) {
    if (!a || !b) return a == b;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ua.Out()));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ub.Out()));
    return ua.Get() == ub.Get();
}

// ---- building --------------------------------------------------------------------

// Appends `child` (which may be Nothing) with a key when one is given; returns the child.
template <class Coll, class Node = typename ItemType<Coll>::type>
ComPtr<Node> Append(Coll* entries, typename NoDeduce<ComPtr<Node>>::type child, const wchar_t* key = nullptr) {
    Node* raw = child.Get();
    Bstr k(key ? key : L"");
    BSTR kb = k.Get();
    ComPtr<Node> added;
    MUST(Required(entries, "the collection")->Add(&raw, key ? &kb : nullptr, added.Out()));
    EXPECT_EQ(raw, child.Get());
    return child;
}
// Appends to the node's SubMenus or Buttons.
template <class Node>
ComPtr<Node> Add(Node* parent, typename NoDeduce<ComPtr<Node>>::type child, const wchar_t* key = nullptr) {
    return Append(EntriesOf(parent).Get(), std::move(child), key);
}

template <class Node>
constexpr bool kIsMenu = std::is_same_v<Node, _xMenu>;
template <class Node>
const CLSID& ClassOf() { return kIsMenu<Node> ? CLSID_xMenu : CLSID_xToolBar; }
template <class Node>
const IID& EventsOf() { return kIsMenu<Node> ? DIID___xMenu : DIID___xToolBar; }
template <class Node>
using ForeignEntries = std::conditional_t<kIsMenu<Node>, ForeignMenus, ForeignButtons>;
using Families = ::testing::Types<_xMenu, _xToolBar>;

// "popup|control" of a rendered node: the stand-in's labels of its
// CmdBarPopup and of its CmdBarControl (menu) or CmdBarButton (toolbar).
inline std::wstring Controls(_xMenu* n) {
    return LabelOf(Read(n, &_xMenu::get_CmdBarPopup)) + L"|" + LabelOf(Read(n, &_xMenu::get_CmdBarControl));
}
inline std::wstring Controls(_xToolBar* n) {
    return LabelOf(Read(n, &_xToolBar::get_CmdBarPopup)) + L"|" + LabelOf(Read(n, &_xToolBar::get_CmdBarButton));
}

// Gives the node other entries (SubMenus or Buttons; Nothing too).
template <class Node, class Coll>
HRESULT SetEntries(Node* node, Coll* entries) {
    if constexpr (kIsMenu<Node>) return node->putref_SubMenus(entries);
    else return node->putref_Buttons(entries);
}

// A new node with this caption; "-" makes a separator.
template <class Node>
ComPtr<Node> NewNode(const wchar_t* caption = L"") {
    ComPtr<Node> n = Create<Node>(ClassOf<Node>());
    MUST(n->put_Caption(B(caption).Get()));
    if (!std::wcscmp(caption, L"-")) {
        if constexpr (kIsMenu<Node>) MUST(n->put_MenuSeperator(VARIANT_TRUE));
        else MUST(n->put_ToolBarSeperator(VARIANT_TRUE));
    }
    return n;
}

// Makes a menu node an array of `count` generated entries.
inline _xMenu* MakeArray(_xMenu* node, short count, bool base_zero = true) {
    MUST(node->put_IsArray(VARIANT_TRUE));
    MUST(node->put_ArrayCount(count));
    MUST(node->put_IsArrayBaseZero(base_zero ? VARIANT_TRUE : VARIANT_FALSE));
    return node;
}
// Gives a menu node a shortcut: modifier keys (Ctrl 8, Shift 4, Alt 16) and a key code.
inline void Shortcut(_xMenu* node, long modifiers, long key) {
    MUST(node->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(modifiers)));
    MUST(node->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(key)));
}

// A tree from a description such as L"File:f{Open - Exit} Edit": entries
// separated by spaces, an entry's own entries in braces after it, "-" a
// separator, ":f" after a caption the key it is added with; in menus "MRU*3"
// an array of 3 entries counted from 0, "MRU#3" counted from 1, "Win@" the
// window list.  Nodes are reached by caption without the mark or key (the
// first separator as "-").
template <class Node>
struct Tree {
    ComPtr<Node> root = NewNode<Node>();
    std::map<std::wstring, ComPtr<Node>> nodes;

    explicit Tree(const wchar_t* text) { Parse(root.Get(), text); }
    Node* operator[](const std::wstring& caption) const {
        auto it = nodes.find(caption);
        if (it == nodes.end()) throw TestStopped("no node " + std::string(caption.begin(), caption.end()));
        return it->second.Get();
    }
    // "A=1* B=0" for the nodes named ("A B", or an expected "A=1* B=0"):
    // each one's ID, a star when it is designed.
    std::wstring Numbers(const wchar_t* names) const {
        std::wstring out, item;
        std::wistringstream in(names);
        while (in >> item) {
            const std::wstring name = item.substr(0, item.find(L'='));
            out += (out.empty() ? L"" : L" ") + name + L"=" + N(IdOf((*this)[name])) +
                   (IsDesigned((*this)[name]) ? L"*" : L"");
        }
        return out;
    }

private:
    void Parse(Node* parent, const wchar_t*& p) {
        ComPtr<Node> last;
        while (*p && *p != L'}') {
            if (*p == L' ') {
                ++p;
            } else if (*p == L'{') {
                Parse(last.Get(), ++p);
                if (*p) ++p;
            } else {
                const wchar_t* start = p;
                while (*p && !std::wcschr(L" {}", *p)) ++p;
                std::wstring caption(start, p);
                const size_t colon = caption.find(L':');
                const std::wstring key = colon == std::wstring::npos ? L"" : caption.substr(colon + 1);
                if (colon != std::wstring::npos) caption.erase(colon);
                size_t mark = caption.find_first_of(L"*#@");
                std::wstring name = caption.substr(0, mark);
                last = Add(parent, NewNode<Node>(name.c_str()), key.empty() ? nullptr : key.c_str());
                if constexpr (kIsMenu<Node>) {
                    if (mark != std::wstring::npos && caption[mark] == L'@') MUST(last->put_WindowsList(VARIANT_TRUE));
                    else if (mark != std::wstring::npos)
                        MakeArray(last.Get(), static_cast<short>(std::stoi(caption.substr(mark + 1))), caption[mark] == L'*');
                }
                nodes.emplace(name, last);
            }
        }
    }
};

// ---- operations on a tree ----------------------------------------------------------

// A call through the vtable that takes `arg` by reference and answers a
// Boolean: the call itself always succeeds, leaves its argument alone and
// answers exactly True or False; returns the answer.
template <class Arg, class Call>
bool AnswerOf(Arg* arg, Call call) {
    Arg* in = arg;
    VARIANT_BOOL result = 7;
    EXPECT_EQ(call(&in, &result), S_OK);
    EXPECT_EQ(in, arg) << "the argument was replaced";
    EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE) << result;
    return result == VARIANT_TRUE;
}

// RenderMenu or RenderToolBar.
template <class Node>
bool Render(Node* root, ICommandBarsObject* bars) {
    return AnswerOf(bars, [root](ICommandBarsObject** in, VARIANT_BOOL* result) {
        if constexpr (kIsMenu<Node>) return root->RenderMenu(in, result);
        else return root->RenderToolBar(in, result);
    });
}

// GetMenu or GetToolBar.
template <class Node>
ComPtr<Node> Find(Node* root, long id) {
    ComPtr<Node> found;
    HRESULT hr;
    if constexpr (kIsMenu<Node>) hr = root->GetMenu(id, found.Out());
    else hr = root->GetToolBar(id, found.Out());
    Must(hr, kIsMenu<Node> ? "GetMenu" : "GetToolBar");
    return found;
}

// GetMenuList into `list`.
inline bool List(_xMenu* root, _Collection* list) {
    return AnswerOf(list, [root](_Collection** in, VARIANT_BOOL* result) { return root->GetMenuList(in, result); });
}

// RaiseClickEvent through the vtable, a menu node's with this index, a
// toolbar node's with Nothing: the result is Empty; returns the call's own.
template <class Node>
HRESULT Click(Node* node, short index = -1) {
    Variant result;
    HRESULT hr;
    if constexpr (kIsMenu<Node>) hr = node->RaiseClickEvent(index, result.Out());
    else hr = node->RaiseClickEvent(nullptr, result.Out());
    EXPECT_EQ(result.Type(), VT_EMPTY);
    return hr;
}

// The description a failed early-bound call left behind.
inline std::wstring PendingDescription() {
    ComPtr<IErrorInfo> info;
    Bstr d;
    if (GetErrorInfo(0, info.Out()) == S_OK && info) info->GetDescription(d.Out());
    return d.Str();
}

// ---- the stand-in command bars -------------------------------------------------------

// XCHost.CommandBars: every call made on it is one log line
// ("MenuBar put 23 (Boolean False)").
struct HostBars {
    ComPtr<IDispatch> bars = xchost::CreateHost();
    ComPtr<ICommandBarsObject> object = bars.As<ICommandBarsObject>();

    std::vector<std::wstring> Log() const { return xchost::LogLines(bars.Get()); }
    void ClearLog() const { xchost::ClearLog(bars.Get()); }
    // The nth call matching "<kind> <member>" on the object with this label
    // fails with this run-time error number and description.
    void FailCall(const std::wstring& label, const wchar_t* call, long nth, long number,
                  const wchar_t* description = L"") const {
        xchost::FailCall(bars.Get(), label.c_str(), call, nth, number, description);
    }
    // The nth matching call returns an object of no role.
    void WrongKind(const wchar_t* label, const wchar_t* call, long nth) const {
        xchost::WrongKind(bars.Get(), label, call, nth);
    }
    long DestroyControl(long id) const { return xchost::DestroyControl(bars.Get(), id); }
    std::wstring FindControl(long id) const { return xchost::FindControl(bars.Get(), id); }
};

// A test with a stand-in host; ends with the component free to unload.
class NodeTest : public ComTest {
protected:
    template <class Node>
    bool Render(Node* root, ICommandBarsObject* bars) { return test::Render(root, bars); }
    template <class Node>
    bool Render(Node* root) { return test::Render(root, host.object.Get()); }
    HostBars host;
};

// ---- expected log lines --------------------------------------------------------------

// The lines of a host-call log that contain one of the given texts.
inline std::vector<std::wstring> Matching(const std::vector<std::wstring>& log,
                                          std::initializer_list<const wchar_t*> parts) {
    std::vector<std::wstring> kept;
    for (const std::wstring& line : log)
        for (const wchar_t* part : parts)
            if (line.find(part) != std::wstring::npos) {
                kept.push_back(line);
                break;
            }
    return kept;
}
using Lines = std::vector<std::wstring>;

// The controls added and the groups started, in order.
inline Lines Adds(const HostBars& host) { return Matching(host.Log(), {L"Controls call 2", L" put 3 ("}); }
// The same of a tree from its description, rendered into new command bars.
template <class Node>
Lines AddsOf(const wchar_t* tree) {
    HostBars bars;
    Tree<Node> t(tree);
    EXPECT_TRUE(Render(t.root.Get(), bars.object.Get()));
    return Adds(bars);
}

// A rendering in which host calls fail: each (label, call, nth) with error
// 1004 "Refused", or with an object of no role when `wrong_kind`.  Checks
// the result, the events and the numbers ("A=1* B=0") the nodes are left with.
struct FailingRender {
    const wchar_t* tree;
    std::vector<std::tuple<const wchar_t*, const wchar_t*, long>> fail;
    bool wrong_kind;
    long start;
    bool result;
    const wchar_t *events, *numbers;
};
template <class Node>
Lines Check(const FailingRender& c) {
    SCOPED_TRACE(c.tree);
    HostBars bars;
    Tree<Node> t(c.tree);
    MUST(t.root->put_StartID(c.start));
    for (const auto& [label, call, nth] : c.fail)
        if (c.wrong_kind) bars.WrongKind(label, call, nth);
        else bars.FailCall(label, call, nth, 1004, L"Refused");
    EventRecorder events(t.root.Get(), EventsOf<Node>());
    EXPECT_EQ(Render(t.root.Get(), bars.object.Get()), c.result);
    EXPECT_EQ(events.Joined(), c.events);
    EXPECT_EQ(t.Numbers(c.numbers), c.numbers);
    return bars.Log();
}

// Expected log lines after `first`: those that start with "(" are calls of
// `call`, the others stand as they are.
inline Lines Expand(Lines first, const std::wstring& call, const Lines& lines) {
    for (const std::wstring& line : lines) first.push_back(line[0] == L'(' ? call + line : line);
    return first;
}

}  // namespace zuv::test
