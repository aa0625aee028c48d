// The small steps every walk over a toolbar tree is made of.  Nodes and
// collections are always driven through their public interfaces, so a
// host's own implementation of either works in a tree like ours.
#include "frame/error.h"
#include "toolbar_internal.h"
#include "toolbar_node.h"

namespace zuv::toolbar {

namespace {
// Identifies this module's nodes (see IToolBarInternal).
const char kModuleTag = 0;
}  // namespace

ToolBarNode* OwnNode(IUnknown* object) noexcept {
    if (!object) return nullptr;
    ComPtr<IToolBarInternal> internal;
    if (FAILED(object->QueryInterface(__uuidof(IToolBarInternal), reinterpret_cast<void**>(internal.Out()))) ||
        !internal)
        return nullptr;
    return internal->Self(&kModuleTag);
}

ComPtr<_xToolBar> NewDefaultNode() {
    return ComPtr<_xToolBar>::Adopt(MakeObject<ToolBarNode>()->Interface());
}

ComPtr<_xToolBarCollection> ButtonsOf(_xToolBar* node) {
    if (!node) RaiseError(kErrObjectNotSet);
    ComPtr<_xToolBarCollection> buttons;
    Check(node->get_Buttons(buttons.Out()));
    if (!buttons) RaiseError(kErrObjectNotSet);
    return buttons;
}

short LoopBound(_xToolBarCollection* buttons) {
    long count = 0;
    Check(buttons->get_Count(&count));
    return ToShort(count);
}

ComPtr<_xToolBar> NodeAt(_xToolBarCollection* buttons, short position) {
    Variant index = Variant::Short(position);
    ComPtr<_xToolBar> node;
    Check(buttons->get_Item(*index.Get(), node.Out()));
    if (!node) return NewDefaultNode();
    return node;
}

bool IsSeparator(_xToolBar* node) { return ReadFlag(node, &_xToolBar::get_ToolBarSeperator); }

bool ReadFlag(_xToolBar* node, HRESULT (STDMETHODCALLTYPE _xToolBar::*getter)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = VARIANT_FALSE;
    Check((node->*getter)(&value));
    return value != VARIANT_FALSE;
}

bool HasChildren(_xToolBar* node) {
    long count = 0;
    Check(ButtonsOf(node)->get_Count(&count));
    return count > 0;
}

int& WalkDepth() noexcept {
    static thread_local int depth = 0;
    return depth;
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

namespace zuv {

ToolBarNode* STDMETHODCALLTYPE ToolBarNode::Self(const void* module_tag) noexcept {
    return module_tag == &toolbar::kModuleTag ? this : nullptr;
}

}  // namespace zuv
