// The steps of the walks over a toolbar tree that are the toolbar's own.
#include "core/walk.h"
#include "frame/error.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv::toolbar {

ComPtr<_xToolBarCollection> ButtonsOf(_xToolBar* node) {
    ComPtr<_xToolBarCollection> buttons = tree::Ref(node, &_xToolBar::get_Buttons);
    if (!buttons) RaiseError(kErrObjectNotSet);
    return buttons;
}

bool HasChildren(_xToolBar* node) {
    // A collection never made is empty: it is not made to be counted.
    if (auto* own = tree::Own(node); own && !own->ChildrenMade()) return false;
    return tree::CountOf(ButtonsOf(node).Get()) > 0;
}

bool IsSeparator(_xToolBar* node) { return tree::Flag(node, &_xToolBar::get_ToolBarSeperator); }

ComPtr<_xToolBar> WalkEntry(_xToolBarCollection* buttons, long position) {
    tree::PrefetchEntry<ToolBarNode>(buttons, position + 1);
    return tree::EntryAt<ToolBarNode>(buttons, position);
}

namespace {
thread_local Walk* t_handed_over = nullptr;
}  // namespace

HandOver::HandOver(Walk& walk) noexcept : previous_(t_handed_over) { t_handed_over = &walk; }
HandOver::~HandOver() { t_handed_over = previous_; }

Walk& HandOver::Take(Walk& own) noexcept {
    Walk* walk = t_handed_over;
    t_handed_over = nullptr;
    return walk ? *walk : own;
}

}  // namespace zuv::toolbar
