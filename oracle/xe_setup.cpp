// Makes sure an Oracle client with the product's net service entry is in
// place: configures a registered one, or runs the carried Oracle XE client
// setup and waits for the user; a cancel rolls the install back.
#include "installer/form_instalador.h"

#include "installer/install_paths.h"
#include "installer/texts.h"
#include "storage/mxStorage.h"

using platform::DialogButtons;
using platform::DialogType;
using namespace paths;

bool TFormInstalador::EnsureOracleClient() {
  platform::Platform& system = Platform();
  if (DetectXEClient() || DetectOracleHomes()) {
    if (ConfigureNetService()) return true;
    system.MessageDialog(texts::kNoValidOracleClient, DialogType::Error, DialogButtons::Ok);
  }

  OracleXESetup(true);
  bool configured = false;
  // The setup runs beside us; only the user knows when it has finished, and
  // each Yes looks at the registry afresh.
  while (system.MessageDialog(texts::kWaitForOracleSetup, DialogType::Confirmation, DialogButtons::YesNo) ==
         platform::kIdYes) {
    if (ConfigureNetService()) {
      configured = true;
      break;
    }
  }
  if (!configured) RollBackInstall();
  OracleXESetup(false);
  return configured;
}

void TFormInstalador::OracleXESetup(bool start) {
  platform::Platform& system = Platform();
  const std::string setupExe = ProgramFilesDir + kOracleSetupExe;
  if (start) {
    StoredItem(kOracleSetupItem).ExtractToFile(setupExe, system);
    // Named as the program to run, not parsed from a command line: with the
    // blanks of "Program Files" an unquoted line could start another program.
    // It starts in the product folder, not in ours (often Downloads).
    system.StartProgram(setupExe, ProgramFilesDir + kProductFolder);
    return;
  }
  // Still running from that file, it cannot be deleted: left for the user.
  system.DeleteFile(setupExe);
  // The installer's work ends with the setup: closing the main window ends
  // the program once the sequence returns.
  if (view_) view_->Close();
}

void TFormInstalador::RollBackInstall() {
  platform::Platform& system = Platform();
  ReadInstallFolders();

  auto deleteIfPresent = [&system](const std::string& path) {
    if (system.FileExists(path)) system.DeleteFile(path);
  };

  if (system.DirectoryExists(ProgramFilesDir + kProductFolder)) {
    deleteIfPresent(ProgramFilesDir + kOracleSetupExe);
    deleteIfPresent(ProgramFilesDir + kProductExe);
    deleteIfPresent(ProgramFilesDir + kUninstallerExe);
    // Only when empty: a file that could not be deleted keeps its folders.
    system.RemoveDirectory(ProgramFilesDir + kProductFolder);
    system.RemoveDirectory(ProgramFilesDir + kOrganisationFolder + "\\");
    // An unknown desktop would make this a file at the root of the drive.
    const std::string desktop = GetDesktopDir();
    if (!desktop.empty()) system.DeleteFile(desktop + "\\" + kProductLinkName);
  }

  if (system.DirectoryExists(ProgramsDir + kStartMenuGroup)) {
    system.DeleteFile(ProgramsDir + kStartMenuGroup + "\\" + kProductLinkName);
    system.DeleteFile(ProgramsDir + kStartMenuGroup + "\\" + kUninstallerLinkName);
    system.RemoveDirectory(ProgramsDir + kStartMenuGroup);
  }

  // Only in a home that is a full path: only there can the install have written.
  if (IsFullPath(XEClientHome) && system.DirectoryExists(InHome(XEClientHome, "NETWORK\\ADMIN"))) {
    system.DeleteFile(InHome(XEClientHome, "NETWORK\\ADMIN\\tnsnames.ora"));
    system.RemoveDirectory(InHome(XEClientHome, "NETWORK\\ADMIN"));
    system.RemoveDirectory(InHome(XEClientHome, "NETWORK"));
  }
}
