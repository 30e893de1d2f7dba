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

// Where a file lies: in the product folder, which only administrators can
// change, or in one of the user's own (the Start-menu group, the desktop),
// where another user may have put a link: one on the way, or the file being
// one, keeps it from going.
enum class Place { Product, Users };

// True when the file is gone (or was never there).
bool Remove(platform::Platform& system, const std::string& path, Place place) {
  if (!system.FileExists(path)) return true;
  const bool deleted = place == Place::Users ? system.Guarded().RemoveFile(path) : system.RemoveFile(path);
  return deleted || !system.FileExists(path);
}

int ReportLeft(platform::Platform& system, const std::vector<std::string>& left) {
  std::string text = texts::kUninstallIncomplete;
  for (const std::string& path : left) text += "\r\n" + path;
  system.MessageDialog(text, DialogType::Error, DialogButtons::Ok);
  return kIncomplete;
}

// The uninstaller's own file, deleted when this process does not run from it.
// A running program's file cannot be deleted: it and its folders go at the
// restart, in place (moved out of the product folder it would have to lie in
// one that other users can write, such as the Windows Temp folder). What goes
// at the restart is added to `atRestart`, a file that stays for good to `left`.
void RemoveOwnFile(platform::Platform& system, const InstallLayout& layout, const RunningFrom& runningFrom,
                   std::vector<std::string>& atRestart, std::vector<std::string>& left) {
  const std::string& uninstaller = layout.uninstallerExe;
  if (!runningFrom(uninstaller) || !system.FileExists(uninstaller)) {
    if (!Remove(system, uninstaller, Place::Product)) left.push_back(uninstaller);
    return;
  }
  if (!system.RemoveAtRestart(uninstaller)) {
    left.push_back(uninstaller);
    return;
  }
  atRestart.push_back(uninstaller);
  // Asked to go after it, each only when empty; one that Windows would not
  // remove is named as left.
  for (const std::string& folder : {layout.productFolder, layout.organisationFolder})
    (system.RemoveAtRestart(folder) ? atRestart : left).push_back(folder);
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
    if (!Remove(system, program, Place::Product)) left.push_back(program);
  }
  if (!left.empty()) return ReportLeft(system, left);

  for (const std::string& link : links) {
    if (!Remove(system, link, Place::Users)) left.push_back(link);
  }
  // Only when empty: links the user put there stay, and so does the group.
  system.Guarded().RemoveFolder(layout.group);
  // The report asks for another try, so a link that stays keeps the
  // uninstaller (and its folders) for it.
  if (!left.empty()) return ReportLeft(system, left);

  std::vector<std::string> atRestart;
  RemoveOwnFile(system, layout, runningFrom, atRestart, left);
  if (!left.empty()) return ReportLeft(system, left);
  // Only when empty: files the user put there stay, and so do their folders.
  system.RemoveFolder(layout.productFolder);
  system.RemoveFolder(layout.organisationFolder);

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
