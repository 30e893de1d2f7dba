// The uninstaller's work: ask, remove what an install made, report.
#include "uninstaller/uninstall.h"

#include "framework/errors.h"
#include "installer/form_instalador.h"
#include "installer/install_paths.h"
#include "installer/texts.h"

namespace uninstall {
namespace {

using platform::DialogButtons;
using platform::DialogType;

// The same places the install sequence writes.
using namespace paths;

// True when the file is gone (or was never there).
bool Remove(platform::Platform& system, const std::string& path) {
  return !system.FileExists(path) || system.DeleteFile(path) || !system.FileExists(path);
}

int ReportLeft(platform::Platform& system, const std::vector<std::string>& left) {
  std::string text = texts::kUninstallIncomplete;
  for (const std::string& path : left) text += "\r\n" + path;
  system.MessageDialog(text, DialogType::Error, DialogButtons::Ok);
  return kIncomplete;
}

}  // namespace

int RunUninstaller(TFormInstalador& form, const RunningFrom& runningFrom) {
  platform::Platform& system = form.Platform();
  if (system.MessageDialog(texts::kUninstallQuestion, DialogType::Confirmation, DialogButtons::YesNo) !=
      platform::kIdYes) {
    return kDeclined;
  }
  try {
    form.ReadInstallFolders();
  } catch (const Exception& error) {
    system.MessageDialog(ApplicationErrorText(error.Message()), DialogType::Error, DialogButtons::Ok);
    return kIncomplete;
  }
  const std::string organisation = form.ProgramFilesDir + kOrganisationFolder;
  const std::string product = form.ProgramFilesDir + kProductFolder;
  const std::string uninstaller = form.ProgramFilesDir + kUninstallerExe;
  const std::string group = form.ProgramsDir + kStartMenuGroup;
  const std::string desktop = form.GetDesktopDir();
  std::vector<std::string> links;
  // An unknown desktop names no file: nothing to remove there.
  if (!desktop.empty()) links.push_back(desktop + "\\" + kProductLinkName);
  links.push_back(group + "\\" + kProductLinkName);
  links.push_back(group + "\\" + kUninstallerLinkName);

  bool installed = system.DirectoryExists(product) || system.DirectoryExists(group);
  for (const std::string& link : links) installed = installed || system.FileExists(link);
  if (!installed) {
    system.MessageDialog(texts::kUninstallNotInstalled, DialogType::Information, DialogButtons::Ok);
    return kUninstalled;
  }

  // The programs first: while one of them runs nothing else is touched, so
  // the uninstaller and its shortcut stay for another try.
  std::vector<std::string> left;
  for (const char* program : {kProductExe, kOracleSetupExe}) {
    const std::string path = form.ProgramFilesDir + program;
    if (!Remove(system, path)) left.push_back(path);
  }
  if (!left.empty()) return ReportLeft(system, left);

  for (const std::string& link : links) {
    if (!Remove(system, link)) left.push_back(link);
  }
  // Only when empty: links the user put there stay, and so does the group.
  system.RemoveDirectory(group);
  // The report asks for another try, so a link that stays keeps the
  // uninstaller (and its folders) for it.
  if (!left.empty()) return ReportLeft(system, left);

  std::vector<std::string> atRestart;
  if (runningFrom(uninstaller) && system.FileExists(uninstaller)) {
    // Renamed out of the product folder, which can then go at once; a name
    // nobody can guess, and never over an existing file.
    const std::string parked = form.WindowsDir + kTempFolder + "\\~DesInstalador-" + UnpredictableName() + ".tmp";
    if (system.MoveFile(uninstaller, parked)) {
      system.DeleteFileAtRestart(parked);
    } else if (system.DeleteFileAtRestart(uninstaller)) {
      // Another volume, or no Temp folder: the file stays until the restart,
      // and with it the folders, asked to go after it (each only when empty).
      atRestart = {uninstaller, product, organisation};
      system.DeleteFileAtRestart(product);
      system.DeleteFileAtRestart(organisation);
    } else {
      left.push_back(uninstaller);
    }
  } else if (!Remove(system, uninstaller)) {
    left.push_back(uninstaller);
  }
  if (!left.empty()) return ReportLeft(system, left);
  // Only when empty: files the user put there stay, and so do their folders.
  system.RemoveDirectory(product);
  system.RemoveDirectory(organisation);

  if (!atRestart.empty()) {
    std::string text = texts::kUninstallSucceededAtRestart;
    for (const std::string& path : atRestart) text += "\r\n" + path;
    system.MessageDialog(text, DialogType::Information, DialogButtons::Ok);
    return kUninstalledAtRestart;
  }
  system.MessageDialog(texts::kUninstallSucceeded, DialogType::Information, DialogButtons::Ok);
  return kUninstalled;
}

}  // namespace uninstall
