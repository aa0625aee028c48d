// Shared pieces of the menu tests: building menu trees, reading nodes, the
// stand-in command bars as a client sees them, and the fixture.
#pragma once

#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/event_sink.h"
#include "support/late_bound.h"

namespace zuv::test {

// --- building and reading trees -------------------------------------------------

ComPtr<_xMenuCollection> SubMenusOf(_xMenu* node);
ComPtr<_xMenuCollection> ArrayMenuOf(_xMenu* node);
long CountOf(_xMenuCollection* entries);
// Item by a position (a Long) or any other index value.
ComPtr<_xMenu> ItemOf(_xMenuCollection* entries, Variant index);
ComPtr<_xMenu> ItemAt(_xMenuCollection* entries, long position);

// Appends `child` (which may be Nothing) to the entries, with a key when
// `key` is given.  Returns the child.
ComPtr<_xMenu> Append(_xMenuCollection* entries, ComPtr<_xMenu> child, const wchar_t* key = nullptr);
// A new node with this caption, appended to the parent's SubMenus.
ComPtr<_xMenu> AddEntry(_xMenu* parent, const wchar_t* caption, const wchar_t* key = nullptr);
ComPtr<_xMenu> AddSeparator(_xMenu* parent);
// A menu array of `count` entries.
ComPtr<_xMenu> AddArray(_xMenu* parent, const wchar_t* caption, short count, bool base_zero = true);

long IdOf(_xMenu* node);
std::wstring CaptionOf(_xMenu* node);
bool IsDesigned(_xMenu* node);
short ArrayIndexOf(_xMenu* node);
ComPtr<_xMenu> ArrayParentOf(_xMenu* node);
ComPtr<ICommandBarControl> ControlOf(_xMenu* node);
ComPtr<ICommandBarPopup> PopupOf(_xMenu* node);

// COM identity of two objects.
bool Same(IUnknown* a, IUnknown* b);

// --- the stand-in command bars ------------------------------------------------------

// XCHost.CommandBars: every call the component makes on it is recorded as
// one line ("MenuBar put 23 (Boolean False)").
class HostBars {
public:
    HostBars();
    IDispatch* Dispatch() const { return bars_.Get(); }
    // As the component's RenderMenu takes it.
    ComPtr<ICommandBarsObject> Object() const;

    std::vector<std::wstring> Log() const;
    void ClearLog();
    // The `nth` call matching (object label, "<kind> <member>") fails with
    // this run-time error number and description.
    void FailCall(const wchar_t* label, const wchar_t* call, long nth, long number, const wchar_t* description);
    // The `nth` matching call returns an object of no role.
    void WrongKind(const wchar_t* label, const wchar_t* call, long nth);
    long DestroyControl(long id);
    Variant ControlProp(const std::wstring& label, const wchar_t* property) const;

private:
    ComPtr<IDispatch> bars_;
};

// The log lines of a sub-level control added by name: the bar's
// "Controls" looked up and read, the collection's "Add" looked up and called.
std::vector<std::wstring> AddByName(const std::wstring& bar, const std::wstring& args);

// Joins expected lines for comparison with the log.
std::vector<std::wstring> Lines(std::initializer_list<std::vector<std::wstring>> parts);

// A creatable object of the stand-in host by its ProgID.
ComPtr<IDispatch> CreateHostObject(const wchar_t* prog_id);

// --- fixture ------------------------------------------------------------------------------

class MenuTest : public ComTest {
protected:
    // RenderMenu through the vtable; returns its result (and expects S_OK).
    bool Render(_xMenu* root);

    HostBars host;
};

}  // namespace zuv::test
