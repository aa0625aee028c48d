#include "editor_ui.h"

#include "examples/example_nodes.h"
#include "frame/error.h"

namespace editor {

using example::AddButton;
using example::AddMenu;
using example::AddSeparator;
using example::Create;
using zuv::Bstr;
using zuv::Check;
using zuv::Variant;

namespace {

enum : long { CTRL = 8, SHIFT = 4, ALT = 16 };

Bstr CaptionOf(_xMenu* node) {
    Bstr caption;
    Check(node->get_Caption(caption.Out()));
    return caption;
}

}  // namespace

long IdOf(_xMenu* node) {
    long id = 0;
    Check(node->get_ID(&id));
    return id;
}

long IdOf(_xToolBar* node) {
    long id = 0;
    Check(node->get_ID(&id));
    return id;
}

Ui BuildUi() {
    Ui ui;
    ui.menu = Create<_xMenu>(CLSID_xMenu, IID__xMenu);
    Check(ui.menu->put_StartID(1000));
    _xMenu* root = ui.menu.Get();

    ui.file = AddMenu(root, L"&File");
    AddMenu(ui.file.Get(), L"&New", {CTRL, 'N'});
    ui.open = AddMenu(ui.file.Get(), L"&Open...", {CTRL, 'O'});
    AddMenu(ui.file.Get(), L"&Save", {CTRL, 'S'});
    AddMenu(ui.file.Get(), L"Save &As...", {CTRL | SHIFT, 'S'});
    AddSeparator(ui.file.Get());
    ui.recent = AddMenu(ui.file.Get(), L"Recent file");
    Check(ui.recent->put_IsArray(VARIANT_TRUE));
    Check(ui.recent->put_ArrayCount(3));
    AddSeparator(ui.file.Get());
    ui.exit = AddMenu(ui.file.Get(), L"E&xit", {ALT, VK_F4});

    ui.edit = AddMenu(root, L"&Edit");
    AddMenu(ui.edit.Get(), L"&Undo", {CTRL, 'Z'});
    AddSeparator(ui.edit.Get());
    AddMenu(ui.edit.Get(), L"Cu&t", {CTRL, 'X'});
    ui.copy = AddMenu(ui.edit.Get(), L"&Copy", {CTRL, 'C'});
    AddMenu(ui.edit.Get(), L"&Paste", {CTRL, 'V'});
    AddSeparator(ui.edit.Get());
    auto find_menu = AddMenu(ui.edit.Get(), L"&Find");
    ui.find = AddMenu(find_menu.Get(), L"&Find...", {CTRL, 'F'});
    ui.find_next = AddMenu(find_menu.Get(), L"Find &Next", {0, VK_F3});

    ui.view = AddMenu(root, L"&View");
    ui.status_bar = AddMenu(ui.view.Get(), L"&Status Bar");
    Check(ui.status_bar->put_Checked(VARIANT_TRUE));
    ui.word_wrap = AddMenu(ui.view.Get(), L"&Word Wrap");
    ui.debug_pane = AddMenu(ui.view.Get(), L"&Debug Pane");
    Check(ui.debug_pane->put_Visible(VARIANT_FALSE));

    ui.window = AddMenu(root, L"&Window");
    AddMenu(ui.window.Get(), L"&Cascade");
    AddSeparator(ui.window.Get());
    ui.window_list = AddMenu(ui.window.Get(), L"(no windows)");
    Check(ui.window_list->put_WindowsList(VARIANT_TRUE));

    ui.help = AddMenu(root, L"&Help");
    ui.about = AddMenu(ui.help.Get(), L"&About Editor...", {0, VK_F1});

    ui.toolbar = Create<_xToolBar>(CLSID_xToolBar, IID__xToolBar);
    Check(ui.toolbar->put_StartID(2000));
    _xToolBar* bar = ui.toolbar.Get();
    ui.tb_new = AddButton(bar, L"New");
    ui.tb_open = AddButton(bar, L"Open");
    ui.tb_save = AddButton(bar, L"Save");
    AddSeparator(bar);
    ui.tb_bold = AddButton(bar, L"Bold");
    AddSeparator(bar);
    ui.tb_insert = AddButton(bar, L"Insert");
    ui.tb_date = AddButton(ui.tb_insert.Get(), L"&Date");
    ui.tb_time = AddButton(ui.tb_insert.Get(), L"&Time");
    return ui;
}

bool Render(Ui& ui, IDispatch* command_bars) {
    VARIANT_BOOL menu_ok = VARIANT_FALSE, toolbar_ok = VARIANT_FALSE;
    IDispatch* bars = command_bars;
    Check(ui.menu->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&bars), &menu_ok));
    bars = command_bars;
    Check(ui.toolbar->RenderToolBar(reinterpret_cast<ICommandBarsObject**>(&bars), &toolbar_ok));
    // Tool tips and the pressed state go to the rendered buttons.
    Check(ui.tb_new->put_TooltipText(Bstr(L"New document").Get()));
    Check(ui.tb_open->put_TooltipText(Bstr(L"Open a document").Get()));
    Check(ui.tb_save->put_TooltipText(Bstr(L"Save the document").Get()));
    Check(ui.tb_bold->put_TooltipText(Bstr(L"Bold text").Get()));
    Check(ui.tb_bold->put_Value(xToolBarValue_tblPressed));
    Check(ui.tb_insert->put_TooltipText(Bstr(L"Insert the date or the time").Get()));
    return menu_ok && toolbar_ok;
}

void ShowRecentFiles(Ui& ui, const wchar_t* const* names, int count) {
    ComPtr<_xMenuCollection> entries;
    Check(ui.recent->get_ArrayMenu(entries.Out()));
    long n = 0;
    Check(entries->get_Count(&n));
    // The generated entries are indexed like the array: from 0 or from 1.
    VARIANT_BOOL from_zero = VARIANT_FALSE;
    Check(ui.recent->get_IsArrayBaseZero(&from_zero));
    for (long i = 1; i <= n && i <= count; ++i) {
        ComPtr<_xMenu> entry;
        Check(entries->get_Item(Variant::Long(from_zero ? i - 1 : i).Detach(), entry.Out()));
        std::wstring caption = L"&" + std::to_wstring(i) + L" " + names[i - 1];
        Check(entry->put_Caption(Bstr(caption).Get()));
    }
}

std::wstring Dispatch(Ui& ui, long command_id) {
    VARIANT ignored;
    VariantInit(&ignored);
    ComPtr<_xMenu> node;
    Check(ui.menu->GetMenu(command_id, node.Out()));
    if (node) {
        VARIANT_BOOL generated = VARIANT_FALSE;
        Check(node->get_IsArrayChild(&generated));
        if (generated) {
            // A generated entry reports through its array node, with its index.
            ComPtr<_xMenu> array;
            short index = 0;
            Check(node->get_ArrayParent(array.Out()));
            Check(node->get_ArrayIndex(&index));
            if (array) Check(array->RaiseClickEvent(index, &ignored));
        } else {
            Check(node->RaiseClickEvent(-1, &ignored));
        }
        VariantClear(&ignored);
        return CaptionOf(node.Get()).Str();
    }
    ComPtr<_xToolBar> button;
    Check(ui.toolbar->GetToolBar(command_id, button.Out()));
    if (!button) return L"";
    Check(ui.toolbar->RaiseClickEvent(button.Get(), &ignored));
    VariantClear(&ignored);
    Bstr caption;
    Check(button->get_Caption(caption.Out()));
    return caption.Str();
}

}  // namespace editor
