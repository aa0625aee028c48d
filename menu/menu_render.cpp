// Rendering a menu tree into the host's menu bar: the top level (one popup
// per title), the levels below it (entries, entries with sub-menus,
// separators, menu arrays) and the designed mark of every rendered node.
#include <cstdint>
#include <vector>

#include "core/bar_calls.h"
#include "core/handler.h"
#include "core/walk.h"
#include "frame/error.h"
#include "menu_collection.h"
#include "menu_internal.h"
#include "menu_node.h"

namespace zuv {
namespace {

// The entries an earlier rendering generated for this array leave its
// ArrayMenu, so that it holds the live set only; entries the host added
// itself stay, and so do those of this very rendering (an array that stands
// in two places of the tree is rendered twice).  The entries taken out keep
// their fields and controls.  A host's own collection is left as it is.
void DropGeneratedMembers(_xMenu* array_node, IUnknown* identity, uint64_t rendering) {
    ComPtr<_xMenuCollection> members = menu::ArrayMenuOf(array_node);
    MenuCollection* own = menu::OwnCollection(members.Get());
    if (!own) return;
    // Every entry is looked at before any is removed: asking an entry
    // whether it is one of ours calls into it.
    std::vector<ComPtr<_xMenu>> entries = own->Entries();
    std::vector<_xMenu*> generated;
    for (const ComPtr<_xMenu>& entry : entries) {
        MenuNode* node = MenuNode::OwnNode(entry.Get());
        if (node && node->GeneratedEarlierBy(identity, rendering)) generated.push_back(entry.Get());
    }
    own->RemoveNodes(generated);
}

// Binds the node's shortcut, when it has one, to the ID the control reports.
void BindShortcut(IDispatch* command_bars, _xMenu* node, IDispatch* control) {
    long modifiers = tree::Read(node, &_xMenu::get_ShortCutFirstKey);
    long key = tree::Read(node, &_xMenu::get_ShortCutSecondKey);
    if (modifiers == 0 && key == 0) return;
    long command_id = bars::GetLong(control, bars::id::kId);
    bars::AddKeyBinding(command_bars, modifiers, key, command_id);
}

// Appends a generated entry to the array node's ArrayMenu, without a key.
void AppendMember(_xMenu* array_node, ComPtr<_xMenu> member) {
    ComPtr<_xMenuCollection> members = menu::ArrayMenuOf(array_node);
    if (!members) RaiseError(kErrObjectNotSet);
    // Both arguments are in/out: whatever the collection leaves in them is
    // released here.
    _xMenu* slot = member.Detach();
    Bstr no_key;
    ComPtr<_xMenu> added;
    HRESULT hr = members->Add(&slot, no_key.Out(), added.Out());
    member = ComPtr<_xMenu>::Adopt(slot);
    Check(hr);
}

// The control of an entry below the top level (or of a menu array's
// member, `node` being the array): the node's caption as it is now, then
// the bar's controls and "Add" by name, with the ID by reference, checked
// to be `kind`.  Kept out of line so that the caption's copy takes stack in
// this frame only, not in every level of the recursive walk.
[[gnu::noinline]] ComPtr<IDispatch> AddByName(IDispatch* bar, _xMenu* node, long type, long& id, REFIID kind) {
    bars::TextArg caption;
    tree::TextInto(node, &_xMenu::get_Caption, caption);
    ComPtr<IDispatch> controls = bars::ControlsByName(bar);
    return bars::AddControlByName(controls.Get(), type, id, caption.Get(), kind);
}

}  // namespace

STDMETHODIMP MenuNode::RenderMenu(ICommandBarsObject** CmdBars, VARIANT_BOOL* result) noexcept {
    return WithHostObject(CmdBars ? *CmdBars : nullptr, result, [&](IDispatch* command_bars) {
        // Each rendering has its own number (a node renders on its own
        // thread only); a handler may start another rendering on this root
        // meanwhile, and the outer one's number comes back after it.
        static thread_local uint64_t renderings = 0;
        struct Numbered {
            uint64_t& slot;
            const uint64_t outer;
            ~Numbered() { slot = outer; }
        } numbered{rendering_, rendering_};
        rendering_ = ++renderings;
        RenderTopLevel(command_bars);
    });
}

// The root itself is never rendered: it configures the menu bar and numbers
// its titles from StartID + 1 on.  An error here ends the whole rendering.
void MenuNode::RenderTopLevel(IDispatch* command_bars) {
    using namespace bars;
    // The menu bar is fetched afresh for each setting: the host protocol has
    // one get of the menu bar before each call, so, wasteful as it looks,
    // the bar is not held across them.
    PutBool(MenuBar(command_bars).Get(), id::kBarOption23, false);
    PutBool(MenuBar(command_bars).Get(), id::kBarOption24, false);
    CallLongs(MenuBar(command_bars).Get(), id::kBarSetFlags, value::kBarFlags, value::kBarFlags);
    CallLong(MenuBar(command_bars).Get(), id::kBarSetStyle, value::kBarStyle);
    if (!max_button_)
        CallLongs(MenuBar(command_bars).Get(), id::kBarModifyStyle, value::kNoMaxButton, value::kNoMaxButton);
    if (!min_button_)
        CallLongs(MenuBar(command_bars).Get(), id::kBarModifyStyle, value::kNoMinButton, value::kNoMinButton);
    if (!control_box_)
        CallLongs(MenuBar(command_bars).Get(), id::kBarModifyStyle, value::kNoControlBoxRemove,
                  value::kNoControlBoxAdd);

    short count = tree::LoopBound(tree::CountOf(menu::SubMenusOf(this).Get()));
    long running_id = start_id_;
    for (long i = 1; i <= count; ++i) {
        ComPtr<_xMenu> node = menu::EntryAt(menu::SubMenusOf(this).Get(), i);

        // Its number (the window list keeps its fixed ID but uses one up).
        running_id = AddChecked(running_id, 1L);
        Number(node.Get(), running_id);
        if (tree::Flag(node.Get(), &_xMenu::get_WindowsList)) Number(node.Get(), menu::kWindowsListId);

        // Its popup on the menu bar.
        long node_id = tree::Read(node.Get(), &_xMenu::get_ID);
        TextArg caption;
        tree::TextInto(node.Get(), &_xMenu::get_Caption, caption);
        ComPtr<IDispatch> controls = Controls(MenuBar(command_bars).Get());
        ComPtr<IDispatch> popup = AddMenuBarPopup(controls.Get(), node_id, caption.Get(), kIidPopup);

        CopyStates(node.Get(), popup.Get());
        PutLong(popup.Get(), id::kTopLevelStyle, value::kMenuTitleStyle);
        BindShortcut(command_bars, node.Get(), popup.Get());

        MarkDesigned(node.Get());
        StoreControl(node.Get(), popup.Get(), /*popup=*/true);

        // Its entries go into the popup's own command bar.
        if (menu::HasChildren(node.Get())) {
            ComPtr<IDispatch> bar = PopupCommandBar(popup.Get());
            Walk walk;
            RenderSubMenu(command_bars, bar.Get(), node.Get(), running_id, walk);
        }
    }
}

// Renders the entries of `parent` into `bar`, and below them every entry's
// own sub-menu.  An error ends this one level only: it is reported on the
// root (this node) and the caller goes on with its next entry.
void MenuNode::RenderSubMenu(IDispatch* command_bars, IDispatch* bar, _xMenu* parent, long& running_id,
                             Walk& walk) noexcept {
    using namespace bars;
    Guarded([&] {
        WalkLevel level(walk, WalkDepth());
        // Set by a separator, used by the next control of this level.
        bool group_start = false;
        short count = tree::LoopBound(tree::CountOf(menu::SubMenusOf(parent).Get()));
        for (long i = 1; i <= count; ++i) {
            ComPtr<_xMenu> entry = menu::WalkEntry(parent, i);

            if (tree::Flag(entry.Get(), &_xMenu::get_MenuSeperator)) {
                group_start = true;
                continue;
            }
            if (tree::Flag(entry.Get(), &_xMenu::get_IsArray)) {
                RenderMenuArray(bar, entry.Get(), running_id, group_start);
                continue;
            }

            // An ordinary entry: its number first.
            running_id = AddChecked(running_id, 1L);
            Number(entry.Get(), running_id);
            if (tree::Flag(entry.Get(), &_xMenu::get_WindowsList)) Number(entry.Get(), menu::kWindowsListId);

            // A control with a drop-down when it has entries of its own,
            // a plain command otherwise.
            bool opens_sub_menu = menu::HasChildren(entry.Get());
            long entry_id = tree::Read(entry.Get(), &_xMenu::get_ID);
            ComPtr<IDispatch> control =
                AddByName(bar, entry.Get(), opens_sub_menu ? type::kSubMenuPopup : type::kCommand, entry_id,
                          opens_sub_menu ? kIidPopup : kIidControl);
            StoreControl(entry.Get(), control.Get(), opens_sub_menu);

            if (group_start) PutBool(control.Get(), id::kGroupStart, true);
            group_start = false;
            CopyStates(entry.Get(), control.Get());
            BindShortcut(command_bars, entry.Get(), control.Get());
            MarkDesigned(entry.Get());

            if (menu::HasChildren(entry.Get())) {
                ComPtr<IDispatch> sub_bar = PopupCommandBarByName(control.Get());
                RenderSubMenu(command_bars, sub_bar.Get(), entry.Get(), running_id, walk);
                // Out of nesting room below: this branch is abandoned.
                if (walk.out_of_room) return;
            }
        }
    });
}

// A menu array stands for ArrayCount entries generated now, each with a
// control showing the array's caption and a new node of its own appended to
// the array's ArrayMenu, in place of those of an earlier rendering.  The
// array node itself gets no number and no control, and nothing else of it
// is read.
void MenuNode::RenderMenuArray(IDispatch* bar, _xMenu* array_node, long& running_id, bool& group_start) {
    using namespace bars;
    short count = tree::Read(array_node, &_xMenu::get_ArrayCount);
    // The array's COM identity marks the entries it generates.
    ComPtr<IUnknown> identity;
    Check(array_node->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Out())));
    DropGeneratedMembers(array_node, identity.Get(), rendering_);
    for (long j = 1; j <= count; ++j) {
        running_id = AddChecked(running_id, 1L);
        // The running ID itself is handed over by reference.
        ComPtr<IDispatch> control = AddByName(bar, array_node, type::kCommand, running_id, kIidControl);

        // Only the first generated entry can start a group.
        if (group_start) PutBool(control.Get(), id::kGroupStart, true);
        group_start = false;

        ComPtr<MenuNode> member = MenuNode::New();
        member->generated_by_ = identity.Get();
        member->generated_in_ = rendering_;
        Check(member->put_ID(running_id));
        member->SetDesigned(true);
        Check(member->putref_ArrayParent(array_node));
        short index = static_cast<short>(tree::Flag(array_node, &_xMenu::get_IsArrayBaseZero) ? j - 1 : j);
        Check(member->put_ArrayIndex(index));
        Check(member->put_IsArrayChild(VARIANT_TRUE));
        Check(member->putref_CmdBarControl(static_cast<ICommandBarControl*>(control.Get())));
        AppendMember(array_node, ComPtr<_xMenu>(member->Interface()));
    }
}

}  // namespace zuv
