// Demo host: builds an application's menu and toolbar as node trees, renders
// them into the stand-in command bars, prints what was built, then plays a
// few clicks the way a host does it: command ID -> node -> RaiseClickEvent.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <string>

#include "examples/example_nodes.h"

using example::AddButton;
using example::AddMenu;
using example::AddSeparator;
using example::Create;
using zuv::Bstr;
using zuv::ComPtr;
using zuv::Variant;

namespace {

void Fail(const char* what, HRESULT hr) {
    std::printf("demo: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Ok(HRESULT hr, const char* what) {
    if (FAILED(hr)) Fail(what, hr);
}

// A handler that prints every event a node raises.
example::EventHandler Printer(const wchar_t* owner, REFIID events) {
    const bool menu = events == DIID___xMenu;
    return [owner = std::wstring(owner), menu](DISPID id, DISPPARAMS* p) {
        std::wstring line = owner + L": ";
        switch (id) {
        case 1: line += menu ? L"Click" : L"ButtonClick"; break;
        case 2: line += menu ? L"ArrayClick" : L"ButtonMenuClick"; break;
        case 3: line += L"CustomError"; break;
        case 4: line += L"SystemError"; break;
        }
        for (UINT i = p ? p->cArgs : 0; i > 0; --i) {
            VARIANT& a = p->rgvarg[i - 1];
            line += i == p->cArgs ? L"(" : L", ";
            if (a.vt == VT_DISPATCH) {
                ComPtr<_xToolBar> node;
                Bstr caption;
                if (a.pdispVal && SUCCEEDED(a.pdispVal->QueryInterface(IID__xToolBar, reinterpret_cast<void**>(node.Out()))))
                    node->get_Caption(caption.Out());
                line += a.pdispVal ? L"\"" + caption.Str() + L"\"" : L"Nothing";
            } else {
                Variant text;
                if (SUCCEEDED(VariantChangeType(text.Get(), &a, 0, VT_BSTR))) line += Bstr::Copy(text.Get()->bstrVal).Str();
            }
            if (i == 1) line += L")";
        }
        std::printf("  event  %ls\n", line.c_str());
    };
}

// Keeps a printer connected to a node for the life of the demo.
example::Connection Print(IUnknown* source, REFIID events, const wchar_t* owner) {
    return example::Connection(source, events, Printer(owner, events));
}

long IdOf(_xMenu* node) {
    long id = 0;
    Ok(node->get_ID(&id), "ID");
    return id;
}

void PrintDump(IDispatch* host) {
    LPOLESTR name = const_cast<LPOLESTR>(L"Dump");
    DISPID id = 0;
    Ok(host->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), "Dump");
    DISPPARAMS none{};
    Variant text;
    Ok(host->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, text.Out(), nullptr, nullptr),
       "Dump");
    if (text.Type() == VT_BSTR) std::printf("%ls\n", text.Get()->bstrVal);
}

// A click as the host handles it: the command ID comes from the command
// bars; the menu tree turns it into its node, which raises the event.
void ClickMenu(_xMenu* root, long command_id) {
    ComPtr<_xMenu> node;
    Ok(root->GetMenu(command_id, node.Out()), "GetMenu");
    if (!node) {
        std::printf("click %ld: no menu\n", command_id);
        return;
    }
    Bstr caption;
    node->get_Caption(caption.Out());
    VARIANT_BOOL is_entry = VARIANT_FALSE;
    node->get_IsArrayChild(&is_entry);
    VARIANT ignored;
    VariantInit(&ignored);
    if (is_entry) {
        // A generated entry reports through its array node, with its index.
        ComPtr<_xMenu> array;
        short index = 0;
        node->get_ArrayParent(array.Out());
        node->get_ArrayIndex(&index);
        std::printf("click %ld: entry %d of a menu array\n", command_id, index);
        if (array) array->RaiseClickEvent(index, &ignored);
    } else {
        std::printf("click %ld: \"%ls\"\n", command_id, caption.Str().c_str());
        node->RaiseClickEvent(-1, &ignored);
    }
    VariantClear(&ignored);
}

void ClickToolBar(_xToolBar* root, long command_id) {
    ComPtr<_xToolBar> node;
    Ok(root->GetToolBar(command_id, node.Out()), "GetToolBar");
    Bstr caption;
    if (node) node->get_Caption(caption.Out());
    std::printf("click %ld: \"%ls\"\n", command_id, caption.Str().c_str());
    VARIANT ignored;
    VariantInit(&ignored);
    root->RaiseClickEvent(node.Get(), &ignored);
    VariantClear(&ignored);
}

// The audit of both trees, late-bound as a script would do it; skipped when
// the audit library is not registered.
void PrintAudit(_xMenu* menu, _xToolBar* toolbar) {
    CLSID clsid;
    ComPtr<IDispatch> audit;
    if (FAILED(CLSIDFromProgID(L"zuvXCHandler.Audit", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(audit.Out()))))
        return;
    auto call = [&](const wchar_t* name, WORD kind, IDispatch* arg, Variant* result) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = 0;
        Ok(audit->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), "audit");
        Variant a = Variant::Object(arg);
        DISPPARAMS params{a.Get(), nullptr, arg ? 1u : 0u, 0};
        Ok(audit->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result ? result->Out() : nullptr, nullptr,
                         nullptr), "audit");
    };
    call(L"AddMenu", DISPATCH_METHOD, menu, nullptr);
    call(L"AddToolBar", DISPATCH_METHOD, toolbar, nullptr);
    Variant report;
    call(L"Report", DISPATCH_PROPERTYGET, nullptr, &report);
    if (report.Type() == VT_BSTR) std::printf("\nAudit of the two trees:\n%ls", report.Get()->bstrVal);
}

int Run() {
    ComPtr<IDispatch> host;
    CLSID host_clsid;
    Ok(CLSIDFromProgID(L"XCHost.CommandBars", &host_clsid), "the stand-in host is not registered");
    host = Create<IDispatch>(host_clsid, IID_IDispatch);

    // The menu bar: File (with a list of recent files), Edit, View, Window, Help.
    enum { CTRL = 8, SHIFT = 4, ALT = 16 };
    auto menu = Create<_xMenu>(CLSID_xMenu, IID__xMenu);
    Ok(menu->put_StartID(1000), "StartID");
    auto file = AddMenu(menu.Get(), L"&File", {}, L"File");
    AddMenu(file.Get(), L"&New", {CTRL, 'N'}, L"New");
    auto open = AddMenu(file.Get(), L"&Open...", {CTRL, 'O'}, L"Open");
    AddMenu(file.Get(), L"&Save", {CTRL, 'S'}, L"Save");
    AddSeparator(file.Get());
    auto recent = AddMenu(file.Get(), L"Recent file", {}, L"Recent");
    Ok(recent->put_IsArray(VARIANT_TRUE), "IsArray");
    Ok(recent->put_ArrayCount(4), "ArrayCount");
    AddSeparator(file.Get());
    AddMenu(file.Get(), L"E&xit", {ALT, 115 /* F4 */}, L"Exit");
    auto edit = AddMenu(menu.Get(), L"&Edit", {}, L"Edit");
    AddMenu(edit.Get(), L"&Undo", {CTRL, 'Z'}, L"Undo");
    AddSeparator(edit.Get());
    AddMenu(edit.Get(), L"Cu&t", {CTRL, 'X'}, L"Cut");
    auto copy = AddMenu(edit.Get(), L"&Copy", {CTRL, 'C'}, L"Copy");
    AddMenu(edit.Get(), L"&Paste", {CTRL, 'V'}, L"Paste");
    auto view = AddMenu(menu.Get(), L"&View", {}, L"View");
    auto status_bar = AddMenu(view.Get(), L"&Status Bar", {}, L"StatusBar");
    Ok(status_bar->put_Checked(VARIANT_TRUE), "Checked");
    // A deliberate fault for the audit at the end: Ruler's key is Copy's too.
    auto ruler = AddMenu(view.Get(), L"&Ruler", {}, L"Copy");
    auto zoom = AddMenu(view.Get(), L"&Zoom", {}, L"Zoom");
    AddMenu(zoom.Get(), L"Zoom &In", {CTRL | SHIFT, 107 /* + */}, L"ZoomIn");
    AddMenu(zoom.Get(), L"Zoom &Out", {CTRL | SHIFT, 109 /* - */}, L"ZoomOut");
    auto window = AddMenu(menu.Get(), L"&Window", {}, L"Window");
    AddMenu(window.Get(), L"&Cascade", {}, L"Cascade");
    AddMenu(window.Get(), L"&Tile", {}, L"Tile");
    AddSeparator(window.Get());
    auto list = AddMenu(window.Get(), L"Windows", {}, L"WindowList");
    Ok(list->put_WindowsList(VARIANT_TRUE), "WindowsList");
    auto help = AddMenu(menu.Get(), L"&Help", {}, L"Help");
    auto about = AddMenu(help.Get(), L"&About...", {0, 112 /* F1 */}, L"About");

    auto menu_events = Print(menu.Get(), DIID___xMenu, L"menu root");
    auto open_events = Print(open.Get(), DIID___xMenu, L"Open...");
    auto recent_events = Print(recent.Get(), DIID___xMenu, L"Recent file");
    auto copy_events = Print(copy.Get(), DIID___xMenu, L"Copy");
    auto about_events = Print(about.Get(), DIID___xMenu, L"About...");

    IDispatch* bars = host.Get();
    VARIANT_BOOL rendered = VARIANT_FALSE;
    Ok(menu->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&bars), &rendered), "RenderMenu");
    std::printf("RenderMenu: %s\n", rendered ? "True" : "False");

    // The toolbar: New, Open with a drop-down of recent files, Save | Cut, Copy, Paste | Bold.
    auto toolbar = Create<_xToolBar>(CLSID_xToolBar, IID__xToolBar);
    Ok(toolbar->put_StartID(2000), "StartID");
    AddButton(toolbar.Get(), L"New", L"New");
    auto tb_open = AddButton(toolbar.Get(), L"Open", L"Open");
    AddButton(tb_open.Get(), L"report.txt");
    auto tb_recent = AddButton(tb_open.Get(), L"notes.md");
    AddButton(toolbar.Get(), L"Save", L"Save");
    AddSeparator(toolbar.Get());
    AddButton(toolbar.Get(), L"Cut", L"Cut");
    AddButton(toolbar.Get(), L"Copy", L"Copy");
    AddButton(toolbar.Get(), L"Paste", L"Paste");
    AddSeparator(toolbar.Get());
    auto bold = AddButton(toolbar.Get(), L"Bold", L"Bold");
    auto toolbar_events = Print(toolbar.Get(), DIID___xToolBar, L"toolbar root");

    rendered = VARIANT_FALSE;
    Ok(toolbar->RenderToolBar(reinterpret_cast<ICommandBarsObject**>(&bars), &rendered), "RenderToolBar");
    std::printf("RenderToolBar: %s\n", rendered ? "True" : "False");
    PrintAudit(menu.Get(), toolbar.Get());

    // Live updates after rendering: Bold is a pressed toggle, Ruler gets checked.
    Ok(bold->put_Value(xToolBarValue_tblPressed), "Value");
    Ok(bold->put_TooltipText(Bstr(L"Bold (Ctrl+B)").Get()), "TooltipText");
    Ok(ruler->put_Checked(VARIANT_TRUE), "Checked");

    std::printf("\nWhat the command bars hold now:\n");
    PrintDump(host.Get());

    std::printf("\nClicks:\n");
    ClickMenu(menu.Get(), IdOf(open.Get()));
    ComPtr<_xMenuCollection> entries;
    recent->get_ArrayMenu(entries.Out());
    ComPtr<_xMenu> second;
    Ok(entries->get_Item(Variant::Long(1).Detach(), second.Out()), "ArrayMenu(1)");
    ClickMenu(menu.Get(), IdOf(second.Get()));
    Ok(copy->put_Enabled(VARIANT_FALSE), "Enabled");
    std::printf("(Copy is disabled now: its click raises nothing)\n");
    ClickMenu(menu.Get(), IdOf(copy.Get()));
    ClickMenu(menu.Get(), IdOf(about.Get()));
    long id = 0;
    tb_recent->get_ID(&id);
    ClickToolBar(toolbar.Get(), id);
    bold->get_ID(&id);
    ClickToolBar(toolbar.Get(), id);
    return 0;
}

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int result = 1;
    try {
        result = Run();
    } catch (const zuv::RuntimeError& e) {
        std::printf("demo: error %ld: %ls\n", e.Number(), e.Description().c_str());
    }
    CoUninitialize();
    return result;
}
