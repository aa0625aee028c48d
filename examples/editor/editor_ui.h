// The editor's whole user interface as node trees: a menu (File with a
// recent-files array and shortcuts, Edit, View with checked entries, Window
// with the window list, Help) and a toolbar (a drop-down, a pressed button).
// Shared by the editor example and the tests that read it back from Win32.
#pragma once

#include <windows.h>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace editor {

using zuv::ComPtr;

struct Ui {
    ComPtr<_xMenu> menu;                    // the root: StartID 1000
    ComPtr<_xMenu> file, open, recent, exit, edit, copy, find, find_next, view, status_bar, word_wrap, debug_pane;
    ComPtr<_xMenu> window, window_list, help, about;
    ComPtr<_xToolBar> toolbar;              // the root: StartID 2000
    ComPtr<_xToolBar> tb_new, tb_open, tb_save, tb_bold, tb_insert, tb_date, tb_time;
};

// Builds the trees (nothing rendered yet).  Throws zuv::RuntimeError when a
// call fails.
Ui BuildUi();

// Renders both trees into a command-bars object; false when either
// rendering reports failure.
bool Render(Ui& ui, IDispatch* command_bars);

// What the tree did with a command ID, the way a host handles its command
// bars' execute notification: the menu tree first, then the toolbar tree.
// Returns the caption of the node that was clicked ("" when none).
std::wstring Dispatch(Ui& ui, long command_id);

// Shows the recent files in the generated entries of the File menu's array.
void ShowRecentFiles(Ui& ui, const wchar_t* const* names, int count);

long IdOf(_xMenu* node);
long IdOf(_xToolBar* node);

}  // namespace editor
