// Benchmarks: every cost of the component as a ratio to its floor or peer,
// measured in this one process on the same trees, with interleaved
// repetitions and their medians, each printed next to its goal:
// - render: rendering into a host that does nothing, divided by the same
//   host calls replayed straight into that host (and shown against those
//   calls plus what no rendering can skip);
// - lookup: a search for an ID no node carries, per node visited, in get_ID
//   calls, divided by a plain pre-order scan through the public vtable, and
//   next to get_ID made once on every node (the nodes not in cache);
// - collections: late-bound Add / Item / Count / Remove / For Each divided
//   by the same calls on Scripting.Dictionary;
// - memory per idle node; scaling of build, render, lookup and release.
// Run: build/wine-run.sh build/bin/zuv_bench.exe [repetitions]
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "bench_support.h"
#include "null_host.h"

using namespace bench;
using zuv::Variant;

namespace {

int g_reps = 9;

// Seconds per pass of `body`, made `passes` times: a measurement shorter
// than a few milliseconds is at the mercy of a busy machine's preemptions.
template <class F>
double PerPass(int passes, F&& body) {
    return Time([&] {
        for (int i = 0; i < passes; ++i) body();
    }) / passes;
}

void Row(const char* what, double ratio, const char* goal_text, bool met) {
    std::printf("  %-56s %8.2f   goal %-7s %s\n", what, ratio, goal_text, met ? "met" : "MISSED");
}
void AtMost(const char* what, double ratio, double goal) {
    char text[32];
    std::snprintf(text, sizeof text, "<= %g", goal);
    Row(what, ratio, text, ratio <= goal);
}

// --- render -----------------------------------------------------------------

template <class Node>
HRESULT Render(Node* root, IDispatch* host, VARIANT_BOOL* ok) {
    auto bars = reinterpret_cast<ICommandBarsObject**>(&host);
    if constexpr (std::is_same_v<Node, _xMenu>) return root->RenderMenu(bars, ok);
    else return root->RenderToolBar(bars, ok);
}

// 20 top-level nodes of 1,000 children, every tenth with five: 30,020 nodes.
template <class Node>
ComPtr<Node> Tree30k(long& nodes, const Dress<Node>& each = {}) {
    return BuildTree<Node>(20, 1000, 5, nodes, each);
}

template <class Node>
void RenderRatio(const char* family) {
    long nodes = 0;
    NullHost recorder(true);
    {
        auto tree = Tree30k<Node>(nodes);
        VARIANT_BOOL ok = VARIANT_FALSE;
        if (FAILED(Render(tree.Get(), &recorder, &ok)) || !ok) {
            std::printf("rendering into the null host failed\n");
            std::exit(1);
        }
    }
    NullHost null_host;
    long calls_ok = 1;
    auto ratios = Interleaved<3>(g_reps, {
        [&] {
            long n = 0;
            auto tree = Tree30k<Node>(n);
            VARIANT_BOOL ok = VARIANT_FALSE;
            null_host.ResetCalls();
            double t = Time([&] { Render(tree.Get(), &null_host, &ok); });
            if (!ok || null_host.Calls() != static_cast<long>(recorder.Log().size())) calls_ok = 0;
            return t;
        },
        [&] { return PerPass(10, [&] { NullHost::Replay(&null_host, recorder.Log()); }); },
        // What no rendering can skip on top of the calls: checking the kind
        // of each object the host hands back, and reading each node once
        // (get_ID through the vtable, in tree order, on a tree as freshly
        // built as the one rendered).
        [&] {
            long n = 0;
            std::vector<ComPtr<Node>> all;
            Bstr caption(L"Entry");
            auto tree = Tree30k<Node>(n, [&](Node* node, long) {
                node->put_Caption(caption.Get());
                all.emplace_back(node);
                return Bstr();
            });
            long sink = 0;
            return Time([&] {
                NullHost::Replay(&null_host, recorder.Log(), true);
                for (auto& node : all) node->get_ID(&sink);
            });
        },
    });
    char what[96];
    std::snprintf(what, sizeof what, "render %s (%.2f host calls/node; %.2f / %.2f us)", family,
                  double(recorder.Log().size()) / nodes, ratios[0] / nodes * 1e6, ratios[1] / nodes * 1e6);
    AtMost(what, ratios[0] / ratios[1], 1.3);
    std::snprintf(what, sizeof what, "render %s / floor (calls, kind checks, node reads)", family);
    Row(what, ratios[0] / ratios[2], "(shown)", true);
    if (!calls_ok) std::printf("  (a rendering made other calls than the one recorded)\n");
}

// --- lookup -----------------------------------------------------------------

// What a caller outside the component does to visit every node: pre-order
// through the public vtable, reading each node's ID.  `all`, when given,
// receives every node visited.
template <class Node>
long Scan(Node* node, long id, long& visited, std::vector<ComPtr<Node>>* all = nullptr) {
    auto children = Children(node);
    long count = 0;
    children->get_Count(&count);
    for (long i = 1; i <= count; ++i) {
        Variant at = Variant::Long(i);
        ComPtr<Node> child;
        children->get_Item(*at.Get(), child.Out());
        long child_id = 0;
        child->get_ID(&child_id);
        ++visited;
        if (all) all->push_back(child);
        if (child_id == id) return child_id;
        if (Scan(child.Get(), id, visited, all) == id) return id;
    }
    return 0;
}

template <class Node>
HRESULT Find(Node* root, long id, ComPtr<Node>& found) {
    if constexpr (std::is_same_v<Node, _xMenu>) return root->GetMenu(id, found.Out());
    else return root->GetToolBar(id, found.Out());
}

template <class Node>
void LookupRatios(const char* family) {
    long nodes = 0;
    auto tree = Tree30k<Node>(nodes);
    NullHost host;
    VARIANT_BOOL ok = VARIANT_FALSE;
    Render(tree.Get(), &host, &ok);
    const long get_id_calls = 4000000;
    long sink = 0;
    auto first = [&] {
        ComPtr<Node> n;
        Variant one = Variant::Long(1);
        Children(tree.Get())->get_Item(*one.Get(), n.Out());
        return n;
    }();
    auto entries = Children(first.Get());
    long entry_count = 0;
    entries->get_Count(&entry_count);
    long visited = 0;
    std::vector<ComPtr<Node>> all;
    Scan(tree.Get(), -1, visited, &all);
    auto t = Interleaved<5>(g_reps, {
        [&] {
            ComPtr<Node> found;
            return PerPass(3, [&] { Find(tree.Get(), -1, found); });
        },
        [&] {
            return PerPass(3, [&] {
                visited = 0;
                sink += Scan(tree.Get(), -1, visited);
            });
        },
        [&] {
            return Time([&] {
                for (long i = 0; i < get_id_calls; ++i) first->get_ID(&sink);
            });
        },
        [&] {
            return PerPass(20, [&] {
                for (long i = 1; i <= entry_count; ++i) {
                    Variant at = Variant::Long(i);
                    ComPtr<Node> n;
                    entries->get_Item(*at.Get(), n.Out());
                }
            });
        },
        // The same get_ID once on every node of the tree, in tree order:
        // what reading each node once costs when the nodes are not in cache.
        [&] {
            return PerPass(3, [&] {
                for (auto& n : all) n->get_ID(&sink);
            });
        },
    });
    double get_id = t[2] / get_id_calls;
    char what[96];
    std::snprintf(what, sizeof what, "lookup %s, per node visited, in get_ID calls", family);
    AtMost(what, t[0] / nodes / get_id, 5);
    std::snprintf(what, sizeof what, "lookup %s / public pre-order scan", family);
    AtMost(what, t[0] / t[1], 1.2);
    std::snprintf(what, sizeof what, "public Item by position (%s), in get_ID calls", family);
    Row(what, t[3] / entry_count / get_id, "(shown)", true);
    std::snprintf(what, sizeof what, "get_ID once on every node (%s), in get_ID calls", family);
    Row(what, t[4] / nodes / get_id, "(shown)", true);
    std::snprintf(what, sizeof what, "lookup %s / get_ID once on every node", family);
    Row(what, t[0] / t[4], "(shown)", true);
    if (visited != nodes) std::printf("  (the scan visited %ld of %ld nodes)\n", visited, nodes);
}

// --- collections --------------------------------------------------------------

// Late-bound calls through IDispatch::Invoke, as a script makes them.
struct LateBound {
    ComPtr<IDispatch> object;

    DISPID Id(const wchar_t* name) const {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
            std::printf("no member %ls\n", name);
            std::exit(1);
        }
        return id;
    }
    // `args` reversed, as IDispatch takes them.
    HRESULT Call(DISPID member, WORD flags, VARIANT* args, UINT count, VARIANT* result = nullptr) const {
        DISPPARAMS params{args, nullptr, count, 0};
        return object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    }
};

// The members of one collection kind, looked up once.
struct Members {
    DISPID add, item, count, remove;
    explicit Members(const LateBound& c)
        : add(c.Id(L"Add")), item(c.Id(L"Item")), count(c.Id(L"Count")), remove(c.Id(L"Remove")) {}
};

ComPtr<IDispatch> NewCollection() {
    auto holder = NewMenu();
    ComPtr<_xMenuCollection> subs;
    holder->get_SubMenus(subs.Out());
    return subs.As<IDispatch>();
}

const int kEntries = 10000;
// Passes of the short measurements (Count, For Each) per repetition.
const int kPasses = 10;

// The collection takes (node, key), the dictionary (key, item).
void AddAll(const LateBound& c, DISPID add, bool key_first, const std::vector<Variant>& keys,
            const std::vector<Variant>& items) {
    for (int i = 0; i < kEntries; ++i) {
        VARIANT args[2];
        args[key_first ? 1 : 0] = *keys[i].Get();
        args[key_first ? 0 : 1] = *items[i].Get();
        VARIANT result;
        VariantInit(&result);
        c.Call(add, DISPATCH_METHOD, args, 2, &result);
        VariantClear(&result);
    }
}

void GetAll(const LateBound& c, DISPID item, const std::vector<Variant>& indexes) {
    for (const Variant& index : indexes) {
        VARIANT arg = *index.Get();
        VARIANT result;
        VariantInit(&result);
        c.Call(item, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &arg, 1, &result);
        VariantClear(&result);
    }
}

void CountMany(const LateBound& c, DISPID count) {
    for (int i = 0; i < kEntries; ++i) {
        VARIANT result;
        VariantInit(&result);
        c.Call(count, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &result);
        VariantClear(&result);
    }
}

void RemoveAll(const LateBound& c, DISPID remove, const std::vector<Variant>& keys) {
    for (const Variant& key : keys) {
        VARIANT arg = *key.Get();
        c.Call(remove, DISPATCH_METHOD, &arg, 1);
    }
}

// For Each: the enumerator, then one entry at a time.
long ForEach(const LateBound& c) {
    VARIANT e;
    VariantInit(&e);
    c.Call(DISPID_NEWENUM, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &e);
    ComPtr<IEnumVARIANT> en;
    if (e.vt == VT_UNKNOWN || e.vt == VT_DISPATCH) e.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(en.Out()));
    VariantClear(&e);
    long n = 0;
    VARIANT v;
    VariantInit(&v);
    while (en && en->Next(1, &v, nullptr) == S_OK) {
        ++n;
        VariantClear(&v);
    }
    return n;
}

void CollectionRatios() {
    std::vector<Variant> keys, positions, nodes;
    for (int i = 0; i < kEntries; ++i) {
        keys.push_back(Variant::String((L"k" + std::to_wstring(i)).c_str()));
        positions.push_back(Variant::Long(i + 1));
        nodes.push_back(Variant::Object(NewMenu().As<IDispatch>().Get()));
    }
    // Filled once for the reads; Add and Remove fill and empty their own.
    LateBound ours{NewCollection()}, dict{CreateByProgId(L"Scripting.Dictionary")}, numbered{CreateByProgId(L"Scripting.Dictionary")};
    Members c(ours), d(dict);
    AddAll(ours, c.add, false, keys, nodes);
    AddAll(dict, d.add, true, keys, nodes);
    AddAll(numbered, d.add, true, positions, nodes);
    LateBound ours_new, dict_new;
    long enumerated = 0;
    auto t = Interleaved<12>(g_reps, {
        [&] { ours_new.object = NewCollection(); return Time([&] { AddAll(ours_new, c.add, false, keys, nodes); }); },
        [&] { dict_new.object = CreateByProgId(L"Scripting.Dictionary"); return Time([&] { AddAll(dict_new, d.add, true, keys, nodes); }); },
        [&] { return Time([&] { GetAll(ours, c.item, keys); }); },
        [&] { return Time([&] { GetAll(dict, d.item, keys); }); },
        [&] { return PerPass(3, [&] { GetAll(ours, c.item, positions); }); },
        [&] { return PerPass(3, [&] { GetAll(numbered, d.item, positions); }); },
        [&] { return PerPass(kPasses, [&] { CountMany(ours, c.count); }); },
        [&] { return PerPass(kPasses, [&] { CountMany(dict, d.count); }); },
        [&] { return Time([&] { RemoveAll(ours_new, c.remove, keys); }); },
        [&] { return Time([&] { RemoveAll(dict_new, d.remove, keys); }); },
        [&] { return PerPass(kPasses, [&] { enumerated = ForEach(ours); }); },
        [&] { return PerPass(kPasses, [&] { ForEach(dict); }); },
    });
    const char* names[] = {"Add with a key", "Item by key", "Item by position (dictionary: by number)",
                           "Count", "Remove by key, oldest first", "For Each"};
    for (int i = 0; i < 6; ++i) {
        char what[96];
        std::snprintf(what, sizeof what, "%s (%.3f us)", names[i], t[2 * i] / kEntries * 1e6);
        AtMost(what, t[2 * i] / t[2 * i + 1], 1.0);
    }
    if (enumerated != kEntries) std::printf("  (For Each gave %ld entries)\n", enumerated);
}

// --- memory -------------------------------------------------------------------

// Wine reports no private bytes; the working set grows with every page the
// nodes touch, allocator overhead included.
size_t WorkingSet() {
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize;
}

// The nodes stay in `held` until every kind is measured: memory they gave
// back would be reused by the next kind and go uncounted.  The first node of
// a kind is made before the count starts: it loads the component (and its
// class factory), which is no node's cost.  `ask` false: the collections are
// never asked for (a leaf of a tree that nobody has looked into).
template <class Node>
double BytesPerIdleNode(std::vector<ComPtr<IUnknown>>& held, bool ask = true) {
    const int count = 100000;
    held.reserve(held.size() + count + 1);
    size_t before = 0;
    for (int i = -1; i < count; ++i) {
        if (i == 0) before = WorkingSet();
        auto node = New<Node>(__uuidof(Node) == IID__xMenu ? CLSID_xMenu : CLSID_xToolBar);
        // Every collection is asked for, so that it is counted however
        // (and whenever) it is made.
        if (ask) {
            Children(node.Get());
            if constexpr (std::is_same_v<Node, _xMenu>) {
                ComPtr<_xMenuCollection> members;
                node->get_ArrayMenu(members.Out());
            }
        }
        held.push_back(node.template As<IUnknown>());
    }
    return double(WorkingSet() - before) / count;
}

// --- scaling ------------------------------------------------------------------

// Every size handles about 100,000 nodes per repetition (a hundred trees of
// 1k, ten of 10k, one of 100k), so that each measurement is long enough and
// no size has its trees in the processor's caches while the others do not.
void Scaling() {
    // Titles of 151 nodes each: about 1k, 10k and 100k nodes.
    const int titles[] = {7, 66, 662};
    const int trees[] = {100, 10, 1};
    struct Size {
        long nodes = 0;
        std::vector<ComPtr<_xMenu>> trees;
    } sizes[3];
    NullHost host;
    std::array<std::function<double()>, 12> bodies;
    for (int s = 0; s < 3; ++s) {
        Size& z = sizes[s];
        int n = titles[s], k = trees[s];
        bodies[4 * s + 0] = [&z, n, k] {
            z.nodes = 0;
            return Time([&] {
                for (int i = 0; i < k; ++i) z.trees.push_back(BuildTree<_xMenu>(n, 100, 5, z.nodes));
            });
        };
        bodies[4 * s + 1] = [&z, &host] {
            VARIANT_BOOL ok;
            return Time([&] {
                for (auto& tree : z.trees) Render(tree.Get(), &host, &ok);
            });
        };
        bodies[4 * s + 2] = [&z] {
            ComPtr<_xMenu> found;
            return Time([&] {
                for (auto& tree : z.trees) Find(tree.Get(), -1, found);
            });
        };
        bodies[4 * s + 3] = [&z] { return Time([&] { z.trees.clear(); }); };
    }
    auto t = Interleaved<12>(g_reps, bodies);
    const char* phases[] = {"build", "render", "lookup", "release"};
    std::printf("  us per node %7ld n %9ld n %9ld n    100k / 1k\n", sizes[0].nodes / trees[0],
                sizes[1].nodes / trees[1], sizes[2].nodes);
    for (int p = 0; p < 4; ++p) {
        double per[3];
        for (int s = 0; s < 3; ++s) per[s] = t[4 * s + p] / sizes[s].nodes * 1e6;
        double flat = per[2] / per[0];
        std::printf("  %-10s %9.3f %11.3f %11.3f %12.2f   goal <= 1.2 %s\n", phases[p], per[0], per[1], per[2],
                    flat, flat <= 1.2 ? "met" : "MISSED");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_reps = std::max(1, std::atoi(argv[1]));
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    // Memory first, before other work leaves freed blocks for the nodes to reuse.
    std::vector<ComPtr<IUnknown>> held;
    double menu_bytes = BytesPerIdleNode<_xMenu>(held);
    double toolbar_bytes = BytesPerIdleNode<_xToolBar>(held);
    double menu_bare = BytesPerIdleNode<_xMenu>(held, false);
    double toolbar_bare = BytesPerIdleNode<_xToolBar>(held, false);
    held.clear();
    std::printf("ratios: medians of %d interleaved repetitions\n", g_reps);
    std::printf("render (component / the same host calls straight into a null host)\n");
    RenderRatio<_xMenu>("menu");
    RenderRatio<_xToolBar>("toolbar");
    std::printf("lookup of an ID no node carries, 30,020 nodes\n");
    LookupRatios<_xMenu>("menu");
    LookupRatios<_xToolBar>("toolbar");
    std::printf("collections, late-bound, %d entries (component / Scripting.Dictionary)\n", kEntries);
    CollectionRatios();
    std::printf("memory per idle node, its collections included (100,000 nodes)\n");
    Row("xMenu, bytes", menu_bytes, "<= 400", menu_bytes <= 400);
    Row("xToolBar, bytes", toolbar_bytes, "<= 400", toolbar_bytes <= 400);
    Row("xMenu, collections never asked for, bytes", menu_bare, "(shown)", true);
    Row("xToolBar, collections never asked for, bytes", toolbar_bare, "(shown)", true);
    std::printf("scaling, menu trees\n");
    Scaling();
    CoUninitialize();
    return 0;
}
