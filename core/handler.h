// The error handler shape of the operations that walk the tree or talk to
// the host: the body runs until a run-time error abandons it; nothing done
// is undone, and the error is handed to `report` (which raises SystemError
// on the node the operation was called on).  Nothing escapes.
#pragma once

#include <new>
#include <string>

#include "frame/error.h"

namespace zuv {

template <class Body, class Report>
bool RunWithHandler(Body&& body, Report&& report) noexcept {
    long number = 0;
    std::wstring description;
    try {
        body();
        return true;
    } catch (const RuntimeError& e) {
        number = e.Number();
        try {
            description = e.Description();
        } catch (...) {
        }
    } catch (const std::bad_alloc&) {
        number = kErrOutOfMemory;
    } catch (...) {
        number = kErrInternal;
    }
    if (description.empty()) {
        try {
            description = StandardDescription(number);
        } catch (...) {
        }
    }
    report(number, description);
    return false;
}

// Guards the depth of a recursive walk: a tree that contains itself, or is
// deeper than any real menu, ends with run-time error 28 long before the
// thread's stack is in danger.
//
// Hosts run the walks on a main thread with 1 MB of stack.  One level of the
// costliest menu walk (rendering) takes 368 bytes on x86_64 and 192 on i686
// (measured, and the compiler's own frame sizes agree), so 256 levels take
// under 100 KB: the rest stays free for the host's own frames, its
// command-bars calls at the deepest level and the error event's handler.
// Real menus are a handful of levels deep.
class NestingGuard {
public:
    static constexpr int kLimit = 256;
    explicit NestingGuard(int& depth) : depth_(depth) {
        if (depth_ >= kLimit) RaiseError(kErrOutOfStack);
        ++depth_;
    }
    ~NestingGuard() { --depth_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    int& depth_;
};

// One operation's walk over a tree.  When it runs out of nesting room, the
// level that noticed reports error 28 and every level above it stops at
// once, so that a tree that contains itself (any number of times, at any
// depth) costs one report and at most the limit's worth of levels per
// distinct path, not one descent per branch.
struct Walk {
    bool out_of_room = false;
};

// One level of a recursive walk, counted in `depth` (one counter per node
// family and thread, so that a walk started by an event handler from inside
// another walk counts on); past the limit it marks the walk and raises 28.
class WalkLevel {
public:
    WalkLevel(Walk& walk, int& depth) : guard_(Enter(walk, depth)) {}

private:
    static int& Enter(Walk& walk, int& depth) noexcept {
        if (depth >= NestingGuard::kLimit) walk.out_of_room = true;
        return depth;
    }
    NestingGuard guard_;
};

}  // namespace zuv
