// Benchmark of the audit: its cost per node on a 30,000-node menu tree,
// before and after rendering, next to the cost of rendering the same tree
// into the stand-in command bars.  The goal is under a tenth of rendering, so
// that a host can audit its trees at every start.
// Run: build/wine-run.sh build/bin/zuv_audit_bench.exe
#include <windows.h>
#include <ole2.h>

#include "bench_support.h"
#include "zuvXCHandlerAudit.h"

using namespace bench;

namespace {

// 30 titles of 500 entries, every tenth entry with a sub-menu of ten: 30,030
// nodes, each with a caption and a key, every tenth with a shortcut of its
// own: a tree without faults, as a host's tree at start-up should be.
ComPtr<_xMenu> BuildMenu(long& nodes) {
    return BuildTree<_xMenu>(30, 500, 10, nodes, [](_xMenu* n, long serial) {
        wchar_t text[32];
        std::swprintf(text, 32, L"Entry %ld", serial);
        n->put_Caption(Bstr(text).Get());
        if (serial % 10 == 0 && serial / 10 < 7 * 36) {
            // Ctrl, Shift, Alt and their combinations with a letter or digit.
            long combo = serial / 10;
            n->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(4 * (1 + combo / 36 % 7)));
            n->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(combo % 36 < 26 ? 'A' + combo % 36 : '0' + combo % 36 - 26));
        }
        std::swprintf(text, 32, L"k%ld", serial);
        return Bstr(text);
    });
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
    ComPtr<_xAuditFindings> findings;
    seconds = Time([&] {
        audit->AddMenu(arg);
        audit->Run(findings.Out());
        Bstr report;
        audit->get_Report(report.Out());
    });
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
        ComPtr<IDispatch> host = CreateByProgId(L"XCHost.CommandBars");
        long nodes = 0;
        auto root = BuildMenu(nodes);

        double before = 0;
        long found_before = Audit(root.Get(), before);

        double bare = Time([&] { BareWalk(root.Get()); });

        IDispatch* raw = host.Get();
        VARIANT_BOOL ok = VARIANT_FALSE;
        double render = Time([&] { root->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&raw), &ok); });

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
