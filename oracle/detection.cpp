// Oracle client detection from the registry: the XE client (by its key or its
// uninstall entry) and any other registered Oracle home.
#include "oracle/detection.h"

#include <vector>

#include "framework/classes.h"

namespace {

using platform::KeyAccess;
using platform::RootKey;

constexpr char kOracleKey[] = "\\SOFTWARE\\ORACLE";
constexpr char kXEClientKey[] = "\\SOFTWARE\\ORACLE\\KEY_XEClient";
constexpr char kAllHomesKey[] = "\\SOFTWARE\\ORACLE\\ALL_HOMES";
constexpr char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kOracleHomeValue[] = "ORACLE_HOME";
constexpr char kHomeCounterValue[] = "HOME_COUNTER";
constexpr char kDisplayNameValue[] = "DisplayName";
constexpr char kUninstallStringValue[] = "UninstallString";
// Compared exactly: case, blanks and every character count.
constexpr char kXEClientDisplayName[] = "Oracle Client 10g Express Edition";

// The name as the registry lists it, looked up without regard to case.
const std::string* FindName(const std::vector<std::string>& names, const std::string& wanted) {
  for (const std::string& name : names) {
    if (SameText(name, wanted)) return &name;
  }
  return nullptr;
}

}  // namespace

bool OracleDetection::DetectXEClient() {
  // Lets the window repaint while the setup program may be running beside us.
  system_.ProcessMessages();
  if (system_.KeyExists(RootKey::LocalMachine, kOracleKey)) {
    // A key that cannot be opened keeps the home found by an earlier call.
    if (auto key = system_.OpenKey(RootKey::LocalMachine, kXEClientKey, KeyAccess::Read)) {
      homes_.xeClient = key->ReadString(kOracleHomeValue).value_or("");
    }
  }
  if (!homes_.xeClient.empty()) return true;
  return FindXEClientUninstallEntry();
}

bool OracleDetection::DetectOracleHomes() {
  std::string counter;
  if (system_.KeyExists(RootKey::LocalMachine, kOracleKey)) {
    if (auto key = system_.OpenKey(RootKey::LocalMachine, kAllHomesKey, KeyAccess::Read)) {
      counter = key->ReadString(kHomeCounterValue).value_or("");
    }
  }
  // Presence is what counts: "0" is a counter too.
  return !counter.empty();
}

void OracleDetection::ReadOracleHome() {
  if (!system_.KeyExists(RootKey::LocalMachine, kOracleKey)) return;
  if (auto key = system_.OpenKey(RootKey::LocalMachine, kOracleKey, KeyAccess::Read)) {
    homes_.other = key->ReadString(kOracleHomeValue).value_or("");
  }
}

bool OracleDetection::FindXEClientUninstallEntry() {
  // Read access is all the search needs; asking for full access would make it
  // find nothing for a user without the right to change uninstall entries.
  std::vector<std::string> subkeys;
  if (auto uninstall = system_.OpenKey(RootKey::LocalMachine, kUninstallKey, KeyAccess::Read)) {
    subkeys = uninstall->SubkeyNames();
  }
  bool found = false;
  for (const std::string& subkey : subkeys) {
    auto entry = system_.OpenKey(RootKey::LocalMachine, std::string(kUninstallKey) + "\\" + subkey, KeyAccess::Read);
    if (!entry) continue;
    const std::vector<std::string> values = entry->ValueNames();
    const std::string* displayName = FindName(values, kDisplayNameValue);
    if (!displayName || !FindName(values, kUninstallStringValue)) continue;
    // Two matching entries count as one; the scan still reads every entry.
    if (entry->ReadString(*displayName).value_or("") == kXEClientDisplayName) found = true;
  }
  return found;
}
