// Benchmarks: what a node costs to build, render, find and release, printed
// as ratios to the cost of the host calls and vtable calls it cannot avoid,
// and bytes per node.  Run: build/wine-run.sh build/bin/zuv_bench.exe
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"

using zuv::Bstr;
using zuv::ComPtr;

namespace {

double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

size_t WorkingSet() {
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize;
}

// Nodes come straight from the class factory: CoCreateInstance's registry
// look-up per object would dominate what is measured.
ComPtr<_xMenu> NewMenu() {
    static IClassFactory* factory = [] {
        IClassFactory* f = nullptr;
        if (FAILED(CoGetClassObject(CLSID_xMenu, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(&f)))) {
            std::printf("xMenu is not registered\n");
            std::exit(1);
        }
        return f;
    }();
    ComPtr<_xMenu> m;
    factory->CreateInstance(nullptr, IID__xMenu, reinterpret_cast<void**>(m.Out()));
    return m;
}

void Add(_xMenu* parent, _xMenu* child) {
    ComPtr<_xMenuCollection> subs;
    parent->get_SubMenus(subs.Out());
    BSTR key = nullptr;
    ComPtr<_xMenu> added;
    subs->Add(&child, &key, added.Out());
}

// A menu of `titles` popups with `entries` entries each, every tenth entry
// holding a sub-menu of five.
ComPtr<_xMenu> BuildMenu(int titles, int entries, long& nodes) {
    auto root = NewMenu();
    root->put_StartID(1000);
    Bstr caption(L"Entry");
    for (int t = 0; t < titles; ++t) {
        auto title = NewMenu();
        title->put_Caption(caption.Get());
        Add(root.Get(), title.Get());
        ++nodes;
        for (int e = 0; e < entries; ++e) {
            auto entry = NewMenu();
            entry->put_Caption(caption.Get());
            Add(title.Get(), entry.Get());
            ++nodes;
            if (e % 10 == 9) {
                for (int s = 0; s < 5; ++s) {
                    auto sub = NewMenu();
                    sub->put_Caption(caption.Get());
                    Add(entry.Get(), sub.Get());
                    ++nodes;
                }
            }
        }
    }
    return root;
}

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    {
        CLSID host_clsid;
        ComPtr<IDispatch> host;
        if (FAILED(CLSIDFromProgID(L"XCHost.CommandBars", &host_clsid)) ||
            FAILED(CoCreateInstance(host_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(host.Out())))) {
            std::printf("the stand-in host is not registered\n");
            return 1;
        }

        // Baselines: one late-bound put on a host object, one vtable call.
        DISPID put = DISPID_PROPERTYPUT;
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BOOL;
        arg.boolVal = VARIANT_FALSE;
        DISPPARAMS params{&arg, &put, 1, 1};
        DISPPARAMS none{};
        zuv::Variant bar;
        host->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, bar.Out(), nullptr, nullptr);
        const int calls = 20000;
        double t0 = Now();
        for (int i = 0; i < calls; ++i)
            bar.Get()->pdispVal->Invoke(23, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
        double host_call = (Now() - t0) / calls;

        auto probe = NewMenu();
        long id = 0;
        t0 = Now();
        for (int i = 0; i < calls * 10; ++i) probe->get_ID(&id);
        double vtable_call = (Now() - t0) / (calls * 10);

        long nodes = 0;
        size_t mem0 = WorkingSet();
        t0 = Now();
        auto root = BuildMenu(20, 200, nodes);
        double build = Now() - t0;
        size_t mem1 = WorkingSet();

        // Rendering makes between 6 and 8 host calls per node: the ratio
        // shows how much the component adds on top of them.
        IDispatch* raw = host.Get();
        VARIANT_BOOL ok = VARIANT_FALSE;
        t0 = Now();
        root->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&raw), &ok);
        double render = Now() - t0;

        // Worst case lookup: an ID no node carries visits every node.
        ComPtr<_xMenu> found;
        const int lookups = 20;
        t0 = Now();
        for (int i = 0; i < lookups; ++i) root->GetMenu(-1, found.Out());
        double lookup = (Now() - t0) / lookups;

        t0 = Now();
        root.Reset();
        double release = Now() - t0;

        std::printf("nodes                          %ld\n", nodes);
        std::printf("host call (late-bound put)     %.3f us\n", host_call * 1e6);
        std::printf("vtable call (get_ID)           %.3f us\n", vtable_call * 1e6);
        std::printf("build per node                 %.3f us\n", build / nodes * 1e6);
        std::printf("memory per node                %.0f bytes\n", double(mem1 - mem0) / nodes);
        std::printf("render: %s, per node           %.3f us = %.2f host calls\n", ok ? "True" : "False",
                    render / nodes * 1e6, render / nodes / host_call);
        std::printf("full search per node visited   %.3f us = %.2f vtable calls\n", lookup / nodes * 1e6,
                    lookup / nodes / vtable_call);
        std::printf("release per node               %.3f us\n", release / nodes * 1e6);
    }
    CoUninitialize();
    return 0;
}
