// The scope guard: when its clean-up runs, and which error leaves the scope
// (RaiseForScope is exercised by the installer's window-input tests).
#include "framework/scope.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(ScopeGuard, CleansUpOnEveryWayOutUnlessDismissed) {
  struct Case {
    const char* what;
    bool bodyFails, dismissed, cleanUpFails;
    int cleanUps;
    const char* error;
  };
  for (const Case& c : {Case{"return", false, false, false, 1, ""}, Case{"error", true, false, false, 1, "body"},
                        Case{"dismissed", false, true, false, 0, ""},
                        Case{"failing clean-up on return", false, false, true, 1, "clean-up"},
                        Case{"failing clean-up while an error leaves", true, false, true, 1, "body"}}) {
    int cleanUps = 0;
    std::string error;
    try {
      ScopeGuard guard([&] {
        ++cleanUps;
        if (c.cleanUpFails) throw std::runtime_error("clean-up");
      });
      if (c.bodyFails) throw std::runtime_error("body");
      if (c.dismissed) guard.Dismiss();
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    EXPECT_EQ(cleanUps, c.cleanUps) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
}

}  // namespace
