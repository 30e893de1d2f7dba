// The install folders: Windows, Program Files, the Start-menu Programs folder
// and the desktop, read afresh from the system on every call.
#include "installer/folders.h"

#include "framework/errors.h"
#include "framework/paths.h"
#include "installer/texts.h"

namespace {

constexpr char kCurrentVersionKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kShellFoldersKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kProgramFilesValue[] = "ProgramFilesPath";
constexpr char kProgramsValue[] = "Programs";

}  // namespace

InstallFolders::Found InstallFolders::Read() {
  Found found;
  found.windows = system_.WindowsDirectory();

  auto programFiles = system_.OpenKey(platform::RootKey::LocalMachine, kCurrentVersionKey, platform::KeyAccess::Read);
  if (!programFiles) throw Exception(texts::kProgramFilesPathError);
  // An expandable value is taken as stored: the references are ours to
  // expand, with the machine's values. The current user could set their own
  // ProgramFiles and move the product folder, where the Oracle setup and the
  // uninstaller are run elevated, into one they can write.
  found.programFiles = ExpandEnvVars(programFiles->ReadString(kProgramFilesValue).value_or(""), Environment::Machine);
  programFiles.reset();
  // A missing value, or one that names no full path, would put the product
  // under the current drive's root, where any user can prepare its folder.
  if (!IsFullPath(found.programFiles)) throw Exception(texts::kProgramFilesPathError);

  auto shellFolders = system_.OpenKey(platform::RootKey::CurrentUser, kShellFoldersKey, platform::KeyAccess::Read);
  if (!shellFolders) throw Exception(texts::kUserProgramPathError);
  // The user's own folder, which may name the user's own variables.
  found.programs = ExpandEnvVars(shellFolders->ReadString(kProgramsValue).value_or(""), Environment::Process);
  if (!IsUsersOwnFolder(found.programs)) throw Exception(texts::kUserProgramPathError);
  return found;
}

// One pass, left to right; "%name%" is replaced by the variable's value. Like
// Windows' own expansion, a reference to a variable that is not set, and the
// empty name of "%%", stay in the text as written. A reference still open at
// the end of the text is dropped. Values are taken whole, however long.
std::string InstallFolders::ExpandEnvVars(const std::string& text, Environment environment) {
  std::string result;
  std::string name;
  bool inReference = false;
  for (char c : text) {
    if (!inReference) {
      if (c == '%') {
        name.clear();
        inReference = true;
      } else {
        result += c;
      }
      continue;
    }
    if (c != '%') {
      name += c;
      continue;
    }
    inReference = false;
    std::optional<std::string> value;
    if (!name.empty()) {
      value = environment == Environment::Machine ? system_.MachineEnvironmentVariable(name)
                                                  : system_.EnvironmentVariable(name);
    }
    result += value ? *value : "%" + name + "%";
  }
  return result;
}

std::string InstallFolders::DesktopDir() {
  const std::string desktop = system_.DesktopDirectory();
  return IsUsersOwnFolder(desktop) ? desktop : std::string();
}

bool InstallFolders::IsUsersOwnFolder(const std::string& folder) {
  if (!IsFullPath(folder)) return false;
  if (IsNetworkPath(folder)) return true;
  const std::string profile = system_.ProfileDirectory();
  return (!profile.empty() && IsInside(folder, profile)) || system_.Guarded().IsCloudPlaceholder(folder);
}
