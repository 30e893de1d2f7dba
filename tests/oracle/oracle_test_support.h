// What the oracle tests share: the window on a test machine (tests/support),
// and the registry keys the detection reads, made and removed again around
// each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/install_fixture.h"

namespace oracle_test {

inline constexpr char kXEDisplayName[] = "Oracle Client 10g Express Edition";

struct UninstallEntry {
  std::string displayName;
  bool uninstallString = true;
  std::string displayNameValue = "DisplayName";  // the value's name as stored
};

// The registry keys the detection reads, made and removed again around each test.
class OracleTest : public WindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // nullopt: KEY_XEClient without an ORACLE_HOME value.
  void SetXEClientHome(const std::optional<std::string>& home);
  void SetHomeCounter(const std::string& counter);
  void SetOracleHome(const std::string& home);
  void AddUninstallEntry(const UninstallEntry& entry);
  // An entry whose DisplayName is a number: reading it raises an error.
  void AddUnreadableUninstallEntry();
  void RemoveOracleKey();

 private:
  std::string NewUninstallEntryKey();

  std::vector<std::string> uninstallEntries_;
  bool skipped_ = false;
};

}  // namespace oracle_test
