// The audit: one read-only walk that records every node it meets, then the
// checks over those records.
//
// The walk follows what the component's own operations follow: SubMenus
// and Buttons at every level (lookup and listing visit them all), the
// members of each menu array's ArrayMenu, and nothing else.  It also works
// out the numbers rendering will give, with the same rules: one running ID
// per root, starting at StartID, increased before each numbered node; every
// top-level menu node is numbered; below the top level separators take no
// number, a menu array takes ArrayCount numbers and an ordinary entry one;
// a window-list entry uses up its number but is given 35000; on a toolbar
// every node that is not a separator takes one number, at any depth.
// Nodes below a separator, and a menu array's own SubMenus, are never
// rendered: they are read (keys, structure) but not numbered.
#include "audit_engine.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <unordered_set>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

#include "frame/error.h"

namespace zuv::audit {
namespace {

constexpr long kWindowListId = 35000;
constexpr long kMaxArrayCount = 100;

enum class Role { kRoot, kTitle, kEntry, kSeparator, kArray, kGenerated, kButton };

struct Rec {
    int parent = -1;
    int root = 0;
    long position = 0;        // position in the parent's collection; array index of a generated entry
    int depth = 0;
    bool menu = true;
    Role role = Role::kRoot;
    bool live = true;         // rendering reaches the node
    bool empty = false;       // a Nothing entry, read as a node with every default
    ComPtr<IUnknown> identity;
    ComPtr<IDispatch> node;
    Bstr caption;             // as the node gave them: read, never copied
    Bstr key;
    long id = 0;
    bool designed = false;
    bool enabled = true;
    bool visible = true;
    bool windows_list = false;
    long modifiers = 0;
    long key_code = 0;
    short array_count = 0;
    long children = 0;        // entries in SubMenus / Buttons
    long rendered_children = 0;
    bool partly_read = false; // some entries could not be read or followed
    LONGLONG consumed = 0;    // numbers its rendering uses up, its own included
};

// The records in blocks that never move: a tree of tens of thousands of
// nodes grows the store without copying it or asking for ever larger blocks.
class RecStore {
public:
    Rec& operator[](size_t i) noexcept { return blocks_[i / kBlock][i % kBlock]; }
    const Rec& operator[](size_t i) const noexcept { return blocks_[i / kBlock][i % kBlock]; }
    size_t size() const noexcept { return size_; }
    void push_back(Rec r) {
        if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::make_unique<Rec[]>(kBlock));
        (*this)[size_++] = std::move(r);
    }
    void pop_back() noexcept { (*this)[--size_] = Rec(); }

private:
    static constexpr size_t kBlock = 1024;
    std::vector<std::unique_ptr<Rec[]>> blocks_;
    size_t size_ = 0;
};

// IDs a node has (rendered) or will have (predicted): `count` numbers from `first`.
struct Span {
    LONGLONG first;
    LONGLONG count;
    int rec;
    bool predicted;
    bool window_list;
    LONGLONG last() const { return first + count - 1; }
};

struct RootState {
    LONGLONG running = 0;
    long start_id = 0;
    bool overflowed = false;
    bool too_deep = false;
    bool rendered = false;
    int rec = -1;
};

std::wstring Fold(const std::wstring& s) {
    // Most keys are plain ASCII: folded here without a trip to the locale tables.
    bool ascii = true;
    for (wchar_t c : s) ascii = ascii && c < 0x80;
    if (ascii) {
        std::wstring folded = s;
        for (wchar_t& c : folded)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
        return folded;
    }
    int size = LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    if (size <= 0) return s;
    std::wstring folded(static_cast<size_t>(size), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, s.c_str(), static_cast<int>(s.size()), &folded[0], size);
    return folded;
}

// The access key of a caption: the character after the first single '&'
// ("&&" shows an ampersand).  0 when there is none; `dangling` is set when
// the caption ends in a single '&'.
wchar_t AccessKey(std::wstring_view caption, bool& dangling) {
    dangling = false;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (i + 1 == caption.size()) {
            dangling = true;
            return 0;
        }
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        return caption[i + 1];
    }
    return 0;
}

// A shortcut as a user reads it: "Ctrl+Shift+O", "Alt+F4".
std::wstring ShortcutText(long modifiers, long key) {
    std::wstring text;
    if (modifiers & 8) text += L"Ctrl+";
    if (modifiers & 4) text += L"Shift+";
    if (modifiers & 16) text += L"Alt+";
    if (modifiers & ~28L) text += L"(modifiers " + std::to_wstring(modifiers) + L")+";
    struct Name {
        long code;
        const wchar_t* name;
    };
    static const Name kNames[] = {{8, L"Backspace"}, {9, L"Tab"}, {27, L"Esc"}, {32, L"Space"}, {35, L"End"},
                                  {36, L"Home"}, {37, L"Left"}, {38, L"Up"}, {39, L"Right"}, {40, L"Down"},
                                  {45, L"Insert"}, {46, L"Delete"}, {106, L"Num *"}, {107, L"Num +"},
                                  {108, L"Num Enter"}, {109, L"Num -"}, {110, L"Num ."}, {111, L"Num /"}};
    if ((key >= L'0' && key <= L'9') || (key >= L'A' && key <= L'Z')) return text + static_cast<wchar_t>(key);
    if (key >= 112 && key <= 123) return text + L"F" + std::to_wstring(key - 111);
    for (const Name& n : kNames)
        if (n.code == key) return text + n.name;
    if (key == 0) return text.empty() ? L"(none)" : text.substr(0, text.size() - 1);
    return text + L"key " + std::to_wstring(key);
}

template <class C, class T>
T Get(C* object, HRESULT (STDMETHODCALLTYPE C::*getter)(T*)) {
    T value{};
    Check((object->*getter)(&value));
    return value;
}
template <class C>
Bstr Text(C* object, HRESULT (STDMETHODCALLTYPE C::*getter)(BSTR*)) {
    Bstr value;
    Check((object->*getter)(value.Out()));
    return value;
}

std::wstring_view View(const Bstr& s) { return std::wstring_view(s.Get() ? s.Get() : L"", s.Length()); }

bool IsAscii(std::wstring_view s) {
    for (wchar_t c : s)
        if (c >= 0x80) return false;
    return true;
}
wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

// Keys compared as the keyed collections compare them, without letter case:
// ASCII keys in place, others through their folded form.
int CaselessCompare(std::wstring_view a, std::wstring_view b) noexcept {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = LowerAscii(a[i]), y = LowerAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Node identities met so far: an open-addressing table, since the walk asks
// for every node and a node-based map costs an allocation each.
class IdentityTable {
public:
    // The record of `key`, or -1.
    int Find(IUnknown* key) const noexcept {
        if (slots_.empty() || !key) return -1;
        for (size_t i = Hash(key) & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i].first == key) return slots_[i].second;
            if (!slots_[i].first) return -1;
        }
    }
    void Insert(IUnknown* key, int value) {
        if (!key) return;
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        size_t i = Hash(key) & (slots_.size() - 1);
        while (slots_[i].first && slots_[i].first != key) i = (i + 1) & (slots_.size() - 1);
        if (!slots_[i].first) ++used_;
        slots_[i] = {key, value};
    }

private:
    static size_t Hash(IUnknown* p) noexcept {
        auto v = reinterpret_cast<uintptr_t>(p);
        return static_cast<size_t>((v >> 4) * 0x9E3779B97F4A7C15ull);
    }
    void Grow() {
        std::vector<std::pair<IUnknown*, int>> old(std::max<size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        used_ = 0;
        for (auto& e : old)
            if (e.first) Insert(e.first, e.second);
    }
    std::vector<std::pair<IUnknown*, int>> slots_;
    size_t used_ = 0;
};
template <class C>
bool Flag(C* object, HRESULT (STDMETHODCALLTYPE C::*getter)(VARIANT_BOOL*)) {
    return Get(object, getter) != VARIANT_FALSE;
}

template <class Coll, class Node>
ComPtr<Node> ItemAt(Coll* entries, long index) {
    // Item receives positions and array indexes as 16-bit integers, as the
    // component's own walks pass them.
    Variant at = (index >= SHRT_MIN && index <= SHRT_MAX) ? Variant::Short(static_cast<short>(index))
                                                          : Variant::Long(index);
    ComPtr<Node> entry;
    Check(entries->get_Item(*at.Get(), entry.Out()));
    return entry;
}

class Auditor {
public:
    explicit Auditor(Result& result) : result_(result) {}

    void Walk(const std::vector<Root>& roots) {
        states_.resize(roots.size());
        for (size_t i = 0; i < roots.size() && !stopped_; ++i) {
            if (roots[i].menu) WalkRoot(static_cast<int>(i), roots[i].menu.Get());
            else WalkRoot(static_cast<int>(i), roots[i].toolbar.Get());
        }
        result_.nodes = static_cast<long>(recs_.size());
    }

    void RunChecks() {
        for (size_t i = 0; i < recs_.size(); ++i)
            if (recs_[i].designed) states_[recs_[i].root].rendered = true;
        CheckIds();
        CheckKeys();
        CheckShortcuts();
        CheckAccessKeys();
        CheckStructure();
    }

private:
    // ---- findings ---------------------------------------------------------------

    std::wstring Label(const Rec& r) const {
        if (r.role == Role::kRoot) {
            long n = 0;
            for (size_t i = 0; i <= static_cast<size_t>(r.root); ++i)
                if (recs_[states_[i].rec].menu == r.menu) ++n;
            return (r.menu ? L"Menu " : L"ToolBar ") + std::to_wstring(n);
        }
        if (r.role == Role::kGenerated) return L"\"" + r.caption.Str() + L"\" [" + std::to_wstring(r.position) + L"]";
        if (r.empty) return std::to_wstring(r.position) + L" (Nothing)";
        if (r.role == Role::kSeparator) return std::to_wstring(r.position) + L" (separator)";
        return std::to_wstring(r.position) + L" \"" + r.caption.Str() + L"\"";
    }

    std::wstring PathOf(int index) const {
        if (index < 0) return std::wstring();
        std::vector<int> chain;
        for (int i = index; i >= 0; i = recs_[i].parent) chain.push_back(i);
        std::wstring path;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (!path.empty()) path += L" > ";
            path += Label(recs_[*it]);
        }
        return path;
    }

    void Add(Severity severity, const wchar_t* code, std::wstring message, int rec, int other = -1) {
        Finding f{severity, code, std::move(message), nullptr, PathOf(rec), nullptr, PathOf(other)};
        if (rec >= 0) f.node = recs_[rec].node;
        if (other >= 0) f.other = recs_[other].node;
        result_.findings.push_back(std::move(f));
    }

    static std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

    // ---- the walk -----------------------------------------------------------------

    int NewRec(Rec r) {
        recs_.push_back(std::move(r));
        return static_cast<int>(recs_.size()) - 1;
    }

    // The node's identity; true when this is its first visit.  A second visit
    // is reported once per node and never followed.
    bool FirstVisit(IUnknown* object, int parent, long position, int& first, ComPtr<IUnknown>& identity) {
        identity = IdentityOf(object);
        first = seen_.Find(identity.Get());
        if (first < 0) return true;
        if (reported_.insert(identity.Get()).second) {
            // Is it one of its own ancestors?
            bool inside_itself = false;
            for (int a = parent; a >= 0; a = recs_[a].parent)
                if (a == first) inside_itself = true;
            Rec again = recs_[first];
            again.parent = parent;
            again.position = position;
            again.identity = nullptr;
            int at = NewRec(std::move(again));
            if (inside_itself) {
                Add(Severity::kError, L"NodeContainsItself",
                    L"The node holds itself below itself: rendering, lookup and listing go round until the "
                    L"component's depth limit ends them with an error.",
                    first, at);
            } else {
                Add(Severity::kError, L"SharedNode",
                    L"The same node object appears twice in the trees: rendering it the second time overwrites "
                    L"the ID and control it got the first time, so the first place is no longer clickable.",
                    first, at);
            }
            // The finding keeps the path; the record of the second place is not kept.
            recs_.pop_back();
        }
        return false;
    }

    // An object's COM identity; the pointer itself for an object that does
    // not answer IUnknown as it should.
    static ComPtr<IUnknown> IdentityOf(IUnknown* object) {
        ComPtr<IUnknown> identity;
        if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Out()))) || !identity)
            identity = object;
        return identity;
    }

    bool Budget(int parent) {
        if (stopped_) return false;
        if (static_cast<long>(recs_.size()) < kMaxNodes) return true;
        stopped_ = true;
        Add(Severity::kError, L"TooManyNodes",
            L"The trees hold more than " + std::to_wstring(kMaxNodes) +
                L" nodes (or a collection keeps making new ones); the audit stopped there.",
            parent);
        return false;
    }

    bool DepthAllowed(int parent, int depth) {
        if (depth <= kMaxDepth) return true;
        recs_[parent].partly_read = true;
        RootState& s = states_[recs_[parent].root];
        if (!s.too_deep) {
            s.too_deep = true;
            Add(Severity::kError, L"TooDeep",
                L"The tree is more than " + std::to_wstring(kMaxDepth) +
                    L" levels deep: the component's walks end there with error 28, and the audit does not "
                    L"follow it further.",
                parent);
        }
        return false;
    }

    void ReadFailed(const RuntimeError& e, int rec, const wchar_t* what) {
        recs_[rec].partly_read = true;
        Add(Severity::kError, L"ReadFailed",
            std::wstring(L"Reading ") + what + L" failed with error " + std::to_wstring(e.Number()) + L" (" +
                e.Description() + L"); the node's own entries are not checked.",
            rec);
    }

    // Takes `count` numbers for the node; records the IDs they give.
    void Number(int rec, LONGLONG count, bool window_list) {
        Rec& r = recs_[rec];
        RootState& s = states_[r.root];
        if (!r.live || s.overflowed || count <= 0) return;
        if (s.running + count > LONG_MAX) {
            s.overflowed = true;
            Add(Severity::kError, L"IDOverflow",
                L"Numbering from StartID " + std::to_wstring(s.start_id) +
                    L" passes 2147483647 at this node: rendering fails here with error 6 (overflow).",
                rec);
            return;
        }
        if (window_list) spans_.push_back(Span{kWindowListId, 1, rec, true, true});
        else spans_.push_back(Span{s.running + 1, count, rec, true, false});
        s.running += count;
    }

    template <class Node>
    void WalkRoot(int index, Node* root) {
        constexpr bool menu = std::is_same_v<Node, _xMenu>;
        Rec r;
        r.root = index;
        r.menu = menu;
        r.node = root;
        r.identity = IdentityOf(root);
        int rec = NewRec(std::move(r));
        states_[index].rec = rec;
        int first = seen_.Find(recs_[rec].identity.Get());
        if (first >= 0) {
            // A root that already lies in an earlier root's tree.
            if (reported_.insert(recs_[rec].identity.Get()).second) {
                Add(Severity::kError, L"SharedNode",
                    L"This root also lies inside another tree given to the audit: rendering both renders its "
                    L"nodes twice, and the second rendering overwrites the IDs and controls of the first.",
                    first, rec);
            }
            return;
        }
        seen_.Insert(recs_[rec].identity.Get(), rec);
        try {
            recs_[rec].caption = Text(root, &Node::get_Caption);
            states_[index].start_id = Get(root, &Node::get_StartID);
            states_[index].running = states_[index].start_id;
            if constexpr (menu) {
                ComPtr<_xMenuCollection> entries;
                Check(root->get_SubMenus(entries.Out()));
                if (entries) WalkEntries(rec, entries.Get(), 1, true);
            } else {
                ComPtr<_xToolBarCollection> entries;
                Check(root->get_Buttons(entries.Out()));
                if (entries) WalkEntries(rec, entries.Get(), 1, true);
            }
        } catch (const RuntimeError& e) {
            ReadFailed(e, rec, L"the root");
        }
    }

    // The entries of one SubMenus or Buttons collection.
    template <class Coll>
    void WalkEntries(int parent, Coll* entries, int depth, bool live) {
        using Node = std::conditional_t<std::is_same_v<Coll, _xMenuCollection>, _xMenu, _xToolBar>;
        long count = 0;
        try {
            count = Get(entries, &Coll::get_Count);
        } catch (const RuntimeError& e) {
            ReadFailed(e, parent, L"the count of the node's entries");
            return;
        }
        recs_[parent].children = count;
        if (count > 0 && !DepthAllowed(parent, depth)) return;
        // By position, as the component's own walks read them, so that the
        // audit sees the entries they see.
        for (long i = 1; i <= count && Budget(parent); ++i) {
            ComPtr<Node> entry;
            try {
                entry = ItemAt<Coll, Node>(entries, i);
            } catch (const RuntimeError& e) {
                ReadFailed(e, parent, (L"entry " + std::to_wstring(i)).c_str());
                return;
            }
            Visit(parent, entry.Get(), i, depth, live);
        }
    }

    // The record of a node met below `parent`, or -1 when the node was met
    // before: rendering gives a node met again numbers again, as many as the
    // first time, and the audit follows it only once.  Both families.
    int BeginVisit(int parent, IDispatch* node, long position, int depth, bool live, bool menu, Role role) {
        int first = -1;
        ComPtr<IUnknown> identity;
        if (node && !FirstVisit(node, parent, position, first, identity)) {
            RootState& s = states_[recs_[parent].root];
            if (live && !s.overflowed && recs_[first].live) s.running += recs_[first].consumed;
            if (live) ++recs_[parent].rendered_children;
            return -1;
        }
        Rec r;
        r.parent = parent;
        r.root = recs_[parent].root;
        r.position = position;
        r.depth = depth;
        r.menu = menu;
        r.role = role;
        r.live = live;
        r.empty = !node;
        r.node = node;
        r.identity = std::move(identity);
        int rec = NewRec(std::move(r));
        if (recs_[rec].identity) seen_.Insert(recs_[rec].identity.Get(), rec);
        return rec;
    }

    void Visit(int parent, _xMenu* node, long position, int depth, bool live) {
        const int rec = BeginVisit(parent, node, position, depth, live, true, Role::kEntry);
        if (rec < 0) return;
        const LONGLONG before = states_[recs_[rec].root].running;
        bool separator = false, is_array = false, base_zero = true;
        try {
            if (node) {
                Rec& n = recs_[rec];
                n.caption = Text(node, &_xMenu::get_Caption);
                n.key = Text(node, &_xMenu::get_Key);
                n.id = Get(node, &_xMenu::get_ID);
                n.designed = Flag(node, &_xMenu::get_IsMenuDesigned);
                n.enabled = Flag(node, &_xMenu::get_Enabled);
                n.visible = Flag(node, &_xMenu::get_Visible);
                n.windows_list = Flag(node, &_xMenu::get_WindowsList);
                n.modifiers = static_cast<long>(Get(node, &_xMenu::get_ShortCutFirstKey));
                n.key_code = static_cast<long>(Get(node, &_xMenu::get_ShortCutSecondKey));
                separator = Flag(node, &_xMenu::get_MenuSeperator);
                is_array = Flag(node, &_xMenu::get_IsArray);
                if (is_array) {
                    n.array_count = Get(node, &_xMenu::get_ArrayCount);
                    base_zero = Flag(node, &_xMenu::get_IsArrayBaseZero);
                }
            }
        } catch (const RuntimeError& e) {
            ReadFailed(e, rec, L"the node");
            return;
        }
        Rec& n = recs_[rec];
        // The top level knows no separators and no arrays.
        n.role = depth == 1 ? Role::kTitle : separator ? Role::kSeparator : is_array ? Role::kArray : Role::kEntry;
        if (n.role == Role::kTitle || n.role == Role::kEntry) Number(rec, 1, n.windows_list);
        if (n.role == Role::kArray && n.array_count > 0) Number(rec, n.array_count, false);
        if (live && (n.role == Role::kTitle || n.role == Role::kEntry || n.empty ||
                     (n.role == Role::kArray && n.array_count > 0)))
            ++recs_[parent].rendered_children;
        if (!node) {
            recs_[rec].consumed = states_[recs_[rec].root].running - before;
            return;
        }
        try {
            ComPtr<_xMenuCollection> subs;
            Check(node->get_SubMenus(subs.Out()));
            const Role role = recs_[rec].role;
            const bool below_live = live && (role == Role::kTitle || role == Role::kEntry);
            if (subs) WalkEntries(rec, subs.Get(), depth + 1, below_live);
            if (role == Role::kArray) WalkArray(rec, node, depth + 1, base_zero);
        } catch (const RuntimeError& e) {
            ReadFailed(e, rec, L"the node's entries");
        }
        recs_[rec].consumed = states_[recs_[rec].root].running - before;
    }

    // The entries rendering generated for a menu array, by array index.
    void WalkArray(int array, _xMenu* node, int depth, bool base_zero) {
        ComPtr<_xMenuCollection> members;
        Check(node->get_ArrayMenu(members.Out()));
        if (!members) return;
        long count = Get(members.Get(), &_xMenuCollection::get_Count);
        if (count > 0 && !DepthAllowed(array, depth)) return;
        const long first = base_zero ? 0 : 1;
        for (long j = first; j < first + count && Budget(array); ++j) {
            ComPtr<_xMenu> member;
            try {
                member = ItemAt<_xMenuCollection, _xMenu>(members.Get(), j);
            } catch (const RuntimeError& e) {
                ReadFailed(e, array, (L"array entry " + std::to_wstring(j)).c_str());
                return;
            }
            int seen_at = -1;
            ComPtr<IUnknown> identity;
            if (member && !FirstVisit(member.Get(), array, j, seen_at, identity)) continue;
            Rec r;
            r.parent = array;
            r.root = recs_[array].root;
            r.position = j;
            r.depth = depth;
            r.role = Role::kGenerated;
            r.live = recs_[array].live;
            r.empty = !member;
            r.node = member.Get();
            r.identity = std::move(identity);
            int rec = NewRec(std::move(r));
            if (recs_[rec].identity) seen_.Insert(recs_[rec].identity.Get(), rec);
            if (!member) continue;
            try {
                Rec& n = recs_[rec];
                n.caption = Text(member.Get(), &_xMenu::get_Caption);
                n.id = Get(member.Get(), &_xMenu::get_ID);
                n.designed = Flag(member.Get(), &_xMenu::get_IsMenuDesigned);
                n.enabled = Flag(member.Get(), &_xMenu::get_Enabled);
                n.visible = Flag(member.Get(), &_xMenu::get_Visible);
            } catch (const RuntimeError& e) {
                ReadFailed(e, rec, L"the array entry");
            }
        }
    }

    void Visit(int parent, _xToolBar* node, long position, int depth, bool live) {
        const int rec = BeginVisit(parent, node, position, depth, live, false, Role::kButton);
        if (rec < 0) return;
        const LONGLONG before = states_[recs_[rec].root].running;
        bool separator = false;
        try {
            if (node) {
                Rec& n = recs_[rec];
                n.caption = Text(node, &_xToolBar::get_Caption);
                n.id = Get(node, &_xToolBar::get_ID);
                n.designed = Flag(node, &_xToolBar::get_IsToolBarDesigned);
                n.enabled = Flag(node, &_xToolBar::get_Enabled);
                n.visible = Flag(node, &_xToolBar::get_Visible);
                separator = Flag(node, &_xToolBar::get_ToolBarSeperator);
            }
        } catch (const RuntimeError& e) {
            ReadFailed(e, rec, L"the node");
            return;
        }
        recs_[rec].role = separator ? Role::kSeparator : Role::kButton;
        if (!separator) {
            Number(rec, 1, false);
            if (live) ++recs_[parent].rendered_children;
        }
        if (node) {
            try {
                ComPtr<_xToolBarCollection> buttons;
                Check(node->get_Buttons(buttons.Out()));
                if (buttons) WalkEntries(rec, buttons.Get(), depth + 1, live && !separator);
            } catch (const RuntimeError& e) {
                ReadFailed(e, rec, L"the node's entries");
            }
        }
        recs_[rec].consumed = states_[recs_[rec].root].running - before;
    }

    // ---- the checks -------------------------------------------------------------

    bool Numbered(const Rec& r) const {
        return r.role == Role::kTitle || r.role == Role::kEntry || r.role == Role::kGenerated ||
               r.role == Role::kButton;
    }

    void CheckIds() {
        // Rendered roots: the IDs their nodes carry now.  Others: the IDs
        // rendering will give (collected during the walk).
        std::vector<Span> spans;
        for (const Span& s : spans_)
            if (!states_[recs_[s.rec].root].rendered) spans.push_back(s);
        for (size_t i = 0; i < recs_.size(); ++i) {
            // Lookups compare every node below the root, rendered or not: a
            // node that keeps an ID of the host's (a separator, an array node,
            // a node added after rendering) answers for it too.  The default 0
            // is no command ID.
            const Rec& r = recs_[i];
            if (!states_[r.root].rendered || r.role == Role::kRoot || r.empty) continue;
            if (!(r.designed && Numbered(r)) && r.id == 0) continue;
            spans.push_back(Span{r.id, 1, static_cast<int>(i), false,
                                 r.designed && r.windows_list && r.id == kWindowListId});
        }

        for (const Span& s : spans) {
            if (s.window_list || s.first > kWindowListId || s.last() < kWindowListId) continue;
            const wchar_t* who = !s.predicted ? L"This node carries"
                                 : s.count == 1 ? L"Rendering will give this node"
                                                : L"Rendering will give an entry of this array";
            Add(Severity::kError, L"WindowListID",
                std::wstring(who) + L" the ID 35000, the fixed ID of the window-list entry, though it is not one: the command bars treat "
                    L"its clicks as window-list commands.",
                s.rec);
        }

        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
            return a.first != b.first ? a.first < b.first : a.rec < b.rec;
        });

        // IDs nodes carry now: each later node against the first with its ID.
        int first_with_id = -1;
        for (size_t k = 0; k < spans.size(); ++k) {
            const Span& s = spans[k];
            if (s.predicted || s.window_list) continue;
            if (first_with_id >= 0 && spans[first_with_id].first == s.first) {
                Add(Severity::kError, L"DuplicateID",
                    L"Two nodes carry the ID " + std::to_wstring(s.first) +
                        L": GetMenu and GetToolBar return the first, so a click on the second is taken for the first.",
                    spans[first_with_id].rec, s.rec);
            } else {
                first_with_id = static_cast<int>(k);
            }
        }

        // IDs to come against every other root's, summed per pair of roots.
        // Spans are met in order of their first ID; a span is compared with
        // those met before it that have not ended yet.  Carried IDs are single
        // numbers and end in the order they were met.
        struct Overlap {
            LONGLONG ids = 0;
            LONGLONG first_id = 0;
            int a = -1, b = -1;
        };
        std::vector<std::pair<std::pair<int, int>, Overlap>> overlaps;  // per pair of roots, in order met
        std::vector<size_t> open_predicted;
        std::deque<size_t> open_carried;
        auto overlap = [&](const Span& t, const Span& s) {
            const int rt = recs_[t.rec].root, rs = recs_[s.rec].root;
            if (rt == rs) return;  // one rendering never gives a number twice
            LONGLONG lo = std::max(t.first, s.first), hi = std::min(t.last(), s.last());
            if (lo > hi) return;
            auto key = std::make_pair(std::min(rt, rs), std::max(rt, rs));
            auto it = std::find_if(overlaps.begin(), overlaps.end(), [&](const auto& o) { return o.first == key; });
            if (it == overlaps.end()) {
                overlaps.push_back({key, Overlap{0, lo, t.rec, s.rec}});
                it = overlaps.end() - 1;
            }
            it->second.ids += hi - lo + 1;
        };
        for (size_t k = 0; k < spans.size(); ++k) {
            const Span& s = spans[k];
            if (s.window_list) continue;  // reported as WindowListID
            open_predicted.erase(std::remove_if(open_predicted.begin(), open_predicted.end(),
                                                [&](size_t a) { return spans[a].last() < s.first; }),
                                 open_predicted.end());
            while (!open_carried.empty() && spans[open_carried.front()].last() < s.first) open_carried.pop_front();
            for (size_t a : open_predicted) overlap(spans[a], s);
            if (s.predicted) {
                for (size_t a : open_carried) overlap(spans[a], s);
                open_predicted.push_back(k);
            } else {
                open_carried.push_back(k);
            }
        }
        for (const auto& [roots, o] : overlaps) {
            const Rec& a = recs_[states_[roots.first].rec];
            const Rec& b = recs_[states_[roots.second].rec];
            Add(Severity::kError, L"IDOverlap",
                Label(a) + L" (StartID " + std::to_wstring(states_[roots.first].start_id) + L") and " + Label(b) +
                    L" (StartID " + std::to_wstring(states_[roots.second].start_id) + L") " +
                    (states_[roots.first].rendered && states_[roots.second].rendered ? L"share " : L"will share ") +
                    std::to_wstring(o.ids) + (o.ids == 1 ? L" ID" : L" IDs") + L" (the first is " +
                    std::to_wstring(o.first_id) +
                    L"): a click on a node of one is taken for the node of the other with the same ID. Move "
                    L"one StartID past the other's last number.",
                o.a, o.b);
        }
    }

    void CheckKeys() {
        // The listing refuses a key it already holds, whatever its case.
        // Sorted by a caseless hash: no allocation per key, and whole strings
        // are compared only where two hashes agree.
        struct Keyed {
            ULONGLONG hash;
            int rec;
            std::wstring_view key;
        };
        std::vector<Keyed> keyed;
        std::deque<std::wstring> folded;   // keys beyond ASCII, in their folded form
        std::vector<std::pair<int, int>> twice;   // (first, later)
        auto flush = [&] {
            std::sort(keyed.begin(), keyed.end(), [](const Keyed& x, const Keyed& y) {
                return x.hash != y.hash ? x.hash < y.hash : x.rec < y.rec;
            });
            // Each later node is reported against the first that holds its key;
            // `first` carries that node along a run of equal keys.
            std::vector<int> first(keyed.size(), -1);
            for (size_t i = 1; i < keyed.size(); ++i) {
                for (size_t m = i; m > 0 && keyed[m - 1].hash == keyed[i].hash; --m) {
                    if (CaselessCompare(keyed[m - 1].key, keyed[i].key) != 0) continue;
                    first[i] = first[m - 1] >= 0 ? first[m - 1] : keyed[m - 1].rec;
                    twice.emplace_back(first[i], keyed[i].rec);
                    break;
                }
            }
            keyed.clear();
        };
        int root = -1;
        for (size_t i = 0; i < recs_.size(); ++i) {
            const Rec& r = recs_[i];
            if (r.root != root) {
                flush();
                root = r.root;
            }
            if (!r.menu || r.role == Role::kRoot || r.role == Role::kGenerated || r.key.Empty()) continue;
            std::wstring_view key = View(r.key);
            if (!IsAscii(key)) {
                folded.push_back(Fold(std::wstring(key)));
                key = folded.back();
            }
            ULONGLONG h = 14695981039346656037ull;
            for (wchar_t c : key) h = (h ^ static_cast<ULONGLONG>(LowerAscii(c))) * 1099511628211ull;
            keyed.push_back(Keyed{h, static_cast<int>(i), key});
        }
        flush();
        std::sort(twice.begin(), twice.end(), [](const auto& x, const auto& y) { return x.second < y.second; });
        for (const auto& [first, later] : twice) {
            Add(Severity::kError, L"DuplicateKey",
                L"The key " + Quote(recs_[later].key.Str()) + L" is used twice in one menu tree: GetMenuList fails "
                L"with error 457 at the second node and lists nothing after it.",
                first, later);
        }
    }

    void CheckShortcuts() {
        std::unordered_map<ULONGLONG, int> bound;
        for (size_t i = 0; i < recs_.size(); ++i) {
            const Rec& r = recs_[i];
            if (!r.menu || !r.live || (r.role != Role::kTitle && r.role != Role::kEntry)) continue;
            if (r.modifiers == 0 && r.key_code == 0) continue;
            const int at = static_cast<int>(i);
            if (r.modifiers != 0 && r.key_code == 0) {
                Add(Severity::kWarning, L"ModifierWithoutKey",
                    L"The shortcut " + ShortcutText(r.modifiers, 0) +
                        L" names modifier keys but no key: it is bound, and no key press can reach it.",
                    at);
            }
            if (!r.enabled || !r.visible) {
                Add(Severity::kWarning, L"ShortcutOnInactiveNode",
                    L"The shortcut " + ShortcutText(r.modifiers, r.key_code) + L" is bound on a node that is " +
                        (!r.visible ? L"hidden" : L"disabled") +
                        L": the key does nothing visible and may hide the same key elsewhere.",
                    at);
            }
            ULONGLONG combo = (static_cast<ULONGLONG>(static_cast<ULONG>(r.modifiers)) << 32) |
                              static_cast<ULONG>(r.key_code);
            auto [it, inserted] = bound.emplace(combo, at);
            if (!inserted) {
                Add(Severity::kError, L"DuplicateShortcut",
                    L"The shortcut " + ShortcutText(r.modifiers, r.key_code) +
                        L" is bound twice: only one of the two nodes can receive it.",
                    it->second, at);
            }
        }
    }

    void CheckAccessKeys() {
        std::unordered_map<ULONGLONG, int> used;  // (parent, folded letter) -> first entry
        for (size_t i = 0; i < recs_.size(); ++i) {
            const Rec& r = recs_[i];
            if (!r.live || r.empty || r.role == Role::kRoot || r.role == Role::kSeparator ||
                r.role == Role::kGenerated)
                continue;
            bool dangling = false;
            wchar_t letter = AccessKey(View(r.caption), dangling);
            const int at = static_cast<int>(i);
            if (dangling) {
                Add(Severity::kWarning, L"AccessKeyAtEnd",
                    L"The caption " + Quote(r.caption.Str()) + L" ends with '&', which marks no access key (write \"&&\" "
                    L"for an ampersand).",
                    at);
            }
            if (!letter || !r.visible) continue;
            std::wstring folded = Fold(std::wstring(1, letter));
            ULONGLONG k = (static_cast<ULONGLONG>(static_cast<ULONG>(r.parent)) << 32) | folded[0];
            auto [it, inserted] = used.emplace(k, at);
            if (!inserted) {
                Add(Severity::kWarning, L"DuplicateAccessKey",
                    std::wstring(L"Two entries of one menu level use the access key '") + letter +
                        L"': pressing it selects the first, or cycles between them, instead of running the command.",
                    it->second, at);
            }
        }
    }

    void CheckStructure() {
        for (size_t i = 0; i < recs_.size(); ++i) {
            const Rec& r = recs_[i];
            const int at = static_cast<int>(i);
            if (r.empty && r.live) {
                Add(Severity::kWarning, L"EmptyEntry",
                    L"The collection holds Nothing here: rendering shows an entry without a caption in its place.",
                    at);
            }
            if (r.role == Role::kArray) {
                if (r.array_count < 0 || r.array_count > kMaxArrayCount) {
                    Add(Severity::kError, L"ArrayCountRange",
                        L"The menu array's ArrayCount is " + std::to_wstring(r.array_count) +
                            L", outside 0 to 100: " +
                            (r.array_count < 0 ? L"it generates no entries." : L"the component refuses such a count."),
                        at);
                }
                if (r.children > 0) {
                    Add(Severity::kWarning, L"ArrayWithSubMenus",
                        L"The menu array has " + std::to_wstring(r.children) +
                            L" sub-menu entries of its own: rendering shows only the generated entries, never these.",
                        at);
                }
            }
            if (r.live && r.children > 0 && r.rendered_children == 0 && !r.partly_read &&
                (r.role == Role::kTitle || r.role == Role::kEntry || r.role == Role::kButton)) {
                Add(Severity::kWarning, L"EmptyDropDown",
                    L"The drop-down opens empty: its " + std::to_wstring(r.children) +
                        (r.children == 1 ? L" entry renders" : L" entries render") + L" no control.",
                    at);
            }
        }
    }

    Result& result_;
    RecStore recs_;
    std::vector<RootState> states_;
    std::vector<Span> spans_;
    IdentityTable seen_;
    std::unordered_set<IUnknown*> reported_;
    bool stopped_ = false;
};

}  // namespace

Result Run(const std::vector<Root>& roots) {
    Result result;
    for (const Root& r : roots) (r.menu ? result.menus : result.toolbars) += 1;
    Auditor auditor(result);
    auditor.Walk(roots);
    auditor.RunChecks();
    return result;
}

std::wstring Report(const Result& result) {
    long errors = 0;
    for (const Finding& f : result.findings)
        if (f.severity == Severity::kError) ++errors;
    const long warnings = static_cast<long>(result.findings.size()) - errors;
    auto plural = [](long n, const wchar_t* one, const wchar_t* many) {
        return std::to_wstring(n) + L" " + (n == 1 ? one : many);
    };
    std::wstring text = L"Audit of " + plural(result.menus, L"menu", L"menus") + L" and " +
                        plural(result.toolbars, L"toolbar", L"toolbars") + L": " +
                        plural(result.nodes, L"node", L"nodes") + L", " + plural(errors, L"error", L"errors") +
                        L", " + plural(warnings, L"warning", L"warnings") + L".\r\n";
    for (const Finding& f : result.findings) {
        text += f.severity == Severity::kError ? L"error   " : L"warning ";
        text += f.code;
        text += L": " + f.message + L"\r\n";
        if (!f.path.empty()) text += L"        at " + f.path + L"\r\n";
        if (!f.other_path.empty()) text += L"        and " + f.other_path + L"\r\n";
    }
    return text;
}

}  // namespace zuv::audit
