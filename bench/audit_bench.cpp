// Benchmark of the audit: its cost per node on a 30,000-node menu tree,
// before and after rendering, next to the cost of rendering the same tree
// into the stand-in command bars.  The goal is under a tenth of rendering, so
// that a host can audit its trees at every start.
// Run: build/wine-run.sh build/bin/zuv_audit_bench.exe
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"
#include "zuvXCHandlerAudit.h"

using zuv::Bstr;
using zuv::ComPtr;

namespace {

double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

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

void Add(_xMenu* parent, _xMenu* child, const wchar_t* key) {
    ComPtr<_xMenuCollection> subs;
    parent->get_SubMenus(subs.Out());
    Bstr k(key);
    BSTR kb = k.Get();
    ComPtr<_xMenu> added;
    subs->Add(&child, &kb, added.Out());
}

// 30 titles of 500 entries, every tenth entry with a sub-menu of ten: 30,030
// nodes, each with a caption and a key, every tenth with a shortcut of its
// own: a tree without faults, as a host's tree at start-up should be.
ComPtr<_xMenu> BuildMenu(long& nodes) {
    auto root = NewMenu();
    root->put_StartID(1000);
    long serial = 0;
    auto node = [&](_xMenu* parent) {
        auto n = NewMenu();
        wchar_t text[32];
        std::swprintf(text, 32, L"Entry %ld", serial);
        n->put_Caption(Bstr(text).Get());
        std::swprintf(text, 32, L"k%ld", serial);
        if (serial % 10 == 0 && serial / 10 < 7 * 36) {
            // Ctrl, Shift, Alt and their combinations with a letter or digit.
            long combo = serial / 10;
            n->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(4 * (1 + combo / 36 % 7)));
            n->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(combo % 36 < 26 ? 'A' + combo % 36 : '0' + combo % 36 - 26));
        }
        ++serial;
        Add(parent, n.Get(), text);
        ++nodes;
        return n;
    };
    for (int t = 0; t < 30; ++t) {
        auto title = node(root.Get());
        for (int e = 0; e < 500; ++e) {
            auto entry = node(title.Get());
            if (e % 10 == 9)
                for (int s = 0; s < 10; ++s) node(entry.Get());
        }
    }
    return root;
}

// One full audit of the root; returns its findings.
long Audit(_xMenu* root, double& seconds) {
    ComPtr<_xAudit> audit;
    if (FAILED(CoCreateInstance(CLSID_xAudit, nullptr, CLSCTX_INPROC_SERVER, IID__xAudit,
                                reinterpret_cast<void**>(audit.Out())))) {
        std::printf("zuvXCHandler.Audit is not registered\n");
        std::exit(1);
    }
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = root;
    double t0 = Now();
    audit->AddMenu(arg);
    ComPtr<_xAuditFindings> findings;
    audit->Run(findings.Out());
    Bstr report;
    audit->get_Report(report.Out());
    seconds = Now() - t0;
    long count = 0;
    findings->get_Count(&count);
    return count;
}

// The floor of any audit: the same property reads on every node, through
// the same public interfaces, with nothing recorded.  Returns the nodes read.
long BareWalk(_xMenu* node) {
    long n = 1;
    Bstr caption, key;
    long id = 0;
    VARIANT_BOOL flag = VARIANT_FALSE;
    xMenuShortCutFirstKeys modifiers;
    xMenuShortCutSecondKeys code;
    node->get_Caption(caption.Out());
    node->get_Key(key.Out());
    node->get_ID(&id);
    node->get_IsMenuDesigned(&flag);
    node->get_Enabled(&flag);
    node->get_Visible(&flag);
    node->get_WindowsList(&flag);
    node->get_ShortCutFirstKey(&modifiers);
    node->get_ShortCutSecondKey(&code);
    node->get_MenuSeperator(&flag);
    node->get_IsArray(&flag);
    ComPtr<_xMenuCollection> subs;
    node->get_SubMenus(subs.Out());
    long count = 0;
    subs->get_Count(&count);
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xMenu> child;
        zuv::Variant at = zuv::Variant::Short(static_cast<short>(i));
        subs->get_Item(*at.Get(), child.Out());
        n += BareWalk(child.Get());
    }
    return n;
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
        long nodes = 0;
        auto root = BuildMenu(nodes);

        double before = 0;
        long found_before = Audit(root.Get(), before);

        double t0 = Now();
        BareWalk(root.Get());
        double bare = Now() - t0;

        IDispatch* raw = host.Get();
        VARIANT_BOOL ok = VARIANT_FALSE;
        t0 = Now();
        root->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&raw), &ok);
        double render = Now() - t0;

        double after = 0;
        long found_after = Audit(root.Get(), after);

        std::printf("nodes                              %ld\n", nodes);
        std::printf("render: %s, per node               %.3f us\n", ok ? "True" : "False", render / nodes * 1e6);
        std::printf("bare read walk, per node           %.3f us = %.3f of rendering (the floor)\n",
                    bare / nodes * 1e6, bare / render);
        std::printf("audit before rendering, per node   %.3f us = %.3f of rendering (%ld findings)\n",
                    before / nodes * 1e6, before / render, found_before);
        std::printf("audit after rendering, per node    %.3f us = %.3f of rendering (%ld findings)\n",
                    after / nodes * 1e6, after / render, found_after);
    }
    CoUninitialize();
    return 0;
}
