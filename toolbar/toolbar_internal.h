// What the toolbar code shares internally: the private interface through
// which the component recognises its own nodes, and the steps of the walks
// over a toolbar tree that are the toolbar's own.  Nothing here is visible
// to hosts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/handler.h"
#include "core/node_base.h"
#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv {

class ToolBarNode;
class ToolBarCollection;

// Answered only by the component's own xToolBar nodes.  A node found in a
// tree is asked for it before any internal operation: a host's own object
// that merely implements _xToolBar does not answer it, and is then driven
// through its public interface only.
struct IToolBarInternal : public IUnknown {
    // The node itself when `module_tag` is this module's tag, else null: an
    // object of another copy of the component is treated as a foreign one.
    virtual ToolBarNode* STDMETHODCALLTYPE Self(const void* module_tag) noexcept = 0;
};

}  // namespace zuv

// {2CF3589C-186B-46C7-B5F0-F8C8ED848BAE}
__CRT_UUID_DECL(zuv::IToolBarInternal, 0x2cf3589c, 0x186b, 0x46c7, 0xb5, 0xf0, 0xf8, 0xc8, 0xed, 0x84, 0x8b, 0xae)

// The classes the walks read straight from (see core/walk.h).
namespace zuv::tree {
template <> struct OwnClass<_xToolBar> : OwnClassIs<ToolBarNode> {};
template <> struct OwnClass<_xToolBarCollection> : OwnClassIs<ToolBarCollection> {};
}  // namespace zuv::tree

namespace zuv::toolbar {

// The Buttons collection of a node.  Unlike a menu's SubMenus, a Nothing
// collection is error 91 at once.
ComPtr<_xToolBarCollection> ButtonsOf(_xToolBar* node);
// The node has at least one entry in its Buttons.
bool HasChildren(_xToolBar* node);
bool IsSeparator(_xToolBar* node);
// A walk's step: the entry at `position` of a level's Buttons, with the
// entry after it asked for in advance (tree::PrefetchEntry).
ComPtr<_xToolBar> WalkEntry(_xToolBarCollection* buttons, long position);

// The lookup descends through the node's own public
// GetToolBarFromSubToolBar.  The level making that call hands its walk to
// the call through this thread's slot, so the whole lookup is one walk; a
// call from anywhere else starts a walk of its own.
class HandOver {
public:
    explicit HandOver(Walk& walk) noexcept;
    ~HandOver();
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;
    // The walk handed to the call now starting, or `own` when there is none.
    static Walk& Take(Walk& own) noexcept;

private:
    Walk* previous_;
};

}  // namespace zuv::toolbar
