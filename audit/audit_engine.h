// The audit itself, free of COM object plumbing: reads the trees of the
// roots it is given (through the nodes' public interfaces only: nothing is
// written, rendered or raised) and lists what is wrong with them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "frame/wrappers.h"
#include "zuvXCHandler.h"

namespace zuv::audit {

enum class Severity : long { kWarning = 1, kError = 2 };

// One root as the host renders it: exactly one of the two is set.
struct Root {
    ComPtr<_xMenu> menu;
    ComPtr<_xToolBar> toolbar;
};

struct Finding {
    Severity severity;
    const wchar_t* code;          // stable, one word
    std::wstring message;
    ComPtr<IDispatch> node;       // the node the finding is about (may be null)
    std::wstring path;
    ComPtr<IDispatch> other;      // the second node involved, if any
    std::wstring other_path;
};

struct Result {
    std::vector<Finding> findings;
    long nodes = 0;               // nodes read
    long menus = 0;
    long toolbars = 0;
};

// Levels below a root that are followed: the component's own walks stop at
// the same depth, so a deeper branch is a fault of its own.
constexpr int kMaxDepth = 256;
// Nodes read in one audit at most: a host collection that makes up new
// nodes on every read cannot keep the audit busy for ever.
constexpr long kMaxNodes = 1000000;

Result Run(const std::vector<Root>& roots);

// The plain-text report of a result.
std::wstring Report(const Result& result);

}  // namespace zuv::audit
