// Where an install puts things: fixed suffixes appended to the folders the
// system gives, by plain concatenation.
#include "installer/install_layout.h"

InstallLayout::InstallLayout(const InstallFolders::Found& folders, const std::string& desktop)
    : organisationFolder(folders.programFiles + "\\Vesko"),
      productFolder(organisationFolder + "\\Lumentra"),
      productExe(productFolder + "\\Pliegorama.exe"),
      uninstallerExe(productFolder + "\\DesInstalador.exe"),
      setupExe(productFolder + "\\OracleXEClient.exe"),
      workingFolder(productFolder + "\\"),
      group(folders.programs + "\\Ostrelia"),
      groupProductLink(group + "\\" + kProductLinkName),
      groupUninstallerLink(group + "\\" + kUninstallerLinkName),
      desktopFolder(desktop),
      desktopLink(desktop.empty() ? std::string() : desktop + "\\" + kProductLinkName) {}
