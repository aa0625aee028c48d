// What the toolbar code shares internally: the private interface through
// which the component recognises its own nodes, and the small steps every
// walk over a toolbar tree is made of.  Nothing here is visible to hosts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "core/handler.h"
#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv {

class ToolBarNode;

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

namespace zuv::toolbar {

// The node behind an interface pointer when it is one of ours, else null.
// The pointer stays valid while the caller holds `object`.
ToolBarNode* OwnNode(IUnknown* object) noexcept;

// A new node with every default, for an empty (Nothing) entry of a
// collection: used for one step of a walk and never stored back.
ComPtr<_xToolBar> NewDefaultNode();

// The Buttons collection of a node (error 91 when the node or its
// collection is Nothing).
ComPtr<_xToolBarCollection> ButtonsOf(_xToolBar* node);

// A collection's Count as the bound of a 16-bit loop (error 6 above 32767).
short LoopBound(_xToolBarCollection* buttons);

// The entry at `position`, passed to Item as a 16-bit integer; an empty
// entry gives a fresh default node.
ComPtr<_xToolBar> NodeAt(_xToolBarCollection* buttons, short position);

bool IsSeparator(_xToolBar* node);
// One of the node's Boolean properties, read through its public interface.
bool ReadFlag(_xToolBar* node, HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(VARIANT_BOOL*));
bool HasChildren(_xToolBar* node);   // its Buttons hold at least one entry

// Depth of the recursive toolbar walks running on this thread.
int& WalkDepth() noexcept;

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
