// The install sequence behind "Instalar": folders, product executable (kept
// unless the carried one is newer), uninstaller, shortcuts, the Oracle client,
// the outcome and the restart offer; and the roll-back after a cancel.
#include "installer/form_instalador.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "installer/texts.h"
#include "storage/mxStorage.h"
#include "storage/pe_image.h"

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

}  // namespace

void TFormInstalador::InstallProduct() {
  platform::Platform& system = Platform();
  ReadInstallFolders();
  VerifyPayload(*this);
  const InstallLayout layout = Layout(GetDesktopDir());

  if (!system.DirectoryExists(layout.organisationFolder)) system.CreateFolder(layout.organisationFolder);
  if (!system.DirectoryExists(layout.productFolder)) system.CreateFolder(layout.productFolder);

  if (system.FileExists(layout.productExe)) {
    // Extraction replaces the installed file in one step: when it is
    // running (or the write fails) it stays as it was, and the error is
    // reported.
    if (IsCarriedProductNewer(layout.productExe)) StoredItem(kProductItem).ExtractToFile(layout.productExe, system);
  } else {
    StoredItem(kProductItem).ExtractToFile(layout.productExe, system);
  }

  StoredItem(kUninstallerItem).ExtractToFile(layout.uninstallerExe, system);

  // The desktop link comes before the group folder is looked at, so it is
  // there even when the group cannot be made. The user's own folders: a
  // link another user put there is not followed (nor by the links' saves).
  CreateShortcut(layout.productExe, "", layout.workingFolder, InstallLayout::kProductLinkName, layout.desktopFolder);
  if (!system.DirectoryExists(layout.group))
    system.Guarded().CreateFolder(layout.group, platform::Protection::Inherited);
  CreateShortcut(layout.productExe, "", layout.workingFolder, InstallLayout::kProductLinkName, layout.group);
  CreateShortcut(layout.uninstallerExe, "", layout.workingFolder, InstallLayout::kUninstallerLinkName, layout.group);

  if (EnsureOracleClient()) {
    system.MessageDialog(texts::kInstallSucceeded, DialogType::Information, DialogButtons::Ok);
    if (view_) view_->SetInstallEnabled(false);
    if (system.OtherUserSessions() > 0)
      system.MessageDialog(texts::kOtherUsersSignedIn, DialogType::Information, DialogButtons::Ok);
    if (system.MessageDialog(texts::kRestartQuestion, DialogType::Confirmation, DialogButtons::YesNo) ==
        platform::kIdYes) {
      RestartWindows();
    }
  } else {
    system.MessageDialog(texts::kInstallCancelled, DialogType::Information, DialogButtons::Ok);
    if (view_) view_->SetInstallEnabled(true);
  }
}

// Both reads go through the shared version record: a file without version
// information leaves it as it was, and so compares as the file read before.
bool TFormInstalador::IsNewerVersion(const std::string& installedFile, const std::string& newFile) {
  GetFileVersionText(installedFile);
  const VersionNumbers installed = RecordedVersion();
  GetFileVersionText(newFile);
  return RecordIsNewerThan(installed);
}

// The carried product's version is read from its decoded bytes in memory:
// a copy on disk would lie where another user could reach it (the Windows
// Temp folder is open to all), and they could put their own file there for
// the test to read.
bool TFormInstalador::IsCarriedProductNewer(const std::string& installedFile) {
  GetFileVersionText(installedFile);
  const VersionNumbers installed = RecordedVersion();
  TMemoryStream decoded;
  StoredItem(kProductItem).SaveToStream(&decoded);
  RecordVersion(ReadFixedFileVersion(decoded.Memory(), static_cast<size_t>(decoded.Size())));
  return RecordIsNewerThan(installed);
}

// Component by component, not lexicographic: none of the first three may go
// down, and the build must go up.
bool TFormInstalador::RecordIsNewerThan(const VersionNumbers& installed) const {
  if (installed.major > FileVerMajor) return false;
  if (installed.minor > FileVerMinor) return false;
  if (installed.release > FileVerRelease) return false;
  return installed.build < FileVerBuild;
}

void TFormInstalador::RestartWindows() { Platform().RestartWindows(); }

void TFormInstalador::RollBackInstall() {
  platform::Platform& system = Platform();
  ReadInstallFolders();
  const InstallLayout layout = Layout(GetDesktopDir());

  auto deleteIfPresent = [&system](const std::string& path) {
    if (system.FileExists(path)) system.RemoveFile(path);
  };

  if (system.DirectoryExists(layout.productFolder)) {
    deleteIfPresent(layout.setupExe);
    deleteIfPresent(layout.productExe);
    deleteIfPresent(layout.uninstallerExe);
    // The setup's own temporary folder; what it still uses goes at the restart.
    xeSetup_.RemoveSetupTemp();
    // Only when empty: a file that could not be deleted keeps its folders.
    system.RemoveFolder(layout.productFolder);
    system.RemoveFolder(layout.organisationFolder);
    // An unknown desktop names no link.
    if (!layout.desktopLink.empty()) system.Guarded().RemoveFile(layout.desktopLink);
  }

  // Where another user may have put a link: nothing is deleted through one.
  if (system.DirectoryExists(layout.group)) {
    system.Guarded().RemoveFile(layout.groupProductLink);
    system.Guarded().RemoveFile(layout.groupUninstallerLink);
    system.Guarded().RemoveFolder(layout.group);
  }

  netService_.RemoveFromXEClientHome();
}
