// The uninstaller's work: ask, remove what an install made, report.
#include "uninstaller/uninstall.h"

#include <vector>

#include "framework/errors.h"
#include "installer/folders.h"
#include "installer/install_layout.h"
#include "platform/dialog_text.h"
#include "uninstaller/texts.h"

namespace uninstall {
namespace {

using platform::DialogButtons;
using platform::DialogType;

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

// The uninstaller's own file: deleted when this process does not run from
// it; otherwise, as a running program's file cannot be deleted, renamed out of
// the product folder (which can then go at once) under a name nobody can
// guess, never over an existing file, and deleted at the restart. When it
// cannot be moved (another volume, no Temp folder) it and its folders go at
// the restart, named in `atRestart`. False when none of that could be done.
bool RemoveOwnFile(platform::Platform& system, const InstallLayout& layout, const RunningFrom& runningFrom,
                   std::vector<std::string>& atRestart) {
  const std::string& uninstaller = layout.uninstallerExe;
  if (!runningFrom(uninstaller) || !system.FileExists(uninstaller)) return Remove(system, uninstaller);
  const std::string parked = layout.tempFolder + "\\~DesInstalador-" + UnpredictableName() + ".tmp";
  if (system.MoveFile(uninstaller, parked)) {
    system.DeleteFileAtRestart(parked);
    return true;
  }
  if (!system.DeleteFileAtRestart(uninstaller)) return false;
  // Asked to go after it, each only when empty.
  atRestart = {uninstaller, layout.productFolder, layout.organisationFolder};
  system.DeleteFileAtRestart(layout.productFolder);
  system.DeleteFileAtRestart(layout.organisationFolder);
  return true;
}

}  // namespace

int RunUninstaller(platform::Platform& system, const RunningFrom& runningFrom) {
  if (system.MessageDialog(texts::kUninstallQuestion, DialogType::Confirmation, DialogButtons::YesNo) !=
      platform::kIdYes) {
    return kDeclined;
  }
  InstallFolders folders(system);
  InstallFolders::Found found;
  try {
    found = folders.Read();
  } catch (const Exception& error) {
    system.MessageDialog(platform::ApplicationErrorText(error.Message()), DialogType::Error, DialogButtons::Ok);
    return kIncomplete;
  }
  // The same places the install sequence writes.
  const InstallLayout layout(found, folders.DesktopDir());
  std::vector<std::string> links;
  // An unknown desktop names no file: nothing to remove there.
  if (!layout.desktopLink.empty()) links.push_back(layout.desktopLink);
  links.push_back(layout.groupProductLink);
  links.push_back(layout.groupUninstallerLink);

  bool installed = system.DirectoryExists(layout.productFolder) || system.DirectoryExists(layout.group);
  for (const std::string& link : links) installed = installed || system.FileExists(link);
  if (!installed) {
    system.MessageDialog(texts::kUninstallNotInstalled, DialogType::Information, DialogButtons::Ok);
    return kUninstalled;
  }

  // The programs first: while one of them runs nothing else is touched, so
  // the uninstaller and its shortcut stay for another try.
  std::vector<std::string> left;
  for (const std::string& program : {layout.productExe, layout.setupExe}) {
    if (!Remove(system, program)) left.push_back(program);
  }
  if (!left.empty()) return ReportLeft(system, left);

  for (const std::string& link : links) {
    if (!Remove(system, link)) left.push_back(link);
  }
  // Only when empty: links the user put there stay, and so does the group.
  system.RemoveDirectory(layout.group);
  // The report asks for another try, so a link that stays keeps the
  // uninstaller (and its folders) for it.
  if (!left.empty()) return ReportLeft(system, left);

  std::vector<std::string> atRestart;
  if (!RemoveOwnFile(system, layout, runningFrom, atRestart)) left.push_back(layout.uninstallerExe);
  if (!left.empty()) return ReportLeft(system, left);
  // Only when empty: files the user put there stay, and so do their folders.
  system.RemoveDirectory(layout.productFolder);
  system.RemoveDirectory(layout.organisationFolder);

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
