// Oracle client detection from the registry: the XE client (by its key or its
// uninstall entry) and any other registered Oracle home.
#pragma once

#include <string>

#include "platform/platform.h"

// Where detection leaves the homes it reads: the installer window's fields,
// kept as read (nothing trimmed), and kept when a later read finds no key.
struct OracleHomes {
  std::string& xeClient;
  std::string& other;
};

class OracleDetection {
 public:
  OracleDetection(platform::Platform& system, OracleHomes homes) : system_(system), homes_(homes) {}

  // True when the XE client is installed; may set the XE client's home.
  // Dispatches the window messages that are waiting first.
  bool DetectXEClient();
  // True when the Oracle home list holds a non-empty HOME_COUNTER ("0" too).
  bool DetectOracleHomes();
  // May set the other home, from ORACLE_HOME directly under \SOFTWARE\ORACLE.
  void ReadOracleHome();
  // True when an uninstall entry of the XE client exists.
  bool FindXEClientUninstallEntry();

  const std::string& XEClientHome() const { return homes_.xeClient; }
  const std::string& OracleHome() const { return homes_.other; }

 private:
  platform::Platform& system_;
  OracleHomes homes_;
};
