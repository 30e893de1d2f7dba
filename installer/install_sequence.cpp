// The install sequence behind "Instalar": folders, product executable (kept
// unless the carried one is newer), uninstaller, shortcuts, the Oracle client,
// the outcome and the restart offer.
#include "installer/form_instalador.h"

#include "framework/errors.h"
#include "installer/install_paths.h"
#include "installer/texts.h"
#include "storage/mxStorage.h"

namespace {

using platform::DialogButtons;
using platform::DialogType;
using namespace paths;

// Every carried file the install may write, checked whole before anything is
// written: a damaged download must end in a clear message, not in half an
// install with a truncated program in it.
void VerifyPayload(TFormInstalador& form) {
  for (const int position : {kProductItem, kNetServiceItem, kOracleSetupItem, kUninstallerItem}) {
    TmxStoredItem& item = form.StoredItem(position);
    try {
      item.Verify();
    } catch (const Exception&) {
      throw Exception(texts::kInstallerDamaged);
    }
  }
}

void DeleteTempCopy(platform::Platform& system, const std::string& windowsDir) {
  // Before the folders are first known there is no copy to delete; a path
  // built from an empty folder would name a file at the root of the drive.
  if (windowsDir.empty()) return;
  system.DeleteFile(windowsDir + kTempCopy);
}

}  // namespace

void TFormInstalador::InstallProduct() {
  platform::Platform& system = Platform();
  try {
    ReadInstallFolders();
    VerifyPayload(*this);
    const std::string organisation = ProgramFilesDir + kOrganisationFolder;
    const std::string product = ProgramFilesDir + kProductFolder;
    const std::string productExe = ProgramFilesDir + kProductExe;
    const std::string uninstaller = ProgramFilesDir + kUninstallerExe;
    const std::string workingFolder = ProgramFilesDir + kWorkingFolder;
    const std::string group = ProgramsDir + kStartMenuGroup;

    if (!system.DirectoryExists(organisation)) system.CreateDirectory(organisation);
    if (!system.DirectoryExists(product)) system.CreateDirectory(product);

    if (system.FileExists(productExe)) {
      const std::string tempFolder = WindowsDir + kTempFolder;
      const std::string tempCopy = WindowsDir + kTempCopy;
      if (!system.DirectoryExists(tempFolder)) system.CreateDirectory(tempFolder);
      // The copy serves the version test only. Other users may create files
      // in the Windows Temp folder, so it is made fresh and exclusively: a
      // file someone prepared there is removed first, and what cannot be
      // removed (a folder, a read-only file) ends the install with the error.
      system.DeleteFile(tempCopy);
      {
        const std::unique_ptr<TStream> copy = system.CreateNewFileStream(tempCopy);
        StoredItem(kProductItem).SaveToStream(copy.get());
      }
      if (IsNewerVersion(productExe, tempCopy)) {
        // From the payload, never from the copy, which is not ours alone.
        // Extraction replaces the installed file in one step: when it is
        // running (or the write fails) it stays as it was, and the error is
        // reported.
        StoredItem(kProductItem).ExtractToFile(productExe, system);
      }
    } else {
      StoredItem(kProductItem).ExtractToFile(productExe, system);
    }

    StoredItem(kUninstallerItem).ExtractToFile(uninstaller, system);

    // The desktop link comes before the group folder is looked at, so it is
    // there even when the group cannot be made.
    CreateShortcut(productExe, "", workingFolder, kProductLinkName, GetDesktopDir());
    if (!system.DirectoryExists(group)) system.CreateDirectory(group);
    CreateShortcut(productExe, "", workingFolder, kProductLinkName, group);
    CreateShortcut(uninstaller, "", workingFolder, kUninstallerLinkName, group);

    if (EnsureOracleClient()) {
      system.MessageDialog(texts::kInstallSucceeded, DialogType::Information, DialogButtons::Ok);
      if (view_) view_->SetInstallEnabled(false);
      if (system.MessageDialog(texts::kRestartQuestion, DialogType::Confirmation, DialogButtons::YesNo) ==
          platform::kIdYes) {
        RestartWindows();
      }
    } else {
      system.MessageDialog(texts::kInstallCancelled, DialogType::Information, DialogButtons::Ok);
      if (view_) view_->SetInstallEnabled(true);
    }
  } catch (...) {
    DeleteTempCopy(system, WindowsDir);
    throw;
  }
  DeleteTempCopy(system, WindowsDir);
}

bool TFormInstalador::IsNewerVersion(const std::string& installedFile, const std::string& newFile) {
  // Both reads go through the shared version record: a file without version
  // information leaves it as it was, and so compares as the file read before.
  GetFileVersionText(installedFile);
  const int32_t installedMajor = FileVerMajor;
  const int32_t installedMinor = FileVerMinor;
  const int32_t installedRelease = FileVerRelease;
  const int32_t installedBuild = FileVerBuild;
  GetFileVersionText(newFile);
  // Component by component, not lexicographic: none of the first three may go
  // down, and the build must go up.
  if (installedMajor > FileVerMajor) return false;
  if (installedMinor > FileVerMinor) return false;
  if (installedRelease > FileVerRelease) return false;
  return installedBuild < FileVerBuild;
}

void TFormInstalador::RestartWindows() { Platform().RestartWindows(); }
