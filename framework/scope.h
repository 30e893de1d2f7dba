// Clean-up tied to a scope: what must be undone however a block ends is
// written once, next to what it undoes, instead of on every way out.
#pragma once

#include <exception>
#include <utility>

// Runs `cleanUp` when the scope ends, by return or by exception, unless it
// was dismissed first (a clean-up that only a failure needs).
template <typename CleanUp>
class ScopeGuard {
 public:
  explicit ScopeGuard(CleanUp cleanUp) : cleanUp_(std::move(cleanUp)) {}
  // On the normal way out a failing clean-up raises its error, as the same
  // code after the block would. While another error leaves the scope, that
  // one is what went wrong, and a second in flight would end the program: the
  // clean-up's own is dropped.
  ~ScopeGuard() noexcept(false) {
    if (!active_) return;
    if (std::uncaught_exceptions() == exceptionsAtStart_) {
      cleanUp_();
      return;
    }
    try {
      cleanUp_();
    } catch (...) {
    }
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  void Dismiss() { active_ = false; }

 private:
  CleanUp cleanUp_;
  int exceptionsAtStart_ = std::uncaught_exceptions();
  bool active_ = true;
};

// Raises `flag` for the rest of the scope; it is lowered however the scope ends.
[[nodiscard]] inline auto RaiseForScope(bool& flag) {
  flag = true;
  return ScopeGuard([&flag] { flag = false; });
}
