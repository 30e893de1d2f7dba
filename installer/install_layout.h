// Every file and folder an install writes, made from the install folders: the
// install sequence, the roll-back and the uninstaller take their paths from
// here, and so do the tests. Also which payload item goes where.
#pragma once

#include <string>

#include "installer/folders.h"

// Stored items by position in the payload; names are never looked at.
inline constexpr int kProductItem = 0;      // exe: Pliegorama.exe
inline constexpr int kNetServiceItem = 1;   // tnsname: tnsnames.ora
inline constexpr int kOracleSetupItem = 2;  // oracle: OracleXEClient.exe
inline constexpr int kUninstallerItem = 3;  // desinstalar: DesInstalador.exe

struct InstallLayout {
  // `desktop` as the shell gives it: empty when it cannot, and then no link
  // is made or removed there.
  InstallLayout(const InstallFolders::Found& folders, const std::string& desktop);

  // The link files' names, in the desktop folder and the Start-menu group.
  static constexpr char kProductLinkName[] = "Sistema de Lumentra.lnk";
  static constexpr char kUninstallerLinkName[] = "DesInstalador.lnk";

  std::string organisationFolder;  // Program Files + "\Vesko"
  std::string productFolder;       // ... + "\Vesko\Lumentra"
  std::string productExe;          // P
  std::string uninstallerExe;      // U
  std::string setupExe;            // the carried Oracle XE client setup, while it runs
  std::string workingFolder;       // W: the product folder with its trailing separator, as links keep it
  std::string group;               // G: the Start-menu group
  std::string groupProductLink;
  std::string groupUninstallerLink;
  std::string desktopFolder;
  std::string desktopLink;  // empty when the desktop is unknown
};
