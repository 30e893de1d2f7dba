// What the oracle tests share: a machine, an installer window model on it with
// a real four-item payload, and the registry keys the detection reads, made
// and removed again around each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/form_instalador.h"
#include "storage/mxStorage.h"
#include "tests/platform/test_machine.h"

namespace oracle_test {

inline constexpr char kOracleKey[] = "\\SOFTWARE\\ORACLE";
inline constexpr char kXEClientKey[] = "\\SOFTWARE\\ORACLE\\KEY_XEClient";
inline constexpr char kAllHomesKey[] = "\\SOFTWARE\\ORACLE\\ALL_HOMES";
inline constexpr char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kXEDisplayName[] = "Oracle Client 10g Express Edition";

// The carried tnsnames.ora: one line and CR LF.
std::string StoredNetServiceFile();

// Four stored items in payload order, each encoded from known bytes.
std::unique_ptr<TmxStorage> MakePayload();

struct UninstallEntry {
  std::string displayName;
  bool uninstallString = true;
  std::string displayNameValue = "DisplayName";  // the value's name as stored
};

// A machine and the installer window's model on it, with the payload.
class FormTest : public testing::Test {
 protected:
  void SetUp() override;

  platform::Platform& System() { return machine_->Platform(); }
  TFormInstalador& Form() { return *form_; }

  std::unique_ptr<TestMachine> machine_;
  std::unique_ptr<TmxStorage> payload_;
  std::unique_ptr<TFormInstalador> form_;
};

class OracleTest : public FormTest {
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
