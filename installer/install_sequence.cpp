// The install sequence behind "Instalar": folders, product executable (kept
// unless the carried one is newer), uninstaller, shortcuts, the Oracle client,
// the outcome and the restart offer; and the roll-back after a cancel.
#include "installer/form_instalador.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "installer/texts.h"
#include "storage/mxStorage.h"

namespace {

using platform::DialogButtons;
using platform::DialogType;

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

// The copy of the carried product that the update's version test reads, in
// the Windows Temp folder, which every user may write. It is made fresh and
// exclusively: a file someone prepared at T is removed first. What cannot be
// removed (a folder, a file held open or read-only) must not stop every later
// update: the copy is then a file of a name nobody can guess beside it, noted
// in `otherCopy` for the caller to delete on every way out. Returns its path.
std::string WriteVersionTestCopy(platform::Platform& system, TmxStoredItem& product, const InstallLayout& layout,
                                 std::string& otherCopy) {
  system.DeleteFile(layout.tempCopy);
  std::string path = layout.tempCopy;
  std::unique_ptr<TStream> copy;
  try {
    copy = system.CreateNewFileStream(path);
  } catch (const EFCreateError&) {
    if (!system.FileExists(path) && !system.DirectoryExists(path)) throw;
    path = layout.tempFolder + "\\~Pliegorama-" + UnpredictableName() + ".tmp";
    copy = system.CreateNewFileStream(path);
    otherCopy = path;
  }
  product.SaveToStream(copy.get());
  return path;
}

}  // namespace

void TFormInstalador::InstallProduct() {
  platform::Platform& system = Platform();
  std::string otherCopy;
  // The temporary copy goes on every way out, also when this run fails
  // before it makes one (an earlier click may have left it). Before the
  // folders are first known there is no copy to delete: a path built from an
  // empty folder would name a file at the root of the drive.
  const auto deleteTempCopy = [this, &system, &otherCopy] {
    if (!WindowsDir.empty()) system.DeleteFile(Layout("").tempCopy);
    if (!otherCopy.empty()) system.DeleteFile(otherCopy);
  };
  try {
    ReadInstallFolders();
    VerifyPayload(*this);
    const InstallLayout layout = Layout(GetDesktopDir());

    if (!system.DirectoryExists(layout.organisationFolder)) system.CreateDirectory(layout.organisationFolder);
    if (!system.DirectoryExists(layout.productFolder)) system.CreateDirectory(layout.productFolder);

    if (system.FileExists(layout.productExe)) {
      if (!system.DirectoryExists(layout.tempFolder)) system.CreateDirectory(layout.tempFolder);
      // The copy serves the version test only.
      const std::string copy = WriteVersionTestCopy(system, StoredItem(kProductItem), layout, otherCopy);
      if (IsNewerVersion(layout.productExe, copy)) {
        // From the payload, never from the copy, which is not ours alone.
        // Extraction replaces the installed file in one step: when it is
        // running (or the write fails) it stays as it was, and the error is
        // reported.
        StoredItem(kProductItem).ExtractToFile(layout.productExe, system);
      }
    } else {
      StoredItem(kProductItem).ExtractToFile(layout.productExe, system);
    }

    StoredItem(kUninstallerItem).ExtractToFile(layout.uninstallerExe, system);

    // The desktop link comes before the group folder is looked at, so it is
    // there even when the group cannot be made. The user's own folders: a
    // link another user put there is not followed (nor by the links' saves).
    CreateShortcut(layout.productExe, "", layout.workingFolder, InstallLayout::kProductLinkName, layout.desktopFolder);
    if (!system.DirectoryExists(layout.group)) system.Guarded().CreateDirectory(layout.group);
    CreateShortcut(layout.productExe, "", layout.workingFolder, InstallLayout::kProductLinkName, layout.group);
    CreateShortcut(layout.uninstallerExe, "", layout.workingFolder, InstallLayout::kUninstallerLinkName, layout.group);

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
    deleteTempCopy();
    throw;
  }
  deleteTempCopy();
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

void TFormInstalador::RollBackInstall() {
  platform::Platform& system = Platform();
  ReadInstallFolders();
  const InstallLayout layout = Layout(GetDesktopDir());

  auto deleteIfPresent = [&system](const std::string& path) {
    if (system.FileExists(path)) system.DeleteFile(path);
  };

  if (system.DirectoryExists(layout.productFolder)) {
    deleteIfPresent(layout.setupExe);
    deleteIfPresent(layout.productExe);
    deleteIfPresent(layout.uninstallerExe);
    // The setup's own temporary folder; what it still uses goes at the restart.
    xeSetup_.RemoveSetupTemp();
    // Only when empty: a file that could not be deleted keeps its folders.
    system.RemoveDirectory(layout.productFolder);
    system.RemoveDirectory(layout.organisationFolder);
    // An unknown desktop names no link.
    if (!layout.desktopLink.empty()) system.Guarded().DeleteFile(layout.desktopLink);
  }

  // Where another user may have put a link: nothing is deleted through one.
  if (system.DirectoryExists(layout.group)) {
    system.Guarded().DeleteFile(layout.groupProductLink);
    system.Guarded().DeleteFile(layout.groupUninstallerLink);
    system.Guarded().RemoveDirectory(layout.group);
  }

  netService_.RemoveFromXEClientHome();
}
