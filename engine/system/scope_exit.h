// A guard that runs its action when the scope holding it ends, by return or
// by throw: clean-up that no exit path can forget.
#pragma once

#include <utility>

namespace kavrin {

template <typename Action>
class ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Action action_;
};

}  // namespace kavrin
