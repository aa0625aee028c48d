// A reference back up the tree (ArrayParent, Parent) that does not keep its
// target alive when the target is one of the component's own nodes: a
// rendered tree would otherwise be a reference cycle that is never freed.
// Reading it after the target has gone gives Nothing.  A host's own object
// put there is held counted, as the component cannot watch its lifetime.
#pragma once

#include <memory>

#include "frame/wrappers.h"

namespace zuv {

// Owned by a node; shared with the back references that point at it.  Made
// when the first back reference asks for it: most nodes never have one.
class LifeToken {
public:
    LifeToken() = default;
    LifeToken(const LifeToken&) = delete;
    LifeToken& operator=(const LifeToken&) = delete;
    // Called when the node's last reference goes, before it is torn down.
    void End() noexcept {
        if (alive_) *alive_ = false;
    }
    // Asked for while the node lives (the caller holds it).
    std::shared_ptr<const bool> Watch() const {
        if (!alive_) alive_ = std::make_shared<bool>(true);
        return alive_;
    }

private:
    mutable std::shared_ptr<bool> alive_;
};

template <class I>
class BackReference {
public:
    // One of the component's own nodes, watched through its token.
    void SetOwn(I* target, const LifeToken& token) {
        if (!target) return Clear();
        auto watch = token.Watch();
        foreign_.Reset();
        own_ = target;
        watch_ = std::move(watch);
    }
    // Any other object: held counted.
    void SetForeign(I* target) noexcept {
        ComPtr<I> keep(target);
        own_ = nullptr;
        watch_.reset();
        foreign_ = std::move(keep);
    }
    void Clear() noexcept {
        own_ = nullptr;
        watch_.reset();
        foreign_.Reset();
    }
    ComPtr<I> Get() const noexcept {
        if (own_) return (watch_ && *watch_) ? ComPtr<I>(own_) : ComPtr<I>();
        return foreign_;
    }
    ComPtr<I> TakeForeign() noexcept { return std::move(foreign_); }

private:
    I* own_ = nullptr;
    std::shared_ptr<const bool> watch_;
    ComPtr<I> foreign_;
};

}  // namespace zuv
