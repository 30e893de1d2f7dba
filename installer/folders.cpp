// The install folders: Windows, Program Files, the Start-menu Programs folder
// and the desktop, read afresh from the system on every call.
#include "installer/form_instalador.h"

#include "framework/errors.h"
#include "installer/install_paths.h"

namespace {

constexpr char kCurrentVersionKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kShellFoldersKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kProgramFilesValue[] = "ProgramFilesPath";
constexpr char kProgramsValue[] = "Programs";
constexpr char kProgramFilesPathError[] = "Program Files Path Error";
constexpr char kUserProgramPathError[] = "User Program Path Error";

}  // namespace

void TFormInstalador::ReadInstallFolders() {
  platform::Platform& system = Platform();
  const std::string windowsDir = system.WindowsDirectory();

  auto programFiles = system.OpenKey(platform::RootKey::LocalMachine, kCurrentVersionKey, platform::KeyAccess::Read);
  if (!programFiles) throw Exception(kProgramFilesPathError);
  // An expandable value is taken as stored: the references are ours to expand.
  const std::string programFilesDir = ExpandEnvVars(programFiles->ReadString(kProgramFilesValue).value_or(""));
  programFiles.reset();
  // A missing value, or one that names no full path, would put the product
  // under the current drive's root, where any user can prepare its folder.
  if (!paths::IsFullPath(programFilesDir)) throw Exception(kProgramFilesPathError);

  auto shellFolders = system.OpenKey(platform::RootKey::CurrentUser, kShellFoldersKey, platform::KeyAccess::Read);
  if (!shellFolders) throw Exception(kUserProgramPathError);
  const std::string programsDir = ExpandEnvVars(shellFolders->ReadString(kProgramsValue).value_or(""));
  if (!paths::IsFullPath(programsDir)) throw Exception(kUserProgramPathError);

  // All three or none: a failed look-up leaves the previous folders in place.
  WindowsDir = windowsDir;
  ProgramFilesDir = programFilesDir;
  ProgramsDir = programsDir;
}

// One pass, left to right; "%name%" is replaced by the variable's value. Like
// Windows' own expansion, a reference to a variable that is not set, and the
// empty name of "%%", stay in the text as written. A reference still open at
// the end of the text is dropped. Values are taken whole, however long.
std::string TFormInstalador::ExpandEnvVars(const std::string& text) {
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
    if (!name.empty()) value = Platform().EnvironmentVariable(name);
    result += value ? *value : "%" + name + "%";
  }
  return result;
}

std::string TFormInstalador::GetDesktopDir() { return Platform().DesktopDirectory(); }
