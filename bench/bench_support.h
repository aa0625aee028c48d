// What both benchmark programs share: the clock, interleaved repetitions
// with their medians, nodes straight from the class factory, trees of a
// given shape, objects by ProgID.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace bench {

using zuv::Bstr;
using zuv::ComPtr;

inline double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Seconds `body` takes.
template <class F>
double Time(F&& body) {
    double t0 = Now();
    body();
    return Now() - t0;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs every body `reps` times, interleaved (a b c, a b c, ...), so that a
// machine busy with other work slows each alike; each body returns the
// seconds of what it measures (set-up it does itself stays outside).
// Gives the median of each.
template <size_t N>
std::array<double, N> Interleaved(int reps, const std::array<std::function<double()>, N>& bodies) {
    std::array<std::vector<double>, N> times;
    for (int r = 0; r < reps; ++r)
        for (size_t i = 0; i < N; ++i) times[i].push_back(bodies[i]());
    std::array<double, N> medians;
    for (size_t i = 0; i < N; ++i) medians[i] = Median(times[i]);
    return medians;
}

// Nodes come straight from the class factory: CoCreateInstance's registry
// look-up per object would dominate what is measured.
template <class Node>
ComPtr<Node> New(REFCLSID clsid) {
    static IClassFactory* factory = [&] {
        IClassFactory* f = nullptr;
        if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(&f)))) {
            std::printf("the component is not registered\n");
            std::exit(1);
        }
        return f;
    }();
    ComPtr<Node> n;
    factory->CreateInstance(nullptr, __uuidof(Node), reinterpret_cast<void**>(n.Out()));
    return n;
}
inline ComPtr<_xMenu> NewMenu() { return New<_xMenu>(CLSID_xMenu); }
inline ComPtr<_xToolBar> NewToolBar() { return New<_xToolBar>(CLSID_xToolBar); }

inline ComPtr<_xMenuCollection> Children(_xMenu* node) {
    ComPtr<_xMenuCollection> c;
    node->get_SubMenus(c.Out());
    return c;
}
inline ComPtr<_xToolBarCollection> Children(_xToolBar* node) {
    ComPtr<_xToolBarCollection> c;
    node->get_Buttons(c.Out());
    return c;
}

template <class Node>
void Add(Node* parent, Node* child, BSTR key = nullptr) {
    ComPtr<Node> added;
    Children(parent)->Add(&child, &key, added.Out());
}

// A tree of `titles` top-level nodes with `entries` children each, every
// tenth child holding `subs` of its own.  `each` may dress every new node
// but the root (serial from 0) and gives the key it is added under.
template <class Node>
using Dress = std::function<Bstr(Node*, long serial)>;

template <class Node>
ComPtr<Node> BuildTree(int titles, int entries, int subs, long& nodes, const Dress<Node>& each = {}) {
    const CLSID& clsid = __uuidof(Node) == IID__xMenu ? CLSID_xMenu : CLSID_xToolBar;
    auto root = New<Node>(clsid);
    root->put_StartID(1000);
    Bstr caption(L"Entry");
    long serial = 0;
    auto node = [&](Node* parent) {
        auto n = New<Node>(clsid);
        Bstr key;
        if (each) key = each(n.Get(), serial++);
        else n->put_Caption(caption.Get());
        Add(parent, n.Get(), key.Get());
        ++nodes;
        return n;
    };
    for (int t = 0; t < titles; ++t) {
        auto title = node(root.Get());
        for (int e = 0; e < entries; ++e) {
            auto entry = node(title.Get());
            if (e % 10 == 9)
                for (int s = 0; s < subs; ++s) node(entry.Get());
        }
    }
    return root;
}

// An object by its ProgID (the stand-in command bars, Scripting.Dictionary);
// the program ends when it is not registered in the prefix.
inline ComPtr<IDispatch> CreateByProgId(const wchar_t* progid) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (FAILED(CLSIDFromProgID(progid, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(object.Out())))) {
        std::printf("%ls is not registered\n", progid);
        std::exit(1);
    }
    return object;
}

}  // namespace bench
