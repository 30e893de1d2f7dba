// The install folders: Windows, Program Files, the Start-menu Programs folder
// and the desktop, read afresh from the system on every call.
#pragma once

#include <string>

#include "platform/platform.h"

class InstallFolders {
 public:
  explicit InstallFolders(platform::Platform& system) : system_(system) {}

  // The three folders, without a trailing separator.
  struct Found {
    std::string windows, programFiles, programs;
  };
  // Raises "Program Files Path Error" or "User Program Path Error" when a
  // key cannot be opened, or names no full path.
  Found Read();
  // Whose values "%name%" references take: this process's environment (the
  // current user's, which the Start-menu folder may name), or the machine's
  // alone (see Platform::MachineEnvironmentVariable), for every folder the
  // elevated programs install into or run from.
  enum class Environment { Process, Machine };
  // "%name%" references replaced by the environment's values.
  std::string ExpandEnvVars(const std::string& text, Environment environment);
  // The current user's desktop folder; empty when the shell cannot give it,
  // or names a folder that is not the user's own (see IsUsersOwnFolder).
  std::string DesktopDir();

 private:
  // Whether a folder from the current user's own settings may take the
  // links: one inside the user's profile, on a network share, or a synced
  // (cloud) folder. Any program of the user may name another, such as the
  // system folder, for the elevated programs to write in.
  bool IsUsersOwnFolder(const std::string& folder);

  platform::Platform& system_;
};
