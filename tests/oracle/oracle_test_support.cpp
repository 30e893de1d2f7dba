// Shared set-up of the oracle tests.
#include "tests/oracle/oracle_test_support.h"

namespace oracle_test {

void OracleTest::SetUp() {
  WindowTest::SetUp();
#ifdef _WIN32
  // These keys are the machine's own: never touch a real Oracle installation.
  if (System().KeyExists(platform::RootKey::LocalMachine, kOracleKey)) {
    skipped_ = true;
    GTEST_SKIP() << "an Oracle client is registered on this machine";
  }
#endif
}

void OracleTest::TearDown() {
  if (skipped_) return;
  RemoveOracleKey();
  for (const std::string& name : uninstallEntries_) {
    machine_->DeleteKeyTree(platform::RootKey::LocalMachine, std::string(kUninstallKey) + "\\" + name);
  }
}

void OracleTest::SetXEClientHome(const std::optional<std::string>& home) {
  if (home) {
    machine_->SetString(platform::RootKey::LocalMachine, kXEClientKey, "ORACLE_HOME", *home);
  } else {
    machine_->CreateKey(platform::RootKey::LocalMachine, kXEClientKey);
  }
}

void OracleTest::SetHomeCounter(const std::string& counter) {
  machine_->SetString(platform::RootKey::LocalMachine, kAllHomesKey, "HOME_COUNTER", counter);
}

void OracleTest::SetOracleHome(const std::string& home) {
  machine_->SetString(platform::RootKey::LocalMachine, kOracleKey, "ORACLE_HOME", home);
}

std::string OracleTest::NewUninstallEntryKey() {
  const std::string name = "InstaladorTest" + std::to_string(uninstallEntries_.size());
  uninstallEntries_.push_back(name);
  return std::string(kUninstallKey) + "\\" + name;
}

void OracleTest::AddUnreadableUninstallEntry() {
  const std::string key = NewUninstallEntryKey();
  machine_->SetDword(platform::RootKey::LocalMachine, key, "DisplayName", 1);
  machine_->SetString(platform::RootKey::LocalMachine, key, "UninstallString", "C:\\XE\\uninstall.exe");
}

void OracleTest::AddUninstallEntry(const UninstallEntry& entry) {
  const std::string key = NewUninstallEntryKey();
  machine_->SetString(platform::RootKey::LocalMachine, key, entry.displayNameValue, entry.displayName);
  if (entry.uninstallString) {
    machine_->SetString(platform::RootKey::LocalMachine, key, "UninstallString", "C:\\XE\\uninstall.exe");
  }
}

void OracleTest::RemoveOracleKey() { machine_->DeleteKeyTree(platform::RootKey::LocalMachine, kOracleKey); }

}  // namespace oracle_test
